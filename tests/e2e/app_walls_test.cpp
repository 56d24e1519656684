// The level's walls in the built game: steering into a ramp's or the deck's side wall at speed leaves
// the vehicle on its wheels on the ramp or deck, and a drive straight out ends at the level's edge.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include <glm/glm.hpp>

#include "level/level_layout.h"
#include "support/game_runner.h"

namespace ruvelo::test {
namespace {

const std::string kTinyWindow = "width=160\nheight=90\nrefresh_rate=60\nfullscreen=false\n";

glm::vec3 posOf(const std::vector<std::pair<std::string, std::string>>& line) {
  std::istringstream in(field(line, "pos"));
  float x = 0, y = 0, z = 0;
  char comma = 0;
  in >> x >> comma >> y >> comma >> z;
  return {x, y, z};
}

// Height of the main road's top at z (start road, ramps, deck); NAN off its length.
float spineTop(float z) {
  for (const level::SpinePiece& p : level::levelLayout().spine) {
    if (z < p.from.y || z > p.to.y) continue;
    const float t = (z - p.from.y) / (p.to.y - p.from.y);
    return p.heightFrom + t * (p.heightTo - p.heightFrom);
  }
  return NAN;
}

struct WallDrive {
  const char* script;
  const char* what;
};

TEST(Walls, SteeringIntoTheRampOrDeckWallsAtSpeedKeepsTheVehicleOnItsWheelsBetweenThem) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  const WallDrive drives[] = {
      {"3 W press\n240 A press\n255 A release\n", "left at 30 m/s near the ramp's top"},
      {"3 W press\n220 D press\n236 D release\n", "right at 28 m/s on the ramp"},
      {"3 W press\n300 A press\n330 A release\n", "left at 33 m/s on the deck"},
  };
  // Inside faces of the walls; the vehicle's actor is its middle.
  const float innerFace = level::kRoadWidth * 0.5f - level::kWallThickness;
  for (const WallDrive& drive : drives) {
    SCOPED_TRACE(drive.what);
    GameFolder folder(kTinyWindow);
    const std::string script = folder.writeFile("drive.txt", drive.script);
    const GameRun run =
        folder.run({"--frames", "420", "--fixed-dt", "0.05", "--input", script, "--log-state"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = stateLines(run.out);
    ASSERT_EQ(lines.size(), 420u);
    float widest = 0.0f;
    for (const auto& line : lines) {
      const glm::vec3 p = posOf(line);
      const float top = spineTop(p.z);
      ASSERT_FALSE(std::isnan(top)) << "left the main road's length at frame " << field(line, "frame");
      if (top <= level::kRoadTop) continue;  // the walls start with the ramp
      widest = std::fmax(widest, std::fabs(p.x));
      ASSERT_LT(std::fabs(p.x), innerFace) << "through a wall at frame " << field(line, "frame");
      ASSERT_GT(p.y, top + 0.5f) << "below the ramp or deck at frame " << field(line, "frame");
    }
    EXPECT_GT(widest, innerFace - 2.0f) << "the drive reached a wall";
    // Standing on its wheels at the end: the actor rests 2 m over the surface.
    const glm::vec3 end = posOf(lines.back());
    EXPECT_NEAR(end.y - spineTop(end.z), 2.0f, 0.2f) << "at " << end.x << ", " << end.z;
    EXPECT_EQ(field(lines.back(), "phase"), "Playing");
  }
}

TEST(Walls, DrivingStraightOutWithTheRulesOffStopsAtTheLevelsEdge) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  GameFolder folder(kTinyWindow);
  // F4 turns the rules off, so neither time nor power ends the drive.
  const std::string script = folder.writeFile("drive.txt", "2 F4 release\n3 W press\n");
  const GameRun run = folder.run({"--frames", "700", "--fixed-dt", "0.05", "--input", script, "--log-state"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 700u);
  float furthest = -1e9f;
  for (const auto& line : lines) furthest = std::fmax(furthest, posOf(line).z);
  float edge = -1e9f;  // the north edge's inside face
  for (const glm::vec2& corner : level::levelLayout().boundary) edge = std::fmax(edge, corner.y);
  EXPECT_GT(furthest, edge - 10.0f) << "the drive reaches the edge";
  EXPECT_LT(furthest, edge) << "and goes no further";
  EXPECT_LT(std::atof(field(lines.back(), "speed").c_str()), 0.5) << "it stops there";
}

}  // namespace
}  // namespace ruvelo::test
