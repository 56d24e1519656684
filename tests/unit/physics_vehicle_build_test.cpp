// Building the game's vehicle on Bullet: the description's values, hull cooking, the body's mass
// frame, wheel shapes and tags, disabled simulation until play, and the drawing matrices.
#include "physics/driving.h"
#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <limits>

namespace {

PhysicsWorldOptions noDebugger() {
  PhysicsWorldOptions o;
  o.connectDebugger = false;
  return o;
}

struct Built {
  PhysicsWorld world{noDebugger()};
  VehicleActorTag actorTag;
  WheelShapeTag wheelTags[6];
  VehicleSpec vehicleSpec = makeVehicleSpec(world.defaultMaterial(), &actorTag, wheelTags);
  std::unique_ptr<Vehicle> vehicle = buildVehicle(vehicleSpec, world);
};

TEST(VehicleSpecValues, MatchTheGameVehicle) {
  PhysicsWorld world(noDebugger());
  VehicleActorTag tag;
  WheelShapeTag wheels[6];
  const VehicleSpec s = makeVehicleSpec(world.defaultMaterial(), &tag, wheels);
  EXPECT_EQ(s.chassisMass, 1500.0f);
  EXPECT_EQ(s.chassisDims, glm::vec3(2.5f, 2.0f, 5.0f));
  EXPECT_NEAR(s.chassisMOI.x, 3625.0f, 1e-2f);
  EXPECT_NEAR(s.chassisMOI.y, 3125.0f, 1e-2f);
  EXPECT_NEAR(s.chassisMOI.z, 1281.25f, 1e-2f);
  EXPECT_NEAR(s.chassisCMOffset.y, -0.35f, 1e-6f);
  EXPECT_EQ(s.chassisCMOffset.z, 0.25f);
  EXPECT_EQ(s.chassisSimFilterData, (FilterData{2, 2, 0x802, 0}));
  EXPECT_EQ(s.wheelSimFilterData, (FilterData{0, 0, 0, 0}));
  EXPECT_EQ(s.wheelMOI, 2.5f);
  EXPECT_EQ(s.numWheels, 6u);
  EXPECT_EQ(s.chassisMaterial, &world.defaultMaterial());
  EXPECT_EQ(s.actorTag, &tag);
  EXPECT_EQ(s.wheelTags, wheels);
}

TEST(CookConvexHull, AcceptsSolidsAndRejectsDegenerateInput) {
  const glm::vec3 cube[8] = {{-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1},
                             {-1, -1, 1},  {1, -1, 1},  {-1, 1, 1},  {1, 1, 1}};
  auto hull = cookConvexHull(cube, 8);
  ASSERT_TRUE(hull);
  EXPECT_EQ(hull->getNumPoints(), 8);
  EXPECT_LE(hull->getMargin(), 0.01f);
  EXPECT_FALSE(cookConvexHull(cube, 3));
  EXPECT_FALSE(cookConvexHull(nullptr, 8));
  const glm::vec3 flat[4] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}};
  EXPECT_FALSE(cookConvexHull(flat, 4));
  const glm::vec3 line[5] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}};
  EXPECT_FALSE(cookConvexHull(line, 5));
  const glm::vec3 same[4] = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
  EXPECT_FALSE(cookConvexHull(same, 4));
  glm::vec3 bad[8];
  std::copy(cube, cube + 8, bad);
  bad[5].y = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(cookConvexHull(bad, 8));
}

TEST(BuildVehicle, BodyHasTheMassFrameAndActorPoseRoundTrips) {
  Built b;
  ASSERT_TRUE(b.vehicle);
  btRigidBody* body = b.vehicle->body();
  EXPECT_NEAR(1.0f / body->getInvMass(), 1500.0f, 1e-2f);
  const btVector3 invI = body->getInvInertiaDiagLocal();
  EXPECT_NEAR(1.0f / invI.x(), 3625.0f, 0.5f);
  EXPECT_NEAR(1.0f / invI.y(), 3125.0f, 0.5f);
  EXPECT_NEAR(1.0f / invI.z(), 1281.25f, 0.5f);
  // The body's origin is the centre of mass; the actor is read back where it was placed.
  const glm::vec3 actor = b.vehicle->actorPosition();
  EXPECT_NEAR(actor.x, 0.0f, 1e-4f);
  EXPECT_NEAR(actor.y, 3.3f, 1e-4f);
  EXPECT_NEAR(actor.z, -450.0f, 1e-3f);
  EXPECT_NEAR(body->getCenterOfMassPosition().y(), 2.95f, 1e-4f);
  EXPECT_NEAR(body->getCenterOfMassPosition().z(), -449.75f, 1e-3f);
  const glm::quat r = b.vehicle->actorRotation();
  EXPECT_NEAR(r.y, std::sin(0.00005f), 1e-7f);  // 0.0001 rad about +y
  EXPECT_EQ(r.x, 0.0f);
  EXPECT_EQ(r.z, 0.0f);
  // Setting a turned actor pose keeps the centre of mass at its offset in the actor frame.
  const glm::quat turn = glm::angleAxis(1.0f, glm::normalize(glm::vec3(0.3f, 1.0f, 0.2f)));
  b.vehicle->setActorPose(glm::vec3(5.0f, 6.0f, 7.0f), turn);
  const glm::vec3 back = b.vehicle->actorPosition();
  EXPECT_NEAR(glm::length(back - glm::vec3(5.0f, 6.0f, 7.0f)), 0.0f, 1e-4f);
  const btVector3 com = body->getCenterOfMassPosition();
  const glm::vec3 expected = glm::vec3(5.0f, 6.0f, 7.0f) + turn * glm::vec3(0.0f, -0.35f, 0.25f);
  EXPECT_NEAR(glm::length(glm::vec3(com.x(), com.y(), com.z()) - expected), 0.0f, 1e-4f);
  // One convex hull (continuous collision detection needs a convex body) with CCD on.
  EXPECT_TRUE(body->getCollisionShape()->isConvex());
  EXPECT_GT(body->getCcdMotionThreshold(), 0.0f);
  EXPECT_GT(body->getCcdSweptSphereRadius(), 0.0f);
  EXPECT_LE(body->getCcdSweptSphereRadius(), 0.65f);
}

