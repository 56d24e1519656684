#include "audio/engine_mix.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::audio {
namespace {

constexpr float kHalfPi = 1.57079632679f;
// Where a tyre starts to slide: slip ratio and slip angle (rad) at which the squeal begins.
constexpr float kSquealSlipRatio = 0.25f;
constexpr float kSquealSlipAngle = 0.1f;
// How far past that point (as a multiple of it) the squeal is at full loudness.
constexpr float kFullSqueal = 3.0f;

float limitPitch(float pitch) {
  return std::clamp(pitch, 1.0f / kMaxLoopPitch, kMaxLoopPitch);
}

}  // namespace

std::array<LoopVoice, kEngineLoops> engineCrossfade(float rpm) {
  std::array<LoopVoice, kEngineLoops> voices{};
  const auto& speed = kEngineLoopRpm;
  const float first = speed.front(), last = speed.back();
  if (!(rpm > first)) {  // NaN lands here too
    voices.front() = {1.0f, limitPitch(std::isfinite(rpm) ? rpm / first : 1.0f)};
    return voices;
  }
  if (rpm >= last) {
    voices.back() = {1.0f, limitPitch(rpm / last)};
    return voices;
  }
  int i = 0;
  while (speed[i + 1] <= rpm) ++i;
  // The fade runs over the speeds both loops reach within the pitch limit, evenly in log speed.
  const float low = speed[i + 1] / kMaxLoopPitch;
  const float high = speed[i] * kMaxLoopPitch;
  const float t = std::clamp(std::log(rpm / low) / std::log(high / low), 0.0f, 1.0f);
  voices[i] = {std::cos(t * kHalfPi), limitPitch(rpm / speed[i])};
  voices[i + 1] = {std::sin(t * kHalfPi), limitPitch(rpm / speed[i + 1])};
  if (voices[i].gain < 1e-6f) voices[i].gain = 0.0f;
  if (voices[i + 1].gain < 1e-6f) voices[i + 1].gain = 0.0f;
  return voices;
}

float squealLevel(float longSlip, float latSlip) {
  if (!std::isfinite(longSlip) || !std::isfinite(latSlip)) return 0.0f;
  const float combined = std::hypot(longSlip / kSquealSlipRatio, latSlip / kSquealSlipAngle);
  const float t = std::clamp((combined - 1.0f) / (kFullSqueal - 1.0f), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

float smoothTowards(float current, float target, float dt, float tau) {
  if (!(dt > 0.0f)) return current;
  if (!(tau > 0.0f)) return target;
  return current + (target - current) * (1.0f - std::exp(-dt / tau));
}

}  // namespace ruvelo::audio
