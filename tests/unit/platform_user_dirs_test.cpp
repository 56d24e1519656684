#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/settings.h"
#include "platform/user_dirs.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

TEST(UserDirs, FollowTheXdgRulesAndFallBackToHome) {
  test::ScopedEnv home("HOME", "/home/player");
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(userConfigDir(), "/cfg/ruvelo");
  }
  for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/path"}) {
    test::ScopedEnv config("XDG_CONFIG_HOME", unusable);
    test::ScopedEnv data("XDG_DATA_HOME", unusable);
    test::ScopedEnv state("XDG_STATE_HOME", unusable);
    EXPECT_EQ(userConfigDir(), "/home/player/.config/ruvelo");
    EXPECT_EQ(userDataDir(), "/home/player/.local/share/ruvelo");
    EXPECT_EQ(userStateDir(), "/home/player/.local/state/ruvelo");
  }
  test::ScopedEnv noHome("HOME", nullptr);
  test::ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(userConfigDir(), "");
}

// XDG_CONFIG_HOME naming a file: settings.txt refuses with one line naming it (controls.txt does the
// same, tested with the controls), and the shipped settings are not taken silently instead.
TEST(UserDirs, AConfigFolderThatIsAFileIsNamed) {
  const std::string dir = test::makeTempDir("user_dirs");
  const std::string notAFolder = dir + "/config";
  std::ofstream(notAFolder) << "width=1\n";
  test::ScopedEnv config("XDG_CONFIG_HOME", notAFolder.c_str());
  const std::string shipped = dir + "/settings.txt";
  std::ofstream(shipped) << "width=320\n";

  const std::string path = settingsFileToRead(userConfigDir(), shipped);
  EXPECT_EQ(path, notAFolder + "/ruvelo/settings.txt");
  Settings settings;
  const SettingsResult read = readSettingsFile(path, shipped, settings);
  EXPECT_EQ(read.status, SettingsStatus::FileMissing);
  EXPECT_EQ(read.message, "Unable to open file " + path + ": " + notAFolder + " is not a folder");

  // Only a plainly absent file gives way to the shipped one.
  test::ScopedEnv absent("XDG_CONFIG_HOME", (dir + "/nothing").c_str());
  EXPECT_EQ(settingsFileToRead(userConfigDir(), shipped), shipped);
}

TEST(UserDirs, AtomicWriteReplacesWholeOrLeavesTheOldFile) {
  const std::string dir = test::makeTempDir("user_dirs");
  const std::string path = dir + "/a/b/best.txt";  // parents are created
  std::string why;
  ASSERT_TRUE(writeFileAtomically(path, "first", why)) << why;
  ASSERT_TRUE(writeFileAtomically(path, "second, longer", why)) << why;
  EXPECT_EQ(test::readWholeFile(path), "second, longer");

  // A folder that cannot be written: the write fails, says why, and the old file stays whole.
  ASSERT_EQ(chmod((dir + "/a/b").c_str(), 0555), 0);
  const bool wrote = writeFileAtomically(path, "third", why);
  chmod((dir + "/a/b").c_str(), 0755);
  if (geteuid() != 0) {  // root writes anywhere
    EXPECT_FALSE(wrote);
    EXPECT_NE(why.find("best.txt"), std::string::npos) << why;
    EXPECT_EQ(test::readWholeFile(path), "second, longer");
  }

  // A path whose parent is a file: refused, the file left as it was.
  const std::string before = test::readWholeFile(path);
  EXPECT_FALSE(writeFileAtomically(path + "/child", "x", why));
  EXPECT_NE(why.find("Not a directory"), std::string::npos) << why;
  EXPECT_EQ(test::readWholeFile(path), before);
}

}  // namespace
}  // namespace ruvelo
