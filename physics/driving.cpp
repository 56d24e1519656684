#include "physics/driving.h"

#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace {

vehicle::KeySmoothingData makeKeySmoothing() {
  vehicle::KeySmoothingData k;
  k.riseRates = {6.0f, 6.0f, 6.0f, 2.5f, 2.5f};
  k.fallRates = {10.0f, 10.0f, 10.0f, 5.0f, 5.0f};
  return k;
}

vehicle::SteerVsSpeedTable makeSteerVsSpeed() {
  vehicle::SteerVsSpeedTable t;
  t.addPair(0.0f, 0.75f);
  t.addPair(5.0f, 0.75f);
  t.addPair(30.0f, 0.125f);
  t.addPair(120.0f, 0.1f);
  return t;
}

vehicle::DigitalInputs toDigital(const DrivingInput& in) {
  vehicle::DigitalInputs d;
  d.accel = in.accelerate;
  d.brake = in.brake;
  d.handbrake = in.handbrake;
  d.steerLeft = in.steerLeft;
  d.steerRight = in.steerRight;
  return d;
}

void stepOnce(PhysicsWorld& world, Vehicle& v, DrivingState& state, const DrivingInput& input, float dt) {
  vehicle::DriveModel& model = v.model();
  model.setAnalogInputs(vehicle::smoothDigitalInputs(keySmoothing(), steerVsSpeed(), toDigital(input), dt,
                                                     state.vehicleInAir, v.forwardSpeed(),
                                                     model.analogInputs()));
  v.castSuspensionRays();
  const btVector3 g = world.dynamicsWorld().getGravity();
  // A sleeping vehicle asked for nothing stays asleep and keeps its last wheel states.
  if (!(v.isSleeping() && !model.analogInputs().anyNonZero()))
    v.updateModel(dt, glm::vec3(g.x(), g.y(), g.z()));
  state.vehicleInAir = v.isSleeping() ? false : model.isInAir();
  world.step(dt);
}

}  // namespace

const vehicle::KeySmoothingData& keySmoothing() {
  static const vehicle::KeySmoothingData k = makeKeySmoothing();
  return k;
}

const vehicle::SteerVsSpeedTable& steerVsSpeed() {
  static const vehicle::SteerVsSpeedTable t = makeSteerVsSpeed();
  return t;
}

void stepVehicle(PhysicsWorld& world, Vehicle& vehicle, DrivingState& state, float dt) {
  const DrivingInput input = state.drivingInput;
  state.drivingInput = DrivingInput{};
  if (!(dt > 0.0f) || !std::isfinite(dt)) return;
  const int steps = std::max(1, static_cast<int>(std::ceil(dt / kMaxVehicleStep - 1e-4f)));
  const float h = dt / static_cast<float>(steps);
  for (int i = 0; i < steps; ++i) stepOnce(world, vehicle, state, input, h);
}

DrivingKeysResult readDrivingKeys(const DrivingKeys& held, Vehicle& vehicle, DrivingState& state) {
  DrivingKeysResult result;
  DrivingInput& in = state.drivingInput;
  if (held.w) {
    if (vehicle.currentGear() == vehicle::kGearReverse) vehicle.forceGear(vehicle::kGearFirst);
    in.accelerate = true;
    result.accelerateHeld = true;
    result.unflippedCleared = true;
  }
  if (held.a) {
    in.steerRight = true;
    result.unflippedCleared = true;
  }
  if (held.s) {
    vehicle.forceGear(vehicle::kGearReverse);
    in.accelerate = true;
    result.reverseHeld = true;
    result.unflippedCleared = true;
  }
  if (held.d) {
    in.steerLeft = true;
    result.unflippedCleared = true;
  }
  if (held.space && glm::length(vehicle.linearVelocity()) <= kRecoveryMaxSpeed) {
    vehicle.setActorPose(vehicle.actorPosition() + glm::vec3(0.0f, 2.0f, 0.0f), vehicleStartRotation());
    result.unflippedSet = true;
  }
  if (held.b) in.brake = true;
  return result;
}

glm::mat4 quatToRotationMatrix(const glm::quat& q) {
  const glm::vec3 axis(q.x, q.y, q.z);
  // A zero axis cannot be normalised: turn by a negligible angle about +y instead.
  if (!(glm::dot(axis, axis) > 1e-24f))
    return glm::rotate(glm::mat4(1.0f), 0.0001f, glm::vec3(0.0f, 1.0f, 0.0f));
  const float angle = 2.0f * std::acos(std::clamp(q.w, -1.0f, 1.0f));
  return glm::rotate(glm::mat4(1.0f), angle, axis);
}

glm::mat4 vehicleFrameMatrix(const glm::vec3& position, const glm::quat& rotation) {
  return glm::translate(glm::mat4(1.0f), position) * quatToRotationMatrix(rotation);
}

glm::mat4 vehicleBodyMatrix(const glm::vec3& position, const glm::quat& rotation) {
  return glm::translate(vehicleFrameMatrix(position, rotation), glm::vec3(0.0f, -0.4f, 0.0f));
}

glm::mat4 wheelMatrix(const glm::mat4& vehicleFrame, const glm::vec3& localPosition,
                      const glm::quat& localRotation) {
  return glm::translate(vehicleFrame, localPosition) * quatToRotationMatrix(localRotation);
}

glm::mat4 coneMatrix(const glm::vec3& position, const glm::quat& rotation) {
  return glm::translate(glm::mat4(1.0f), position + glm::vec3(0.0f, 1.5f, 0.0f)) *
         glm::scale(glm::mat4(1.0f), glm::vec3(3.5f)) * quatToRotationMatrix(rotation);
}
