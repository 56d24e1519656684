// The autopilot in the built game: it wins the level at long and short frames, and a player's key
// takes over for good.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <glm/glm.hpp>

#include "support/game_runner.h"

namespace ruvelo::test {
namespace {

double number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

glm::dvec3 posOf(const std::vector<std::pair<std::string, std::string>>& line) {
  std::istringstream in(field(line, "pos"));
  double x = 0, y = 0, z = 0;
  char comma = 0;
  in >> x >> comma >> y >> comma >> z;
  return {x, y, z};
}

const std::string kTinyWindow = "width=160\nheight=90\nrefresh_rate=60\nfullscreen=false\n";

struct WinCase {
  const char* dt;
  double seconds;
  double minimumLeft;  // seconds and power the autopilot must have left
};

// Runs until the time the autopilot may use at most; the run goes on showing the result after a win.
TEST(Autopilot, WinsTheLevelWithTimeAndPowerToSpare) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  for (const WinCase& c : {WinCase{"0.1", 0.1, 10.0}, WinCase{"0.0333333", 1.0 / 30.0, 20.0},
                           WinCase{"0.0166667", 1.0 / 60.0, 20.0}}) {
    SCOPED_TRACE(c.dt);
    GameFolder folder(kTinyWindow);
    const long frames = static_cast<long>(std::ceil((153.0 - c.minimumLeft) / c.seconds)) + 2;
    const GameRun run = folder.run(
        {"--frames", std::to_string(frames), "--fixed-dt", c.dt, "--autopilot", "--log-state"}, 1200);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = stateLines(run.out);
    ASSERT_EQ(lines.size(), static_cast<size_t>(frames));
    size_t won = 0;
    while (won < lines.size() && field(lines[won], "phase") == "Playing") ++won;
    ASSERT_LT(won, lines.size()) << "still playing at the end, at " << field(lines.back(), "pos");
    ASSERT_EQ(field(lines[won], "phase"), "Won") << "lost at " << field(lines[won], "pos");
    // The first line that is not Playing is the frame that won; the result screen follows.
    const auto& last = lines[won];
    const double timeLeft = number(field(last, "time"));
    const double power = number(field(last, "power"));
    const int batteries = countLines(run.out, "trigger") - 3;
    std::printf("autopilot at %s s frames: won on frame %zu with %.2f s and %.2f power left, %d batteries\n",
                c.dt, won + 1, timeLeft, power, batteries);
    EXPECT_EQ(field(last, "packets"), "3");
    EXPECT_GE(timeLeft, c.minimumLeft);
    EXPECT_GE(power, c.minimumLeft);
    EXPECT_GE(batteries, 2);
  }
}

TEST(Autopilot, DrivesUntilThePlayerPressesADrivingKey) {
  GameFolder folder(kTinyWindow);
  // F4 under the autopilot still toggles; S at frame 60 takes over: reverse gear, for good.
  const std::string script = folder.writeFile("keys.txt", "10 F4 press\n11 F4 release\n60 S press\n");
  const GameRun run =
      folder.run({"--frames", "90", "--fixed-dt", "0.1", "--autopilot", "--input", script, "--log-state"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Win/lose Condition: 0\n"), std::string::npos) << run.out;
  EXPECT_EQ(countLines(run.out, "Autopilot off: the player drives"), 1);
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 90u);
  const glm::dvec3 before = posOf(lines[58]);
  EXPECT_GT(before.z - posOf(lines[0]).z, 40.0) << "the autopilot drove off along the start road";
  EXPECT_GT(number(field(lines[58], "speed")), 10.0);
  EXPECT_LT(std::fabs(before.x), 4.0) << "on the road's line";
  EXPECT_EQ(field(lines.back(), "gear"), "0") << "the player's S put it in reverse";
  // The autopilot would have held its speed up the start road; the player's reverse gear brakes it.
  EXPECT_LT(number(field(lines.back(), "speed")), number(field(lines[58], "speed")) - 5.0)
      << "and it stays the player's";
}

}  // namespace
}  // namespace ruvelo::test
