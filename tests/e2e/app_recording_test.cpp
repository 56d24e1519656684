// Recorded drives: fixed-dt scripted runs whose console output must stay the same byte for byte and
// whose pictures must stay within the reference tolerance. They pin the game's behaviour while its
// structure changes. RUVELO_UPDATE_REFERENCE=1 records them again (only for a change made on purpose).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "support/game_runner.h"
#include "support/image.h"
#include "support/temp_dir.h"

namespace ruvelo::test {
namespace {

const std::string kRecordingDir = std::string(RUVELO_SOURCE_DIR) + "/tests/e2e/reference/recordings/";

struct Drive {
  const char* name;
  const char* dt;
  long frames;
  const char* script;             // --input lines
  std::vector<long> screenshots;  // frames whose picture is kept
};

const Drive kDrives[] = {
    // Standing at the start: the vehicle settles, the camera follows, snow falls.
    {"start", "0.05", 12, "", {12}},
    // Straight ahead up the ramp onto the deck, in quarter-second frames.
    {"deck", "0.25", 60, "1 W press\n", {36, 60}},
    // Every toggle while standing, the free camera moved in debug mode, the HUD hidden.
    {"toggles",
     "0.05",
     30,
     "2 R release\n3 F1 release\n5 F1 release\n6 F2 release\n7 F2 release\n8 F5 release\n"
     "8 F5 release\n9 F6 release\n10 F8 release\n11 F7 release\n12 F3 release\n13 W press\n"
     "18 W release\n18 SPACE press\n20 SPACE release\n22 F3 release\n24 F4 release\n25 F4 release\n"
     "26 F9 release\n",
     {4, 20, 30}},
    // Backwards off the start road, holding S until the power runs out; then the result screen,
    // where toggles still answer.
    {"lost", "0.25", 62, "1 S press\n61 F7 release\n", {40, 62}},
};

void PrintTo(const Drive& drive, std::ostream* out) {
  *out << drive.name;
}

std::string shotName(const Drive& drive, long frame) {
  return std::string(drive.name) + "_" + std::to_string(frame) + ".png";
}

class Recording : public ::testing::TestWithParam<Drive> {};

TEST_P(Recording, MatchesTheRecordedRun) {
  const Drive& drive = GetParam();
  GameFolder folder;  // 320 x 240, windowed
  std::vector<std::string> args = {"--frames", std::to_string(drive.frames), "--fixed-dt", drive.dt,
                                   "--log-state"};
  if (*drive.script) {
    args.push_back("--input");
    args.push_back(folder.writeFile("script.txt", drive.script));
  }
  for (long frame : drive.screenshots) {
    args.push_back("--screenshot");
    args.push_back(std::to_string(frame) + ":" + folder.path(shotName(drive, frame)));
  }
  const GameRun run = folder.run(args);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  const std::string logPath = kRecordingDir + drive.name + ".log";
  if (std::getenv("RUVELO_UPDATE_REFERENCE") != nullptr) {
    std::filesystem::create_directories(kRecordingDir);
    std::ofstream(logPath, std::ios::binary) << run.out;
    for (long frame : drive.screenshots)
      ASSERT_TRUE(
          savePng(kRecordingDir + shotName(drive, frame), loadPng(folder.path(shotName(drive, frame)))));
    GTEST_SKIP() << "recording rewritten: " << drive.name;
  }

  const std::string expected = readWholeFile(logPath);
  ASSERT_FALSE(expected.empty()) << "no recording at " << logPath;
  EXPECT_EQ(run.out, expected) << "console output of the " << drive.name << " drive changed";

  const std::string out = std::string(RUVELO_BUILD_DIR) + "/test-output";
  std::filesystem::create_directories(out);
  for (long frame : drive.screenshots) {
    const std::string name = shotName(drive, frame);
    const Image actual = loadPng(folder.path(name));
    const Image reference = loadPng(kRecordingDir + name);
    ASSERT_FALSE(actual.empty()) << name;
    ASSERT_FALSE(reference.empty()) << "no recording at " << kRecordingDir + name;
    ASSERT_EQ(actual.width, reference.width);
    ASSERT_EQ(actual.height, reference.height);
    const ImageDiff diff = compareImages(actual, reference, 64);
    const bool close = diff.meanAbs < 4.0 && diff.fractionOver < 0.02;
    if (!close) {
      savePng(out + "/recording_" + name, actual);
      savePng(out + "/recording_diff_" + name, diff.visual);
    }
    EXPECT_TRUE(close) << name << ": mean " << diff.meanAbs << ", max " << diff.maxAbs
                       << ", share over 64: " << diff.fractionOver << " (written to build/test-output/)";
  }
}

INSTANTIATE_TEST_SUITE_P(Drives, Recording, ::testing::ValuesIn(kDrives),
                         [](const ::testing::TestParamInfo<Drive>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace ruvelo::test
