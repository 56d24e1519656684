#include "physics/vehicle/tyre_model.h"

#include <algorithm>
#include <cmath>

namespace vehicle {

namespace {

// Saturation of the brush model: x − x²/3 + x³/27 rises from 0 with slope 1 and reaches 1 with
// zero slope at x = 3.
float saturate(float x) {
  if (x >= 3.0f) return 1.0f;
  return x - x * x / 3.0f + x * x * x / 27.0f;
}

}  // namespace

float evaluateGraph(const std::array<GraphPoint, 3>& graph, float x) {
  if (x <= graph[0].x) return graph[0].y;
  for (int i = 1; i < 3; ++i) {
    if (x <= graph[i].x) {
      const float span = graph[i].x - graph[i - 1].x;
      if (span <= 0.0f) return graph[i].y;
      const float t = (x - graph[i - 1].x) / span;
      return graph[i - 1].y + t * (graph[i].y - graph[i - 1].y);
    }
  }
  return graph[2].y;
}

float filterTyreLoad(const TyreLoadFilterData& f, float load, float restLoad) {
  // A tyre without load transmits nothing, whatever the filter's lower end says.
  if (!(restLoad > 0.0f) || !(load > 0.0f)) return 0.0f;
  const float l = load / restLoad;
  float filtered;
  if (l <= f.minNormalisedLoad) {
    filtered = f.minFilteredNormalisedLoad;
  } else if (l >= f.maxNormalisedLoad) {
    filtered = f.maxFilteredNormalisedLoad;
  } else {
    const float t = (l - f.minNormalisedLoad) / (f.maxNormalisedLoad - f.minNormalisedLoad);
    filtered = f.minFilteredNormalisedLoad + t * (f.maxFilteredNormalisedLoad - f.minFilteredNormalisedLoad);
  }
  return filtered * restLoad;
}

float lateralStiffness(const TyreData& tyre, float load, float restLoad) {
  if (!(restLoad > 0.0f) || !(load > 0.0f) || !(tyre.latStiffX > 0.0f)) return 0.0f;
  const float normalised = load / restLoad;
  return tyre.latStiffY * restLoad * saturate(3.0f * normalised / tyre.latStiffX);
}

TyreOutput computeTyreForces(const TyreData& tyre, const TyreInput& in) {
  TyreOutput out;
  const float longDenominator = std::max(std::fabs(in.longSpeed), in.minLongSlipDenominator);
  out.longSlip = (in.wheelOmega * in.radius - in.longSpeed) / longDenominator;
  out.latSlip = std::atan2(in.latSpeed, std::max(std::fabs(in.longSpeed), in.minLatSlipDenominator));
  out.friction = std::max(0.0f, in.friction * evaluateGraph(tyre.frictionVsSlip, std::fabs(out.longSlip)));

  const float limit = out.friction * in.load;
  if (!(in.load > 0.0f) || !(limit > 0.0f)) return out;

  const float longStiffness = tyre.longStiffPerUnitGravity * in.gravity;
  const float camberStiffness = tyre.camberStiffPerUnitGravity * in.gravity;
  const float fx0 = longStiffness * out.longSlip;
  const float fy0 = -lateralStiffness(tyre, in.load, in.restLoad) * out.latSlip + camberStiffness * in.camber;
  const float f0 = std::sqrt(fx0 * fx0 + fy0 * fy0);

  float scale = 1.0f;
  if (f0 > 0.0f) {
    const float k = f0 / limit;
    scale = saturate(k) / k;
  }
  out.longForce = fx0 * scale;
  out.latForce = fy0 * scale;
  out.wheelTorque = -out.longForce * in.radius;
  // The secant slope: force = stiffness × scale × slip, slip linear in ω.
  out.torqueSlope = -longStiffness * scale * in.radius * in.radius / longDenominator;
  return out;
}

}  // namespace vehicle
