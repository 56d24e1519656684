// Scripted drives heard through --audio-out: the engine's note follows its speed, carries in the
// middle of the spectrum and never comes round again; a pickup is heard when it happens, a few dB over
// the engine; M and volume=0 are silence, nothing clips, and every run sounds the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "support/game_runner.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace ruvelo::test {
namespace {

constexpr int kRate = 48000;
const std::string kSmallWindow = "width=320\nheight=240\nrefresh_rate=60\nfullscreen=false\n";

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t little(const std::string& b, std::size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

// The left and right samples of a 48 kHz 16-bit stereo WAV file, summed to one channel; the header
// is checked on the way.
std::vector<int> readMix(const std::string& path, int* peak) {
  const std::string b = readBytes(path);
  EXPECT_GE(b.size(), 44u);
  if (b.size() < 44) return {};
  EXPECT_EQ(b.substr(0, 4), "RIFF");
  EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(little(b, 22, 2), 2u) << "stereo";
  EXPECT_EQ(little(b, 24, 4), static_cast<uint32_t>(kRate));
  EXPECT_EQ(little(b, 34, 2), 16u);
  EXPECT_EQ(little(b, 40, 4), b.size() - 44);
  std::vector<int> mono;
  *peak = 0;
  for (std::size_t at = 44; at + 3 < b.size(); at += 4) {
    const int left = static_cast<int16_t>(little(b, at, 2));
    const int right = static_cast<int16_t>(little(b, at + 2, 2));
    *peak = std::max({*peak, std::abs(left), std::abs(right)});
    mono.push_back(left + right);
  }
  return mono;
}

// Power at `hz` over [from, from + count) (Goertzel), per sample.
double powerAt(const std::vector<int>& x, std::size_t from, std::size_t count, double hz) {
  const double k = 2.0 * std::cos(2.0 * M_PI * hz / kRate);
  double s1 = 0.0, s2 = 0.0;
  for (std::size_t n = from; n < from + count && n < x.size(); ++n) {
    const double s = x[n] + k * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return (s1 * s1 + s2 * s2 - k * s1 * s2) / static_cast<double>(count * count);
}

// The firing rate heard in [from, from + count), in Hz: the first peak of the normalised
// autocorrelation of the sound's loudness (squared, smoothed over a millisecond) that reaches most of
// its highest, between 15 and 400 Hz. Each firing is a burst of loudness, whatever it rings.
double fundamental(const std::vector<int>& x, std::size_t from, std::size_t count) {
  std::vector<double> loud(count);
  double smooth = 0.0, mean = 0.0;
  const double k = 1.0 - std::exp(-1000.0 / kRate);
  for (std::size_t n = 0; n < count; ++n)
    mean += loud[n] = smooth += (double(x[from + n]) * x[from + n] - smooth) * k;
  mean /= static_cast<double>(count);
  for (double& v : loud) v -= mean;
  const int shortest = kRate / 400, longest = kRate / 15;
  std::vector<double> r(longest + 2, 0.0);
  double energy = 0.0;
  for (double v : loud) energy += v * v;
  if (energy <= 0.0) return 0.0;
  for (int lag = shortest - 1; lag <= longest + 1; ++lag) {
    double sum = 0.0;
    for (std::size_t n = 0; n + lag < count; ++n) sum += loud[n] * loud[n + lag];
    r[lag] = sum / energy;
  }
  const double best = *std::max_element(r.begin() + shortest, r.begin() + longest + 1);
  for (int lag = shortest; lag <= longest; ++lag)
    if (r[lag] >= 0.8 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) return double(kRate) / lag;
  return 0.0;
}

// Of the energy of [from, from + count), the share between 150 and 1000 Hz.
double midShare(const std::vector<int>& x, std::size_t from, std::size_t count) {
  double mean = 0.0, total = 0.0;
  for (std::size_t n = from; n < from + count; ++n) mean += x[n];
  mean /= static_cast<double>(count);
  for (std::size_t n = from; n < from + count; ++n) total += (x[n] - mean) * (x[n] - mean);
  // Parseval: each bin's power counted on both sides of the spectrum.
  double band = 0.0;
  const double bin = double(kRate) / count;
  for (double hz = std::ceil(150.0 / bin) * bin; hz < 1000.0; hz += bin)
    band += 2.0 * powerAt(x, from, count, hz) * count;
  return total > 0.0 ? band / total : 0.0;
}

// The highest normalised correlation of the 0.25 s piece at `from` with the sound 0.3 to 1.5 s
// after it (at a quarter of the rate: enough for everything below 5 kHz).
double recurrence(const std::vector<int>& x, std::size_t from) {
  std::vector<double> y;
  for (std::size_t n = from; n + 3 < x.size() && n < from + kRate * 2; n += 4)
    y.push_back(double(x[n]) + x[n + 1] + x[n + 2] + x[n + 3]);
  const int rate = kRate / 4, piece = rate / 4;
  double pp = 0.0, worst = 0.0;
  for (int n = 0; n < piece; ++n) pp += y[n] * y[n];
  for (int lag = rate * 3 / 10; lag <= rate * 3 / 2 && lag + piece <= static_cast<int>(y.size()); ++lag) {
    double py = 0.0, yy = 0.0;
    for (int n = 0; n < piece; ++n) {
      py += y[n] * y[lag + n];
      yy += y[lag + n] * y[lag + n];
    }
    if (pp > 0.0 && yy > 0.0) worst = std::max(worst, py / std::sqrt(pp * yy));
  }
  return worst;
}

// `x` through a filter close to the A weighting at 48 kHz (within 1 dB from 100 Hz to 5 kHz): how
// loud it sounds rather than how much energy it has.
std::vector<double> aWeighted(const std::vector<int>& x) {
  static const double b[7] = {0.234301792299513,  -0.468603584599026, -0.234301792299513, 0.937207168598053,
                              -0.234301792299513, -0.468603584599026, 0.234301792299513};
  static const double a[7] = {1.0,
                              -4.113043408775872,
                              6.553121752655043,
                              -4.990849294163381,
                              1.785737302937573,
                              -0.246190595319487,
                              0.011224250033231};
  std::vector<double> y(x.size(), 0.0);
  for (std::size_t n = 0; n < x.size(); ++n) {
    double v = 0.0;
    for (int k = 0; k < 7 && k <= static_cast<int>(n); ++k)
      v += b[k] * x[n - k] - (k ? a[k] * y[n - k] : 0.0);
    y[n] = v;
  }
  return y;
}

double levelDb(const std::vector<double>& x, std::size_t from, std::size_t count) {
  double sum = 0.0;
  for (std::size_t n = from; n < from + count; ++n) sum += x[n] * x[n];
  return 10.0 * std::log10(sum / static_cast<double>(count) + 1e-9);
}

// What `scripts/sound_measures ARGS` prints, as its words: each number under the word before it.
std::map<std::string, double> measure(const std::string& args) {
  const std::string command = "/usr/bin/python3 " RUVELO_SOURCE_DIR "/scripts/sound_measures " + args;
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  std::map<std::string, double> values;
  std::istringstream words(text);
  std::string word, last;
  while (words >> word) {
    char* end = nullptr;
    const double v = std::strtod(word.c_str(), &end);
    if (end != word.c_str() && *end == '\0' && !last.empty() && !values.count(last))
      values[last] = v;
    else
      last = word;
  }
  EXPECT_FALSE(values.empty()) << command << ": " << text;
  return values;
}

TEST(Sound, EngineNoteRisesWithEngineSpeedCarriesInTheMiddleNeverRepeatsAndNothingClips) {
  GameFolder folder(kSmallWindow);
  // Standing for two and a half seconds, then full throttle up the start road into fifth gear.
  const int press = 50, frames = 300;
  const std::string script = folder.writeFile("launch.txt", std::to_string(press) + " W press\n");
  const GameRun run = folder.run({"--frames", std::to_string(frames), "--fixed-dt", "0.05", "--input", script,
                                  "--log-state", "--audio-out", "launch.wav"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.soundOff, "") << "the loopback needs no device";
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(frames));
  int shift = 0, lastShift = 0;
  for (int i = press; i < frames; ++i) {
    if (field(lines[i], "gear") == field(lines[i - 1], "gear")) continue;
    if (!shift) shift = i + 1;
    lastShift = i + 1;
  }
  ASSERT_GT(shift, press + 10) << "the first gear change, as a frame number";
  ASSERT_LT(lastShift, frames - 60) << "three seconds in the last gear reached";

  int peak = 0;
  const std::vector<int> mix = readMix(folder.path("bin/launch.wav"), &peak);
  const std::size_t perFrame = kRate / 20;
  ASSERT_EQ(mix.size(), frames * perFrame) << "each frame renders its time step";
  const double standing = fundamental(mix, 10 * perFrame, 30 * perFrame);
  // The last 0.3 s before the change: first gear at its fastest.
  const double pulling = fundamental(mix, (shift - 7) * perFrame, 6 * perFrame);
  EXPECT_GT(standing, 15.0);
  EXPECT_GT(pulling, 2.5 * standing) << "standing " << standing << " Hz, pulling " << pulling << " Hz";
  EXPECT_LT(peak, 32767) << "a sample at full scale is a clipped one";
  EXPECT_GT(peak, 3000) << "and it is not silence";

  // Pulling, a laptop's speakers must have something to play: the middle of the spectrum carries.
  double share = 0.0;
  int windows = 0;
  for (std::size_t at = (press + 20) * perFrame; at + kRate / 4 <= mix.size(); at += kRate / 2, ++windows)
    share += midShare(mix, at, kRate / 4);
  EXPECT_GT(share / windows, 0.25) << "of the engine's energy between 150 and 1000 Hz at full throttle";
  // No piece of the sound comes round again: standing still, nor pulling steadily in the last gear.
  for (int frame : {2, 8, 14, lastShift + 2, lastShift + 12, lastShift + 22}) {
    EXPECT_LT(recurrence(mix, frame * perFrame), 0.9) << "the piece at frame " << frame;
  }
}

TEST(Sound, PickupIsHeardWithinATenthOfASecondOfTheBattery) {
  GameFolder folder(kSmallWindow);
  const std::string script = folder.writeFile("drive.txt", "1 W press\n");
  // Up the ramp onto the deck, through battery 3.
  const GameRun run = folder.run(
      {"--frames", "175", "--fixed-dt", "0.1", "--input", script, "--log-state", "--audio-out", "drive.wav"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 175u);
  std::size_t pickup = 0;  // frame number
  for (std::size_t i = 1; i < lines.size() && !pickup; ++i)
    if (std::strtod(field(lines[i], "power").c_str(), nullptr) >
        std::strtod(field(lines[i - 1], "power").c_str(), nullptr))
      pickup = i + 1;
  ASSERT_GT(pickup, 2u) << "the drive collects the battery";

  int peak = 0;
  const std::vector<int> mix = readMix(folder.path("bin/drive.wav"), &peak);
  const std::size_t perFrame = kRate / 10, tenth = kRate / 10;
  ASSERT_EQ(mix.size(), 175 * perFrame);
  const std::size_t start = (pickup - 1) * perFrame;
  for (double hz : {2093.0, 2637.0}) {
    const double before = powerAt(mix, start - tenth, tenth, hz);
    const double after = powerAt(mix, start, tenth, hz);
    EXPECT_GT(after, 100.0 * before + 1.0) << hz << " Hz: " << before << " before, " << after << " after";
  }
  // Heard over the engine, but not startling: the chime's quarter second (the engine ducked under it)
  // against the engine's third of a second before.
  const std::vector<double> heard = aWeighted(mix);
  const double chime = levelDb(heard, start, kRate / 4),
               engine = levelDb(heard, start - kRate * 3 / 10, kRate * 3 / 10);
  EXPECT_GT(chime - engine, 3.0) << "dB(A) over the engine";
  EXPECT_LT(chime - engine, 9.0) << "dB(A) over the engine";
  EXPECT_LT(peak, 32767);
}

TEST(Sound, MKeyAndZeroVolumeAreSilenceAndEveryRunIsTheSame) {
  GameFolder folder(kSmallWindow);
  const std::string script = folder.writeFile("mute.txt", "1 W press\n20 M press\n20 M release\n");
  const std::vector<std::string> args = {"--frames", "40", "--fixed-dt", "0.05", "--input", script};
  auto withOutput = [&](const std::string& file) {
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--audio-out", file});
    return all;
  };
  const GameRun muted = folder.run(withOutput("muted.wav"));
  ASSERT_EQ(muted.status, 0) << muted.err;
  EXPECT_EQ(countLines(muted.out, "Sound: 0"), 1) << muted.out;
  int peak = 0;
  const std::vector<int> mix = readMix(folder.path("bin/muted.wav"), &peak);
  const std::size_t perFrame = kRate / 20;
  ASSERT_EQ(mix.size(), 40 * perFrame);
  const auto loudest = [&](std::size_t from, std::size_t to) {
    int most = 0;
    for (std::size_t n = from; n < to; ++n) most = std::max(most, std::abs(mix[n]));
    return most;
  };
  EXPECT_GT(loudest(0, 19 * perFrame), 1000) << "heard before M";
  EXPECT_EQ(loudest(20 * perFrame, mix.size()), 0) << "nothing from the frame after M";

  const GameRun again = folder.run(withOutput("again.wav"));
  ASSERT_EQ(again.status, 0);
  EXPECT_EQ(readBytes(folder.path("bin/again.wav")), readBytes(folder.path("bin/muted.wav")))
      << "the same drive is the same file";

  folder.writeSettings(kSmallWindow + "volume=0\n");
  const GameRun quiet = folder.run(withOutput("quiet.wav"));
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  const std::vector<int> silence = readMix(folder.path("bin/quiet.wav"), &peak);
  EXPECT_EQ(silence.size(), mix.size());
  EXPECT_EQ(peak, 0);
}

TEST(Sound, AnUnwritableFileEndsTheRunWithStatusThreeAndNoDeviceIsOneLine) {
  GameFolder folder(kSmallWindow);
  folder.writeFile("bin/taken", "a file, not a folder");
  const GameRun run =
      folder.run({"--frames", "3", "--fixed-dt", "0.05", "--log-state", "--audio-out", "taken/drive.wav"});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(stateLines(run.out).size(), 1u) << "the run ends with the first frame it could not write";
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("--audio-out: taken/drive.wav"), std::string::npos) << run.err;

  // Without --audio-out the game asks for the sound device; without one it says so in one line.
  const GameRun device = folder.run({"--frames", "3", "--fixed-dt", "0.05"});
  EXPECT_EQ(device.status, 0);
  EXPECT_EQ(device.err, "") << "nothing from the audio libraries";
  if (!device.soundOff.empty()) {
    EXPECT_EQ(device.soundOff, "Sound off: no audio device could be opened");
  }
}

TEST(Sound, AtFullThrottleTheEngineHasBodyItsFundamentalAndHeadroom) {
  GameFolder folder(kSmallWindow);
  const std::string script = folder.writeFile("pull.txt", "1 W press\n");
  const GameRun run = folder.run({"--frames", "330", "--fixed-dt", "0.0166667", "--input", script,
                                  "--audio-out", "pull.wav", "--audio-stems"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Pulling through first and second gear.
  auto engine = measure("engine " + folder.path("bin/pull.wav.engine.wav") + " 1.5 5.5");
  EXPECT_GE(engine["below_150"], 0.15);
  EXPECT_LE(engine["share_1k_4k"], 0.25);
  EXPECT_GE(engine["centroid"], 400.0);
  EXPECT_LE(engine["centroid"], 800.0);
  EXPECT_GE(engine["hnr"], 6.0) << "harmonic to noise, dB";
  EXPECT_GE(engine["fundamental"], -6.0) << "the firing fundamental against the strongest harmonic, dB";
  EXPECT_LE(engine["crest"], 14.0) << "peak over RMS, dB";
}

TEST(Sound, TheAutopilotsDriveSitsNearMinus20LufsWithHeadroomAndTheStemsAddUpToTheMix) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  GameFolder folder(kSmallWindow);
  const GameRun run = folder.run({"--frames", "3600", "--fixed-dt", "0.0166667", "--autopilot", "--audio-out",
                                  "drive.wav", "--audio-stems"});
  ASSERT_EQ(run.status, 0) << run.err;
  int peak = 0;
  const std::vector<int> mix = readMix(folder.path("bin/drive.wav"), &peak);
  std::vector<int> sum(mix.size(), 0);
  for (const char* stem : {".engine.wav", ".tyres.wav", ".events.wav"}) {
    int stemPeak = 0;
    const std::vector<int> part = readMix(folder.path("bin/drive.wav") + stem, &stemPeak);
    ASSERT_EQ(part.size(), mix.size()) << stem;
    for (std::size_t n = 0; n < mix.size(); ++n) sum[n] += part[n];
  }
  int worst = 0;
  for (std::size_t n = 0; n < mix.size(); ++n) worst = std::max(worst, std::abs(sum[n] - mix[n]));
  EXPECT_LE(worst, 4) << "the stems add up to the mix within their rounding (left and right summed)";

  auto loud = measure("loudness " + folder.path("bin/drive.wav"));
  EXPECT_NEAR(loud["integrated"], -20.0, 2.0) << "LUFS";
  EXPECT_LE(loud["true_peak"], -1.0) << "dBTP";
  EXPECT_EQ(loud["full_scale_samples"], 0.0);
  auto images = measure("images " + folder.path("bin/drive.wav") + " 0 60");
  EXPECT_LE(images["images"], -50.0) << "dB over 12 kHz against 1-2 kHz";
}

// Through OpenAL's own wave-file device, which plays in real time like a sound card: every fifth
// frame takes a quarter of a second, and the engine's stream never runs dry.
TEST(Sound, TheDeviceNeverRunsDryThroughQuarterSecondHitches) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "real-time runs are timed in the normal build";
#endif
  GameFolder folder(kSmallWindow);
  const std::string conf =
      folder.writeFile("alsoft.conf", "drivers=wave\n[wave]\nfile=" + folder.path("device.wav") + "\n");
  ScopedEnv env("ALSOFT_CONF", conf.c_str());
  const GameRun run = folder.run({"--frames", "40", "--slow-frame", "250", "--bench"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.soundOff, "") << "the wave device opens";
  EXPECT_NE(run.out.find("bench audio_underruns=0\n"), std::string::npos) << run.out;
  // The device's file (32-bit float samples): once the engine is heard, no 5 ms of it is dead
  // silence (the idle's quiet between firings is never exactly nothing).
  const std::string b = readBytes(folder.path("device.wav"));
  const std::size_t data = b.find("data");
  ASSERT_NE(data, std::string::npos);
  const uint32_t channels = little(b, 22, 2), rate = little(b, 24, 4), bits = little(b, 34, 2);
  ASSERT_EQ(bits, 32u);
  std::vector<float> x((b.size() - data - 8) / 4);
  std::memcpy(x.data(), b.data() + data + 8, x.size() * 4);
  const std::size_t window = rate / 200 * channels;
  std::vector<bool> heard;
  for (std::size_t at = 0; at + window <= x.size(); at += window) {
    float most = 0.0f;
    for (std::size_t n = at; n < at + window; ++n) most = std::max(most, std::fabs(x[n]));
    heard.push_back(most > 0.0f);
  }
  const auto first = std::find(heard.begin(), heard.end(), true);
  const auto last = std::find(heard.rbegin(), heard.rend(), true).base();
  ASSERT_LT(first, last);
  EXPECT_GT(last - first, 200 * 2) << "at least two seconds heard";
  EXPECT_EQ(std::count(first, last, false), 0) << "silent 5 ms windows";
}

// The toggles a player presses are kept in their own settings.txt, every other line as it was; the
// next start plays with them (M: silence), a repeatable run does not, and a run where nothing was
// pressed writes nothing.
TEST(KeptOptions, TogglesAreWrittenBackAndUsedAtTheNextStartOnly) {
  GameFolder untouched;
  ASSERT_EQ(untouched
                .run({"--frames", "2", "--fixed-dt", "0.05", "--input",
                      untouched.writeFile("keys.txt", "1 W press\n2 F3 release\n")})
                .status,
            0);
  EXPECT_FALSE(std::ifstream(untouched.path("config/ruvelo/settings.txt")).good())
      << "driving and the developer toggles are not options";

  GameFolder folder;
  const std::string mine =
      "\xEF\xBB\xBF# my window\r\nwidth=320\r\nheight=240\nfullscreen=false\n"
      "\nmy_own_key=7\nsound=true\nbrightness = 1.3\n";
  const std::string file = folder.writeFile("config/ruvelo/settings.txt", mine);
  const std::string keys = folder.writeFile("keys.txt", "1 M release\n2 F7 release\n2 F5 release\n");
  const GameRun run = folder.run({"--frames", "3", "--fixed-dt", "0.05", "--input", keys});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // The repeatable run played with the shipped options (brightness 1.0, not the player's 1.3).
  EXPECT_NE(run.out.find("Brightness: 1.1\n"), std::string::npos) << run.out;
  EXPECT_EQ(readWholeFile(file),
            "\xEF\xBB\xBF# my window\r\nwidth=320\r\nheight=240\nfullscreen=false\n"
            "\nmy_own_key=7\nsound=false\nbrightness = 1.1\nsnow=false\n");

  int peak = 0;
  ASSERT_EQ(folder.run({"--frames", "20", "--audio-out", "next.wav"}).status, 0);
  readMix(folder.path("bin/next.wav"), &peak);
  EXPECT_EQ(peak, 0) << "the next start keeps the sound off";
  ASSERT_EQ(folder.run({"--frames", "20", "--fixed-dt", "0.05", "--audio-out", "fixed.wav"}).status, 0);
  readMix(folder.path("bin/fixed.wav"), &peak);
  EXPECT_GT(peak, 100) << "a repeatable run ignores what the player kept";
}

// The options screen from the pause screen: the volume down to 0.5, the bonnet camera, and accelerate
// moved to UP (P, already pause's, refused on the way). The player's file keeps its own lines and
// gains the two options; UP drives and W no longer does; the next start plays at 0.5 from the
// bonnet, a repeatable run at the shipped 0.8 from the chase camera.
TEST(OptionsScreen, ChangesAreUsedKeptAndIgnoredByRepeatableRuns) {
  GameFolder folder;
  const std::string file = folder.writeFile("config/ruvelo/settings.txt",
                                            "# my window\nwidth=320\nheight=240\nfullscreen=false\nmine=1\n");
  std::string script = "1 P release\n2 O release\n3 LEFT release\n4 LEFT release\n5 LEFT release\n";
  for (int frame = 6; frame <= 12; ++frame) script += std::to_string(frame) + " DOWN release\n";
  script += "13 LEFT release\n14 DOWN release\n15 DOWN release\n";  // chase round to bonnet; accelerate
  script +=
      "16 ENTER release\n17 P press\n17 P release\n18 ENTER release\n19 UP press\n19 UP release\n"
      "20 ESCAPE release\n21 P release\n22 W press\n30 W release\n31 UP press\n";
  const GameRun run = folder.run({"--frames", "45", "--fixed-dt", "0.05", "--log-state", "--input",
                                  folder.writeFile("keys.txt", script)});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(countLines(run.out, "Paused: 1"), 1) << "P pressed in the options screen pauses nothing";
  EXPECT_EQ(countLines(run.out, "Paused: 0"), 1) << run.out;
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 45u);
  EXPECT_LT(std::stod(field(lines[29], "speed")), 0.2) << "W no longer accelerates";
  EXPECT_GT(std::stod(field(lines[44], "speed")), 1.0) << "UP does";
  EXPECT_EQ(readWholeFile(file),
            "# my window\nwidth=320\nheight=240\nfullscreen=false\nmine=1\nvolume=0.5\ncamera_view=bonnet\n");

  EXPECT_EQ(readWholeFile(folder.path("config/ruvelo/controls.txt")), "accelerate=UP,GAMEPAD_RIGHT_TRIGGER\n")
      << "the rebinding is kept for the next start";

  // The objects drawn tell the views apart: the next start looks from the bonnet as a repeatable run
  // does after C twice, and a repeatable run on its own from the chase camera.
  const auto objectsAt5 = [&folder](std::vector<std::string> args) {
    const GameRun r = folder.run(args);
    const auto states = stateLines(r.out);
    return states.size() >= 5 ? field(states[4], "objects") : std::string("none");
  };
  const std::string next = objectsAt5({"--frames", "5", "--log-state"});
  const std::string bonnet = objectsAt5({"--frames", "5", "--log-state", "--fixed-dt", "0.05", "--input",
                                         folder.writeFile("c.txt", "1 C release\n1 C release\n")});
  const std::string chase = objectsAt5({"--frames", "5", "--log-state", "--fixed-dt", "0.05"});
  EXPECT_EQ(next, bonnet);
  EXPECT_NE(chase, bonnet);

  // The idling engine's level (RMS: its peaks wander from firing to firing) in each run.
  const auto level = [&folder](const std::string& name) {
    int peak = 0;
    const std::vector<int> mix = readMix(folder.path("bin/" + name), &peak);
    double sum = 0.0;
    for (std::size_t n = mix.size() / 2; n < mix.size(); ++n) sum += static_cast<double>(mix[n]) * mix[n];
    return mix.size() < 2 ? 0.0 : std::sqrt(sum / static_cast<double>(mix.size() - mix.size() / 2));
  };
  ASSERT_EQ(folder.run({"--frames", "30", "--audio-out", "next.wav"}).status, 0);
  // Heard from the same place: the repeatable run turns to the bonnet view too.
  ASSERT_EQ(folder
                .run({"--frames", "30", "--fixed-dt", "0.016", "--input", folder.path("c.txt"), "--audio-out",
                      "fixed.wav"})
                .status,
            0);
  const double loud = level("next.wav"), fixed = level("fixed.wav");
  ASSERT_GT(fixed, 10.0);
  EXPECT_NEAR(loud / fixed, 0.5 / 0.8, 0.1) << loud << " against " << fixed;
}

}  // namespace
}  // namespace ruvelo::test
