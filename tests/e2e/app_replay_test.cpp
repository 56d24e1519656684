// Recorded runs in the built game: a real-time run replays to the same state lines, a replay that
// leaves its run stops at the next state hash, a file that cannot be replayed is refused with its
// reason, and the best won run is kept with its recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/hud_layout.h"
#include "game/best_result.h"
#include "replay/recording.h"
#include "support/game_runner.h"
#include "support/image.h"
#include "support/temp_dir.h"

namespace ruvelo::test {
namespace {

const std::string kTinyWindow = "width=160\nheight=90\nrefresh_rate=60\nfullscreen=false\n";

void spit(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

Recording decoded(const std::string& path) {
  Recording r;
  std::string why;
  EXPECT_TRUE(decodeRecording(readWholeFile(path), r, why)) << path << ": " << why;
  return r;
}

// Without --fixed-dt every frame takes the time it took; the replay takes the same steps and the
// same keys (function keys included, and the autopilot's) and prints the same lines.
TEST(Replay, RealTimeRunsReplayToTheSameStateLines) {
  const struct {
    const char* name;
    std::vector<std::string> args;
  } runs[] = {
      {"keys", {"--input", "keys.txt"}}, {"gamepad", {"--input", "pad.txt"}}, {"autopilot", {"--autopilot"}}};
  for (const auto& c : runs) {
    SCOPED_TRACE(c.name);
    GameFolder folder(kTinyWindow);
    folder.writeFile("bin/keys.txt",
                     "1 W press\n20 D press\n45 D release\n50 R release\n55 F7 release\n"
                     "70 S press\n75 W release\n100 F3 release\n110 F3 release\n");
    folder.writeFile("bin/pad.txt",
                     "1 GAMEPAD_AXIS RIGHT_TRIGGER 0.4\n20 GAMEPAD_AXIS LEFT_X -0.6\n"
                     "40 GAMEPAD_BUTTON RIGHT_BUMPER press\n45 GAMEPAD_BUTTON RIGHT_BUMPER release\n"
                     "60 GAMEPAD_AXIS LEFT_X 0.3\n80 GAMEPAD_AXIS RIGHT_TRIGGER -1\n");
    std::vector<std::string> args = {"--frames", "130", "--log-state", "--record", "run.rvr"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const GameRun run = folder.run(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const Recording recording = decoded(folder.path("bin/run.rvr"));
    ASSERT_EQ(recording.frames.size(), 130u);
    std::set<float> steps;
    for (const RecordedFrame& f : recording.frames) steps.insert(f.dt);
    EXPECT_GT(steps.size(), 10u) << "the frames should have taken their own times";
    EXPECT_EQ(readWholeFile(folder.stateDir() + "/last-run.rvr"), readWholeFile(folder.path("bin/run.rvr")));

    const GameRun replay = folder.run({"--replay", "run.rvr", "--log-state"});
    ASSERT_EQ(replay.status, 0) << replay.err;
    const auto original = stateText(run.out);
    ASSERT_EQ(original.size(), 130u);
    EXPECT_EQ(stateText(replay.out), original);
    // A replay is not a run of its own: the last run stays the recorded one.
    EXPECT_EQ(readWholeFile(folder.stateDir() + "/last-run.rvr"), readWholeFile(folder.path("bin/run.rvr")));
  }
}

TEST(Replay, StopsWhereTheRunLeavesItsRecordingAndRefusesOtherFiles) {
  GameFolder folder(kTinyWindow);
  folder.writeFile("bin/keys.txt", "1 W press\n");
  const GameRun run = folder.run(
      {"--frames", "130", "--fixed-dt", "0.05", "--input", "keys.txt", "--log-state", "--record", "run.rvr"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string bytes = readWholeFile(folder.path("bin/run.rvr"));

  // Accelerate let go for one frame: one byte of frame 40 changed; the hash of frame 60 catches it.
  Recording changed = decoded(folder.path("bin/run.rvr"));
  ASSERT_TRUE(changed.frames[39].drive & kDriveForward);
  changed.frames[39].drive &= static_cast<std::uint8_t>(~kDriveForward);
  const std::string changedBytes = encodeRecording(changed);
  ASSERT_EQ(changedBytes.size(), bytes.size());
  int differing = 0;
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) differing += bytes[i] != changedBytes[i];
  ASSERT_EQ(differing, 1) << "one byte, and the checksum after it";
  spit(folder.path("bin/changed.rvr"), changedBytes);
  const GameRun diverged = folder.run({"--replay", "changed.rvr", "--log-state"});
  EXPECT_EQ(diverged.status, 3);
  EXPECT_EQ(
      diverged.err,
      "ruvelo: --replay changed.rvr: the game left the recorded run at frame 60 (state hash differs)\n");
  const auto lines = stateText(diverged.out);
  ASSERT_EQ(lines.size(), 60u);
  const auto original = stateText(run.out);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 40),
            std::vector<std::string>(original.begin(), original.begin() + 40));
  EXPECT_NE(lines[59], original[59]);

  Recording otherData = decoded(folder.path("bin/run.rvr"));
  otherData.header.dataHash ^= 1;
  std::string version = bytes;
  version[8] = 1;
  const struct {
    const char* file;
    std::string bytes;
    const char* why;
  } refused[] = {
      {"truncated.rvr", bytes.substr(0, bytes.size() / 2), "truncated at frame "},
      {"version.rvr", version, "recording format version 1, this game reads versions 2 to 3"},
      {"text.rvr", "1 W press\n", "not a recording"},
      {"data.rvr", encodeRecording(otherData), "recorded with other game data"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.file);
    spit(folder.path(std::string("bin/") + r.file), r.bytes);
    const GameRun replay = folder.run({"--replay", r.file, "--log-state"});
    EXPECT_EQ(replay.status, 2);
    EXPECT_EQ(replay.err.rfind(std::string("ruvelo: --replay ") + r.file + ": " + r.why, 0), 0u)
        << replay.err;
    EXPECT_EQ(std::count(replay.err.begin(), replay.err.end(), '\n'), 1) << replay.err;
    EXPECT_EQ(replay.out, "");
  }
}

// A run shorter than the state hash interval: a changed byte anywhere (a driving bit, the stored
// last state hash) is refused as damaged before the window opens; the same change written with a
// fresh checksum replays, and the state hash after the last frame catches it.
TEST(Replay, EveryChangedByteOfAShortRunIsRefused) {
  GameFolder folder(kTinyWindow);
  folder.writeFile("bin/keys.txt", "1 W press\n30 D press\n");
  const GameRun run = folder.run(
      {"--frames", "50", "--fixed-dt", "0.05", "--input", "keys.txt", "--log-state", "--record", "run.rvr"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string bytes = readWholeFile(folder.path("bin/run.rvr"));
  Recording changed = decoded(folder.path("bin/run.rvr"));
  ASSERT_EQ(changed.frames.size(), 50u);
  for (RecordedFrame& f : changed.frames) f.drive = 0;
  const std::string rewritten = encodeRecording(changed);
  ASSERT_EQ(rewritten.size(), bytes.size());
  std::string flippedDrive = bytes, flippedHash = bytes;
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i)
    if (rewritten[i] != bytes[i]) flippedDrive[i] = rewritten[i];
  ASSERT_NE(flippedDrive, bytes);
  flippedHash[bytes.size() - 9] ^= 0x10;  // inside the last state hash
  for (const auto& [file, contents] :
       {std::pair{"drive.rvr", flippedDrive}, std::pair{"hash.rvr", flippedHash}}) {
    SCOPED_TRACE(file);
    spit(folder.path(std::string("bin/") + file), contents);
    const GameRun replay = folder.run({"--replay", file, "--log-state"});
    EXPECT_EQ(replay.status, 2);
    EXPECT_EQ(replay.err, std::string("ruvelo: --replay ") + file + ": damaged (checksum differs)\n");
    EXPECT_EQ(replay.out, "");
  }
  spit(folder.path("bin/rewritten.rvr"), rewritten);
  const GameRun replay = folder.run({"--replay", "rewritten.rvr", "--log-state"});
  EXPECT_EQ(replay.status, 3);
  EXPECT_EQ(
      replay.err,
      "ruvelo: --replay rewritten.rvr: the game left the recorded run at frame 50 (state hash differs)\n");
}

// The ghost of a run that drove straight ahead, seen from a vehicle standing at the start: with
// ghost=false, or after G, the picture is the same except in one small patch where the ghost
// stands and its dot on the minimap; the game itself runs the same either way (it is not counted
// among the objects drawn).
TEST(Ghost, ShowsOnlyWhereTheBestRunsVehicleIs) {
  const std::string settings = "width=320\nheight=240\nrefresh_rate=60\nfullscreen=false\n";
  GameFolder folder(settings);
  folder.writeFile("bin/ahead.txt", "1 W press\n");
  ASSERT_EQ(
      folder.run({"--frames", "60", "--fixed-dt", "0.1", "--input", "ahead.txt", "--record", "ahead.rvr"})
          .status,
      0);
  std::filesystem::create_directories(folder.dataDir());
  std::filesystem::copy_file(folder.path("bin/ahead.rvr"), folder.dataDir() + "/best.rvr");

  const std::vector<std::string> stand = {"--frames", "40",          "--fixed-dt",
                                          "0.1",      "--log-state", "--screenshot"};
  auto args = [&](const std::string& shot) {
    auto a = stand;
    a.push_back("40:" + shot);
    return a;
  };
  const GameRun shown = folder.run(args("shown.png"));
  ASSERT_EQ(shown.status, 0) << shown.err;
  folder.writeFile("bin/g.txt", "2 G release\n");
  auto withG = args("g.png");
  withG.insert(withG.end(), {"--input", "g.txt"});
  const GameRun hiddenByKey = folder.run(withG);
  ASSERT_EQ(hiddenByKey.status, 0) << hiddenByKey.err;
  EXPECT_EQ(countLines(hiddenByKey.out, "Ghost: 0"), 1);
  folder.writeSettings(settings + "ghost=false\n");
  const GameRun hidden = folder.run(args("hidden.png"));
  ASSERT_EQ(hidden.status, 0) << hidden.err;

  EXPECT_EQ(stateText(shown.out), stateText(hidden.out));
  const Image a = loadPng(folder.path("bin/shown.png"));
  const Image b = loadPng(folder.path("bin/hidden.png"));
  const Image g = loadPng(folder.path("bin/g.png"));
  ASSERT_FALSE(a.empty() || b.empty() || g.empty());
  EXPECT_EQ(countDifferent(b, g, 0, 0, b.width, b.height, 0), 0) << "G hides the ghost as the setting does";
  GlyphTable glyphs;
  std::vector<GlyphBitmap> bitmaps;
  ASSERT_TRUE(rasteriseFont(std::string(RUVELO_ASSET_DIR) + "/fonts/Itim-Regular.ttf", glyphs, bitmaps));
  const DriveLayout hud = driveLayout(a.width, a.height, hudScale(glyphs, a.width, a.height));
  // The minimap in image pixels (rows top-down).
  const int mapX0 = static_cast<int>(hud.mapMin.x), mapX1 = static_cast<int>(hud.mapMax.x) + 1;
  const int mapY0 = a.height - static_cast<int>(hud.mapMax.y) - 1,
            mapY1 = a.height - static_cast<int>(hud.mapMin.y);
  EXPECT_GT(countDifferent(a, b, mapX0, mapY0, mapX1, mapY1, 8), 0) << "the ghost's dot on the map";
  int x0 = a.width, y0 = a.height, x1 = -1, y1 = -1, differing = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if ((x < mapX0 || x >= mapX1 || y < mapY0 || y >= mapY1) &&
          countDifferent(a, b, x, y, x + 1, y + 1, 8) > 0) {
        ++differing;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
      }
  ASSERT_GT(differing, 30) << "the ghost should be in sight, ahead on the road";
  EXPECT_LT(x1 - x0, a.width / 4) << x0 << ".." << x1;
  EXPECT_LT(y1 - y0, a.height / 4) << y0 << ".." << y1;
}

struct Win {
  double timeLeft = 0.0;  // from the state line of the winning frame
  long frame = 0;
  // From "New best: T s left[, D s better]" (then the best is T) or "Time left T s · Best: B s".
  double shownTime = -1.0, shownBest = -1.0, shownBetter = -1.0;
  bool newBest = false;
};

Win wonRun(const GameRun& run) {
  Win win;
  const auto lines = stateLines(run.out);
  for (std::size_t i = 0; i < lines.size() && win.frame == 0; ++i) {
    if (field(lines[i], "phase") != "Won") continue;
    win.frame = static_cast<long>(i) + 1;
    win.timeLeft = std::stod(field(lines[i], "time"));
  }
  std::istringstream in(run.out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Time left ", 0) == 0)
      std::sscanf(line.c_str(), "Time left %lf s \u00B7 Best: %lf s", &win.shownTime, &win.shownBest);
    if (line.rfind("New best: ", 0) == 0) {
      win.newBest = std::sscanf(line.c_str(), "New best: %lf s left, %lf s better", &win.shownTime,
                                &win.shownBetter) >= 1;
      win.shownBest = win.shownTime;
    }
  }
  return win;
}

// Two autopilot wins from an empty data folder, one a second slower (the free camera holds it up at
// the start): the first win is kept, the better replaces it, the worse again does not; best.rvr is
// always the kept run, up to its winning frame, and replays to that win.
TEST(BestResult, TheBetterWinIsKeptWithItsRecording) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  GameFolder folder(kTinyWindow);
  folder.writeFile("bin/camera.txt", "3 F3 release\n23 F3 release\n");
  const std::vector<std::string> drive = {"--frames", "1300",        "--fixed-dt",
                                          "0.1",      "--autopilot", "--log-state"};
  auto slower = drive;
  slower.insert(slower.end(), {"--input", "camera.txt", "--screenshot", "1300:result.png"});
  const std::string bestFile = folder.dataDir() + "/best.txt";
  const std::string bestRun = folder.dataDir() + "/best.rvr";

  const GameRun first = folder.run(slower, 900);
  ASSERT_EQ(first.status, 0) << first.err;
  const Win worse = wonRun(first);
  ASSERT_GT(worse.frame, 0) << "the autopilot should win";
  EXPECT_NEAR(worse.shownTime, worse.timeLeft, 0.011);
  EXPECT_TRUE(worse.newBest) << "a first win is a new best";
  EXPECT_EQ(worse.shownBetter, -1.0) << "with nothing to beat";
  RunResult kept;
  std::string why;
  ASSERT_TRUE(parseBestFile(readWholeFile(bestFile), kept, why)) << why;
  EXPECT_NEAR(kept.timeLeft, worse.timeLeft, 0.006);
  EXPECT_EQ(decoded(bestRun).frames.size(), static_cast<std::size_t>(worse.frame));
  // The result screen: the yellow line and the white one under it.
  const Image shot = loadPng(folder.path("bin/result.png"));
  ASSERT_FALSE(shot.empty());
  const int white = countPixels(shot, 0, shot.height * 55 / 100, shot.width, shot.height * 65 / 100,
                                [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; });
  EXPECT_GT(white, 20) << "the time left and the best under the result";

  const GameRun second = folder.run(drive, 900);
  ASSERT_EQ(second.status, 0) << second.err;
  const Win better = wonRun(second);
  ASSERT_GT(better.timeLeft, worse.timeLeft) << "the drive without the free camera should be faster";
  EXPECT_TRUE(better.newBest);
  EXPECT_NEAR(better.shownBetter, better.shownTime - worse.shownTime, 1e-6);
  ASSERT_TRUE(parseBestFile(readWholeFile(bestFile), kept, why)) << why;
  EXPECT_NEAR(kept.timeLeft, better.timeLeft, 0.006);
  const std::string betterRecording = readWholeFile(bestRun);

  const GameRun third = folder.run(slower, 900);
  ASSERT_EQ(third.status, 0) << third.err;
  const Win again = wonRun(third);
  EXPECT_EQ(again.timeLeft, worse.timeLeft);
  EXPECT_FALSE(again.newBest);
  EXPECT_EQ(again.shownBest, better.shownTime);
  ASSERT_TRUE(parseBestFile(readWholeFile(bestFile), kept, why)) << why;
  EXPECT_NEAR(kept.timeLeft, better.timeLeft, 0.006);
  EXPECT_EQ(readWholeFile(bestRun), betterRecording);

  const GameRun replay = folder.run({"--replay", bestRun, "--log-state"}, 900);
  ASSERT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(stateText(replay.out), [&] {
    auto lines = stateText(second.out);
    lines.resize(static_cast<std::size_t>(better.frame));
    return lines;
  }());
}

}  // namespace
}  // namespace ruvelo::test
