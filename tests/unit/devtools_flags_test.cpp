// Developer flags and input scripts: what tests and bug reports rely on.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "devtools/dev_flags.h"
#include "devtools/flag_checks.h"
#include "devtools/frame_stats.h"
#include "input/scripted_input.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

FlagsResult parse(std::vector<const char*> args) {
  args.insert(args.begin(), "ruvelo");
  return parseDevFlags(static_cast<int>(args.size()), args.data());
}

TEST(DevFlags, NoFlagsChangeNothing) {
  const FlagsResult r = parse({});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.flags.frames, 0);
  EXPECT_EQ(r.flags.fixedDt, 0.0f);
  EXPECT_FALSE(r.flags.bench);
  EXPECT_FALSE(r.flags.logState);
  EXPECT_FALSE(r.flags.fullShadow);
  EXPECT_TRUE(r.flags.audioOut.empty());
  EXPECT_TRUE(r.flags.screenshots.empty());
  EXPECT_TRUE(r.flags.dataDir.empty());
}

TEST(DevFlags, ParsesEveryFlag) {
  const FlagsResult r = parse({"--frames", "12", "--fixed-dt", "0.02", "--screenshot", "3:a.png",
                               "--screenshot", "12:out/b c.png", "--bench", "--log-state", "--autopilot",
                               "--full-shadow", "--data-dir", RUVELO_ASSET_DIR, "--audio-out", "drive.wav"});
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.flags.audioOut, "drive.wav");
  EXPECT_EQ(r.flags.frames, 12);
  EXPECT_FLOAT_EQ(r.flags.fixedDt, 0.02f);
  ASSERT_EQ(r.flags.screenshots.size(), 2u);
  EXPECT_EQ(r.flags.screenshots[1].frame, 12);
  EXPECT_EQ(r.flags.screenshots[1].path, "out/b c.png");
  EXPECT_TRUE(r.flags.bench);
  EXPECT_TRUE(r.flags.logState);
  EXPECT_TRUE(r.flags.autopilot);
  EXPECT_TRUE(r.flags.fullShadow);
  EXPECT_EQ(r.flags.dataDir, RUVELO_ASSET_DIR);
}

TEST(DevFlags, BadInputNamesTheFlag) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{"--frames"}, "--frames"},
      {{"--frames", "ten"}, "--frames"},
      {{"--frames", "0"}, "--frames"},
      {{"--frames", "5x"}, "--frames"},
      {{"--fixed-dt", "-1"}, "--fixed-dt"},
      {{"--fixed-dt", "inf"}, "--fixed-dt"},
      {{"--fixed-dt", "0.26"}, "--fixed-dt"},
      {{"--screenshot", "x.png"}, "--screenshot"},
      {{"--screenshot", "0:x.png"}, "--screenshot"},
      {{"--screenshot", "4:"}, "--screenshot"},
      {{"--input", "/nonexistent/script"}, "--input"},
      {{"--fast"}, "--fast"},
      {{"--bench=1"}, "--bench"},
      {{"--data-dir"}, "--data-dir"},
      {{"--data-dir", "/nonexistent"}, "--data-dir"},
      {{"--screenshot", "--frames", "3"}, "--screenshot"},
      {{"--audio-out"}, "--audio-out"},
      {{"--audio-out", ""}, "--audio-out"},
  };
  for (const auto& [args, flag] : cases) {
    const FlagsResult r = parse(args);
    EXPECT_FALSE(r.ok) << flag;
    EXPECT_NE(r.message.find(flag), std::string::npos) << r.message;
  }
}

