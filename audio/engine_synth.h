// The engine's voice, made as it plays. Each firing of the four-cylinder engine is a pressure pulse
// (rising over a millisecond or two, dying away within the firing interval) whose strength and timing
// vary a little from cycle to cycle; the cylinders are not quite alike either, which gives the half
// orders. The pulse itself carries the firing fundamental and the low body of the sound; it also rings
// a few fixed exhaust and intake resonances and shapes a rasp of filtered noise, stronger under load.
// The resonances stay where they are as the engine speeds up: only the firing rate follows the engine,
// so the timbre never jumps; they wander a little, and a chain of all-passes wandering over the
// middle of the spectrum turns the harmonics' phases apart, slowly enough that one firing sounds like
// the next, fast enough that no stretch of the sound comes round again a third of a second later.
// It is made at the output's own rate (nothing is resampled, so nothing is mirrored) and kept under
// 6 kHz.
// Plain code, no audio library: the same inputs give the same samples on every machine.
#pragma once

#include <array>
#include <cstdint>

#include "audio/dsp.h"

namespace ruvelo::audio {

constexpr int kEngineRate = 48000;  // Hz: the output's rate
constexpr float kIdleRpm = 830.0f;  // the engine never sounds slower: at rest it idles here, hunting a little

// The speed heard for the engine's own speed: never below the idle, joining it smoothly.
float heardEngineRpm(float engineRpm, float idleRpm);

class EngineSynth {
 public:
  static constexpr int kPhasers = 8;  // all-passes turning the harmonics' phases

  explicit EngineSynth(uint32_t seed = 1);

  // `count` samples at kEngineRate into `out`, the engine's speed (rpm) and load (0 coasting, 1 full
  // throttle) moving evenly from the last call's to these.
  void render(float* out, int count, float rpm, float load);

  // The speed heard at the end of the last render (the idle's hunt included), rpm.
  float heardRpm() const { return rpm_; }
  // Firings made so far.
  long firings() const { return firings_; }

 private:
  void fire(float load);
  void wander(float seconds);
  // The all-passes, the peaks' rounding, the low-pass and the DC blocker over `count` samples made
  // under one setting of the all-passes, in place.
  void finish(float* x, int count);

  Noise noise_;
  std::array<Biquad, 3> resonance_{};      // two exhaust resonances and the intake
  Biquad rasp_{};                          // the noise on each firing
  std::array<Biquad, kPhasers> phaser_{};  // all-passes whose slow wander turns the harmonics' phases apart
  std::array<Biquad, 2> top_{};            // a low-pass near 6 kHz: nothing hissing above 12 kHz
  float dcX_ = 0.0f, dcY_ = 0.0f;          // a DC blocker on the output
  float rpm_ = kIdleRpm, load_ = 0.0f;
  float hunt_ = 0.0f, huntTarget_ = 0.0f, huntWait_ = 0.0f;
  // Slow wanders of the timbre, -1..1: of the rasp, of each resonance's place, of each all-pass's
  // place and of each cylinder's strength. Each follows its target through two smoothings in a row
  // (mid, then the value), a path without corners.
  float wanderWait_ = 0.0f;
  int untilWander_ = 0;          // samples to the next step of the wanders
  std::array<float, 3> gain_{};  // of each resonance, as the load and the drift set it
  float drift_ = 0.0f, driftMid_ = 0.0f, driftTarget_ = 0.0f;
  std::array<float, 3> place_{}, placeMid_{}, placeTarget_{};
  std::array<float, kPhasers> turn_{}, turnMid_{}, turnTarget_{};
  std::array<float, 4> cylinderWander_{}, cylinderMid_{}, cylinderTarget_{};
  double phase_ = 0.0;               // of the next firing, 0..1
  float intervalScale_ = 1.0f;       // this firing interval against the even one
  float slow_ = 0.0f, fast_ = 0.0f;  // the pulse: the difference of a slow and a fast decay
  float slowDecay_ = 0.0f, fastDecay_ = 0.0f;
  float raspLevel_ = 0.0f;
  int cylinder_ = 0;
  long firings_ = 0;
};

}  // namespace ruvelo::audio
