#include "audio/engine_mix.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::audio {
namespace {

// Where a tyre starts to slide: slip ratio and slip angle (rad) at which the squeal begins.
constexpr float kSquealSlipRatio = 0.25f;
constexpr float kSquealSlipAngle = 0.1f;
// How far past that point (as a multiple of it) the tyre has fully let go.
constexpr float kFullSqueal = 3.0f;
// Slip speeds (m/s): the squeal starts above the first and is at its loudest and highest at the second.
constexpr float kQuietestSlip = 0.5f;
constexpr float kLoudestSlip = 12.0f;
constexpr float kSquealLowPitch = 0.8f, kSquealHighPitch = 1.3f;
// Sliding speeds (m/s) along a wall: heard from the first, loudest from the second.
constexpr float kQuietestScrape = 0.3f;
constexpr float kLoudestScrape = 12.0f;
constexpr float kScrapeLowPitch = 0.8f, kScrapeHighPitch = 1.25f;

float smoothStep(float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

}  // namespace

float squealLevel(float longSlip, float latSlip) {
  if (!std::isfinite(longSlip) || !std::isfinite(latSlip)) return 0.0f;
  const float combined = std::hypot(longSlip / kSquealSlipRatio, latSlip / kSquealSlipAngle);
  return smoothStep((combined - 1.0f) / (kFullSqueal - 1.0f));
}

LoopVoice squealVoice(float longSlip, float latSlip, float slipSpeed) {
  if (!std::isfinite(slipSpeed)) return {};
  const float speed =
      std::clamp((std::fabs(slipSpeed) - kQuietestSlip) / (kLoudestSlip - kQuietestSlip), 0.0f, 1.0f);
  return {squealLevel(longSlip, latSlip) * std::sqrt(speed),
          kSquealLowPitch + (kSquealHighPitch - kSquealLowPitch) * speed};
}

LoopVoice scrapeVoice(float slidingSpeed) {
  if (!std::isfinite(slidingSpeed)) return {};
  const float speed = std::clamp(
      (std::fabs(slidingSpeed) - kQuietestScrape) / (kLoudestScrape - kQuietestScrape), 0.0f, 1.0f);
  return {std::sqrt(speed), kScrapeLowPitch + (kScrapeHighPitch - kScrapeLowPitch) * speed};
}

float smoothTowards(float current, float target, float dt, float tau) {
  if (!(dt > 0.0f)) return current;
  if (!(tau > 0.0f)) return target;
  return current + (target - current) * (1.0f - std::exp(-dt / tau));
}

}  // namespace ruvelo::audio
