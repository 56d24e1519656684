// Finding the data folder: the order of the places, the marker that makes a folder ours, and the one
// line that names every place tried.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/data_location.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace ruvelo {
namespace {

// <root>/build/bin (the executable's folder), <root>/build/assets and <root>/share/ruvelo, each data
// folder marked only when asked for.
struct Layout {
  std::string root = test::makeTempDir("ruvelo-data");
  std::string bin = root + "/build/bin";
  std::string buildData = root + "/build/assets";
  std::string installed = root + "/share/ruvelo";
  std::string other = root + "/other";

  Layout() {
    for (const std::string& dir : {bin, buildData, installed, other}) fs::create_directories(dir);
  }
  static void mark(const std::string& dir, const std::string& line = "ruvelo game data\n") {
    std::ofstream(dir + "/ruvelo-data.txt") << line;
  }
  DataSearch search() const { return {"", "", bin, "../../share/ruvelo"}; }
};

TEST(DataLocation, PlacesAreTriedInOrderAndOnlyMarkedFoldersCount) {
  Layout l;
  DataSearch s = l.search();
  DataLocation found = findDataFolder(s);
  EXPECT_FALSE(found.ok) << "no marker anywhere";

  Layout::mark(l.installed);
  found = findDataFolder(s);
  ASSERT_TRUE(found.ok) << found.message;
  EXPECT_EQ(found.folder, l.installed) << "the installed folder, by its plain full path";

  Layout::mark(l.buildData);
  EXPECT_EQ(findDataFolder(s).folder, l.buildData) << "the build tree beside the executable comes first";

  Layout::mark(l.other);
  s.envDir = l.other;
  EXPECT_EQ(findDataFolder(s).folder, l.other) << "RUVELO_DATA_DIR before the executable's places";
  s.flagDir = l.installed;
  EXPECT_EQ(findDataFolder(s).folder, l.installed) << "--data-dir before everything";
}

TEST(DataLocation, AChosenFolderThatIsNotOursStopsTheSearch) {
  Layout l;
  Layout::mark(l.buildData);
  DataSearch s = l.search();
  s.envDir = l.other;  // exists, no marker
  DataLocation found = findDataFolder(s);
  EXPECT_FALSE(found.ok) << "the player's choice is not quietly replaced by another folder";
  EXPECT_EQ(found.message,
            "RUVELO_DATA_DIR " + l.other + ": not a game data folder (no ruvelo-data.txt in it)");

  Layout::mark(l.other, "some other game\n");
  EXPECT_EQ(dataFolderProblem(l.other), "ruvelo-data.txt is not this game's marker");
  fs::remove(l.other + "/ruvelo-data.txt");
  fs::create_directory(l.other + "/ruvelo-data.txt");
  EXPECT_EQ(dataFolderProblem(l.other), "ruvelo-data.txt: a directory");
  EXPECT_EQ(dataFolderProblem(l.root + "/missing"), "no such folder");
  std::ofstream(l.root + "/file") << "x";
  EXPECT_EQ(dataFolderProblem(l.root + "/file"), "not a folder");
}

TEST(DataLocation, NothingFoundNamesEveryPlaceTriedOnOneLine) {
  Layout l;
  const DataLocation found = findDataFolder(l.search());
  ASSERT_FALSE(found.ok);
  EXPECT_EQ(found.message.find('\n'), std::string::npos);
  EXPECT_NE(found.message.find(l.buildData + " (no ruvelo-data.txt in it)"), std::string::npos)
      << found.message;
  EXPECT_NE(found.message.find(l.installed + " (no ruvelo-data.txt in it)"), std::string::npos)
      << found.message;
  EXPECT_NE(found.message.find("--data-dir"), std::string::npos) << found.message;
}

TEST(DataLocation, TheBuildTreeSeenFromBuildBinIsNamedAsBefore) {
  Layout l;
  Layout::mark(l.buildData);
  const fs::path previous = fs::current_path();
  fs::current_path(l.bin);
  const DataLocation fromBin = findDataFolder(l.search());
  fs::current_path(l.root);
  const DataLocation fromRoot = findDataFolder(l.search());
  fs::current_path(previous);
  EXPECT_EQ(fromBin.folder, "../assets") << "messages keep naming ../assets/... from build/bin";
  EXPECT_EQ(fromRoot.folder, l.buildData);
}

}  // namespace
}  // namespace ruvelo
