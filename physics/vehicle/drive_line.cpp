#include "physics/vehicle/drive_line.h"

#include "physics/vehicle/tyre_model.h"

#include <algorithm>
#include <cmath>

namespace vehicle {

float engineDriveTorque(const EngineData& engine, float omega, float throttle) {
  const float a = std::clamp(throttle, 0.0f, 1.0f);
  const float x = engine.maxOmega > 0.0f ? omega / engine.maxOmega : 0.0f;
  return a * engine.peakTorque * evaluateGraph(engine.torqueCurve, x);
}

float engineDampingRate(const EngineData& engine, float throttle, bool inGear) {
  const float a = std::clamp(throttle, 0.0f, 1.0f);
  const float zero =
      inGear ? engine.dampingRateZeroThrottleClutchEngaged : engine.dampingRateZeroThrottleClutchDisengaged;
  return zero + (engine.dampingRateFullThrottle - zero) * a;
}

float engineBrakingRate(const EngineData& engine, float dampingRate, float omega) {
  constexpr float kBrakingShareOfPeak = 0.2f;
  const float limit = kBrakingShareOfPeak * engine.peakTorque;
  const float speed = std::fabs(omega);
  if (!(dampingRate * speed > limit)) return dampingRate;
  return limit / speed;
}

DrivenArray nominalDifferentialFractions(const DifferentialData& d) {
  const float front = std::clamp(d.frontRearSplit, 0.0f, 1.0f);
  const float frontLeft = std::clamp(d.frontLeftRightSplit, 0.0f, 1.0f);
  const float rearLeft = std::clamp(d.rearLeftRightSplit, 0.0f, 1.0f);
  return {front * frontLeft, front * (1.0f - frontLeft), (1.0f - front) * rearLeft,
          (1.0f - front) * (1.0f - rearLeft)};
}

namespace {

// Share of side a in a pair after limited slip. Once the speed ratio passes the bias, torque moves to
// the side it brings back towards the other's speed, reaching everything at ratio 2·bias − 1: a
// driving torque (direction > 0, along +omega) goes to the lower signed speed, a holding torque
// (engine braking, direction < 0) to the higher one. Moving a holding torque to the slower wheel
// instead would brake it further, lock it and turn it backwards, and would hand the engine more
// power than the wheels give up. Sides turning opposite ways count as past any bias.
float limitedSlipShare(float nominalA, float speedA, float speedB, float bias, float direction) {
  constexpr float kFloor = 0.1f;
  const float sizeA = std::fabs(speedA);
  const float sizeB = std::fabs(speedB);
  if ((sizeA < kFloor && sizeB < kFloor) || !(bias > 1.0f) || direction == 0.0f) return nominalA;
  float w = 1.0f;
  if ((speedA > 0.0f) == (speedB > 0.0f) || sizeA < kFloor || sizeB < kFloor) {
    const float ratio = std::max(sizeA, sizeB) / std::max(std::min(sizeA, sizeB), kFloor);
    w = std::clamp((ratio - bias) / (bias - 1.0f), 0.0f, 1.0f);
  }
  const bool aGains = direction > 0.0f ? speedA < speedB : speedA > speedB;
  if (aGains) return nominalA + (1.0f - nominalA) * w;
  return nominalA * (1.0f - w);
}

}  // namespace

DrivenArray differentialFractions(const DifferentialData& d, const DrivenArray& omega,
                                  float torqueDirection) {
  const float frontNominal = std::clamp(d.frontRearSplit, 0.0f, 1.0f);
  const float front =
      limitedSlipShare(frontNominal, omega[0] + omega[1], omega[2] + omega[3], d.centreBias, torqueDirection);
  const float frontLeft = limitedSlipShare(std::clamp(d.frontLeftRightSplit, 0.0f, 1.0f), omega[0], omega[1],
                                           d.frontBias, torqueDirection);
  const float rearLeft = limitedSlipShare(std::clamp(d.rearLeftRightSplit, 0.0f, 1.0f), omega[2], omega[3],
                                          d.rearBias, torqueDirection);
  return {front * frontLeft, front * (1.0f - frontLeft), (1.0f - front) * rearLeft,
          (1.0f - front) * (1.0f - rearLeft)};
}

namespace {

// The engine and wheel speeds each would reach in the step without the clutch, with implicit
// damping and implicit tyre pull, and the diagonal terms of that implicit step.
struct FreeStep {
  float engineDiag = 0.0f;
  float engine = 0.0f;
  WheelArray wheelDiag{};
  WheelArray wheel{};
  float average = 0.0f;  // clutch-side average of the free wheel speeds
};

FreeStep freeStep(const DrivelineInput& in, const DrivelineState& state) {
  const float h = in.dt;
  const int n = std::clamp(in.numWheels, 0, kMaxWheels);
  FreeStep f;
  f.engineDiag = in.engineMoi + h * in.engineDamping;
  f.engine = (in.engineMoi * state.engineOmega + h * in.engineTorque) / f.engineDiag;
  for (int i = 0; i < n; ++i) {
    const float slope = std::min(in.wheelTorqueSlope[i], 0.0f);
    f.wheelDiag[i] = in.wheelMoi[i] + h * (in.wheelDamping[i] - slope);
    f.wheel[i] =
        (in.wheelMoi[i] * state.wheelOmega[i] + h * (in.wheelTorque[i] - slope * state.wheelOmega[i])) /
        f.wheelDiag[i];
    f.average += in.averagingWeight[i] * f.wheel[i];
  }
  return f;
}

}  // namespace

float clutchTorqueDirection(const DrivelineInput& in, const DrivelineState& state) {
  if (in.gearRatio == 0.0f || !(in.clutchStrength > 0.0f)) return 0.0f;
  const FreeStep f = freeStep(in, state);
  // The slip after the step has the sign of the free slip; the wheels get gear × slip.
  const float torque = in.gearRatio * (f.engine - in.gearRatio * f.average);
  return torque > 0.0f ? 1.0f : (torque < 0.0f ? -1.0f : 0.0f);
}

DrivelineState solveDriveline(const DrivelineInput& in, const DrivelineState& state, float* clutchSlip) {
  const float h = in.dt;
  const int n = std::clamp(in.numWheels, 0, kMaxWheels);
  const float clutch = in.gearRatio != 0.0f ? in.clutchStrength : 0.0f;
  const float g = in.gearRatio;
  const FreeStep f = freeStep(in, state);

  // The clutch couples the engine to one weighted average of the wheels: a rank-one system with a
  // closed-form solution for the slip after the step.
  float coupling = 0.0f;
  for (int i = 0; i < n; ++i) coupling += in.averagingWeight[i] * in.torqueFraction[i] / f.wheelDiag[i];
  const float slip =
      (f.engine - g * f.average) / (1.0f + h * clutch / f.engineDiag + h * clutch * g * g * coupling);

  DrivelineState out;
  out.engineOmega =
      std::clamp(f.engine - h * clutch * slip / f.engineDiag, 0.0f, std::max(in.maxEngineOmega, 0.0f));
  for (int i = 0; i < n; ++i)
    out.wheelOmega[i] = f.wheel[i] + h * g * in.torqueFraction[i] * clutch * slip / f.wheelDiag[i];
  if (clutchSlip) *clutchSlip = slip;
  return out;
}

float applyBrake(float omega, float torque, float dt, float effectiveMoi) {
  if (!(torque > 0.0f) || !(effectiveMoi > 0.0f)) return omega;
  const float drop = dt * torque / effectiveMoi;
  if (std::fabs(omega) <= drop) return 0.0f;
  return omega > 0.0f ? omega - drop : omega + drop;
}

}  // namespace vehicle
