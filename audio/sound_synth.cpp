#include "audio/sound_synth.h"

#include <algorithm>
#include <cmath>

#include "audio/dsp.h"

namespace ruvelo::audio {
namespace {

constexpr float kTwoPi = 6.28318530718f;
constexpr float kPeak = 0.85f;  // every sound is made to this peak; the mix sets the loudness

float seconds(int sample) {
  return static_cast<float>(sample) / static_cast<float>(kSampleRate);
}

int sampleCount(float secondsLong) {
  return static_cast<int>(std::lround(secondsLong * static_cast<float>(kSampleRate)));
}

// Keeps the sound under 8 kHz (a fourth-order low-pass), scales it to the common peak and converts it
// to 16-bit samples.
Samples finish(std::vector<float>& mix) {
  Biquad low = Biquad::lowPass(8000.0f, 0.5412f, kSampleRate),
         lower = Biquad::lowPass(8000.0f, 1.3066f, kSampleRate);
  // The filters start from the sound's own end: a loop runs on through its seam (a one-shot ends
  // in silence, so it starts from rest).
  for (std::size_t i = mix.size() - std::min<std::size_t>(mix.size(), 512); i < mix.size(); ++i)
    lower.run(low.run(mix[i]));
  for (float& v : mix) v = lower.run(low.run(v));
  float peak = 0.0f;
  for (float v : mix) peak = std::max(peak, std::fabs(v));
  const float scale = peak > 0.0f ? kPeak / peak : 0.0f;
  Samples out(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i)
    out[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i] * scale, -1.0f, 1.0f) * 32767.0f));
  return out;
}

// A note with a few harmonics: a 4 ms attack, an exponential decay, and a fade to nothing over the
// last quarter of its length (at least 10 ms), so it never stops on a step or a cut.
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
  const float attack = 0.004f, fade = std::max(0.010f, 0.25f * note.length);
  std::array<Oscillator, 4> partials{{{note.hz, note.harmonics[0]},
                                      {note.hz * 2.0f, note.harmonics[1]},
                                      {note.hz * 3.0f, note.harmonics[2]},
                                      {note.hz * 4.0f, note.harmonics[3]}}};
  const float decay = decayPerSample(note.decay);
  float envelope = note.amplitude;
  for (int n = 0; n < count; ++n) {
    const float t = seconds(n);
    const float release = std::min(1.0f, (note.length - t) / fade);
    const float shape = std::min(1.0f, t / attack) * release * release;
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

// Makes the end of `mix` run on into its start: the last `overlap` samples are faded into the first
// ones and dropped, so the loop repeats without a seam.
void joinLoop(std::vector<float>& mix, int overlap) {
  const int length = static_cast<int>(mix.size()) - overlap;
  for (int n = 0; n < overlap; ++n) {
    const float t = (static_cast<float>(n) + 0.5f) / static_cast<float>(overlap);
    mix[n] = mix[n] * std::sqrt(t) + mix[length + n] * std::sqrt(1.0f - t);
  }
  mix.resize(length);
}

// A slow random wander in [-1, 1]: a new goal every `every` samples, approached smoothly.
class Wander {
 public:
  Wander(uint32_t seed, int every) : noise_(seed), every_(every) {}
  float next() {
    if (count_++ % every_ == 0) goal_ = noise_.next();
    value_ += (goal_ - value_) * 4.0f / static_cast<float>(every_);
    return value_;
  }

 private:
  Noise noise_;
  int every_;
  int count_ = 0;
  float goal_ = 0.0f, value_ = 0.0f;
};

}  // namespace

float loudestPower(const Samples& samples, float windowSeconds) {
  KWeighting k;
  std::vector<double> power(samples.size() + 1, 0.0);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double v = k.run(static_cast<float>(samples[i]) / 32767.0f);
    power[i + 1] = power[i] + v * v;
  }
  // A shorter sound is heard in the window with silence after it.
  const std::size_t window = sampleCount(windowSeconds), span = std::min(samples.size(), window);
  double best = 0.0;
  for (std::size_t at = 0; at + span <= samples.size(); at += sampleCount(0.01f))
    best = std::max(best, power[at + span] - power[at]);
  return static_cast<float>(best / static_cast<double>(window));
}

Samples squealLoop() {
  // A tyre's squeal: a few partials whose pitch and strength waver with the stick and slip of the
  // rubber, over a hiss. Long enough, and irregular enough, that its repeat is not heard.
  const int overlap = sampleCount(0.1f);
  std::vector<float> mix(sampleCount(kSquealLoopSeconds) + overlap);
  const std::array<float, 3> partialHz{{900.0f, 1250.0f, 2700.0f}};
  const std::array<float, 3> partialAmplitude{{1.0f, 0.5f, 0.2f}};
  std::array<float, 3> phase{};
  Wander pitch(11, sampleCount(0.09f)), strength(12, sampleCount(0.05f));
  Noise noise(13);
  Biquad hiss = Biquad::bandPass(2200.0f, 1.5f, kSampleRate);
  for (float& sample : mix) {
    const float bend = 1.0f + 0.025f * pitch.next();
    float value = 0.0f;
    for (int p = 0; p < 3; ++p) {
      phase[p] += kTwoPi * partialHz[p] * bend / kSampleRate;
      if (phase[p] > kTwoPi) phase[p] -= kTwoPi;
      value += partialAmplitude[p] * std::sin(phase[p]);
    }
    sample = (0.75f + 0.25f * strength.next()) * value + 0.5f * hiss.run(noise.next());
  }
  joinLoop(mix, overlap);
  return finish(mix);
}

