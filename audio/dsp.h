// The small signal blocks the sounds are made of: a noise source, a two-pole filter and the
// K-weighting that loudness is measured through.
#pragma once

#include <cmath>
#include <cstdint>

namespace ruvelo::audio {

// A two-pole filter (direct form I).
struct Biquad {
  float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
  float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
  static Biquad bandPass(float hz, float q, float rate) {  // 0 dB at hz
    const float w = 6.28318530718f * hz / rate, alpha = std::sin(w) / (2.0f * q), a0 = 1.0f + alpha;
    return {alpha / a0, 0.0f, -alpha / a0, -2.0f * std::cos(w) / a0, (1.0f - alpha) / a0};
  }
  static Biquad lowPass(float hz, float q, float rate) {
    const float w = 6.28318530718f * hz / rate, alpha = std::sin(w) / (2.0f * q), a0 = 1.0f + alpha;
    const float c = std::cos(w);
    return {(1.0f - c) / 2.0f / a0, (1.0f - c) / a0, (1.0f - c) / 2.0f / a0, -2.0f * c / a0,
            (1.0f - alpha) / a0};
  }
  // Every frequency at 0 dB; the phase turns through 360 degrees around hz.
  static Biquad allPass(float hz, float q, float rate) {
    const float w = 6.28318530718f * hz / rate, alpha = std::sin(w) / (2.0f * q), a0 = 1.0f + alpha;
    const float c = -2.0f * std::cos(w) / a0;
    return {(1.0f - alpha) / a0, c, 1.0f, c, (1.0f - alpha) / a0};
  }
  // New coefficients, the state kept: a slow move goes on without a click.
  void retune(const Biquad& to) {
    b0 = to.b0;
    b1 = to.b1;
    b2 = to.b2;
    a1 = to.a1;
    a2 = to.a2;
  }
  float run(float x) {
    const float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// The K-weighting of loudness measurement (ITU-R BS.1770) at 48 kHz: a high shelf of about +4 dB
// above 2 kHz and a high-pass near 40 Hz. What comes out, squared and averaged, is how loud it sounds.
struct KWeighting {
  Biquad shelf{1.53512485958697f, -2.69169618940638f, 1.19839281085285f, -1.69065929318241f,
               0.73248077421585f};
  Biquad high{1.0f, -2.0f, 1.0f, -1.99004745483398f, 0.99007225036621f};
  float run(float x) { return high.run(shelf.run(x)); }
};

// A small deterministic noise source (a linear congruential generator), the same on every machine.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  // Uniform in [-1, 1).
  float next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<float>(state_ >> 8) / 8388608.0f - 1.0f;
  }

 private:
  uint32_t state_;
};

}  // namespace ruvelo::audio
