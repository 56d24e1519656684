// The drive line: engine torque and damping, the limited-slip differential's torque split, the
// implicit solve of engine and wheel speeds through the clutch, and brakes.
#pragma once

#include "physics/vehicle/vehicle_data.h"

#include <array>

namespace vehicle {

constexpr int kMaxWheels = 20;
constexpr int kDrivenWheels = 4;

using WheelArray = std::array<float, kMaxWheels>;
using DrivenArray = std::array<float, kDrivenWheels>;

// Engine drive torque at speed omega and throttle in [0, 1].
float engineDriveTorque(const EngineData& engine, float omega, float throttle);
// Engine damping rate: full-throttle rate blended with the zero-throttle rate for the clutch state.
float engineDampingRate(const EngineData& engine, float throttle, bool inGear);
// The damping rate in gear, lowered where needed so the drag it gives at omega stays within the
// engine's braking torque (a fifth of its peak torque). The zero-throttle rate alone would hold the
// engine back with more than its peak torque, which through the low gears is more than the driven
// tyres can carry: lifting off would lock them.
float engineBrakingRate(const EngineData& engine, float dampingRate, float omega);

// Torque fractions of the four driven wheels (front left, front right, rear left, rear right)
// without limited slip.
DrivenArray nominalDifferentialFractions(const DifferentialData& diff);
// With limited slip: when the speed ratio of the axles, or of the wheels of one axle, exceeds its
// bias, torque moves to the side that lags behind the torque: the slower side while the clutch
// drives the wheels (torqueDirection > 0, along +omega), the faster side while it holds them back
// (engine braking, torqueDirection < 0). Either way the speeds are pulled together. Always
// non-negative and summing to 1.
DrivenArray differentialFractions(const DifferentialData& diff, const DrivenArray& wheelOmega,
                                  float torqueDirection = 1.0f);

struct DrivelineState {
  float engineOmega = 0.0f;
  WheelArray wheelOmega{};
};

// One step of the coupled engine–clutch–wheel system, backward Euler in the clutch, the damping
// and the tyres' linearised pull, which makes it stable for any step. Wheels with zero torque
// fraction and averaging weight are simply free wheels.
struct DrivelineInput {
  float dt = 0.0f;
  int numWheels = 0;
  float engineMoi = 1.0f;
  float engineTorque = 0.0f;
  float engineDamping = 0.0f;
  float maxEngineOmega = 0.0f;  // result is clamped to [0, maxEngineOmega]
  float gearRatio = 0.0f;       // gear × final; 0 disconnects the clutch
  float clutchStrength = 0.0f;
  WheelArray wheelMoi{};
  WheelArray wheelDamping{};
  WheelArray wheelTorque{};       // external torque (tyre)
  WheelArray wheelTorqueSlope{};  // d(wheelTorque)/dω, ≤ 0
  WheelArray averagingWeight{};   // clutch-side average of the wheel speeds
  WheelArray torqueFraction{};    // share of the clutch torque
};

// Direction of the clutch torque on the wheels in the coming step: +1 along +omega, −1 against it, 0
// with the clutch open or no slip. It does not depend on the torque fractions.
float clutchTorqueDirection(const DrivelineInput& in, const DrivelineState& state);

// Returns the new state; the clutch slip after the step goes to clutchSlip when not null.
DrivelineState solveDriveline(const DrivelineInput& in, const DrivelineState& state,
                              float* clutchSlip = nullptr);

// Brake impulse on one wheel: lowers |omega| by dt·torque/effectiveMoi but never past zero, so a
// brake stops a wheel and never turns it the other way.
float applyBrake(float omega, float torque, float dt, float effectiveMoi);

}  // namespace vehicle