Samples scrapeLoop() {
  // The body dragged along a wall: a grinding noise through a few fixed panel resonances, with the
  // crackle of the surfaces catching and letting go.
  const int overlap = sampleCount(0.1f);
  std::vector<float> mix(sampleCount(kScrapeLoopSeconds) + overlap);
  Noise noise(21);
  Wander grind(22, sampleCount(0.03f));
  std::array<Biquad, 3> panel{{Biquad::bandPass(520.0f, 3.0f, kSampleRate),
                               Biquad::bandPass(1350.0f, 4.0f, kSampleRate),
                               Biquad::bandPass(3100.0f, 3.0f, kSampleRate)}};
  Biquad rumble = Biquad::lowPass(180.0f, 0.7f, kSampleRate);
  float crackle = 0.0f;
  const float crackleDecay = decayPerSample(0.004f);
  for (float& sample : mix) {
    if (noise.next() > 0.9985f) crackle = 1.0f;
    const float x = noise.next() * (0.6f + 0.4f * grind.next()) + crackle * noise.next();
    crackle *= crackleDecay;
    sample = 1.2f * panel[0].run(x) + 0.9f * panel[1].run(x) + 0.5f * panel[2].run(x) + 2.0f * rumble.run(x);
  }
  joinLoop(mix, overlap);
  return finish(mix);
}

// A knock on the body: a few of its panels' modes (not in tune with each other) and a crack of noise.
// Heavier, the panels ring longer, the crack is brighter and longer, and the loose parts rattle on
// for a few tenths of a second: a hit heard over the engine without one towering peak.
Samples bodyKnock(bool heavy) {
  std::vector<float> mix(sampleCount(heavy ? 0.7f : 0.35f), 0.0f);
  const float ring = heavy ? 2.2f : 1.0f;
  addDampedSine(mix, 0, 82.0f, heavy ? 0.8f : 0.5f, 0.050f * ring);
  addDampedSine(mix, 0, 173.0f, 0.8f, 0.035f * ring);
  addDampedSine(mix, 0, 337.0f, 0.6f, 0.022f * ring);
  addDampedSine(mix, 0, 611.0f, 0.5f, 0.015f * ring);
  addDampedSine(mix, 0, 1130.0f, heavy ? 0.6f : 0.35f, 0.010f * ring);
  addDampedSine(mix, 0, 1870.0f, heavy ? 0.7f : 0.15f, 0.006f * ring);
  if (heavy) addDampedSine(mix, sampleCount(0.003f), 3070.0f, 0.5f, 0.012f);
  Noise noise(heavy ? 31 : 32);
  Biquad crack = Biquad::bandPass(heavy ? 2200.0f : 2500.0f, 0.8f, kSampleRate);
  Biquad rattle = Biquad::bandPass(1600.0f, 1.5f, kSampleRate);
  float envelope = heavy ? 5.0f : 1.6f, loose = heavy ? 2.5f : 0.0f, burst = 0.0f;
  const float decay = decayPerSample(heavy ? 0.040f : 0.010f), looseDecay = decayPerSample(0.15f);
  const float burstDecay = decayPerSample(0.006f);
  for (float& sample : mix) {
    if (noise.next() > 0.996f) burst = 1.0f;  // a loose part knocking again
    sample += envelope * crack.run(noise.next()) + loose * burst * rattle.run(noise.next());
    envelope *= decay;
    loose *= looseDecay;
    burst *= burstDecay;
  }
  if (heavy) {
    // The first instant's stacked modes are rounded off, so the loudness is in the body of the hit.
    for (float& sample : mix) sample /= std::sqrt(1.0f + sample * sample * 2.0f);
  }
  return finish(mix);
}

Samples impactSound() {
  return bodyKnock(false);
}

Samples crashSound() {
  return bodyKnock(true);
}

Samples clunkSound() {
  // The gearbox taking up the drive: a short dull thump and the ring of the shift's metal.
  std::vector<float> mix(sampleCount(0.16f), 0.0f);
  addDampedSine(mix, 0, 150.0f, 1.0f, 0.018f);
  addDampedSine(mix, 0, 760.0f, 0.5f, 0.010f);
  addDampedSine(mix, sampleCount(0.004f), 1730.0f, 0.35f, 0.006f);
  Noise noise(41);
  float envelope = 0.5f;
  const float decay = decayPerSample(0.003f);
  for (float& sample : mix) {
    sample += envelope * noise.next();
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
  std::vector<float> mix(sampleCount(kDeliverySeconds), 0.0f);
  addDampedSine(mix, 0, 120.0f, 0.8f, 0.05f);
  const std::array<float, 4> notes{{523.25f, 659.25f, 783.99f, 1046.5f}};
  for (int i = 0; i < 4; ++i)
    addNote(mix, {0.08f * static_cast<float>(i), 0.4f, notes[i], 0.7f, 0.15f, {{1.0f, 0.4f, 0.15f, 0.05f}}});
  return finish(mix);
}

Samples lowPowerSound() {
  std::vector<float> mix(sampleCount(0.34f), 0.0f);
  for (float start : {0.0f, 0.2f})
    addNote(mix, {start, 0.12f, 800.0f, 1.0f, 0.5f, {{1.0f, 0.0f, 0.2f, 0.0f}}});
  return finish(mix);
}

Samples winSound() {
  std::vector<float> mix(sampleCount(kWinSeconds), 0.0f);
  const std::array<float, 4> notes{{523.25f, 659.25f, 783.99f, 1046.5f}};
  for (int i = 0; i < 4; ++i)
    addNote(mix, {0.15f * static_cast<float>(i), 0.3f, notes[i], 0.8f, 0.25f, {{1.0f, 0.3f, 0.1f, 0.0f}}});
  for (float hz : {659.25f, 783.99f, 1046.5f})
    addNote(mix, {0.6f, 1.35f, hz, 0.5f, 0.45f, {{1.0f, 0.3f, 0.1f, 0.0f}}});
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
