// The engine's synthesis, the slip-to-squeal mapping and the made sounds, checked as properties over
// their whole input range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/engine_mix.h"
#include "audio/engine_synth.h"
#include "audio/sound_synth.h"

namespace ruvelo::audio {
namespace {

// The engine made for `seconds` at a steady speed and load, in frame-sized pieces as the game makes it.
std::vector<float> engineSound(float rpm, float load, float seconds, uint32_t seed = 1) {
  EngineSynth synth(seed);
  std::vector<float> out(static_cast<std::size_t>(seconds * kEngineRate));
  const int frame = kEngineRate / 60;
  for (std::size_t at = 0; at < out.size(); at += frame)
    synth.render(out.data() + at, static_cast<int>(std::min<std::size_t>(frame, out.size() - at)), rpm, load);
  return out;
}

// Firings per second heard in `x`: the first strong peak of the autocorrelation of its loudness
// (the squared signal, smoothed over a millisecond), between 10 and 250 a second.
double firingRate(const std::vector<float>& x) {
  std::vector<double> loud(x.size());
  double smooth = 0.0;
  const double k = 1.0 - std::exp(-1000.0 / kEngineRate);
  for (std::size_t n = 0; n < x.size(); ++n) loud[n] = smooth += (double(x[n]) * x[n] - smooth) * k;
  double mean = 0.0;
  for (double v : loud) mean += v;
  mean /= static_cast<double>(loud.size());
  for (double& v : loud) v -= mean;
  const int shortest = kEngineRate / 250, longest = kEngineRate / 10;
  std::vector<double> r(longest + 2, 0.0);
  for (int lag = shortest - 1; lag <= longest + 1; ++lag)
    for (std::size_t n = 0; n + lag < loud.size(); ++n) r[lag] += loud[n] * loud[n + lag];
  const double best = *std::max_element(r.begin() + shortest, r.begin() + longest + 1);
  for (int lag = shortest; lag <= longest; ++lag)
    if (r[lag] >= 0.8 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1])
      return double(kEngineRate) / lag;
  return 0.0;
}

// The highest normalised correlation of any 0.25 s piece (one every 0.125 s) with the sound 0.3 to
// 1.5 s after it: near 1 when a piece comes round again.
double repetition(const std::vector<float>& x) {
  const int piece = kEngineRate / 4, near = kEngineRate * 3 / 10, far = kEngineRate * 3 / 2;
  double worst = 0.0;
  for (std::size_t start = 0; start + far + 2 * piece <= x.size(); start += piece / 2) {
    double pp = 0.0;
    for (int n = 0; n < piece; ++n) pp += double(x[start + n]) * x[start + n];
    // Every tenth of a millisecond is close enough: the sound has little above 5 kHz.
    for (int lag = near; lag <= far; lag += 2) {
      double py = 0.0, yy = 0.0;
      for (int n = 0; n < piece; ++n) {
        const double y = x[start + lag + n];
        py += x[start + n] * y;
        yy += y * y;
      }
      if (pp > 0.0 && yy > 0.0) worst = std::max(worst, py / std::sqrt(pp * yy));
    }
  }
  return worst;
}

TEST(EngineSynth, FiringsFollowTheEngineSpeedAndTheIdleHuntsBetween800And900Rpm) {
  for (float rpm : {1200.0f, 2000.0f, 3000.0f, 4500.0f, 5700.0f}) {
    for (float load : {0.0f, 1.0f}) {
      const std::vector<float> x = engineSound(rpm, load, 1.0f);
      // Two firings a turn; the firings' timing varies a little, so a little either way.
      EXPECT_NEAR(firingRate(x), rpm / 30.0f, 0.04 * rpm / 30.0f) << rpm << " rpm, load " << load;
      float peak = 0.0f;
      for (float v : x) peak = std::max(peak, std::fabs(v));
      EXPECT_LT(peak, 1.0f) << "within full scale at " << rpm;
      EXPECT_GT(peak, load > 0.0f ? 0.2f : 0.05f) << "heard at " << rpm;
    }
  }
  // Standing, the engine reports no speed at all: it idles, and the idle wanders a little.
  EngineSynth synth;
  std::vector<float> x(kEngineRate / 10);
  float lowest = 1e9f, highest = 0.0f;
  for (int i = 0; i < 100; ++i) {
    synth.render(x.data(), static_cast<int>(x.size()), 0.0f, 0.0f);
    lowest = std::min(lowest, synth.heardRpm());
    highest = std::max(highest, synth.heardRpm());
  }
  EXPECT_GE(lowest, 800.0f);
  EXPECT_LE(highest, 900.0f);
  EXPECT_GT(highest - lowest, 10.0f) << "a slight hunt";
  EXPECT_NEAR(firingRate(engineSound(0.0f, 0.0f, 1.0f)), kIdleRpm / 30.0f, 2.5);
  // The idle joins the engine's own speed without a corner, and does not hold a running engine back.
  EXPECT_NEAR(heardEngineRpm(3000.0f, kIdleRpm), 3000.0f, 1.0f);
  EXPECT_NEAR(heardEngineRpm(1200.0f, kIdleRpm), 1200.0f, 5.0f);
  EXPECT_EQ(heardEngineRpm(std::nanf(""), kIdleRpm), kIdleRpm);
  for (float rpm = 0.0f; rpm < 2000.0f; rpm += 10.0f)
    EXPECT_GT(heardEngineRpm(rpm + 10.0f, kIdleRpm), heardEngineRpm(rpm, kIdleRpm)) << rpm;
}

TEST(EngineSynth, NoPieceComesRoundAgainStandingOrPullingAndEveryRunIsTheSame) {
  // A steady speed is the hard case: only the engine's own variation keeps a piece from recurring.
  EXPECT_LT(repetition(engineSound(0.0f, 0.0f, 2.5f)), 0.7) << "idling";
  EXPECT_LT(repetition(engineSound(3500.0f, 1.0f, 2.5f)), 0.7) << "pulling";
  EXPECT_LT(repetition(engineSound(3500.0f, 0.0f, 2.5f)), 0.7) << "coasting";
  EXPECT_EQ(engineSound(3500.0f, 1.0f, 0.5f), engineSound(3500.0f, 1.0f, 0.5f)) << "the same every run";
  EXPECT_NE(engineSound(3500.0f, 1.0f, 0.5f, 1), engineSound(3500.0f, 1.0f, 0.5f, 2));
  // A change of speed within one call is spread over it: no step in the firing rate.
  EngineSynth synth;
  std::vector<float> x(kEngineRate);
  synth.render(x.data(), kEngineRate / 2, 2000.0f, 1.0f);
  const long before = synth.firings();
  synth.render(x.data(), kEngineRate / 2, 4000.0f, 1.0f);
  // From 2000 to 4000 rpm evenly over half a second: 3000 rpm on average, 50 firings.
  EXPECT_NEAR(static_cast<double>(synth.firings() - before), 50.0, 3.0);
}

TEST(SquealFromSlip, SilentWhileGrippingRisingWithEitherSlipFullOnAHardSlide) {
  EXPECT_EQ(squealLevel(0.0f, 0.0f), 0.0f) << "rolling";
  EXPECT_EQ(squealLevel(0.15f, 0.05f), 0.0f) << "the slip of ordinary driving";
  EXPECT_EQ(squealLevel(-0.2f, -0.06f), 0.0f);
  EXPECT_FLOAT_EQ(squealLevel(1.0f, 0.0f), 1.0f) << "wheelspin";
  EXPECT_FLOAT_EQ(squealLevel(0.0f, 0.5f), 1.0f) << "a sideways slide";
  EXPECT_FLOAT_EQ(squealLevel(-4.0f, 1.4f), 1.0f) << "spinning against a wall";
  EXPECT_EQ(squealLevel(std::nanf(""), 0.3f), 0.0f);
  for (float lat = 0.0f; lat <= 0.6f; lat += 0.02f) {
    float previous = 0.0f;
    for (float slip = 0.0f; slip <= 1.2f; slip += 0.02f) {
      const float level = squealLevel(slip, lat);
      EXPECT_GE(level, previous) << "louder with more slip: " << slip << ", " << lat;
      EXPECT_LE(level, 1.0f);
      EXPECT_FLOAT_EQ(level, squealLevel(-slip, -lat)) << "either direction";
      EXPECT_GE(squealLevel(slip, lat + 0.02f), level) << "louder with more slip angle";
      previous = level;
    }
  }
}

TEST(SquealFromSlip, FollowsTheSlipSpeedInLevelAndPitchOnceTheTyreLetsGo) {
  EXPECT_EQ(squealVoice(0.1f, 0.05f, 3.0f).gain, 0.0f) << "gripping, however fast";
  EXPECT_EQ(squealVoice(2.0f, 0.0f, 0.2f).gain, 0.0f) << "let go, but barely sliding";
  EXPECT_EQ(squealVoice(2.0f, 0.0f, std::nanf("")).gain, 0.0f);
  LoopVoice previous = squealVoice(1.0f, 0.3f, 0.0f);
  for (float speed = 0.25f; speed <= 30.0f; speed += 0.25f) {
    const LoopVoice voice = squealVoice(1.0f, 0.3f, speed);
    EXPECT_GE(voice.gain, previous.gain) << "louder sliding faster: " << speed;
    EXPECT_GE(voice.pitch, previous.pitch) << "higher sliding faster: " << speed;
    EXPECT_LE(voice.gain, 1.0f);
    EXPECT_LE(voice.gain - previous.gain, 0.2f) << "no step at " << speed;
    previous = voice;
  }
  EXPECT_FLOAT_EQ(previous.gain, 1.0f) << "a hard fast slide";
  EXPECT_GT(squealVoice(1.0f, 0.3f, 12.0f).pitch, 1.4f * squealVoice(1.0f, 0.3f, 1.0f).pitch);
  EXPECT_LT(squealVoice(0.4f, 0.0f, 6.0f).gain, squealVoice(1.0f, 0.0f, 6.0f).gain) << "less let go";

  EXPECT_EQ(scrapeVoice(0.0f).gain, 0.0f) << "resting against a wall";
  EXPECT_GT(scrapeVoice(2.0f).gain, 0.3f);
  EXPECT_GT(scrapeVoice(10.0f).gain, scrapeVoice(2.0f).gain);
  EXPECT_GT(scrapeVoice(10.0f).pitch, scrapeVoice(2.0f).pitch);
  EXPECT_FLOAT_EQ(scrapeVoice(40.0f).gain, 1.0f);
  EXPECT_EQ(scrapeVoice(std::nanf("")).gain, 0.0f);
}

TEST(MadeSounds, LoopsJoinWithoutAClickOneShotsFadeToNothingAndEveryRunIsTheSame) {
  for (const Samples& loop : {squealLoop(), scrapeLoop()}) {
    ASSERT_GE(loop.size(), static_cast<std::size_t>(kSampleRate));
    int biggestStep = 0;
    for (std::size_t n = 1; n < loop.size(); ++n)
      biggestStep = std::max(biggestStep, std::abs(loop[n] - loop[n - 1]));
    EXPECT_LE(std::abs(loop.front() - loop.back()), biggestStep) << "the join is like any other step";
  }
  EXPECT_EQ(squealLoop(), squealLoop());
  for (const Samples& sound : {impactSound(), crashSound(), clunkSound(), pickupSound(), deliverySound(),
                               lowPowerSound(), winSound(), loseSound()}) {
    ASSERT_GT(sound.size(), 1000u);
    int peak = 0, tail = 0;
    for (int16_t v : sound) peak = std::max(peak, std::abs(static_cast<int>(v)));
    // The last 5 ms.
    for (std::size_t n = sound.size() - kSampleRate / 200; n < sound.size(); ++n)
      tail = std::max(tail, std::abs(static_cast<int>(sound[n])));
    EXPECT_GT(peak, 20000) << "made to the common peak";
    EXPECT_LT(peak, 32767) << "not clipped";
    EXPECT_LT(tail, peak / 100) << "faded, not cut";
  }
  EXPECT_EQ(winSound(), winSound());
}

}  // namespace
}  // namespace ruvelo::audio
