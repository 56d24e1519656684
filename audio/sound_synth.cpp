#include "audio/sound_synth.h"

#include <algorithm>
#include <cmath>

namespace ruvelo::audio {
namespace {

constexpr float kTwoPi = 6.28318530718f;
constexpr float kPeak = 0.85f;  // every sound is made to this peak; the mix sets the loudness

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

float seconds(int sample) {
  return static_cast<float>(sample) / static_cast<float>(kSampleRate);
}

int sampleCount(float secondsLong) {
  return static_cast<int>(std::lround(secondsLong * static_cast<float>(kSampleRate)));
}

// Scales to the common peak and converts to 16-bit samples.
Samples finish(std::vector<float>& mix) {
  float peak = 0.0f;
  for (float v : mix) peak = std::max(peak, std::fabs(v));
  const float scale = peak > 0.0f ? kPeak / peak : 0.0f;
  Samples out(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i)
    out[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i] * scale, -1.0f, 1.0f) * 32767.0f));
  return out;
}

// A note with a few harmonics: a 4 ms attack, an exponential decay, and a 10 ms fade to nothing at
// its end so it never stops on a step.
struct Note {
  float start = 0.0f;  // s
  float length = 0.0f;
  float hz = 440.0f;
  float amplitude = 1.0f;
  float decay = 0.2f;  // s, time constant
  std::array<float, 4> harmonics{{1.0f, 0.0f, 0.0f, 0.0f}};
};

// A sine that steps by rotating a unit vector, and an exponential decay by a constant factor per
// sample: no sin() or exp() per sample, so making every sound stays well within the start-up budget.
struct Oscillator {
  Oscillator(float hz, float amplitude)
      : stepCos(std::cos(kTwoPi * hz / kSampleRate)),
        stepSin(std::sin(kTwoPi * hz / kSampleRate)),
        amplitude(amplitude) {}
  float next() {
    const float value = s;
    const float nc = c * stepCos - s * stepSin;
    s = s * stepCos + c * stepSin;
    c = nc;
    return amplitude * value;
  }
  float stepCos, stepSin, amplitude;
  float c = 1.0f, s = 0.0f;
};

float decayPerSample(float timeConstant) {
  return std::exp(-1.0f / (timeConstant * static_cast<float>(kSampleRate)));
}

void addNote(std::vector<float>& mix, const Note& note) {
  const int first = sampleCount(note.start);
  const int count = std::min(sampleCount(note.length), static_cast<int>(mix.size()) - first);
  const float attack = 0.004f, fade = 0.010f;
  std::array<Oscillator, 4> partials{{{note.hz, note.harmonics[0]},
                                      {note.hz * 2.0f, note.harmonics[1]},
                                      {note.hz * 3.0f, note.harmonics[2]},
                                      {note.hz * 4.0f, note.harmonics[3]}}};
  const float decay = decayPerSample(note.decay);
  float envelope = note.amplitude;
  for (int n = 0; n < count; ++n) {
    const float t = seconds(n);
    const float shape = std::min(1.0f, t / attack) * std::min(1.0f, (note.length - t) / fade);
    float value = 0.0f;
    for (Oscillator& partial : partials) value += partial.next();
    mix[first + n] += envelope * shape * value;
    envelope *= decay;
  }
}

// A decaying resonance: what a knock or a firing sounds like.
void addDampedSine(std::vector<float>& mix, int first, float hz, float amplitude, float decay) {
  const int count = std::min(static_cast<int>(mix.size()) - first, sampleCount(decay * 7.0f));
  Oscillator sine(hz, amplitude);
  const float factor = decayPerSample(decay);
  float envelope = 1.0f;
  for (int n = 0; n < count; ++n) {
    mix[first + n] += envelope * sine.next();
    envelope *= factor;
  }
}

// How one kind of engine note is made from firing pulses.
struct EngineVoice {
  float bodyHz, bodyAmplitude, bodyDecay;  // the exhaust's low resonance
  float barkHz, barkAmplitude, barkDecay;  // the higher, harder part of each firing
  float noiseAmplitude, noiseDecay;        // the rasp of each firing
  float jitter;                            // firing-to-firing strength variation
  float popChance;                         // off-load pops per firing
};

constexpr EngineVoice kOnLoad{110.0f, 1.0f, 0.010f, 620.0f, 0.55f, 0.0025f, 0.35f, 0.003f, 0.12f, 0.0f};
constexpr EngineVoice kOffLoad{85.0f, 0.8f, 0.014f, 480.0f, 0.12f, 0.0020f, 0.10f, 0.002f, 0.45f, 0.05f};
// The four cylinders are not quite alike: the uneven strength gives the engine its beat at the cycle rate.
constexpr std::array<float, 4> kCylinderStrength{{1.0f, 0.9f, 1.06f, 0.94f}};

}  // namespace

int samplesPerEngineCycle(float rpm) {
  return static_cast<int>(std::lround(static_cast<float>(kSampleRate) * 120.0f / rpm));
}

