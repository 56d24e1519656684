#include "platform/data_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/regular_file.h"

#ifndef RUVELO_INSTALLED_DATA_RELATIVE
#define RUVELO_INSTALLED_DATA_RELATIVE "../share/ruvelo"
#endif

namespace fs = std::filesystem;

namespace ruvelo {
namespace {

// The marker is one short line; anything much bigger is not ours.
constexpr std::size_t kMaxMarkerBytes = 4096;

std::string plain(const fs::path& path) {
  return path.lexically_normal().string();
}

bool sameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string dataFolderProblem(const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return fs::exists(dir, ec) ? "not a folder" : "no such folder";
  const std::string marker = (fs::path(dir) / kDataMarkerFile).string();
  std::string contents, why;
  if (!readRegularFile(marker, kMaxMarkerBytes, contents, why)) {
    return why == "no such file" ? std::string("no ") + kDataMarkerFile + " in it"
                                 : std::string(kDataMarkerFile) + ": " + why;
  }
  if (contents.rfind(kDataMarkerLine, 0) != 0)
    return std::string(kDataMarkerFile) + " is not this game's marker";
  return "";
}

DataLocation findDataFolder(const DataSearch& search) {
  DataLocation found;
  for (const auto& [given, name] :
       {std::pair{search.flagDir, "--data-dir"}, std::pair{search.envDir, "RUVELO_DATA_DIR"}}) {
    if (given.empty()) continue;
    const std::string problem = dataFolderProblem(given);
    if (!problem.empty()) {
      found.message = std::string(name) + " " + given + ": not a game data folder (" + problem + ")";
      return found;
    }
    found.ok = true;
    found.folder = given;
    return found;
  }

  std::string tried;
  if (!search.exeDir.empty()) {
    const fs::path exeDir = search.exeDir;
    for (const fs::path& candidate : {exeDir.parent_path() / "assets", exeDir / search.installRel}) {
      const std::string problem = dataFolderProblem(candidate.string());
      if (problem.empty()) {
        found.ok = true;
        found.folder = sameFolder(candidate, "../assets") ? "../assets" : plain(candidate);
        return found;
      }
      tried += (tried.empty() ? "" : ", ") + plain(candidate) + " (" + problem + ")";
    }
  } else {
    tried = "nowhere: the executable's own folder is unknown";
  }
  found.message =
      "no game data found; tried " + tried + "; name the folder with --data-dir DIR or RUVELO_DATA_DIR";
  return found;
}

DataSearch thisProcessDataSearch(const std::string& flagDir) {
  DataSearch search;
  search.flagDir = flagDir;
  if (const char* env = std::getenv("RUVELO_DATA_DIR")) search.envDir = env;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && exe.is_absolute()) search.exeDir = exe.parent_path().string();
  search.installRel = RUVELO_INSTALLED_DATA_RELATIVE;
  return search;
}

}  // namespace ruvelo
