// Climbing: an 8° ramp onto a raised deck, and, when the generated level is present, the drive from
// the start pose up the level's ramp onto its elevated deck.
#include "physics/driving.h"
#include "physics/game_world.h"
#include "physics/level.h"
#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <gtest/gtest.h>

#include "support/obj_reader.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

// The physics classes live outside the game's namespace; the values they take and give are in it.
using namespace ruvelo;

namespace {

PhysicsWorldOptions noDebugger() {
  PhysicsWorldOptions o;
  o.connectDebugger = false;
  return o;
}

struct Driver {
  DrivingState state;
  float maxActorY = -1e9f;
  bool finiteAll = true;

  void hold(PhysicsWorld& world, Vehicle& v, const DriveCommand& keys, float seconds) {
    for (int i = 0; i < static_cast<int>(seconds * 60.0f); ++i) {
      stepVehicle(world, v, state, 1.0f / 60.0f);
      applyDriveCommand(keys, v, state);
      const glm::vec3 p = v.actorPosition();
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) finiteAll = false;
      maxActorY = std::max(maxActorY, p.y);
    }
  }
};

TEST(VehicleClimb, DrivesUpAnEightDegreeRampOntoADeck) {
  PhysicsWorld world(noDebugger());
  world.addObject(makeDrivablePlane(world, world.defaultMaterial()));
  // A 16 m wide road: flat for z < 0, an 8° ramp to y = 14, then a flat deck.
  const float rise = 14.0f;
  const float run = rise / std::tan(8.0f * 3.14159265f / 180.0f);
  const std::vector<glm::vec3> positions = {
      {-8, 0, -100},  {8, 0, -100},           {-8, 0, 0},           {8, 0, 0}, {-8, rise, run},
      {8, rise, run}, {-8, rise, run + 2000}, {8, rise, run + 2000}};
  const std::vector<uint32_t> indices = {0, 2, 1, 1, 2, 3, 2, 4, 3, 3, 4, 5, 4, 6, 5, 5, 6, 7};
  auto shape = cookModelShape(positions, indices, glm::vec3(1.0f), world.defaultMaterial());
  ASSERT_TRUE(shape);
  ShapeInfo* info = shapeInfoOf(shape.get());
  info->simFilter = kGroundSimFilter;
  markDrivable(info->queryFilter);
  world.addObject(world.createStaticBody(shape, btTransform::getIdentity()));

  VehicleActorTag tag;
  WheelShapeTag wheels[6];
  auto v = buildVehicle(makeVehicleSpec(world.defaultMaterial(), &tag, wheels), world,
                        glm::vec3(0.0f, 2.3f, -80.0f), vehicleStartRotation());
  ASSERT_TRUE(v);
  v->enableForPlay(world);
  Driver d;
  DriveCommand w;
  w.forward = true;
  d.hold(world, *v, w, 15.0f);
  EXPECT_TRUE(d.finiteAll);
  EXPECT_GT(v->actorPosition().z, run + 10.0f);
  EXPECT_NEAR(v->actorPosition().y, rise + 2.0f, 0.3f);
  EXPECT_GT(v->forwardSpeed(), 10.0f);
}

TEST(VehicleClimb, FromTheStartPoseOntoTheLevelDeck) {
  ruvelo::test::ObjMesh mesh;
  ASSERT_TRUE(ruvelo::test::readObj(ruvelo::test::levelCollisionModelPath(), mesh))
      << ruvelo::test::levelCollisionModelPath();
  const std::vector<glm::vec3>& positions = mesh.positions;
  const std::vector<uint32_t>& indices = mesh.indices;

  auto game = GameWorld::create(positions, indices, nullptr, noDebugger());
  ASSERT_TRUE(game);
  game->startPlay();
  DriveCommand w;
  w.forward = true;
  float maxActorY = -1e9f;
  bool finiteAll = true;
  glm::vec3 p = game->vehiclePose().position;
  for (int i = 0; i < 60 * 60 && p.y <= 15.0f; ++i) {
    game->step(1.0f / 60.0f);
    game->drive(w);
    p = game->vehiclePose().position;
    finiteAll = finiteAll && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
    maxActorY = std::max(maxActorY, p.y);
  }
  EXPECT_TRUE(finiteAll);
  EXPECT_GT(maxActorY, 15.0f) << "ended at " << p.x << ", " << p.y << ", " << p.z;
  EXPECT_LT(std::fabs(p.x), 8.0f);
}

}  // namespace
