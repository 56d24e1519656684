// Developer flags: what tests and bug reports rely on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "devtools/dev_flags.h"
#include "devtools/flag_checks.h"
#include "devtools/frame_stats.h"
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
  const FlagsResult r =
      parse({"--frames", "12", "--fixed-dt", "0.02", "--screenshot", "3:a.png", "--screenshot",
             "12:out/b c.png", "--bench", "--log-state", "--autopilot", "--full-shadow", "--data-dir",
             RUVELO_ASSET_DIR, "--audio-out", "drive.wav", "--audio-stems", "--slow-frame", "250"});
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.flags.audioOut, "drive.wav");
  EXPECT_TRUE(r.flags.audioStems);
  EXPECT_EQ(r.flags.slowFrameMs, 250);
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
      {{"--audio-stems"}, "--audio-stems"},
      {{"--slow-frame", "0"}, "--slow-frame"},
      {{"--slow-frame", "251"}, "--slow-frame"},
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
  EXPECT_EQ(ok.flags.input, "2 W press\n");

  // The script's reader is handed in; what it refuses names the flag and the file.
  std::vector<std::string> checked;
  const char* args[] = {"ruvelo", "--input", small.c_str()};
  const FlagsResult refused = parseDevFlags(3, args, [&](const std::string& text) {
    checked.push_back(text);
    return std::string("line 1: unknown key");
  });
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.message, "--input: " + small + ": line 1: unknown key");
  EXPECT_EQ(checked, std::vector<std::string>{"2 W press\n"});
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

// Outputs in a folder that is not there yet: the spellings of one path are one file before the
// folder exists (a link to an existing folder included), and different paths stay apart.
TEST(DevFlags, PathsAreComparedAsTheyWillBeBeforeTheirFolderExists) {
  const std::string dir = test::makeTempDir("flags");
  std::filesystem::create_directory(dir + "/sub");
  std::filesystem::create_directory_symlink(dir + "/sub", dir + "/link");
  const std::string here = std::filesystem::current_path();
  ASSERT_EQ(::chdir(dir.c_str()), 0);
  const std::pair<std::string, std::string> same[] = {
      {"nd/x", "nd//x"},       {"nd/x", "nd/../nd/x"},    {"nd/x", dir + "/nd/x"}, {"nd/x", "./nd/./x"},
      {"nd/x", "sub/../nd/x"}, {"link/nd/x", "sub/nd/x"}, {"nd/a/../x", "nd/x"}};
  for (const auto& [a, b] : same) EXPECT_TRUE(sameFile(a, b)) << a << " and " << b;
  const std::pair<std::string, std::string> apart[] = {
      {"nd/x", "nd/y"}, {"nd/x", "nd/nd/x"}, {"nd/x", "sub/x"}, {"nd/x", "x"}};
  for (const auto& [a, b] : apart) EXPECT_FALSE(sameFile(a, b)) << a << " and " << b;
  const FlagsResult r = parse({"--screenshot", "1:nd/x", "--audio-out", "nd//x"});
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(refusedFlags(r.flags),
            "--audio-out nd//x and --screenshot nd/x name the same file (one would destroy the other)");
  EXPECT_FALSE(std::filesystem::exists(dir + "/nd"));
  ASSERT_EQ(::chdir(here.c_str()), 0);

  // A frame number is written plainly.
  for (const char* odd : {" 1:x.png", "+1:x.png", "01x:x.png"})
    EXPECT_FALSE(parse({"--screenshot", odd}).ok) << odd;
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
