// Scripted drives through the level with a fixed time step: batteries, off-road power drain,
// running out of power, and the recovery key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "support/game_runner.h"
#include "support/image.h"

namespace ruvelo::test {
namespace {

double number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

// The y of a "pos=x,y,z" field.
double posY(const std::vector<std::pair<std::string, std::string>>& line) {
  std::istringstream in(field(line, "pos"));
  double x = 0, y = 0;
  char comma = 0;
  in >> x >> comma >> y;
  return y;
}

const std::string kSmallWindow = "width=320\nheight=240\nrefresh_rate=60\nfullscreen=false\n";

TEST(Gameplay, DrivingUpTheRampCollectsTheFirstBatteryOnce) {
  GameFolder folder(kSmallWindow);
  const std::string script = folder.writeFile("drive.txt", "1 W press\n");
  // Straight ahead from the start: the ramp at z = -300, the deck at y = 15.5, battery 3 at z = -100.
  const GameRun run = folder.run({"--frames", "175", "--fixed-dt", "0.1", "--input", script, "--log-state"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(countLines(run.out, "trigger"), 1) << run.out;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 175u);
  double highest = 0;
  int jumps = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    highest = std::max(highest, posY(lines[i]));
    const double change = number(field(lines[i], "power")) - number(field(lines[i - 1], "power"));
    if (change > 0) {
      ++jumps;
      EXPECT_NEAR(change, 10.0 - 0.1, 0.011) << "a battery adds 10 while W still drains 0.1 on the deck";
      EXPECT_GT(posY(lines[i]), 15.0) << "battery 3 sits on the deck";
    }
  }
  EXPECT_EQ(jumps, 1);
  EXPECT_GT(highest, 17.0) << "the vehicle climbed onto the deck";
  EXPECT_EQ(field(lines.back(), "packets"), "0");
}

TEST(Gameplay, OffTheRoadPowerDrainsTenTimesFasterUntilTheGameIsLost) {
  GameFolder folder(kSmallWindow);
  const std::string script = folder.writeFile("reverse.txt", "1 S press\n");
  // Backwards off the end of the start road, down its embankment onto the grass and against the end
  // wall, holding S all the way.
  const GameRun run = folder.run({"--frames", "170", "--fixed-dt", "0.1", "--input", script, "--log-state",
                                  "--screenshot", "170:" + folder.path("lost.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 170u);
  // The result screen and the console say why.
  EXPECT_EQ(countLines(run.out, "Out of power"), 1);
  const Image shot = loadPng(folder.path("lost.png"));
  ASSERT_FALSE(shot.empty());
  EXPECT_GT(countPixels(shot, 0, shot.height * 55 / 100, shot.width, shot.height * 65 / 100,
                        [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; }),
            20)
      << "the reason under the result";
  EXPECT_EQ(field(lines[10], "gear"), "0") << "S puts the vehicle in reverse at once";
  int onRoad = 0, offRoad = 0;
  size_t lostAt = 0;
  for (size_t i = 1; i < lines.size() && lostAt == 0; ++i) {
    if (field(lines[i], "phase") == "Lost") {
      lostAt = i;
      break;
    }
    const double drain = number(field(lines[i - 1], "power")) - number(field(lines[i], "power"));
    // Down the embankment the height passes 2.6 within a frame's step: judge only frames that start
    // and end on the same side (the vehicle rests about 2.52 high on the grass, 3.3 on the road).
    const double before = posY(lines[i - 1]), after = posY(lines[i]);
    if (std::min(before, after) > 2.65) {
      EXPECT_NEAR(drain, 0.1, 0.011) << "frame " << i + 1;
      ++onRoad;
    } else if (std::max(before, after) < 2.55) {
      EXPECT_NEAR(drain, 1.0, 0.011) << "frame " << i + 1;
      ++offRoad;
    }
  }
  EXPECT_GT(onRoad, 20);
  EXPECT_GT(offRoad, 20);
  ASSERT_GT(lostAt, 0u) << "the power ran out";
  EXPECT_LE(number(field(lines[lostAt], "power")), 0.0);
  EXPECT_EQ(field(lines.back(), "phase"), "Lost");
}

TEST(Gameplay, RecoveryLiftsTheVehicleOnlyAtRest) {
  GameFolder folder(kSmallWindow);
  // Space at rest lifts by 2; space while driving does nothing.
  const std::string script = folder.writeFile("recover.txt",
                                              "3 SPACE press\n4 SPACE release\n"
                                              "30 W press\n45 SPACE press\n47 SPACE release\n");
  const GameRun run = folder.run({"--frames", "50", "--fixed-dt", "0.05", "--input", script, "--log-state"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_NEAR(posY(lines[1]), 3.3, 0.05);
  EXPECT_NEAR(posY(lines[3]), 5.3, 0.05) << "lifted by 2 m at rest (keys pressed in a frame act in the next)";
  EXPECT_NEAR(posY(lines[28]), 3.3, 0.1) << "and back on its wheels";
  EXPECT_GT(number(field(lines[44], "speed")), 0.05);
  EXPECT_NEAR(posY(lines[45]), posY(lines[43]), 0.2) << "no lift while moving";
}

}  // namespace
}  // namespace ruvelo::test
