// Function keys and the game's rules seen from outside: console messages and --log-state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/game_runner.h"

namespace ruvelo::test {
namespace {

double number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

TEST(Controls, DebugModeTogglesAndFreezesTheTimer) {
  GameFolder folder;
  const std::string script = folder.writeFile("debug.txt",
                                              "2 F3 press\n"
                                              "4 F3 release\n"
                                              "8 F3 press\n"
                                              "8 F3 release\n");
  const GameRun run = folder.run({"--frames", "10", "--fixed-dt", "0.1", "--input", script, "--log-state"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("DebugMode: 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("DebugMode: 0\n"), std::string::npos) << run.out;
  EXPECT_LT(run.out.find("DebugMode: 1"), run.out.find("DebugMode: 0"));
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 10u);
  // Frames 1-3 count down, frames 4-7 (debug on from frame 4's event poll) stand still, then it runs again.
  EXPECT_LT(number(field(lines[2], "time")), number(field(lines[0], "time")));
  EXPECT_EQ(field(lines[4], "time"), field(lines[6], "time")) << "the timer stands still in debug mode";
  EXPECT_LT(number(field(lines[9], "time")), number(field(lines[7], "time")));
}

TEST(Controls, ToggleMessagesOnReleaseOnly) {
  GameFolder folder;
  const std::string script = folder.writeFile("toggles.txt",
                                              "2 R press\n2 R release\n"
                                              "3 F4 press\n3 F4 release\n"
                                              "4 F7 press\n4 F7 release\n"
                                              "5 F8 press\n"  // held, never released
                                              "6 F1 release\n6 F1 release\n6 F2 release\n6 F9 release\n"
                                              "6 F5 release\n6 F6 release\n");
  const GameRun run = folder.run({"--frames", "7", "--fixed-dt", "0.05", "--input", script});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Reverse Mode Switched: 1\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Win/lose Condition: 0\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Snow: 0\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("ViewFrustum"), std::string::npos) << "a key still held toggles nothing";
}

TEST(Controls, PauseMovedToSpaceFreesP) {
  GameFolder folder;
  folder.writeFile("config/ruvelo/controls.txt", "recover=V\npause=SPACE\n");
  const std::string script = folder.writeFile("pause.txt", "3 SPACE release\n5 P release\n7 SPACE release\n");
  const GameRun run = folder.run({"--frames", "9", "--fixed-dt", "0.1", "--input", script, "--log-state"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(countLines(run.out, "Paused: 1"), 1) << run.out;
  EXPECT_EQ(countLines(run.out, "Paused: 0"), 1) << run.out;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(field(lines[1], "paused"), "");
  EXPECT_EQ(field(lines[5], "paused"), "1") << "P no longer pauses or resumes";
  EXPECT_EQ(field(lines[7], "paused"), "");
}

// A drive with toggles and a pause recorded before the actions were recorded as actions (its keys
// were kept as keys then) replays to the state lines it printed when it was made.
TEST(Controls, AVersion2RecordingReplaysToItsStateLines) {
  const std::string dir = std::string(RUVELO_SOURCE_DIR) + "/tests/e2e/reference/recordings/";
  GameFolder folder;
  const GameRun run = folder.run({"--replay", dir + "version2_drive.rvr", "--log-state"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::ifstream log(dir + "version2_drive.log", std::ios::binary);
  std::ostringstream expected;
  expected << log.rdbuf();
  EXPECT_EQ(countLines(run.out, "Snow: 0"), 1) << run.out;
  EXPECT_EQ(countLines(run.out, "Paused: 1"), 1) << run.out;
  std::string lines;
  for (const std::string& line : stateText(run.out)) lines += line + "\n";
  EXPECT_EQ(lines, expected.str());
}

}  // namespace
}  // namespace ruvelo::test
