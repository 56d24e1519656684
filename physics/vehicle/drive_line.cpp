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

DrivenArray nominalDifferentialFractions(const DifferentialData& d) {
  const float front = std::clamp(d.frontRearSplit, 0.0f, 1.0f);
  const float frontLeft = std::clamp(d.frontLeftRightSplit, 0.0f, 1.0f);
  const float rearLeft = std::clamp(d.rearLeftRightSplit, 0.0f, 1.0f);
  return {front * frontLeft, front * (1.0f - frontLeft), (1.0f - front) * rearLeft,
          (1.0f - front) * (1.0f - rearLeft)};
}

namespace {

// Share of side a in a pair after limited slip: the slower side gains as the speed ratio passes
// the bias, reaching everything at ratio 2·bias − 1.
float limitedSlipShare(float nominalA, float speedA, float speedB, float bias) {
  constexpr float kFloor = 0.1f;
  speedA = std::fabs(speedA);
  speedB = std::fabs(speedB);
  if ((speedA < kFloor && speedB < kFloor) || !(bias > 1.0f)) return nominalA;
  speedA = std::max(speedA, kFloor);
  speedB = std::max(speedB, kFloor);
  const float ratio = std::max(speedA, speedB) / std::min(speedA, speedB);
  const float w = std::clamp((ratio - bias) / (bias - 1.0f), 0.0f, 1.0f);
  if (speedA < speedB) return nominalA + (1.0f - nominalA) * w;
  return nominalA * (1.0f - w);
}

}  // namespace

DrivenArray differentialFractions(const DifferentialData& d, const DrivenArray& omega) {
  const float frontNominal = std::clamp(d.frontRearSplit, 0.0f, 1.0f);
  const float front = limitedSlipShare(frontNominal, std::fabs(omega[0]) + std::fabs(omega[1]),
                                       std::fabs(omega[2]) + std::fabs(omega[3]), d.centreBias);
  const float frontLeft =
      limitedSlipShare(std::clamp(d.frontLeftRightSplit, 0.0f, 1.0f), omega[0], omega[1], d.frontBias);
  const float rearLeft =
      limitedSlipShare(std::clamp(d.rearLeftRightSplit, 0.0f, 1.0f), omega[2], omega[3], d.rearBias);
  return {front * frontLeft, front * (1.0f - frontLeft), (1.0f - front) * rearLeft,
          (1.0f - front) * (1.0f - rearLeft)};
}

DrivelineState solveDriveline(const DrivelineInput& in, const DrivelineState& state, float* clutchSlip) {
  const float h = in.dt;
  const int n = std::clamp(in.numWheels, 0, kMaxWheels);
  const float clutch = in.gearRatio != 0.0f ? in.clutchStrength : 0.0f;
  const float g = in.gearRatio;

  // Uncoupled predictions with implicit damping and implicit tyre pull.
  const float engineDiag = in.engineMoi + h * in.engineDamping;
  const float engineFree = (in.engineMoi * state.engineOmega + h * in.engineTorque) / engineDiag;
  WheelArray wheelDiag{};
  WheelArray wheelFree{};
  for (int i = 0; i < n; ++i) {
    const float slope = std::min(in.wheelTorqueSlope[i], 0.0f);
    wheelDiag[i] = in.wheelMoi[i] + h * (in.wheelDamping[i] - slope);
    wheelFree[i] =
        (in.wheelMoi[i] * state.wheelOmega[i] + h * (in.wheelTorque[i] - slope * state.wheelOmega[i])) /
        wheelDiag[i];
  }

  // The clutch couples the engine to one weighted average of the wheels: a rank-one system with a
  // closed-form solution for the slip after the step.
  float averageFree = 0.0f;
  float coupling = 0.0f;
  for (int i = 0; i < n; ++i) {
    averageFree += in.averagingWeight[i] * wheelFree[i];
    coupling += in.averagingWeight[i] * in.torqueFraction[i] / wheelDiag[i];
  }
  const float slip =
      (engineFree - g * averageFree) / (1.0f + h * clutch / engineDiag + h * clutch * g * g * coupling);

  DrivelineState out;
  out.engineOmega =
      std::clamp(engineFree - h * clutch * slip / engineDiag, 0.0f, std::max(in.maxEngineOmega, 0.0f));
  for (int i = 0; i < n; ++i)
    out.wheelOmega[i] = wheelFree[i] + h * g * in.torqueFraction[i] * clutch * slip / wheelDiag[i];
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
