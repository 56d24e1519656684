// The whole drive model without a physics engine: airborne state, the rest pose as an equilibrium,
// steering, the handbrake and wheel poses.
#include "physics/vehicle/drive_model.h"
#include "physics/vehicle/vehicle_layout.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vehicle;

namespace {

const glm::vec3 kGravity(0.0f, -10.0f, 0.0f);

ChassisState gameChassis(const glm::vec3& position) {
  ChassisState c;
  c.position = position;
  c.mass = 1500.0f;
  c.invInertiaLocal = 1.0f / glm::vec3(3625.0f, 3125.0f, 1281.25f);
  return c;
}

// Hits on the plane y = 0 under every wheel's ray.
std::vector<WheelHit> flatGroundHits(const DriveModel& model, const ChassisState& chassis) {
  std::vector<WheelHit> hits(model.numWheels());
  for (int i = 0; i < model.numWheels(); ++i) {
    const SuspensionRay ray = model.suspensionRay(i, chassis);
    const float t = ray.origin.y / -ray.direction.y;
    if (t < 0.0f || t > ray.length) continue;
    hits[i].hit = true;
    hits[i].point = ray.origin + ray.direction * t;
    hits[i].normal = glm::vec3(0.0f, 1.0f, 0.0f);
    hits[i].friction = 1.0f;
  }
  return hits;
}

// The centre of mass of the game's vehicle at rest height (actor 2.0 above y = 0).
const glm::vec3 kRestCentre(0.0f, 2.0f - 0.35f, 0.25f);

TEST(DriveModel, BuildsTheGameLayout) {
  const VehicleModelData data = makeVehicleModelData(VehicleLayout{});
  ASSERT_EQ(data.wheels.size(), 6u);
  EXPECT_NEAR(data.wheels[0].wheel.maxSteer, 1.0470928f, 1e-6f);
  EXPECT_EQ(data.wheels[4].wheel.maxSteer, 0.0f);
  EXPECT_EQ(data.wheels[2].wheel.maxHandBrakeTorque, 4000.0f);
  EXPECT_EQ(data.wheels[0].wheel.maxHandBrakeTorque, 0.0f);
  EXPECT_EQ(data.wheels[5].wheel.maxHandBrakeTorque, 0.0f);
  EXPECT_FLOAT_EQ(data.wheels[0].suspension.camberAtMaxDroop, -data.wheels[1].suspension.camberAtMaxDroop);
  EXPECT_FLOAT_EQ(data.wheels[4].suspension.camberAtMaxCompression, -0.01f);
  EXPECT_EQ(data.wheels[1].centreOffset, glm::vec3(1.05f, -1.15f, 1.25f));
  EXPECT_EQ(data.wheels[3].tyreForcePoint, glm::vec3(1.05f, -0.3f, -1.75f));
  EXPECT_FLOAT_EQ(data.ackermann.axleSeparation, 3.0f);
  EXPECT_FLOAT_EQ(data.ackermann.frontWidth, 2.1f);
  EXPECT_FLOAT_EQ(data.ackermann.rearWidth, 2.1f);
  ASSERT_EQ(data.antiRollBars.size(), 2u);
  EXPECT_EQ(data.antiRollBars[1].wheel0, 2u);
}

TEST(DriveModel, NoGroundMeansAirborneAndNoForce) {
  DriveModel model(makeVehicleModelData(VehicleLayout{}));
  EXPECT_TRUE(model.isInAir());
  const ChassisState chassis = gameChassis(glm::vec3(0.0f, 50.0f, 0.0f));
  AnalogInputs in;
  in.value[kInputAccel] = 1.0f;
  in.value[kInputSteerRight] = 1.0f;
  model.setAnalogInputs(in);
  model.forceGear(kGearFirst);
  const VelocityChange change = model.update(1.0f / 60.0f, kGravity, chassis, flatGroundHits(model, chassis));
  EXPECT_TRUE(model.isInAir());
  EXPECT_EQ(change.linear, glm::vec3(0.0f));
  EXPECT_EQ(change.angular, glm::vec3(0.0f));
  for (int i = 0; i < model.numWheels(); ++i) {
    const WheelState& w = model.wheelState(i);
    EXPECT_TRUE(w.inAir);
    EXPECT_FLOAT_EQ(w.jounce, -0.1f);
    EXPECT_EQ(w.longForce, 0.0f);
    EXPECT_EQ(w.latForce, 0.0f);
    // Hanging at full droop below the wheel's rest position, in the actor frame.
    const glm::vec3 rest = model.data().centreOfMassOffset + model.data().wheels[i].centreOffset;
    EXPECT_NEAR(w.localPosition.y, rest.y - 0.1f, 1e-5f);
  }
  // The driven wheels spin up in the air; the middle pair is not driven.
  EXPECT_GT(model.wheelState(0).omega, 0.0f);
  EXPECT_EQ(model.wheelState(4).omega, 0.0f);
}

TEST(DriveModel, RestPoseIsAnEquilibrium) {
  DriveModel model(makeVehicleModelData(VehicleLayout{}));
  const ChassisState chassis = gameChassis(kRestCentre);
  const float dt = 1.0f / 60.0f;
  const VelocityChange change = model.update(dt, kGravity, chassis, flatGroundHits(model, chassis));
  EXPECT_FALSE(model.isInAir());
  // The vehicle's impulse cancels gravity's and turns nothing.
  EXPECT_NEAR(change.linear.y, 10.0f * dt, 1e-3f);
  EXPECT_NEAR(change.linear.x, 0.0f, 1e-4f);
  EXPECT_NEAR(change.linear.z, 0.0f, 1e-4f);
  EXPECT_LT(glm::length(change.angular), 1e-4f);
  EXPECT_NEAR(model.totalSuspensionForce(), 15000.0f, 1.0f);
  for (int i = 0; i < model.numWheels(); ++i) EXPECT_NEAR(model.wheelState(i).jounce, 0.0f, 1e-4f);
}

TEST(DriveModel, CompressionBeyondTheLimitIsStopped) {
  DriveModel model(makeVehicleModelData(VehicleLayout{}));
  // Far too low and falling: every wheel past full compression.
  ChassisState chassis = gameChassis(kRestCentre - glm::vec3(0.0f, 0.4f, 0.0f));
  chassis.linearVelocity = glm::vec3(0.0f, -8.0f, 0.0f);
  const float dt = 1.0f / 60.0f;
  const VelocityChange change = model.update(dt, kGravity, chassis, flatGroundHits(model, chassis));
  for (int i = 0; i < model.numWheels(); ++i) EXPECT_FLOAT_EQ(model.wheelState(i).jounce, 0.3f);
  // After gravity is added by the world the body no longer moves down into the ground.
  EXPECT_GE(chassis.linearVelocity.y + change.linear.y - 10.0f * dt, -1e-3f);
}

TEST(DriveModel, SteerRightTurnsFrontWheelsAboutPlusYInnerMore) {
  DriveModel model(makeVehicleModelData(VehicleLayout{}));
  AnalogInputs in;
  in.value[kInputSteerRight] = 0.5f;
  model.setAnalogInputs(in);
  const ChassisState chassis = gameChassis(kRestCentre);
  model.update(1.0f / 60.0f, kGravity, chassis, flatGroundHits(model, chassis));
  EXPECT_GT(model.wheelState(0).steer, 0.0f);
  EXPECT_GT(model.wheelState(1).steer, model.wheelState(0).steer);  // +x wheel is on the inside
  EXPECT_EQ(model.wheelState(2).steer, 0.0f);
  EXPECT_EQ(model.wheelState(4).steer, 0.0f);
  // The wheel's pose turns its forward axis towards +x.
  const glm::vec3 forward = model.wheelState(0).localRotation * glm::vec3(0.0f, 0.0f, 1.0f);
  EXPECT_GT(forward.x, 0.2f);
}

TEST(DriveModel, HandbrakeHoldsOnlyTheRearPair) {
  DriveModel model(makeVehicleModelData(VehicleLayout{}));
  model.forceGear(kGearFirst);
  const ChassisState chassis = gameChassis(glm::vec3(0.0f, 50.0f, 0.0f));
  AnalogInputs in;
  in.value[kInputAccel] = 1.0f;
  model.setAnalogInputs(in);
  for (int i = 0; i < 60; ++i) model.update(1.0f / 60.0f, kGravity, chassis, {});
  ASSERT_GT(model.wheelState(2).omega, 5.0f);
  in.value[kInputAccel] = 0.0f;
  in.value[kInputHandbrake] = 1.0f;
  model.setAnalogInputs(in);
  model.forceGear(kGearNeutral);
  for (int i = 0; i < 30; ++i) {
    model.update(1.0f / 60.0f, kGravity, chassis, {});
    for (int w = 0; w < 4; ++w) ASSERT_GE(model.wheelState(w).omega, 0.0f);
  }
  EXPECT_EQ(model.wheelState(2).omega, 0.0f);
  EXPECT_EQ(model.wheelState(3).omega, 0.0f);
  EXPECT_GT(model.wheelState(0).omega, 1.0f);
  EXPECT_GT(model.wheelState(1).omega, 1.0f);
}

TEST(DriveModel, SuspensionRaySpansTheWheelTravel) {
  const DriveModel model(makeVehicleModelData(VehicleLayout{}));
  const ChassisState chassis = gameChassis(kRestCentre);
  const SuspensionRay ray = model.suspensionRay(0, chassis);
  EXPECT_NEAR(ray.length, 1.4f, 1e-5f);
  // Rest wheel centre at y = 0.5: from 0.8 above it to 0.6 below.
  EXPECT_NEAR(ray.origin.y, 1.3f, 1e-5f);
  EXPECT_NEAR(ray.origin.x, -1.05f, 1e-5f);
  EXPECT_NEAR(ray.origin.z, 1.5f, 1e-5f);
  EXPECT_EQ(model.suspensionRay(6, chassis).length, 0.0f);
}

}  // namespace
