// The engine crossfade, the slip-to-squeal mapping and the made sounds, checked as properties over
// their whole input range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/engine_mix.h"
#include "audio/sound_synth.h"

namespace ruvelo::audio {
namespace {

TEST(EngineCrossfade, EverySpeedIsHeardAtItsOwnPitchWithConstantPowerAndNoJumps) {
  const float lowest = kEngineLoopRpm.front() / kMaxLoopPitch;
  const float highest = kEngineLoopRpm.back() * kMaxLoopPitch;
  std::array<LoopVoice, kEngineLoops> previous = engineCrossfade(200.0f);
  for (float rpm = 200.0f; rpm <= 9000.0f; rpm += 5.0f) {
    const std::array<LoopVoice, kEngineLoops> voices = engineCrossfade(rpm);
    float power = 0.0f;
    int first = -1, last = -1;
    for (int i = 0; i < kEngineLoops; ++i) {
      const LoopVoice& v = voices[i];
      power += v.gain * v.gain;
      EXPECT_LE(v.pitch, kMaxLoopPitch + 1e-5f) << rpm;
      EXPECT_GE(v.pitch, 1.0f / kMaxLoopPitch - 1e-5f) << rpm;
      EXPECT_LE(std::fabs(v.gain - previous[i].gain), 0.06f) << "a jump in loop " << i << " at " << rpm;
      if (v.gain == 0.0f) continue;
      if (first < 0) first = i;
      last = i;
      // A sounding loop plays at the engine's speed, or at its limit outside the loops' range.
      const float heard = v.pitch * kEngineLoopRpm[i];
      EXPECT_NEAR(heard, std::clamp(rpm, lowest, highest), 0.5f) << "loop " << i << " at " << rpm;
    }
    EXPECT_NEAR(power, 1.0f, 1e-4f) << rpm;
    EXPECT_LE(last - first, 1) << "only neighbours sound together, at " << rpm;
    previous = voices;
  }
  for (int i = 0; i < kEngineLoops; ++i) {
    const LoopVoice own = engineCrossfade(kEngineLoopRpm[i])[i];
    EXPECT_FLOAT_EQ(own.gain, 1.0f) << "a loop alone at its own speed";
    EXPECT_FLOAT_EQ(own.pitch, 1.0f);
  }
  const std::array<LoopVoice, kEngineLoops> broken = engineCrossfade(std::nanf(""));
  EXPECT_FLOAT_EQ(broken[0].gain, 1.0f);
  EXPECT_TRUE(std::isfinite(broken[0].pitch));
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

TEST(MadeSounds, EngineLoopsAreWholeCyclesThatJoinWithoutAClickAndEveryRunIsTheSame) {
  for (int i = 0; i < kEngineLoops; ++i) {
    for (bool onLoad : {true, false}) {
      const Samples loop = engineLoop(i, onLoad);
      const int cycle = samplesPerEngineCycle(kEngineLoopRpm[i]);
      EXPECT_EQ(cycle * kEngineLoopRpm[i], kSampleRate * 120.0f) << "a cycle is whole samples";
      ASSERT_GE(loop.size(), static_cast<std::size_t>(kSampleRate / 3));
      EXPECT_EQ(loop.size() % cycle, 0u) << "loop " << i;
      int biggestStep = 0, peak = 0;
      for (std::size_t n = 1; n < loop.size(); ++n) {
        biggestStep = std::max(biggestStep, std::abs(loop[n] - loop[n - 1]));
        peak = std::max(peak, std::abs(static_cast<int>(loop[n])));
      }
      EXPECT_LE(std::abs(loop.front() - loop.back()), biggestStep) << "the join is like any other step";
      EXPECT_GT(peak, 20000) << "not silent";
      EXPECT_LT(peak, 32767) << "not clipped";
      EXPECT_EQ(loop, engineLoop(i, onLoad)) << "made the same every time";
    }
  }
  const Samples squeal = squealLoop();
  int biggestStep = 0;
  for (std::size_t n = 1; n < squeal.size(); ++n)
    biggestStep = std::max(biggestStep, std::abs(squeal[n] - squeal[n - 1]));
  EXPECT_LE(std::abs(squeal.front() - squeal.back()), biggestStep);
}

}  // namespace
}  // namespace ruvelo::audio
