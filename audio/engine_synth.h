// The engine's voice, made as it plays. Each firing of the four-cylinder engine is a pressure pulse
// whose strength and timing vary a little from cycle to cycle (the cylinders are not quite alike
// either, which gives the half orders); the pulses ring fixed exhaust and intake resonances, and a
// rasp of filtered noise rides on each firing, stronger under load. The resonances stay where they are
// as the engine speeds up: only the firing rate follows the engine, so the timbre never jumps.
// Plain code, no audio library: the same inputs give the same samples on every machine.
#pragma once

#include <array>
#include <cstdint>

#include "audio/dsp.h"

namespace ruvelo::audio {

constexpr int kEngineRate = 24000;  // Hz: the engine has little worth hearing above 12 kHz
constexpr float kIdleRpm = 830.0f;  // the engine never sounds slower: at rest it idles here, hunting a little

// The speed heard for the engine's own speed: never below the idle, joining it smoothly.
float heardEngineRpm(float engineRpm, float idleRpm);

class EngineSynth {
 public:
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

  Noise noise_;
  std::array<Biquad, 4> resonance_{};  // the body's thump, two exhaust resonances, the intake
  Biquad rasp_{}, raspLow_{};          // the noise on each firing
  float dcX_ = 0.0f, dcY_ = 0.0f;      // a DC blocker on the output
  float rpm_ = kIdleRpm, load_ = 0.0f;
  float hunt_ = 0.0f, huntTarget_ = 0.0f, huntWait_ = 0.0f;
  double phase_ = 0.0;          // of the next firing, 0..1
  float intervalScale_ = 1.0f;  // this firing interval against the even one
  float pulse_ = 0.0f;          // the excitation due at the next sample
  float raspLevel_ = 0.0f;
  float raspDecay_ = 0.0f;
  int cylinder_ = 0;
  long firings_ = 0;
};

}  // namespace ruvelo::audio
