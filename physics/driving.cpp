#include "physics/driving.h"

#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

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

DriveResult applyDriveCommand(const DriveCommand& command, Vehicle& vehicle, DrivingState& state) {
  DriveResult result;
  DrivingInput& in = state.drivingInput;
  if (command.forward) {
    if (vehicle.currentGear() == vehicle::kGearReverse) vehicle.forceGear(vehicle::kGearFirst);
    in.accelerate = true;
    result.accelerateHeld = true;
    result.unflippedCleared = true;
  }
  if (command.steerRight) {
    in.steerRight = true;
    result.unflippedCleared = true;
  }
  if (command.reverse) {
    vehicle.forceGear(vehicle::kGearReverse);
    in.accelerate = true;
    result.reverseHeld = true;
    result.unflippedCleared = true;
  }
  if (command.steerLeft) {
    in.steerLeft = true;
    result.unflippedCleared = true;
  }
  if (command.recover && glm::length(vehicle.linearVelocity()) <= kRecoveryMaxSpeed) {
    vehicle.setActorPose(vehicle.actorPosition() + glm::vec3(0.0f, 2.0f, 0.0f), vehicleStartRotation());
    result.unflippedSet = true;
  }
  if (command.brake) in.brake = true;
  return result;
}
