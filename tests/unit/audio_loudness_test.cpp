// The mix on the loopback, group by group: every event stands a few LU over the engine whether it
// pulls or coasts, a hard hit more, the result's sounds are matched by loudness, and the groups add
// up to the mix. Measured by scripts/sound_measures (BS.1770 loudness), not by the mix's own figures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "audio/audio_system.h"
#include "audio/wav_file.h"
#include "support/temp_dir.h"

namespace ruvelo::audio {
namespace {

constexpr float kDt = 1.0f / 60.0f;

struct Rendered {
  std::vector<int16_t> mix;
  std::array<std::vector<int16_t>, kStemCount> stems;
};

// Frames of a steady engine at 3300 rpm in third gear, the listener 10 m behind; `at(frame, f)` adds
// the frame's events.
template <typename Events>
Rendered drive(float throttle, int frames, Events at) {
  AudioSystem sound(Backend::Loopback, true, true);
  Rendered out;
  if (!sound.on()) return out;
  for (int i = 0; i < frames; ++i) {
    AudioFrame f;
    f.dt = kDt;
    f.engineRpm = 3300.0f;
    f.engineThrottle = throttle;
    f.gear = 4;
    for (WheelSlip& w : f.wheels) w.onGround = true;
    f.vehiclePosition = {0.0f, 1.0f, 0.0f};
    f.listenerPosition = {0.0f, 3.0f, 10.0f};
    at(i, f);
    sound.update(f);
    out.mix.insert(out.mix.end(), sound.rendered().begin(), sound.rendered().end());
    for (int s = 0; s < kStemCount; ++s) {
      const auto& stem = sound.renderedStem(static_cast<Stem>(s));
      out.stems[s].insert(out.stems[s].end(), stem.begin(), stem.end());
    }
    sound.clearRendered();
  }
  return out;
}

std::string writeWav(const std::string& path, const std::vector<int16_t>& samples) {
  std::string bytes = wavHeader(samples.size() * 2);
  appendWavSamples(bytes, samples.data(), samples.size());
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// What `scripts/sound_measures ARGS` prints.
std::string measure(const std::string& args) {
  const std::string command = "/usr/bin/python3 " RUVELO_SOURCE_DIR "/scripts/sound_measures " + args;
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  return text;
}

// How many LU `a` stands over `b` in the 0.4 s from `at` seconds.
double over(const std::string& a, const std::string& b, double at) {
  const std::string text =
      measure("over " + a + " " + b + " " + std::to_string(at) + " " + std::to_string(at + 0.4));
  EXPECT_EQ(text.rfind("over ", 0), 0u) << text;
  return text.size() > 5 ? std::strtod(text.c_str() + 5, nullptr) : -99.0;
}

TEST(Mix, EveryEventStandsAFewLuOverTheEnginePullingOrCoastingAndAHardHitMore) {
  const std::string dir = test::makeTempDir("ruvelo-loudness");
  const int pickupAt = 120, deliveryAt = 240, beepAt = 360, hitAt = 480, frames = 570;
  const auto events = [&](int i, AudioFrame& f) {
    f.pickup = i == pickupAt;
    f.delivery = i == deliveryAt;
    f.lowPower = i >= beepAt && i < beepAt + 10;
    if (i == hitAt) {
      f.impactCount = 1;
      f.impacts[0] = {7, 6.0f};  // the least speed change of a hard hit
    }
  };
  double pulling = 0.0;
  for (float throttle : {1.0f, 0.0f}) {
    const Rendered r = drive(throttle, frames, events);
    if (r.mix.empty()) GTEST_SKIP() << "no loopback device";
    // The groups add up to the mix, within the rounding of each.
    ASSERT_EQ(r.mix.size(), r.stems[0].size());
    int worst = 0;
    for (std::size_t n = 0; n < r.mix.size(); ++n)
      worst = std::max(worst, std::abs(r.stems[0][n] + r.stems[1][n] + r.stems[2][n] - r.mix[n]));
    EXPECT_LE(worst, 2);

    const std::string name = dir + (throttle > 0.0f ? "/pulling" : "/coasting");
    const std::string engine = writeWav(name + ".engine.wav", r.stems[0]);
    const std::string tyres = writeWav(name + ".tyres.wav", r.stems[1]);
    const std::string eventWav = writeWav(name + ".events.wav", r.stems[2]);
    for (const auto& [what, frame] : {std::pair<const char*, int>{"pickup", pickupAt},
                                      {"delivery", deliveryAt},
                                      {"low-power beep", beepAt}}) {
      const double lu = over(eventWav, engine, (frame + 1) * kDt);
      EXPECT_GE(lu, 3.0) << what << (throttle > 0.0f ? " pulling" : " coasting");
      EXPECT_LE(lu, 8.0) << what << (throttle > 0.0f ? " pulling" : " coasting");
    }
    const double hit = over(tyres, engine, (hitAt + 1) * kDt);
    EXPECT_GE(hit, 6.0) << "a hard hit " << (throttle > 0.0f ? "pulling" : "coasting");
    EXPECT_LE(hit, 10.0) << "a hard hit " << (throttle > 0.0f ? "pulling" : "coasting");

    // Coasting, the engine is well under its pull.
    const std::string text = measure("lufs " + engine + " 0.5 1.9");
    const double lufs = std::strtod(text.c_str() + 5, nullptr);
    if (throttle > 0.0f)
      pulling = lufs;
    else
      EXPECT_GE(pulling - lufs, 6.0) << "coasting against pulling";
  }
}

TEST(Mix, TheWinFanfareIsAtLeastAsLoudAsTheLosePhrase) {
  const std::string dir = test::makeTempDir("ruvelo-result");
  std::array<std::string, 2> wav;
  for (int won = 0; won < 2; ++won) {
    const Rendered r = drive(1.0f, 240, [&](int i, AudioFrame& f) {
      if (i >= 30) f.result = won ? RaceResult::Won : RaceResult::Lost;
    });
    if (r.mix.empty()) GTEST_SKIP() << "no loopback device";
    wav[won] = writeWav(dir + (won ? "/won.wav" : "/lost.wav"), r.stems[2]);
  }
  // The loudest 3 s of each (the whole sound).
  const auto loudest = [&](const std::string& path) {
    const std::string text = measure("loudness " + path);
    const auto at = text.find("loudest_3s ");
    EXPECT_NE(at, std::string::npos) << text;
    return at == std::string::npos ? -99.0 : std::strtod(text.c_str() + at + 11, nullptr);
  };
  EXPECT_GE(loudest(wav[1]), loudest(wav[0]) - 0.3);
}

}  // namespace
}  // namespace ruvelo::audio
