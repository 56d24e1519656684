#include "audio/engine_synth.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::audio {
namespace {

constexpr float kRate = static_cast<float>(kEngineRate);

// The fixed resonances the pulses ring: where (Hz), how sharply, and how loud each is coasting and
// pulling, against the pulse itself.
struct Resonance {
  float hz, q, coasting, pulling;
};
constexpr std::array<Resonance, 3> kResonances{{
    {500.0f, 2.5f, 2.2f, 3.2f},   // the exhaust pipe
    {840.0f, 3.0f, 1.2f, 3.6f},   // its second mode
    {1300.0f, 3.0f, 0.6f, 4.2f},  // the intake, open under load
}};
// The pulse: it rises within about a millisecond (the fast decay taken from the slow one) and dies
// away within a third of the firing interval, never quicker than kShortestDecay.
constexpr float kAttack = 0.0005f;  // s
constexpr float kDecayShare = 0.3f;
constexpr float kDecayWander = 0.4f;  // how far the pulse's length wanders either way, with the rasp
constexpr float kShortestDecay = 0.0015f, kLongestDecay = 0.008f;
constexpr float kRaspCoasting = 1.0f;  // noise riding on the pulse
constexpr float kRaspPulling = 2.0f;
constexpr float kCylinderSpread = 0.07f;  // how unlike the cylinders are
constexpr std::array<float, 4> kCylinder{
    {1.0f, 1.0f - kCylinderSpread, 1.0f + 0.7f * kCylinderSpread, 1.0f - 0.5f * kCylinderSpread}};
constexpr float kStrengthJitter = 0.07f;    // firing-to-firing strength variation
constexpr float kTimingJitterIdle = 0.02f;  // of a firing interval, at idle
constexpr float kTimingJitterRunning = 0.004f;
constexpr float kCoastingMisfire = 0.08f;  // chance that a firing coasting is weak (the burble)
constexpr float kCoastingStrength = 0.5f;  // a firing coasting against one pulling
constexpr float kHuntRpm = 22.0f;          // how far the idle wanders either way
constexpr float kHuntSmoothing = 0.35f;    // s
constexpr float kIdleJoin = 80.0f;         // rpm over which the engine's speed joins the idle
constexpr float kDrift = 0.3f;             // how far the rasp wanders either way
constexpr float kPlaceWander = 0.15f;      // how far each resonance wanders either way, of its place
// Where the all-passes turn the phase (above the firing note of a cruising engine, which keeps its
// pitch), how far (octaves) that place wanders either way, and how sharply each turns.
constexpr std::array<float, 8> kPhaserHz{{200.0f, 270.0f, 360.0f, 480.0f, 640.0f, 860.0f, 1150.0f, 1550.0f}};
static_assert(kPhaserHz.size() == EngineSynth::kPhasers);
constexpr float kPhaserOctaves = 1.0f;
constexpr float kPhaserQ = 2.5f;
constexpr float kCylinderWander = 0.12f;  // how far each cylinder's strength wanders either way
constexpr float kDriftSmoothing = 0.06f;  // s
constexpr float kWanderEvery = 0.3f;      // s: how often the wanders set off somewhere new, at most
constexpr int kWanderBlock = 32;          // samples between steps of the wanders
constexpr float kOutputGain = 0.5f;
// Slower, each firing is a little stronger, so the idle is not lost under the rest of the mix.
constexpr float kSlowBoost = 0.4f;  // extra strength at idle, none from kBoostEndRpm
constexpr float kBoostEndRpm = 2500.0f;
constexpr float kPulseGain = 0.5f;  // the pulse as heard directly: the fundamental and the body
constexpr float kTopHz = 6000.0f;
constexpr float kPeakKnee = 1.8f;  // where the peaks start to be rounded off

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
  for (int i = 0; i < 3; ++i) resonance_[i] = Biquad::bandPass(kResonances[i].hz, kResonances[i].q, kRate);
  rasp_ = Biquad::bandPass(900.0f, 0.9f, kRate);
  // A fourth-order Butterworth low-pass as two sections.
  top_[0] = Biquad::lowPass(kTopHz, 0.5412f, kRate);
  top_[1] = Biquad::lowPass(kTopHz, 1.3066f, kRate);
  for (std::size_t i = 0; i < phaser_.size(); ++i)
    phaser_[i] = Biquad::allPass(kPhaserHz[i], kPhaserQ, kRate);
  fastDecay_ = std::exp(-1.0f / (kAttack * kRate));
}

