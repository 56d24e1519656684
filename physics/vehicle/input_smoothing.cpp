#include "physics/vehicle/input_smoothing.h"

#include <algorithm>
#include <cmath>

namespace vehicle {

bool AnalogInputs::anyNonZero() const {
  return std::any_of(value.begin(), value.end(), [](float v) { return v != 0.0f; });
}

bool SteerVsSpeedTable::addPair(float speed, float steer) {
  if (count >= kMaxPairs) return false;
  if (count > 0 && !(speed > speeds[count - 1])) return false;
  speeds[count] = speed;
  steers[count] = steer;
  ++count;
  return true;
}

float SteerVsSpeedTable::evaluate(float speed) const {
  if (count == 0) return 1.0f;
  if (speed <= speeds[0]) return steers[0];
  for (int i = 1; i < count; ++i) {
    if (speed <= speeds[i]) {
      const float t = (speed - speeds[i - 1]) / (speeds[i] - speeds[i - 1]);
      return steers[i - 1] + t * (steers[i] - steers[i - 1]);
    }
  }
  return steers[count - 1];
}

AnalogInputs smoothAnalogInputs(const KeySmoothingData& smoothing, const SteerVsSpeedTable& steerVsSpeed,
                                const AnalogInputs& targets, float dt, bool inAir, float forwardSpeed,
                                const AnalogInputs& current) {
  const float step = std::max(dt, 0.0f);
  AnalogInputs out;
  for (int i = 0; i < kInputCount; ++i) {
    const float v = current.value[i];
    const float target = std::clamp(targets.value[i], 0.0f, 1.0f);
    // For a target of 0 or 1 this is exactly the key rule: up by rise·dt or down by fall·dt, in [0, 1].
    out.value[i] = target > v ? std::min(v + smoothing.riseRates[i] * step, target)
                              : std::max(v - smoothing.fallRates[i] * step, target);
  }
  const float cap = inAir ? 1.0f : std::clamp(steerVsSpeed.evaluate(std::fabs(forwardSpeed)), 0.0f, 1.0f);
  out.value[kInputSteerLeft] = std::min(out.value[kInputSteerLeft], cap);
  out.value[kInputSteerRight] = std::min(out.value[kInputSteerRight], cap);
  return out;
}

AnalogInputs smoothDigitalInputs(const KeySmoothingData& smoothing, const SteerVsSpeedTable& steerVsSpeed,
                                 const DigitalInputs& keys, float dt, bool inAir, float forwardSpeed,
                                 const AnalogInputs& current) {
  const bool held[kInputCount] = {keys.accel, keys.brake, keys.handbrake, keys.steerLeft, keys.steerRight};
  AnalogInputs targets;
  for (int i = 0; i < kInputCount; ++i) targets.value[i] = held[i] ? 1.0f : 0.0f;
  return smoothAnalogInputs(smoothing, steerVsSpeed, targets, dt, inAir, forwardSpeed, current);
}

}  // namespace vehicle
