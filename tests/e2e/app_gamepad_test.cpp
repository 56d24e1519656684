// Analog driving and rebound controls seen from outside: a scripted gamepad (which goes through the
// same mapping as a real one) and controls.txt in the player's config folder, read off --log-state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include <glm/glm.hpp>

#include "support/game_runner.h"

namespace ruvelo::test {
namespace {

using StateLine = std::vector<std::pair<std::string, std::string>>;

const std::string kTinyWindow = "width=160\nheight=90\nrefresh_rate=60\nfullscreen=false\n";

glm::dvec3 posOf(const StateLine& line) {
  std::istringstream in(field(line, "pos"));
  double x = 0, y = 0, z = 0;
  char comma = 0;
  in >> x >> comma >> y >> comma >> z;
  return {x, y, z};
}

double number(const StateLine& line, const std::string& key) {
  return std::strtod(field(line, key).c_str(), nullptr);
}

// The state lines of a run of `frames` frames of `dt` seconds driven by `script`.
std::vector<StateLine> drive(const GameFolder& folder, const std::string& script, long frames,
                             const char* dt = "0.1", std::vector<std::string> extra = {}) {
  const std::string input = folder.writeFile("drive.txt", script);
  std::vector<std::string> args = {"--frames", std::to_string(frames), "--fixed-dt", dt, "--input",
                                   input,      "--log-state"};
  args.insert(args.end(), extra.begin(), extra.end());
  const GameRun run = folder.run(args);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  return stateLines(run.out);
}

// The circle through three points of the ground plane: its centre's x and its radius.
struct Circle {
  double centreX = 0, radius = 0;
};
Circle circleThrough(const glm::dvec3& a, const glm::dvec3& b, const glm::dvec3& c) {
  const glm::dvec2 p(a.x, a.z), q(b.x, b.z), r(c.x, c.z);
  const double d = 2.0 * (p.x * (q.y - r.y) + q.x * (r.y - p.y) + r.x * (p.y - q.y));
  const double p2 = glm::dot(p, p), q2 = glm::dot(q, q), r2 = glm::dot(r, r);
  const glm::dvec2 centre((p2 * (q.y - r.y) + q2 * (r.y - p.y) + r2 * (p.y - q.y)) / d,
                          (p2 * (r.x - q.x) + q2 * (p.x - r.x) + r2 * (q.x - p.x)) / d);
  return {centre.x, glm::length(p - centre)};
}

TEST(Gamepad, TriggerThrottleAndItsPowerDrainFollowHowFarItIsPulled) {
  GameFolder folder(kTinyWindow);
  const auto full = drive(folder, "1 GAMEPAD_AXIS RIGHT_TRIGGER 1\n", 60);
  const auto half = drive(folder, "1 GAMEPAD_AXIS RIGHT_TRIGGER 0\n", 60);
  const auto keys = drive(folder, "1 W press\n", 60);
  ASSERT_EQ(full.size(), 60u);
  ASSERT_EQ(half.size(), 60u);
  ASSERT_EQ(keys.size(), 60u);
  EXPECT_GT(number(full.back(), "speed"), 2.0 * number(half.back(), "speed"));
  EXPECT_GT(number(half.back(), "speed"), 3.0) << "half a trigger still drives";
  EXPECT_GT(posOf(half.back()).z, posOf(half.front()).z + 10.0);
  // On the road the power drains 1 per second at full throttle: the full trigger as W, half of
  // its travel (past the small dead zone, 0.45 / 0.95 of the throttle) in proportion.
  const double fullDrain = 100.0 - number(full.back(), "power");
  EXPECT_NEAR(fullDrain, 100.0 - number(keys.back(), "power"), 0.011);
  EXPECT_NEAR(100.0 - number(half.back(), "power"), fullDrain * 0.45 / 0.95, 0.03);
}

TEST(Gamepad, StickSteersAWiderCircleWhenPushedLessAndNotAtAllInsideItsDeadZone) {
  GameFolder folder(kTinyWindow);
  // Half a trigger gathers speed gently, so the circles change little between the points read.
  const std::string throttle = "1 GAMEPAD_AXIS RIGHT_TRIGGER 0\n";
  const auto gentle = drive(folder, throttle + "1 GAMEPAD_AXIS LEFT_X 0.3\n", 100);
  const auto hard = drive(folder, throttle + "1 GAMEPAD_AXIS LEFT_X 1\n", 100);
  const auto key = drive(folder, throttle + "1 D press\n", 100);
  const auto dead = drive(folder, throttle + "1 GAMEPAD_AXIS LEFT_X -0.09\n", 100);
  for (const auto* lines : {&gentle, &hard, &key, &dead}) ASSERT_EQ(lines->size(), 100u);
  const Circle wide = circleThrough(posOf(gentle[50]), posOf(gentle[75]), posOf(gentle[99]));
  const Circle tight = circleThrough(posOf(hard[50]), posOf(hard[75]), posOf(hard[99]));
  const Circle keyed = circleThrough(posOf(key[50]), posOf(key[75]), posOf(key[99]));
  EXPECT_GT(wide.radius, 4.0 * tight.radius);
  EXPECT_GT(tight.radius, 1.0);
  // The stick to the right turns as D does: towards -x (the vehicle faces +z), the full stick as
  // tight as the key.
  EXPECT_LT(wide.centreX, -5.0);
  EXPECT_LT(tight.centreX, -1.0);
  EXPECT_LT(keyed.centreX, -1.0);
  EXPECT_NEAR(tight.radius, keyed.radius, 0.05 * keyed.radius);
  // Inside the dead zone it drives straight up the start road.
  EXPECT_GT(posOf(dead.back()).z - posOf(dead.front()).z, 20.0);
  EXPECT_LT(std::fabs(posOf(dead.back()).x), 0.01);
}

TEST(Gamepad, YPutsTheTurnedVehicleBackFacingAlongTheRoad) {
  GameFolder folder(kTinyWindow);
  // Turn left on the stick, stop with X, Y at rest, then drive off with the trigger.
  const auto lines =
      drive(folder,
            "1 GAMEPAD_AXIS RIGHT_TRIGGER 0\n1 GAMEPAD_AXIS LEFT_X -1\n"
            "40 GAMEPAD_AXIS RIGHT_TRIGGER -1\n40 GAMEPAD_AXIS LEFT_X 0\n"
            "40 GAMEPAD_BUTTON X press\n70 GAMEPAD_BUTTON Y press\n71 GAMEPAD_BUTTON Y release\n"
            "90 GAMEPAD_BUTTON X release\n90 GAMEPAD_AXIS RIGHT_TRIGGER 1\n",
            120, "0.05");
  ASSERT_EQ(lines.size(), 120u);
  const glm::dvec3 turning = posOf(lines[38]) - posOf(lines[29]);
  EXPECT_GT(turning.x, 0.5 * turning.z) << "heading off to the left (+x) before Y";
  EXPECT_LT(number(lines[68], "speed"), 0.05) << "X stopped it";
  EXPECT_NEAR(posOf(lines[70]).y, posOf(lines[68]).y + 2.0, 0.05) << "Y at rest lifts it by 2 m";
  const glm::dvec3 away = posOf(lines[119]) - posOf(lines[94]);
  EXPECT_GT(away.z, 2.0);
  EXPECT_LT(std::fabs(away.x), 0.05 * away.z) << "and it faces along the road again";
}

TEST(Gamepad, AutopilotHandsOverOnlyPastTheDeadZone) {
  GameFolder folder(kTinyWindow);
  const std::string input = folder.writeFile(
      "pad.txt",
      "5 GAMEPAD_AXIS LEFT_X 0.09\n5 GAMEPAD_AXIS LEFT_TRIGGER -0.95\n30 GAMEPAD_AXIS LEFT_X 0.5\n");
  const GameRun run =
      folder.run({"--frames", "32", "--fixed-dt", "0.1", "--autopilot", "--input", input, "--log-state"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(countLines(run.out, "Gamepad connected: input script"), 1);
  EXPECT_EQ(countLines(run.out, "Autopilot off: the player drives"), 1);
  const auto off = run.out.find("Autopilot off");
  EXPECT_GT(off, run.out.find("state frame=30 "))
      << "the stick inside its dead zone left the autopilot alone";
  EXPECT_LT(off, run.out.find("state frame=32 "));
}

TEST(Controls, ReboundAccelerateDrivesWithItsNewKeyOnly) {
  GameFolder folder(kTinyWindow);
  folder.writeFile("config/ruvelo/controls.txt", "# arrows\naccelerate = UP\n");
  const auto lines = drive(folder, "1 W press\n20 W release\n20 UP press\n", 40);
  ASSERT_EQ(lines.size(), 40u);
  EXPECT_LT(number(lines[18], "speed"), 0.01) << "W no longer accelerates";
  EXPECT_EQ(field(lines[18], "power"), "100.00");
  EXPECT_GT(number(lines.back(), "speed"), 5.0) << "UP does";
}

TEST(Controls, ABadControlsFileStopsTheGameNamingTheFileAndLine) {
  GameFolder folder(kTinyWindow);
  const std::string file = folder.path("config/ruvelo/controls.txt");
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"brake=B\nsteer_left=Q,F4\n",
       ":2: F4 is bound to both steer_left and toggle_rules (toggle_rules by default)"},
      {"accelerate=W\n\nturbo=T\n", ":3: unknown action \"turbo\""},
      {"reverse=W\n", ":1: W is bound to both accelerate and reverse (accelerate by default)"},
      {"steer_left=GAMEPAD_RIGHT_X\n", ":1: GAMEPAD_RIGHT_X needs a direction"},
  };
  for (const auto& c : cases) {
    folder.writeFile("config/ruvelo/controls.txt", c.text);
    const GameRun run = folder.run({"--frames", "1"});
    EXPECT_EQ(run.status, 1) << c.text;
    EXPECT_NE(run.err.find(file + c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

}  // namespace
}  // namespace ruvelo::test
