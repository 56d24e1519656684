// Function keys and the game's rules seen from outside: console messages and --log-state.
#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
}  // namespace ruvelo::test
