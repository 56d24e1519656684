#include "physics/vehicle/steering.h"

#include <algorithm>
#include <cmath>

namespace vehicle {

FrontSteer ackermannSteer(const AckermannData& a, float steer) {
  const float magnitude = std::fabs(steer);
  if (magnitude < 1e-6f || !(a.axleSeparation > 0.0f)) return {steer, steer};
  const float length = a.axleSeparation;
  const float radius = length / std::tan(std::min(magnitude, 1.5f));
  const float half = 0.5f * a.frontWidth;
  const float inner = std::atan(length / std::max(radius - half, 1e-3f));
  const float outer = std::atan(length / (radius + half));
  const float accuracy = std::clamp(a.accuracy, 0.0f, 1.0f);
  const float innerAngle = magnitude + accuracy * (inner - magnitude);
  const float outerAngle = magnitude + accuracy * (outer - magnitude);
  const float sign = steer > 0.0f ? 1.0f : -1.0f;
  // Turning towards +x puts the +x wheel on the inside.
  if (steer > 0.0f) return {sign * outerAngle, sign * innerAngle};
  return {sign * innerAngle, sign * outerAngle};
}

}  // namespace vehicle