TEST(DevFlags, HelpListsEveryFlagAndVersionNamesTheCommit) {
  const FlagsResult help = parse({"--frames", "3", "--help"});
  ASSERT_TRUE(help.ok);
  for (const char* flag :
       {"--help", "--version", "--frames N", "--fixed-dt S", "--input FILE", "--screenshot N:FILE", "--bench",
        "--bench-floor", "--full-shadow", "--log-state", "--autopilot", "--data-dir DIR", "settings.txt"}) {
    EXPECT_NE(help.exitText.find(flag), std::string::npos) << flag << " in\n" << help.exitText;
  }
  const FlagsResult version = parse({"--version"});
  ASSERT_TRUE(version.ok);
  EXPECT_EQ(version.exitText.rfind("ruvelo 1.", 0), 0u) << version.exitText;
  EXPECT_NE(version.exitText.find("(commit "), std::string::npos) << version.exitText;
  EXPECT_TRUE(parse({"--frames", "3"}).exitText.empty()) << "a normal run prints nothing here";
}

TEST(DevFlags, InputMustBeARegularFileOfASaneSize) {
  const std::string dir = test::makeTempDir("ruvelo-flags");
  const std::string big = dir + "/big.txt";
  {
    // Valid lines all the way: only the size is wrong with it.
    std::ofstream out(big);
    const std::string line = "1 W press\n";
    for (size_t written = 0; written <= 4u * 1024 * 1024; written += line.size()) out << line;
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir, "a directory"},
      {"/dev/zero", "not a regular file"},  // endless: must not be read at all
      {"/dev/null", "not a regular file"},
      {big, "larger than 4194304 bytes"},
  };
  for (const auto& [path, why] : cases) {
    const FlagsResult r = parse({"--input", path.c_str()});
    EXPECT_FALSE(r.ok) << path;
    EXPECT_EQ(r.message, "--input: cannot read \"" + path + "\": " + why);
  }
  const std::string small = dir + "/small.txt";
  std::ofstream(small) << "2 W press\n";
  const FlagsResult ok = parse({"--input", small.c_str()});
  ASSERT_TRUE(ok.ok) << ok.message;
  EXPECT_EQ(ok.flags.input.size(), 1u);
}

TEST(DevFlags, ScreenshotAfterTheLastFrameIsRefused) {
  const FlagsResult after = parse({"--screenshot", "6:a.png", "--frames", "5"});
  EXPECT_FALSE(after.ok);
  EXPECT_EQ(after.message, "--screenshot: frame 6 is after the last frame (--frames 5)");
  EXPECT_TRUE(parse({"--frames", "5", "--screenshot", "5:a.png"}).ok);
  EXPECT_TRUE(parse({"--screenshot", "500:a.png"}).ok) << "without --frames the run may still get there";
}

// Flags that would destroy each other's files, or that a replay would ignore, are refused by name;
// the same file is found through a link, a "..", or before it exists.
TEST(DevFlags, FlagsNamingTheSameFileOrIgnoredByAReplayAreRefused) {
  const std::string dir = test::makeTempDir("flags");
  const std::string script = dir + "/keys.txt", run = dir + "/run.rvr", sound = dir + "/sound.wav";
  std::ofstream(script) << "1 W press\n";
  std::ofstream(run) << "x";
  std::filesystem::create_directory(dir + "/sub");
  std::filesystem::create_symlink(run, dir + "/link.rvr");
  const std::string viaLink = dir + "/link.rvr", viaDots = dir + "/sub/../sound.wav", shot = "2:" + sound;
  const struct {
    std::vector<const char*> args;
    std::string refused;
  } cases[] = {
      {{"--audio-out", sound.c_str(), "--record", viaDots.c_str()},
       "--record " + viaDots + " and --audio-out " + sound +
           " name the same file (one would destroy the other)"},
      {{"--replay", viaLink.c_str(), "--audio-out", run.c_str()},
       "--audio-out " + run + " and --replay " + viaLink +
           " name the same file (one would destroy the other)"},
      {{"--input", script.c_str(), "--record", script.c_str()},
       "--record " + script + " and --input " + script + " name the same file (one would destroy the other)"},
      {{"--screenshot", shot.c_str(), "--audio-out", sound.c_str()},
       "--audio-out " + sound + " and --screenshot " + sound +
           " name the same file (one would destroy the other)"},
      {{"--replay", run.c_str(), "--record", sound.c_str()},
       "--replay: cannot be combined with --record (a replay records nothing)"},
      {{"--replay", run.c_str(), "--autopilot"},
       "--replay: cannot be combined with --autopilot (the recording says who drove)"},
      {{"--replay", run.c_str(), "--input", script.c_str()},
       "--replay: cannot be combined with --input (the recording is the input)"},
      {{"--replay", run.c_str(), "--bench-floor"},
       "--replay: cannot be combined with --bench-floor (its frames play nothing)"},
  };
  for (const auto& c : cases) {
    const FlagsResult r = parse(c.args);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(refusedFlags(r.flags), c.refused);
  }
  const FlagsResult apart =
      parse({"--record", run.c_str(), "--audio-out", sound.c_str(), "--input", script.c_str()});
  ASSERT_TRUE(apart.ok) << apart.message;
  EXPECT_EQ(refusedFlags(apart.flags), "");
}

