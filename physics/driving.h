// Driving the vehicle each playing frame: the recorded inputs, the vehicle step (smoothing,
// suspension rays, model update, world step) and the driver's command.
#pragma once

#include "common/game_types.h"
#include "physics/vehicle/input_smoothing.h"

#include <glm/glm.hpp>

class PhysicsWorld;
class Vehicle;

// The five inputs as targets in [0, 1] (a key is 0 or 1), recorded by the command of one frame and
// consumed by the next step. `fromPad`: a gamepad's analog control took part, so the step smooths
// with the pad's rates.
struct DrivingInput {
  float accelerate = 0.0f;
  float brake = 0.0f;
  float handbrake = 0.0f;
  float steerLeft = 0.0f;
  float steerRight = 0.0f;
  bool fromPad = false;
};

// Rise and fall rates of the key smoothing and of a gamepad's analog controls, and the steer limit
// against forward speed.
const vehicle::KeySmoothingData& keySmoothing();
const vehicle::KeySmoothingData& padSmoothing();
const vehicle::SteerVsSpeedTable& steerVsSpeed();

struct DrivingState {
  DrivingInput drivingInput;
  bool vehicleInAir = true;  // the previous step's in-air test; the first step counts as airborne
};

// Longest single vehicle step; longer frames are split into equal steps no longer than this.
constexpr float kMaxVehicleStep = 1.0f / 60.0f;

// The vehicle step for one frame of dt seconds: smoothing of the recorded inputs, clearing them,
// suspension rays, gravity, model update, in-air test (a sleeping body is not in the air), world
// step. Frames longer than kMaxVehicleStep run as several equal steps with the same inputs.
void stepVehicle(PhysicsWorld& world, Vehicle& vehicle, DrivingState& state, float dt);

// Largest speed at which the recovery key rights the vehicle.
constexpr float kRecoveryMaxSpeed = 0.05f;

// Forward leaves reverse for first gear; reverse selects the reverse gear and accelerates (by the
// larger of the two amounts); the recovery acts only at rest. Gear and recovery act at once, the rest is
// recorded for the next step.
ruvelo::DriveResult applyDriveCommand(const ruvelo::DriveCommand& command, Vehicle& vehicle,
                                      DrivingState& state);
