// The autopilot: its route geometry on synthetic lines, its key choices, and whole drives of the level
// in the physics world (no window) at frame times from 1/144 s to 1/10 s.
#include "game/autopilot.h"
#include "game/game.h"
#include "game/game_rules.h"
#include "level/level_layout.h"
#include "level/route.h"
#include "physics/driving.h"
#include "physics/game_world.h"
#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <gtest/gtest.h>

#include <glm/gtc/quaternion.hpp>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "support/obj_reader.h"

namespace ruvelo {
namespace {

std::vector<glm::vec2> straight(glm::vec2 from, glm::vec2 to, float spacing = 2.0f) {
  std::vector<glm::vec2> line;
  const int n = static_cast<int>(glm::length(to - from) / spacing);
  for (int i = 0; i <= n; ++i) line.push_back(from + (to - from) * (static_cast<float>(i) / n));
  return line;
}

// A straight of `lead` metres along +z, then a quarter circle of radius r turning towards +x.
std::vector<glm::vec2> leadIntoCorner(float lead, float r) {
  std::vector<glm::vec2> line = straight({0.0f, 0.0f}, {0.0f, lead});
  for (int i = 1; i <= 40; ++i) {
    const float a = 1.5707963f * static_cast<float>(i) / 40.0f;
    line.push_back({r - r * std::cos(a), lead + r * std::sin(a)});
  }
  return line;
}

AutopilotVehicle testVehicle() {
  AutopilotVehicle v;
  v.smoothing = keySmoothing();
  v.steerVsSpeed = steerVsSpeed();
  return v;
}

TEST(RouteGeometry, NearestPointLookAheadAndCurvature) {
  const std::vector<glm::vec2> line = leadIntoCorner(100.0f, 20.0f);
  EXPECT_EQ(route::nearestIndex(line, {3.0f, 41.0f}, 0, 1000), 20u);
  // The search window keeps progress from jumping to a far part of the line.
  EXPECT_EQ(route::nearestIndex(line, {20.0f, 120.0f}, 0, 10), 9u);
  const glm::vec2 ahead = route::pointAhead(line, 10, 7.0f);
  EXPECT_NEAR(ahead.x, 0.0f, 1e-4f);
  EXPECT_NEAR(ahead.y, 27.0f, 1e-4f);
  EXPECT_EQ(route::pointAhead(line, 10, 1e6f), line.back()) << "beyond the end: the last point";
  EXPECT_NEAR(route::curvatureAt(line, 20, 4), 0.0f, 1e-6f);
  EXPECT_NEAR(route::curvatureAt(line, line.size() - 20, 4), 1.0f / 20.0f, 0.002f);
}

TEST(RouteGeometry, SpeedLimitBrakesInTimeForCornersAndTheEnd) {
  route::SpeedModel m;
  const float corner = std::sqrt(m.lateral * 20.0f);  // radius 20: 10 m/s
  const std::vector<glm::vec2> line = leadIntoCorner(400.0f, 20.0f);
  EXPECT_FLOAT_EQ(route::speedLimit(line, 0, m), m.topSpeed) << "the corner is beyond the horizon";
  // 50 m before the corner: what braking at m.braking can take down to the corner's speed.
  const float at50 = route::speedLimit(line, 175, m);
  EXPECT_NEAR(at50, std::sqrt(corner * corner + 2.0f * m.braking * 50.0f), 1.0f);
  EXPECT_NEAR(route::speedLimit(line, line.size() - 30, m), corner, 0.6f) << "in the corner";
  EXPECT_LT(route::speedLimit(line, line.size() - 2, m), 5.0f) << "the end is a stop";
  // Never rising towards a corner: each point allows at most what braking from the previous one gives.
  for (std::size_t i = 150; i + 40 < line.size(); ++i)
    EXPECT_LE(route::speedLimit(line, i + 1, m), route::speedLimit(line, i, m) + 0.01f) << i;
}

TEST(AutopilotKeys, SteersTowardsTheLineAndAcceleratesAtRest) {
  const AutopilotVehicle v = testVehicle();
  for (float dt : {1.0f / 144.0f, 1.0f / 10.0f}) {
    SCOPED_TRACE(dt);
    // The vehicle faces +z, 5 m to the −x side of a line along x = 0: the line is on its +x side, where
    // A steers. The controls follow the keys through the vehicle's own smoothing.
    Autopilot pilot(straight({0.0f, 0.0f}, {0.0f, 400.0f}), v);
    AutopilotView view;
    view.position = {-5.0f, 3.3f, 10.0f};
    view.forwardSpeed = 10.0f;
    int a = 0, d = 0;
    float meanSteer = 0.0f;
    const int frames = static_cast<int>(1.0f / dt);
    for (int frame = 0; frame < frames; ++frame) {
      const AutopilotKeys k = pilot.decide(view, dt);
      a += k.a, d += k.d;
      EXPECT_FALSE(k.s);
      vehicle::DigitalInputs keys;
      keys.steerRight = k.a;
      keys.steerLeft = k.d;
      view.controls = vehicle::smoothDigitalInputs(v.smoothing, v.steerVsSpeed, keys, dt, false,
                                                   view.forwardSpeed, view.controls);
      meanSteer += view.controls.steer() / frames;
    }
    EXPECT_GT(a, d);
    EXPECT_GT(meanSteer, 0.05f);
    // Pure pursuit asks for a moderate wheel angle, not full lock: 5 m off over a 10 m look-ahead.
    EXPECT_LT(meanSteer, 0.75f);
    view.forwardSpeed = 0.0f;
    view.position = {0.0f, 3.3f, 10.0f};
    EXPECT_TRUE(pilot.decide(view, dt).w);
  }
}

TEST(AutopilotKeys, BacksOutWhenStuckOrFacingAway) {
  Autopilot pilot(straight({0.0f, 0.0f}, {0.0f, 400.0f}), testVehicle());
  AutopilotView view;
  view.position = {0.0f, 3.3f, 20.0f};
  // Asking to move without moving for longer than a moment: reverse for a while, then forward again.
  int reversing = 0, frames = 0;
  for (; frames < 200 && reversing == 0; ++frames) reversing += pilot.decide(view, 1.0f / 60.0f).s;
  EXPECT_GT(frames, 60) << "not at the first standstill";
  EXPECT_LT(frames, 150);
  for (int i = 0; i < 200; ++i) reversing += pilot.decide(view, 1.0f / 60.0f).s;
  EXPECT_LT(reversing, 150) << "backing out ends";

  // Facing away from the line at rest: the autopilot reverses rather than driving away.
  Autopilot turned(straight({0.0f, 0.0f}, {0.0f, 400.0f}), testVehicle());
  view.forward = {0.0f, 0.0f, -1.0f};
  EXPECT_TRUE(turned.decide(view, 0.1f).s);
}

// --- whole drives of the level, physics only --------------------------------------------------------

struct LevelDrive {
  GameState game;
  long frames = 0;
  int batteries = 0;
  bool finite = true;
  int laps = 0;
  float offRoadSeconds = 0.0f;
};

// Where the vehicle starts: the game's start pose unless given.
struct StartPose {
  bool given = false;
  glm::vec3 position{0.0f};
  float headingDegrees = 0.0f;  // about +y from facing +z
};

// Drives with the game's rules; with `seconds` > 0 the win/lose rules are off and the autopilot laps
// the ring road after the route for that much game time.
LevelDrive driveTheLevel(float dt, float seconds = 0.0f, StartPose start = {}) {
  LevelDrive r;
  test::ObjMesh mesh;
  if (!test::readObj(test::levelCollisionModelPath(), mesh)) {
    ADD_FAILURE() << "no level collision model at " << test::levelCollisionModelPath();
    return r;
  }
  PhysicsWorldOptions options;
  options.connectDebugger = false;
  auto world = GameWorld::create(mesh.positions, mesh.indices, nullptr, options);
  if (!world) {
    ADD_FAILURE() << "level mesh";
    return r;
  }
  if (start.given)
    world->vehicle().setActorPose(
        start.position, glm::angleAxis(glm::radians(start.headingDegrees), glm::vec3(0.0f, 1.0f, 0.0f)));
  world->startPlay();

  const SteeringGeometry steering = world->steering();
  Autopilot pilot(
      level::drivingLine(level::levelLayout()),
      AutopilotVehicle{steering.wheelBase, steering.maxWheelSteer, keySmoothing(), steerVsSpeed()});
  if (seconds > 0.0f) pilot.setLap(level::ringLap(level::levelLayout()));
  Game game;
  std::ostringstream console;
  // The game's frame order: step, triggers, keys and drain, timer and phase.
  while (game.playing() && (seconds <= 0.0f || r.frames * dt < seconds)) {
    ++r.frames;
    if (const auto event = world->step(dt)) {
      r.batteries += event->kind == ItemKind::Battery;
      if (game.collect(*event, console)) world->removeItem(event->item);
    }
    const Pose pose = world->vehiclePose();
    AutopilotView view;
    view.position = pose.position;
    view.forward = pose.rotation * glm::vec3(0.0f, 0.0f, 1.0f);
    view.forwardSpeed = world->vehicleForwardSpeed();
    view.controls = world->vehicleControls();
    const AutopilotKeys k = pilot.decide(view, dt);
    const DriveResult keys = world->drive({k.w, k.a, k.s, k.d, k.b, false});
    game.drain(keys.accelerateHeld, keys.reverseHeld, world->vehiclePose().position.y, dt);
    game.updateTimerAndPhase(false, seconds <= 0.0f, dt);
    const glm::vec3 p = world->vehiclePose().position;
    if (p.y <= kOffRoadHeight) r.offRoadSeconds += dt;
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) r.finite = false;
    if (std::getenv("RUVELO_AUTOPILOT_TRACE") && r.frames % static_cast<long>(1.0f / dt) == 0)
      std::printf("t=%.0f pos=%.1f,%.1f,%.1f v=%.1f power=%.1f packets=%d progress=%zu\n",
                  153.0 - game.state().timeLeft, p.x, p.y, p.z, world->vehicleForwardSpeed(),
                  game.state().power, game.state().packetsDelivered, pilot.progress());
  }
  r.game = game.state();
  r.laps = pilot.lapsStarted();
  return r;
}

TEST(AutopilotDrive, WinsTheLevelInThePhysicsWorldAtAnyFrameTime) {
  for (float dt : {1.0f / 144.0f, 1.0f / 60.0f, 1.0f / 30.0f, 1.0f / 10.0f}) {
    SCOPED_TRACE(dt);
    const LevelDrive r = driveTheLevel(dt);
    std::printf("autopilot dt=%.4f: %s after %ld frames, %.2f s and %.2f power left, %d batteries\n", dt,
                resultText(r.game.phase), r.frames, r.game.timeLeft, r.game.power, r.batteries);
    EXPECT_TRUE(r.finite);
    EXPECT_EQ(r.game.phase, GamePhase::Won);
    EXPECT_GE(r.game.timeLeft, 20.0);
    EXPECT_GE(r.game.power, 20.0f);
  }
}

// Off the road and facing away from it, the autopilot finds its way back onto the route and still wins.
TEST(AutopilotDrive, FindsItsWayBackFromTheGrass) {
  for (const StartPose& start :
       {StartPose{true, {30.0f, 2.6f, -430.0f}, 90.0f}, StartPose{true, {-30.0f, 2.6f, -400.0f}, 180.0f}}) {
    SCOPED_TRACE(start.position.x);
    const LevelDrive r = driveTheLevel(1.0f / 30.0f, 0.0f, start);
    std::printf("from the grass at x=%.0f: %s with %.2f s and %.2f power left, %.1f s off the roads\n",
                start.position.x, resultText(r.game.phase), r.game.timeLeft, r.game.power, r.offRoadSeconds);
    EXPECT_EQ(r.game.phase, GamePhase::Won);
    EXPECT_LT(r.offRoadSeconds, 15.0f);
  }
}

// Soak runs leave the rules off and let the autopilot lap the ring road for as long as they last.
TEST(AutopilotDrive, KeepsLappingTheRingRoadWhenTheGameDoesNotEnd) {
  const LevelDrive r = driveTheLevel(1.0f / 30.0f, 420.0f);
  std::printf("soak drive: %d laps started in 420 s, %.1f s off the roads\n", r.laps, r.offRoadSeconds);
  EXPECT_TRUE(r.finite);
  EXPECT_GE(r.laps, 3);
  EXPECT_EQ(r.game.packetsDelivered, 3);
  EXPECT_LT(r.offRoadSeconds, 10.0f);
}

}  // namespace
}  // namespace ruvelo