Samples engineLoop(int index, bool onLoad) {
  const float rpm = kEngineLoopRpm[std::clamp(index, 0, kEngineLoops - 1)];
  const EngineVoice& voice = onLoad ? kOnLoad : kOffLoad;
  const int cycle = samplesPerEngineCycle(rpm);
  const int cycles = std::max(1, (kSampleRate / 2 + cycle / 2) / cycle);
  const int length = cycles * cycle;

  // One firing's pulse, worked out once; each firing adds a scaled copy.
  const int pulseLength = std::min(length, sampleCount(0.05f));
  std::vector<float> pulse(pulseLength, 0.0f), rasp(pulseLength);
  addDampedSine(pulse, 0, voice.bodyHz, voice.bodyAmplitude, voice.bodyDecay);
  addDampedSine(pulse, 0, voice.barkHz, voice.barkAmplitude, voice.barkDecay);
  const float raspDecay = decayPerSample(voice.noiseDecay);
  float raspLevel = voice.noiseAmplitude;
  for (float& r : rasp) {
    r = raspLevel;
    raspLevel *= raspDecay;
  }

  // Firings wrap round the loop's end, so its last samples carry on into its first.
  std::vector<float> mix(length, 0.0f);
  Noise noise(static_cast<uint32_t>(index * 2 + (onLoad ? 1 : 0)));
  const int firings = cycles * 4;
  for (int k = 0; k < firings; ++k) {
    const int at = k * cycle / 4;
    const float strength = kCylinderStrength[k % 4] * (1.0f + voice.jitter * noise.next());
    const bool pop = voice.popChance > 0.0f && (noise.next() * 0.5f + 0.5f) < voice.popChance;
    for (int n = 0; n < pulseLength; ++n) {
      float value = strength * (pulse[n] + rasp[n] * noise.next());
      if (pop && n < pulseLength / 8) value += 0.6f * noise.next() * rasp[n] / voice.noiseAmplitude;
      mix[(at + n) % length] += value;
    }
  }
  // No offset: the loop starts and ends at the same level. Taking the mean out keeps it seamless.
  float mean = 0.0f;
  for (float v : mix) mean += v;
  mean /= static_cast<float>(length);
  for (float& v : mix) v -= mean;
  return finish(mix);
}

Samples squealLoop() {
  // Half a second: every partial and modulation below makes whole periods in it.
  const int length = kSampleRate / 2;
  std::vector<float> mix(length);
  const std::array<float, 3> partialHz{{900.0f, 1250.0f, 2700.0f}};
  const std::array<float, 3> partialAmplitude{{1.0f, 0.55f, 0.2f}};
  for (int n = 0; n < length; ++n) {
    const float t = seconds(n);
    const float wobble = std::sin(kTwoPi * 8.0f * t);  // the tyre's stick-slip waver
    const float tremble = 0.8f + 0.2f * std::sin(kTwoPi * 14.0f * t);
    float value = 0.0f;
    for (int p = 0; p < 3; ++p)
      value +=
          partialAmplitude[p] * std::sin(kTwoPi * partialHz[p] * t + 0.004f * partialHz[p] / 8.0f * wobble);
    mix[n] = tremble * value;
  }
  return finish(mix);
}

Samples impactSound() {
  std::vector<float> mix(sampleCount(0.35f), 0.0f);
  addDampedSine(mix, 0, 70.0f, 1.0f, 0.060f);
  addDampedSine(mix, 0, 180.0f, 0.6f, 0.025f);
  addDampedSine(mix, 0, 410.0f, 0.3f, 0.010f);
  // A low-passed crack of noise on top.
  Noise noise(7);
  float low = 0.0f, envelope = 0.9f;
  const float decay = decayPerSample(0.015f);
  for (float& sample : mix) {
    low += 0.25f * (noise.next() - low);
    sample += envelope * low;
    envelope *= decay;
  }
  return finish(mix);
}

Samples pickupSound() {
  std::vector<float> mix(sampleCount(0.34f), 0.0f);
  addNote(mix, {0.0f, 0.09f, kPickupNoteHz, 0.8f, 0.08f, {{1.0f, 0.25f, 0.0f, 0.0f}}});
  addNote(mix, {0.07f, 0.26f, kPickupSecondNoteHz, 1.0f, 0.10f, {{1.0f, 0.25f, 0.0f, 0.0f}}});
  return finish(mix);
}

Samples deliverySound() {
  std::vector<float> mix(sampleCount(0.65f), 0.0f);
  addDampedSine(mix, 0, 120.0f, 0.8f, 0.05f);
  const std::array<float, 4> notes{{523.25f, 659.25f, 783.99f, 1046.5f}};
  for (int i = 0; i < 4; ++i)
    addNote(mix, {0.08f * static_cast<float>(i), 0.4f, notes[i], 0.7f, 0.15f, {{1.0f, 0.4f, 0.15f, 0.05f}}});
  return finish(mix);
}

Samples lowPowerSound() {
  std::vector<float> mix(sampleCount(0.34f), 0.0f);
  for (float start : {0.0f, 0.2f})
    addNote(mix, {start, 0.12f, 330.0f, 1.0f, 0.5f, {{1.0f, 0.0f, 0.3f, 0.0f}}});
  return finish(mix);
}

Samples winSound() {
  std::vector<float> mix(sampleCount(1.6f), 0.0f);
  const std::array<float, 4> notes{{523.25f, 659.25f, 783.99f, 1046.5f}};
  for (int i = 0; i < 4; ++i)
    addNote(mix, {0.15f * static_cast<float>(i), 0.3f, notes[i], 0.8f, 0.25f, {{1.0f, 0.3f, 0.1f, 0.0f}}});
  for (float hz : {659.25f, 783.99f, 1046.5f})
    addNote(mix, {0.6f, 1.0f, hz, 0.5f, 0.45f, {{1.0f, 0.3f, 0.1f, 0.0f}}});
  return finish(mix);
}

Samples loseSound() {
  std::vector<float> mix(sampleCount(1.9f), 0.0f);
  const std::array<float, 4> notes{{392.0f, 369.99f, 349.23f, 329.63f}};
  for (int i = 0; i < 4; ++i) {
    const float length = i == 3 ? 0.8f : 0.35f;
    addNote(mix, {0.35f * static_cast<float>(i),
                  length,
                  notes[i],
                  0.9f,
                  i == 3 ? 0.4f : 0.3f,
                  {{1.0f, 0.0f, 0.11f, 0.0f}}});
  }
  return finish(mix);
}

}  // namespace ruvelo::audio