TEST(InputScript, ParsesKeysCommentsAndSortsByFrame) {
  std::istringstream in(
      "# drive forwards\n"
      "5 W press\n"
      "2 F3 release   # toggle debug\n"
      "\n"
      "5 LEFT_SHIFT press\n"
      "9 SPACE release\n"
      "9 ESCAPE release\n");
  std::vector<ScriptedKey> keys;
  std::string error;
  ASSERT_TRUE(parseInputScript(in, keys, error)) << error;
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[0].frame, 2);
  EXPECT_EQ(keys[0].key, GLFW_KEY_F3);
  EXPECT_FALSE(keys[0].press);
  EXPECT_EQ(keys[1].key, GLFW_KEY_W);
  EXPECT_EQ(keys[2].key, GLFW_KEY_LEFT_SHIFT) << "file order is kept within a frame";
  EXPECT_EQ(keys[3].key, GLFW_KEY_SPACE);
  EXPECT_EQ(keys[4].key, GLFW_KEY_ESCAPE);
}

TEST(InputScript, RejectsMalformedLinesWithTheLineNumber) {
  for (const char* text : {"1 W\n", "x W press\n", "0 W press\n", "1 JUMP press\n", "1 W hold\n",
                           "1 W press now\n", "2 F26 press\n"}) {
    std::istringstream in(std::string("# header\n") + text);
    std::vector<ScriptedKey> keys;
    std::string error;
    EXPECT_FALSE(parseInputScript(in, keys, error)) << text;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
}

TEST(ScriptedInput, DeliversEachFrameOnceAndTracksHeldKeys) {
  ScriptedInput input({{2, GLFW_KEY_W, true}, {2, GLFW_KEY_A, true}, {4, GLFW_KEY_W, false}});
  std::vector<std::pair<int, int>> seen;
  auto record = [&](int key, int action) { seen.emplace_back(key, action); };
  input.deliver(1, record);
  EXPECT_TRUE(seen.empty());
  EXPECT_FALSE(input.isHeld(GLFW_KEY_W));
  input.deliver(2, record);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(GLFW_KEY_W, GLFW_PRESS));
  EXPECT_TRUE(input.isHeld(GLFW_KEY_W));
  input.deliver(3, record);
  EXPECT_EQ(seen.size(), 2u) << "frame 2's events are not delivered twice";
  input.deliver(4, record);
  EXPECT_EQ(seen.back(), std::make_pair(GLFW_KEY_W, GLFW_RELEASE));
  EXPECT_FALSE(input.isHeld(GLFW_KEY_W));
  EXPECT_TRUE(input.isHeld(GLFW_KEY_A));
}

TEST(FrameStats, NearestRankStatistics) {
  std::vector<double> samples;
  for (int i = 100; i >= 1; --i) samples.push_back(i);
  const FrameStats s = computeFrameStats(samples);
  EXPECT_EQ(s.count, 100u);
  EXPECT_EQ(s.min, 1);
  EXPECT_EQ(s.median, 50);
  EXPECT_EQ(s.p95, 95);
  EXPECT_EQ(s.max, 100);
  EXPECT_EQ(computeFrameStats({}).count, 0u);
  EXPECT_EQ(computeFrameStats({7.0}).p95, 7.0);
}

}  // namespace
}  // namespace ruvelo