TEST(BuildVehicle, WheelShapesShareOneHullAndCarryTheirTags) {
  Built b;
  ASSERT_TRUE(b.vehicle);
  ASSERT_EQ(b.vehicle->numWheels(), 6);
  EXPECT_EQ(b.actorTag.vehicle, b.vehicle.get());
  EXPECT_EQ(b.vehicle->body()->getUserPointer(), &b.actorTag);
  const btCollisionShape* hull = b.vehicle->wheelShape(0).hull.get();
  ASSERT_NE(hull, nullptr);
  EXPECT_NE(hull, b.vehicle->body()->getCollisionShape());
  EXPECT_EQ(static_cast<const btConvexHullShape*>(hull)->getNumPoints(), 32);
  for (int i = 0; i < 6; ++i) {
    const WheelShape& w = b.vehicle->wheelShape(i);
    EXPECT_EQ(w.hull.get(), hull);
    EXPECT_TRUE(b.wheelTags[i].isWheel);
    EXPECT_EQ(b.wheelTags[i].wheelId, static_cast<uint32_t>(i));
    EXPECT_EQ(w.info.wheelTag, &b.wheelTags[i]);
    EXPECT_EQ(w.info.simFilter, (FilterData{0, 0, 0, 0}));
    EXPECT_EQ(w.info.queryFilter.word3, kNotDrivableSurface);
  }
  const ShapeInfo* chassis = shapeInfoOf(b.vehicle->body());
  ASSERT_NE(chassis, nullptr);
  EXPECT_EQ(chassis->wheelTag, nullptr);
  EXPECT_EQ(chassis->simFilter, (FilterData{2, 2, 0x802, 0}));
  EXPECT_EQ(chassis->queryFilter.word3, kNotDrivableSurface);
  // Wheels hang at full droop before any update: corner wheels at x ±1.05, y −1.6, z ±1.5.
  EXPECT_NEAR(b.vehicle->wheelShape(0).localPosition.x, -1.05f, 1e-5f);
  EXPECT_NEAR(b.vehicle->wheelShape(1).localPosition.x, 1.05f, 1e-5f);
  EXPECT_NEAR(b.vehicle->wheelShape(2).localPosition.z, -1.5f, 1e-5f);
  EXPECT_NEAR(b.vehicle->wheelShape(3).localPosition.y, -1.6f, 1e-5f);
  EXPECT_NEAR(b.vehicle->wheelShape(4).localPosition.z, 0.0f, 1e-5f);
  // The actor tag is cleared when the vehicle goes.
  b.vehicle.reset();
  EXPECT_EQ(b.actorTag.vehicle, nullptr);
}

TEST(BuildVehicle, HangsUntilEnabledForPlayThenFallsInFirstGear) {
  Built b;
  ASSERT_TRUE(b.vehicle);
  DrivingState state;
  for (int i = 0; i < 120; ++i) b.world.step(1.0f / 60.0f);
  EXPECT_NEAR(b.vehicle->actorPosition().y, 3.3f, 1e-5f);
  EXPECT_FALSE(b.world.isSimulationEnabled(b.vehicle->body()));
  b.vehicle->enableForPlay(b.world);
  EXPECT_EQ(b.vehicle->currentGear(), vehicle::kGearFirst);
  EXPECT_EQ(b.vehicle->targetGear(), vehicle::kGearFirst);
  EXPECT_TRUE(b.vehicle->useAutoGears());
  EXPECT_TRUE(state.vehicleInAir);  // the first step treats it as airborne
  for (int i = 0; i < 10; ++i) stepVehicle(b.world, *b.vehicle, state, 1.0f / 60.0f);
  EXPECT_LT(b.vehicle->actorPosition().y, 3.2f);
}

TEST(BuildVehicle, FailsCleanlyOnAnUnusableLayout) {
  PhysicsWorld world(noDebugger());
  VehicleSpec vehicleSpec = makeVehicleSpec(world.defaultMaterial(), nullptr, nullptr);
  vehicleSpec.numWheels = 3;
  EXPECT_FALSE(buildVehicle(vehicleSpec, world));
  vehicleSpec = makeVehicleSpec(world.defaultMaterial(), nullptr, nullptr);
  vehicleSpec.wheelRadius = 0.0f;
  EXPECT_FALSE(buildVehicle(vehicleSpec, world));
  // Without tags it still builds.
  vehicleSpec = makeVehicleSpec(world.defaultMaterial(), nullptr, nullptr);
  EXPECT_TRUE(buildVehicle(vehicleSpec, world));
}

}  // namespace
