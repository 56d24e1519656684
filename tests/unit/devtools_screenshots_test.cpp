// Screenshots as files: a write only counts once the bytes are on disk, and every way it can fail
// says why.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "devtools/screenshots.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

TEST(Screenshots, WritesThePictureTopRowFirstOrSaysWhyNot) {
  const std::string dir = test::makeTempDir("ruvelo-shots");
  // 2 x 2: red top-left, the rest blue.
  std::vector<unsigned char> rgba = {255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255};
  ASSERT_EQ(writePngFile(dir + "/ok.png", 2, 2, rgba), "");
  int w = 0, h = 0, channels = 0;
  unsigned char* back = stbi_load((dir + "/ok.png").c_str(), &w, &h, &channels, 4);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::vector<unsigned char>(back, back + 16), rgba);
  stbi_image_free(back);

  // The device accepts the open and buffers the bytes: only the flush tells the disk is full.
  EXPECT_EQ(writePngFile("/dev/full", 2, 2, rgba), "No space left on device");
  EXPECT_EQ(writePngFile(dir, 2, 2, rgba), dir + " is a folder");
  // Like every output, a missing folder is made.
  EXPECT_EQ(writePngFile(dir + "/new/folder.png", 2, 2, rgba), "");
}

// The writer's refusals hold for screenshots: a link (to a file, or dangling) is not followed, a
// read-only file is not replaced (even by root), and nothing is left beside them.
TEST(Screenshots, LinksAndReadOnlyFilesAreRefused) {
  const std::string dir = test::makeTempDir("ruvelo-shots");
  const std::vector<unsigned char> rgba(16, 255);
  std::ofstream(dir + "/victim.txt") << "keep me";
  std::filesystem::create_symlink(dir + "/victim.txt", dir + "/link.png");
  std::filesystem::create_symlink(dir + "/created.png", dir + "/dangling.png");
  std::ofstream(dir + "/readonly.png") << "old";
  ASSERT_EQ(::chmod((dir + "/readonly.png").c_str(), 0444), 0);
  EXPECT_EQ(writePngFile(dir + "/link.png", 2, 2, rgba), dir + "/link.png is a symbolic link (not followed)");
  EXPECT_EQ(writePngFile(dir + "/dangling.png", 2, 2, rgba),
            dir + "/dangling.png is a symbolic link (not followed)");
  EXPECT_EQ(writePngFile(dir + "/readonly.png", 2, 2, rgba), dir + "/readonly.png is not writable");
  EXPECT_EQ(test::readWholeFile(dir + "/victim.txt"), "keep me");
  EXPECT_EQ(test::readWholeFile(dir + "/readonly.png"), "old");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dangling.png", "link.png", "readonly.png", "victim.txt"}));
}

TEST(Screenshots, AFailedOrMissedFrameIsOneLineNamingFrameAndFile) {
  const std::vector<Screenshot> shots = {{2, "a.png"}, {2, "b.png"}, {9, "c.png"}};
  std::vector<std::string> written;
  auto write = [&](const std::string& path) {
    written.push_back(path);
    return path == "a.png" ? std::string("Permission denied") : std::string();
  };
  EXPECT_EQ(takeScreenshots(shots, 1, write), "");
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(takeScreenshots(shots, 2, write),
            "--screenshot: frame 2 could not be written to a.png: Permission denied");
  EXPECT_EQ(written, std::vector<std::string>{"a.png"}) << "the run ends at the first failure";

  EXPECT_EQ(missedScreenshot(shots, 9), "");
  EXPECT_EQ(missedScreenshot(shots, 8),
            "--screenshot: frame 9 was never reached (the run ended after frame 8), c.png not written");
}

}  // namespace
}  // namespace ruvelo
