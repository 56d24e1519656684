// Leaving the road and coming back: from the start, off either side of the start road at speed onto
// the grass, then steered back up the embankment onto the road.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "support/game_runner.h"

namespace ruvelo::test {
namespace {

struct State {
  double x = 0, y = 0, z = 0, speed = 0;
};

State parse(const std::vector<std::pair<std::string, std::string>>& line) {
  State s;
  std::istringstream in(field(line, "pos"));
  char comma = 0;
  in >> s.x >> comma >> s.y >> comma >> s.z;
  s.speed = std::strtod(field(line, "speed").c_str(), nullptr);
  return s;
}

constexpr double kOffRoadHeight = 2.6;  // power drains ten times faster at or below this actor height
constexpr double kRoadHalfWidth = 8.0;
constexpr double kDt = 0.1;

struct Drive {
  const char* name;
  const char* away;  // the key that steers off the road
  const char* back;
  double side;  // +1: off towards +x
};

class Recovery : public ::testing::TestWithParam<Drive> {};

TEST_P(Recovery, OffTheStartRoadAtSpeedAndBackUpTheEmbankment) {
  const Drive drive = GetParam();
  GameFolder folder;
  // Accelerate along the road, turn off it past the arch, turn back towards it, and ease the turn
  // before the embankment (the steering follows the keys over about a second).
  const int backAt = 48;
  std::ostringstream script;
  script << "1 W press\n30 " << drive.away << " press\n40 " << drive.away << " release\n"
         << backAt << " " << drive.back << " press\n62 " << drive.back << " release\n68 " << drive.away
         << " press\n71 " << drive.away << " release\n";
  const std::string input = folder.writeFile("drive.txt", script.str());
  const int frames = 90;
  // Software rendering on a busy machine: allow most of the test's time.
  const GameRun run = folder.run(
      {"--frames", std::to_string(frames), "--fixed-dt", "0.1", "--input", input, "--log-state"}, 570);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), static_cast<size_t>(frames));

  int leftRoadAt = -1, lastOffRoad = -1;
  double widest = 0, speedLeaving = 0;
  for (int i = 0; i < frames; ++i) {
    const State s = parse(lines[i]);
    if (leftRoadAt < 0 && s.x * drive.side > kRoadHalfWidth) {
      leftRoadAt = i;
      speedLeaving = s.speed;
    }
    widest = std::max(widest, s.x * drive.side);
    if (s.y <= kOffRoadHeight) lastOffRoad = i;
  }
  ASSERT_GE(leftRoadAt, 0) << "never left the road";
  EXPECT_GE(speedLeaving, 10.0);
  EXPECT_LE(speedLeaving, 15.0);
  EXPECT_GT(widest, 14.0 + 3.0) << "out beyond the embankment, on the grass";
  ASSERT_GT(lastOffRoad, leftRoadAt) << "the vehicle was off the road";
  // Back above the off-road height within a few seconds of steering back, and on the road for good.
  const double backAfter = (lastOffRoad + 1 - backAt) * kDt;
  std::cout << drive.name << ": left the road at " << speedLeaving << " m/s, out to |x| = " << widest
            << ", back above " << kOffRoadHeight << " " << backAfter << " s after steering back\n";
  EXPECT_LT(backAfter, 5.0);
  EXPECT_LT(lastOffRoad, frames - 5) << "still off the road at the end";
  const State end = parse(lines.back());
  EXPECT_GT(end.y, 3.2) << "on the road top (actor 2 above 1.3)";
  EXPECT_LT(std::fabs(end.x), kRoadHalfWidth + 1.0);
  EXPECT_GT(end.speed, 3.0) << "driving on, not wedged";
}

INSTANTIATE_TEST_SUITE_P(BothSides, Recovery,
                         ::testing::Values(Drive{"towards +x", "A", "D", 1.0},
                                           Drive{"towards -x", "D", "A", -1.0}),
                         [](const ::testing::TestParamInfo<Drive>& info) {
                           return info.param.side > 0 ? std::string("PlusX") : std::string("MinusX");
                         });

}  // namespace
}  // namespace ruvelo::test