void EngineSynth::fire(float load) {
  // Strength: the cylinder's own, varied from firing to firing; coasting, now and then one is weak.
  const float boost =
      1.0f + kSlowBoost * std::clamp(1.0f - (rpm_ - kIdleRpm) / (kBoostEndRpm - kIdleRpm), 0.0f, 1.0f);
  float strength = boost * (kCylinder[cylinder_] + kCylinderWander * cylinderWander_[cylinder_]) *
                   (1.0f + kStrengthJitter * bell(noise_)) *
                   (kCoastingStrength + (1.0f - kCoastingStrength) * load);
  if (load < 0.3f && noise_.next() * 0.5f + 0.5f < kCoastingMisfire * (1.0f - load / 0.3f)) strength *= 0.4f;
  cylinder_ = (cylinder_ + 1) % 4;
  // The pulse dies away within a share of the interval to the next firing.
  const float interval = 30.0f / std::max(rpm_, 100.0f);
  const float decay = std::clamp(kDecayShare * (1.0f + kDecayWander * drift_ / kDrift) * interval,
                                 kShortestDecay, kLongestDecay);
  slowDecay_ = std::exp(-1.0f / (decay * kRate));
  // Both decays start from the same height, so the pulse starts from nothing and rises smoothly.
  const float height = strength / (1.0f - kAttack / decay);
  slow_ += height;
  fast_ += height;
  raspLevel_ = kRaspCoasting + (kRaspPulling - kRaspCoasting) * load;
  // When the next firing comes: the even interval, a little early or late.
  const float nearIdle = std::clamp((rpm_ - kIdleRpm) / 1500.0f, 0.0f, 1.0f);
  const float jitter = kTimingJitterIdle + (kTimingJitterRunning - kTimingJitterIdle) * nearIdle;
  intervalScale_ = 1.0f + jitter * bell(noise_);
  ++firings_;
}

void EngineSynth::wander(float seconds) {
  // A new place to go to every so often; each wander comes to it smoothly (two gentle steps, no
  // corner), so neighbouring firings sound alike while a second later the sound is another.
  wanderWait_ -= seconds;
  if (wanderWait_ <= 0.0f) {
    driftTarget_ = kDrift * noise_.next();
    for (float& target : placeTarget_) target = noise_.next();
    for (float& target : turnTarget_) target = noise_.next();
    for (float& target : cylinderTarget_) target = noise_.next();
    wanderWait_ = kWanderEvery * (0.5f + 0.5f * (noise_.next() * 0.5f + 0.5f));
  }
  const float follow = 1.0f - std::exp(-seconds / kDriftSmoothing);
  const auto step = [follow](float& value, float& mid, float target) {
    mid += (target - mid) * follow;
    value += (mid - value) * follow;
  };
  step(drift_, driftMid_, driftTarget_);
  for (int i = 0; i < 4; ++i) step(cylinderWander_[i], cylinderMid_[i], cylinderTarget_[i]);
  for (int i = 0; i < 3; ++i) {
    step(place_[i], placeMid_[i], placeTarget_[i]);
    // The new place, the filter's state kept: a slow move rings on without a click.
    resonance_[i].retune(
        Biquad::bandPass(kResonances[i].hz * (1.0f + kPlaceWander * place_[i]), kResonances[i].q, kRate));
  }
  for (std::size_t i = 0; i < phaser_.size(); ++i) {
    step(turn_[i], turnMid_[i], turnTarget_[i]);
    phaser_[i].retune(Biquad::allPass(kPhaserHz[i] * std::exp2(kPhaserOctaves * turn_[i]), kPhaserQ, kRate));
  }
}

