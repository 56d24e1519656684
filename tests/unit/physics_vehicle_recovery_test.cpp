// Off a junction pad and back, on the generated level's collision model: the vehicle runs along a
// road into a pad, straight off its far side at speed onto the slab, turns round and climbs the
// embankment back onto the pad.
#include "physics/driving.h"
#include "physics/game_world.h"
#include "physics/level.h"
#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <gtest/gtest.h>

#include "level/level_layout.h"
#include "support/obj_reader.h"

#include <cmath>
#include <string>

// The physics classes live outside the game's namespace; the values they take and give are in it.
using namespace ruvelo;

namespace {

namespace rl = ruvelo::level;

constexpr float kStep = 1.0f / 60.0f;
constexpr float kOffRoadHeight = 2.6f;

struct Pad {
  const char* name;
  glm::vec2 centre;
  glm::vec2 heading;  // along the road into the pad and on off its far side
};

class PadRecovery : public ::testing::TestWithParam<Pad> {};

TEST_P(PadRecovery, OffThePadAtSpeedAndBackUpTheEmbankment) {
  const Pad pad = GetParam();
  ruvelo::test::ObjMesh mesh;
  ASSERT_TRUE(ruvelo::test::readObj(ruvelo::test::levelCollisionModelPath(), mesh));
  PhysicsWorldOptions options;
  options.connectDebugger = false;
  auto world = GameWorld::create(mesh.positions, mesh.indices, nullptr, options);
  ASSERT_TRUE(world);
  // 40 m before the pad's centre on the road leading into it, facing the pad.
  const glm::vec2 start = pad.centre - pad.heading * 40.0f;
  const float yaw = std::atan2(pad.heading.x, pad.heading.y);  // +z is yaw 0
  Vehicle* v = &world->vehicle();
  v->setActorPose(glm::vec3(start.x, rl::kRoadTop + 2.0f, start.y),
                  glm::angleAxis(yaw, glm::vec3(0.0f, 1.0f, 0.0f)));
  world->startPlay();

  DriveCommand keys;
  auto along = [&]() {
    return glm::dot(glm::vec2(v->actorPosition().x, v->actorPosition().z) - pad.centre, pad.heading);
  };
  // Up to speed on the road and across the pad, holding about 11.5 m/s, off its far side (the
  // vehicle rolls on over the shoulder with little loss, and must stop short of the level's edge).
  for (int i = 0; i < static_cast<int>(12.0f / kStep) && along() <= rl::kPadHalfSize; ++i) {
    keys.forward = v->forwardSpeed() < 11.5f;
    world->step(kStep);
    world->drive(keys);
  }
  keys.forward = false;
  ASSERT_GT(along(), rl::kPadHalfSize) << "never reached the pad's edge";
  const float leavingSpeed = v->forwardSpeed();
  EXPECT_GE(leavingSpeed, 10.0f);
  EXPECT_LE(leavingSpeed, 15.0f);
  for (int i = 0;
       i < static_cast<int>(4.0f / kStep) && along() <= rl::kPadHalfSize + rl::kShoulderWidth + 4.0f; ++i) {
    world->step(kStep);
    world->drive(keys);
  }
  EXPECT_LE(v->actorPosition().y, kOffRoadHeight) << "out on the slab beyond the embankment";

  // Brake on the grass, turn round and drive back: the road is reached at an angle, across a pad
  // corner or side.
  keys.brake = true;
  for (int i = 0; i < static_cast<int>(4.0f / kStep) && v->forwardSpeed() > 4.0f; ++i) {
    world->step(kStep);
    world->drive(keys);
  }
  keys.brake = false;
  keys.forward = true;
  keys.turnLeft = true;
  float offRoadFor = 0.0f;
  int frames = 0;
  bool turned = false;
  while (frames++ < static_cast<int>(10.0f / kStep)) {
    world->step(kStep);
    world->drive(keys);
    const glm::vec3 velocity = v->linearVelocity();
    if (!turned && glm::dot(glm::vec2(velocity.x, velocity.z), pad.heading) < -3.0f) {
      turned = true;
      keys.turnLeft = false;
    }
    if (v->actorPosition().y <= kOffRoadHeight) offRoadFor = frames * kStep;
    if (turned && v->actorPosition().y > rl::kRoadTop + 1.9f && along() < rl::kPadHalfSize) break;
  }
  const glm::vec3 p = v->actorPosition();
  std::cout << pad.name << ": left at " << leavingSpeed << " m/s, back above " << kOffRoadHeight << " after "
            << offRoadFor << " s of turning and driving back\n";
  EXPECT_TRUE(turned);
  EXPECT_LT(offRoadFor, 8.0f);
  EXPECT_NEAR(p.y, rl::kRoadTop + 2.0f, 0.15f) << "on the pad at " << p.x << ", " << p.z;
  // On the pad's octagon (a metre of slack for the kerb).
  const glm::vec2 d = glm::abs(glm::vec2(p.x, p.z) - pad.centre);
  EXPECT_LT(std::max(d.x, d.y), rl::kPadHalfSize + 1.0f) << p.x << ", " << p.z;
  EXPECT_LT(d.x + d.y, 2.0f * rl::kPadHalfSize - rl::kPadCut + 1.0f) << p.x << ", " << p.z;
}

// Pads with a free side opposite the road leading in: the zone 3 junction (off its west side) and the
// battery 2 corner (off its north side).
INSTANTIATE_TEST_SUITE_P(Level, PadRecovery,
                         ::testing::Values(Pad{"Zone3Junction", {-165.0f, 354.0f}, {-1.0f, 0.0f}},
                                           Pad{"Battery2Corner", {-190.0f, 218.5f}, {0.0f, 1.0f}}),
                         [](const ::testing::TestParamInfo<Pad>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
