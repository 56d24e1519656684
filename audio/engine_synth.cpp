#include "audio/engine_synth.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::audio {
namespace {

constexpr float kRate = static_cast<float>(kEngineRate);

// The fixed resonances: where they ring (Hz), how sharply, and how loud each is coasting and pulling.
struct Resonance {
  float hz, q, coasting, pulling;
};
constexpr std::array<Resonance, 4> kResonances{{
    {105.0f, 0.8f, 1.3f, 1.0f},  // the body and the silencer: the low thump of each firing
    {290.0f, 3.0f, 1.5f, 1.7f},  // the exhaust pipe
    {610.0f, 4.0f, 1.0f, 1.5f},  // its second mode
    {980.0f, 5.0f, 0.4f, 1.1f},  // the intake, open under load
}};
constexpr float kResonanceScale = 0.30f;  // from one firing's pulse to the output
constexpr float kRaspCoasting = 0.04f;    // noise per firing
constexpr float kRaspPulling = 0.08f;
constexpr float kRaspDecay = 0.004f;      // s, how fast a firing's rasp dies away
constexpr float kRaspLowShare = 0.6f;     // of the rasp, the part through the lower band
constexpr float kCylinderSpread = 0.08f;  // how unlike the cylinders are
constexpr std::array<float, 4> kCylinder{
    {1.0f, 1.0f - kCylinderSpread, 1.0f + 0.7f * kCylinderSpread, 1.0f - 0.5f * kCylinderSpread}};
constexpr float kStrengthJitter = 0.18f;    // firing-to-firing strength variation
constexpr float kTimingJitterIdle = 0.03f;  // of a firing interval, at idle
constexpr float kTimingJitterRunning = 0.008f;
constexpr float kCoastingMisfire = 0.10f;  // chance that a firing coasting is weak (the burble)
constexpr float kHuntRpm = 22.0f;          // how far the idle wanders either way
constexpr float kHuntSmoothing = 0.35f;    // s
constexpr float kIdleJoin = 80.0f;         // rpm over which the engine's speed joins the idle
constexpr float kOutputGain = 7.0f;
// Slower, each firing is stronger, so the idle is not lost under the rest of the mix.
constexpr float kSlowBoost = 1.2f;  // extra strength at idle, none from kBoostEndRpm
constexpr float kBoostEndRpm = 3000.0f;

// Roughly normal, mean 0 and spread 1/sqrt(6) * 2: the sum of three uniform draws.
float bell(Noise& noise) {
  return (noise.next() + noise.next() + noise.next()) * 0.577f;
}

}  // namespace

float heardEngineRpm(float engineRpm, float idleRpm) {
  if (!std::isfinite(engineRpm)) return idleRpm;
  // A smooth maximum: the idle below, the engine's own speed above, no corner between.
  const float d = engineRpm - idleRpm;
  return idleRpm + 0.5f * (d + std::sqrt(d * d + kIdleJoin * kIdleJoin));
}

EngineSynth::EngineSynth(uint32_t seed) : noise_(seed) {
  for (int i = 0; i < 4; ++i)
    resonance_[i] = i == 0 ? Biquad::lowPass(kResonances[i].hz, kResonances[i].q, kRate)
                           : Biquad::bandPass(kResonances[i].hz, kResonances[i].q, kRate);
  rasp_ = Biquad::bandPass(1800.0f, 0.8f, kRate);
  raspLow_ = Biquad::bandPass(480.0f, 1.2f, kRate);
  raspDecay_ = std::exp(-1.0f / (kRaspDecay * kRate));
}

void EngineSynth::fire(float load) {
  // Strength: the cylinder's own, varied from firing to firing; coasting, now and then one is weak.
  const float boost =
      1.0f + kSlowBoost * std::clamp(1.0f - (rpm_ - kIdleRpm) / (kBoostEndRpm - kIdleRpm), 0.0f, 1.0f);
  float strength = boost * kCylinder[cylinder_] * (1.0f + kStrengthJitter * bell(noise_));
  if (load < 0.3f && noise_.next() * 0.5f + 0.5f < kCoastingMisfire * (1.0f - load / 0.3f)) strength *= 0.3f;
  cylinder_ = (cylinder_ + 1) % 4;
  pulse_ += strength;
  raspLevel_ = strength * (kRaspCoasting + (kRaspPulling - kRaspCoasting) * load);
  // When the next firing comes: the even interval, a little early or late.
  const float nearIdle = std::clamp((rpm_ - kIdleRpm) / 1500.0f, 0.0f, 1.0f);
  const float jitter = kTimingJitterIdle + (kTimingJitterRunning - kTimingJitterIdle) * nearIdle;
  intervalScale_ = 1.0f + jitter * bell(noise_);
  ++firings_;
}

void EngineSynth::render(float* out, int count, float rpm, float load) {
  if (count <= 0) return;
  const float seconds = static_cast<float>(count) / kRate;
  // The idle's hunt: a slow wander towards a new offset every half second or so.
  huntWait_ -= seconds;
  if (huntWait_ <= 0.0f) {
    huntTarget_ = kHuntRpm * noise_.next();
    huntWait_ = 0.4f + 0.5f * (noise_.next() * 0.5f + 0.5f);
  }
  hunt_ += (huntTarget_ - hunt_) * (1.0f - std::exp(-seconds / kHuntSmoothing));
  const float rpmEnd = heardEngineRpm(std::isfinite(rpm) ? rpm : rpm_, kIdleRpm + hunt_);
  const float loadEnd = std::isfinite(load) ? std::clamp(load, 0.0f, 1.0f) : load_;
  const float rpmStep = (rpmEnd - rpm_) / static_cast<float>(count);
  const float loadStep = (loadEnd - load_) / static_cast<float>(count);
  std::array<float, 4> gain{};
  for (int n = 0; n < count; ++n) {
    rpm_ += rpmStep;
    load_ += loadStep;
    // Two firings per turn.
    phase_ += static_cast<double>(rpm_ / 30.0f / kRate / intervalScale_);
    if (phase_ >= 1.0) {
      phase_ -= 1.0;
      fire(load_);
    }
    if ((n & 31) == 0) {
      for (int i = 0; i < 4; ++i)
        gain[i] = kResonanceScale *
                  (kResonances[i].coasting + (kResonances[i].pulling - kResonances[i].coasting) * load_);
    }
    const float e = pulse_;
    pulse_ = 0.0f;
    float y = gain[0] * resonance_[0].run(e) + gain[1] * resonance_[1].run(e) +
              gain[2] * resonance_[2].run(e) + gain[3] * resonance_[3].run(e);
    const float r = raspLevel_ * noise_.next();
    raspLevel_ *= raspDecay_;
    y += rasp_.run(r * (1.0f - kRaspLowShare)) + raspLow_.run(r * kRaspLowShare);
    // DC blocker (about 20 Hz).
    dcY_ = y - dcX_ + 0.995f * dcY_;
    dcX_ = y;
    out[n] = kOutputGain * dcY_ * (0.7f + 0.3f * load_);
  }
  rpm_ = rpmEnd;
  load_ = loadEnd;
}

}  // namespace ruvelo::audio