void EngineSynth::finish(float* x, int count) {
  // Through each all-pass in turn over the whole stretch: a filter at a time keeps the work flowing
  // rather than waiting on a chain of eight for every sample.
  for (Biquad& turn : phaser_) {
    Biquad f = turn;  // a copy of its own, which the samples cannot alias, stays in registers
    for (int n = 0; n < count; ++n) x[n] = f.run(x[n]);
    turn = f;
  }
  Biquad low0 = top_[0], low1 = top_[1];
  float dcX = dcX_, dcY = dcY_;
  for (int n = 0; n < count; ++n) {
    float y = x[n];
    // The rare firings that stack up are rounded off rather than standing out of the rest.
    y /= std::sqrt(1.0f + y * y * (1.0f / (kPeakKnee * kPeakKnee)));
    y = low1.run(low0.run(y));
    // DC blocker (about 20 Hz).
    dcY = y - dcX + 0.995f * dcY;
    dcX = y;
    x[n] = kOutputGain * dcY;
  }
  top_ = {low0, low1};
  dcX_ = dcX;
  dcY_ = dcY;
}

void EngineSynth::render(float* out, int count, float rpm, float load) {
  if (count <= 0) return;
  const float seconds = static_cast<float>(count) / kRate;
  // The idle's hunt: a slow wander towards a new offset every half second or so.
  huntWait_ -= seconds;
  if (huntWait_ <= 0.0f) {
    huntTarget_ = kHuntRpm * noise_.next();
    huntWait_ = 0.1f + 0.2f * (noise_.next() * 0.5f + 0.5f);
  }
  hunt_ += (huntTarget_ - hunt_) * (1.0f - std::exp(-seconds / kHuntSmoothing));
  const float rpmEnd = heardEngineRpm(std::isfinite(rpm) ? rpm : rpm_, kIdleRpm + hunt_);
  const float loadEnd = std::isfinite(load) ? std::clamp(load, 0.0f, 1.0f) : load_;
  const float rpmStep = (rpmEnd - rpm_) / static_cast<float>(count);
  const float loadStep = (loadEnd - load_) / static_cast<float>(count);
  int from = 0;  // the first sample not yet through the all-passes and what follows them
  for (int n = 0; n < count; ++n) {
    rpm_ += rpmStep;
    load_ += loadStep;
    // Two firings per turn.
    phase_ += static_cast<double>(rpm_ / 30.0f / kRate / intervalScale_);
    if (phase_ >= 1.0) {
      phase_ -= 1.0;
      fire(load_);
    }
    if (--untilWander_ <= 0) {
      finish(out + from, n - from);  // what was made before the all-passes move
      from = n;
      untilWander_ = kWanderBlock;
      wander(kWanderBlock / kRate);
      for (int i = 0; i < 3; ++i)
        gain_[i] = (kResonances[i].coasting + (kResonances[i].pulling - kResonances[i].coasting) * load_) *
                   (1.0f + 0.5f * (i == 1 ? -drift_ : drift_));
    }
    const float pulse = slow_ - fast_;
    slow_ *= slowDecay_;
    fast_ *= fastDecay_;
    float y = kPulseGain * pulse + gain_[0] * resonance_[0].run(pulse) + gain_[1] * resonance_[1].run(pulse) +
              gain_[2] * resonance_[2].run(pulse);
    y += rasp_.run(raspLevel_ * (1.0f + drift_) * pulse * noise_.next());
    out[n] = y;
  }
  finish(out + from, count - from);
  rpm_ = rpmEnd;
  load_ = loadEnd;
}

}  // namespace ruvelo::audio
