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

// A pad's controls have rates of their own: throttle, brake and steering follow the stick or
// trigger at the keys' rates (a stick flicked across still turns the wheels over a fraction of a
// second), the handbrake (not used by the game) rises and falls faster.
vehicle::KeySmoothingData makePadSmoothing() {
  vehicle::KeySmoothingData k;
  k.riseRates = {6.0f, 6.0f, 12.0f, 2.5f, 2.5f};
  k.fallRates = {10.0f, 10.0f, 12.0f, 5.0f, 5.0f};
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

vehicle::AnalogInputs toTargets(const DrivingInput& in) {
  vehicle::AnalogInputs t;
  t.value[vehicle::kInputAccel] = in.accelerate;
  t.value[vehicle::kInputBrake] = in.brake;
  t.value[vehicle::kInputHandbrake] = in.handbrake;
  t.value[vehicle::kInputSteerLeft] = in.steerLeft;
  t.value[vehicle::kInputSteerRight] = in.steerRight;
  return t;
}

// A key counts in full; an analog amount outside [0, 1] (or not a number) is clamped.
float amount(bool key, float analog) {
  if (key) return 1.0f;
  return analog > 0.0f ? std::min(analog, 1.0f) : 0.0f;
}

void stepOnce(PhysicsWorld& world, Vehicle& v, DrivingState& state, const DrivingInput& input, float dt) {
  vehicle::DriveModel& model = v.model();
  model.setAnalogInputs(vehicle::smoothAnalogInputs(input.fromPad ? padSmoothing() : keySmoothing(),
                                                    steerVsSpeed(), toTargets(input), dt, state.vehicleInAir,
                                                    v.forwardSpeed(), model.analogInputs()));
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

const vehicle::KeySmoothingData& padSmoothing() {
  static const vehicle::KeySmoothingData k = makePadSmoothing();
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

ruvelo::DriveResult applyDriveCommand(const ruvelo::DriveCommand& command, Vehicle& vehicle,
                                      DrivingState& state) {
  ruvelo::DriveResult result;
  DrivingInput& in = state.drivingInput;
  const float forward = amount(command.forward, command.forwardAmount);
  const float right = amount(command.turnLeft, command.steerAmount);
  const float reverse = amount(command.reverse, command.reverseAmount);
  const float left = amount(command.turnRight, -command.steerAmount);
  const float brake = amount(command.brake, command.brakeAmount);
  if (command.forwardAmount > 0.0f || command.reverseAmount > 0.0f || command.steerAmount != 0.0f ||
      command.brakeAmount > 0.0f)
    in.fromPad = true;
  if (forward > 0.0f) {
    if (vehicle.currentGear() == vehicle::kGearReverse) vehicle.forceGear(vehicle::kGearFirst);
    in.accelerate = std::max(in.accelerate, forward);
    result.accelerateHeld = true;
    result.accelerateAmount = forward;
    result.unflippedCleared = true;
  }
  if (right > 0.0f) {
    in.steerRight = std::max(in.steerRight, right);
    result.unflippedCleared = true;
  }
  if (reverse > 0.0f) {
    vehicle.forceGear(vehicle::kGearReverse);
    in.accelerate = std::max(in.accelerate, reverse);
    result.reverseHeld = true;
    result.reverseAmount = reverse;
    result.unflippedCleared = true;
  }
  if (left > 0.0f) {
    in.steerLeft = std::max(in.steerLeft, left);
    result.unflippedCleared = true;
  }
  if (command.recover && glm::length(vehicle.linearVelocity()) <= kRecoveryMaxSpeed) {
    vehicle.setActorPose(vehicle.actorPosition() + glm::vec3(0.0f, 2.0f, 0.0f), vehicleStartRotation());
    result.unflippedSet = true;
  }
  if (brake > 0.0f) in.brake = std::max(in.brake, brake);
  return result;
}
