// Runs inside one process: a pause holds the whole game and replays exactly; a retry starts a run
// that plays as a fresh process would, after keeping the finished run; a won run is the ghost of
// the next.
#include <gtest/gtest.h>

#include <sstream>

#include "support/game_runner.h"
#include "support/image.h"
#include "support/temp_dir.h"

namespace ruvelo::test {
namespace {

const std::string kTinyWindow = "width=160\nheight=90\nrefresh_rate=60\nfullscreen=false\n";

// The mean of the red, green and blue values over the image's lower half (the road and the vehicle,
// clear of the pause screen's text).
double lowerMean(const Image& image) {
  double sum = 0.0;
  for (int y = image.height / 2 + 10; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) sum += image.at(x, y)[0] + image.at(x, y)[1] + image.at(x, y)[2];
  return sum / (3.0 * image.width * (image.height - image.height / 2 - 10));
}

// A state line without its frame number, to compare frames of different runs.
std::string withoutFrame(const std::string& line) {
  return line.substr(line.find(' ', 6));
}

// P at frame 40 and again at 100: the frames between hold time, power and the vehicle; then the run
// goes on. Recorded and replayed, the pause is in the recording and the lines are the same.
TEST(Session, PauseHoldsTheGameAndReplaysExactly) {
  GameFolder folder(kTinyWindow);
  folder.writeFile("bin/pause.txt", "1 W press\n40 P release\n70 F7 release\n100 P release\n");
  const GameRun run =
      folder.run({"--frames", "130", "--fixed-dt", "0.05", "--input", "pause.txt", "--log-state", "--record",
                  "p.rvr", "--audio-out", "p.wav", "--screenshot", "39:play.png", "--screenshot",
                  "60:paused.png", "--screenshot", "110:resumed.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.soundOff, "") << "the loopback needs no device";
  // The sound is rendered in game time: the 60 paused frames add none (16-bit stereo at 48 kHz
  // after a 44-byte header).
  const double heard = static_cast<double>(readWholeFile(folder.path("bin/p.wav")).size() - 44) / (4 * 48000);
  EXPECT_NEAR(heard, 70 * 0.05, 0.01);
  EXPECT_EQ(countLines(run.out, "Paused: 1"), 1);
  EXPECT_EQ(countLines(run.out, "Paused: 0"), 1);
  EXPECT_EQ(countLines(run.out, "Snow: 0"), 1) << "the function keys answer while paused";
  const auto lines = stateLines(run.out);
  ASSERT_EQ(lines.size(), 130u);
  for (size_t i = 40; i < 100; ++i) {
    SCOPED_TRACE(i + 1);
    for (const char* key : {"time", "power", "pos", "speed", "phase"})
      EXPECT_EQ(field(lines[i], key), field(lines[39], key)) << key;
  }
  EXPECT_NE(field(lines[100], "time"), field(lines[99], "time"));
  EXPECT_NE(field(lines[100], "pos"), field(lines[99], "pos"));
  // The paused frames add no play time: 130 frames of 0.05 s, 60 of them paused.
  EXPECT_EQ(field(lines[129], "time"), "149.50");

  // The paused scene is still drawn, dimmed; resumed, it is as bright as before.
  const Image play = loadPng(folder.path("bin/play.png"));
  const Image paused = loadPng(folder.path("bin/paused.png"));
  const Image resumed = loadPng(folder.path("bin/resumed.png"));
  ASSERT_FALSE(play.empty() || paused.empty() || resumed.empty());
  EXPECT_GT(lowerMean(paused), 0.3 * lowerMean(play));
  EXPECT_LT(lowerMean(paused), 0.6 * lowerMean(play));
  EXPECT_GT(lowerMean(resumed), 0.8 * lowerMean(play));

  const GameRun replay = folder.run({"--replay", "p.rvr", "--log-state"});
  ASSERT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(stateText(replay.out), stateText(run.out));
  EXPECT_EQ(countLines(replay.out, "Paused: 1"), 1);
}

// Standing still until the time runs out at quarter-second frames, then Enter. The finished run is
// kept as last-run.rvr (and replays); the next plays from the start values exactly as a new process
// does with the same keys.
TEST(Session, RetryAfterALossStartsTheRunAgainAsANewProcessWould) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  GameFolder folder(kTinyWindow);
  const long lostBy = 615;  // 153 s / 0.25 s = 612 frames, and a few on the result screen
  const std::string enter = std::to_string(lostBy) + " ENTER release\n";
  folder.writeFile("bin/lose.txt", enter);
  const GameRun lost = folder.run(
      {"--frames", std::to_string(lostBy), "--fixed-dt", "0.25", "--input", "lose.txt", "--log-state"}, 600);
  ASSERT_EQ(lost.status, 0) << lost.err;
  EXPECT_EQ(countLines(lost.out, "Retry: run 2"), 1);
  const auto lostLines = stateText(lost.out);
  ASSERT_EQ(lostLines.size(), static_cast<size_t>(lostBy));
  EXPECT_NE(lostLines.back().find("phase=Lost time=0.00"), std::string::npos) << lostLines.back();
  EXPECT_EQ(countLines(lost.out, "Out of time"), 1);
  // Retried on the last frame: the new run played no frame, so last-run.rvr is the lost run.
  const GameRun replay = folder.run({"--replay", folder.stateDir() + "/last-run.rvr", "--log-state"}, 600);
  ASSERT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(stateText(replay.out), lostLines);

  // The same, going on after the retry with keys, against a fresh process given the same keys.
  const long after = 40;
  folder.writeFile("bin/retry.txt", enter + std::to_string(lostBy + 3) + " W press\n" +
                                        std::to_string(lostBy + 20) + " D press\n");
  const GameRun retried = folder.run({"--frames", std::to_string(lostBy + after), "--fixed-dt", "0.25",
                                      "--input", "retry.txt", "--log-state"},
                                     600);
  ASSERT_EQ(retried.status, 0) << retried.err;
  folder.writeFile("bin/fresh.txt", "3 W press\n20 D press\n");
  const GameRun fresh = folder.run(
      {"--frames", std::to_string(after), "--fixed-dt", "0.25", "--input", "fresh.txt", "--log-state"});
  ASSERT_EQ(fresh.status, 0) << fresh.err;
  const auto retriedLines = stateText(retried.out);
  const auto freshLines = stateText(fresh.out);
  ASSERT_EQ(retriedLines.size(), static_cast<size_t>(lostBy + after));
  ASSERT_EQ(freshLines.size(), static_cast<size_t>(after));
  const auto first = stateLines(retried.out)[static_cast<size_t>(lostBy)];
  EXPECT_EQ(field(first, "phase"), "Playing");
  EXPECT_EQ(field(first, "time"), "152.75");
  EXPECT_EQ(field(first, "power"), "100.00");
  EXPECT_EQ(field(first, "pos"), "-0.000,3.300,-450.000");
  for (long i = 0; i < after; ++i)
    EXPECT_EQ(withoutFrame(retriedLines[static_cast<size_t>(lostBy + i)]), withoutFrame(freshLines[i]))
        << "frame " << i + 1 << " of the new run";

  // The new run is the one kept in last-run.rvr, and it replays to its last frame's state.
  const GameRun again = folder.run({"--replay", folder.stateDir() + "/last-run.rvr", "--log-state"}, 600);
  ASSERT_EQ(again.status, 0) << again.err;
  const auto againLines = stateText(again.out);
  ASSERT_EQ(againLines.size(), static_cast<size_t>(after));
  for (long i = 0; i < after; ++i)
    EXPECT_EQ(withoutFrame(againLines[static_cast<size_t>(i)]),
              withoutFrame(retriedLines[static_cast<size_t>(lostBy + i)]))
        << "frame " << i + 1 << " of the replayed new run";
}

// The autopilot wins, Enter, and wins again in the same process: the second run races the first
// one's ghost (its recording, as long as the first run played) and plays the same.
TEST(Session, AWonRunIsTheGhostOfTheNextRun) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  GameFolder folder(kTinyWindow);
  const GameRun first =
      folder.run({"--frames", "1200", "--fixed-dt", "0.1", "--autopilot", "--log-state"}, 900);
  ASSERT_EQ(first.status, 0) << first.err;
  const auto firstLines = stateLines(first.out);
  long won = 0;
  while (won < 1200 && field(firstLines[static_cast<size_t>(won)], "phase") == "Playing") ++won;
  ASSERT_EQ(field(firstLines[static_cast<size_t>(won)], "phase"), "Won");
  const std::string timeLeft = field(firstLines[static_cast<size_t>(won)], "time");

  // A new folder: no best run before the first win of this process.
  GameFolder twice(kTinyWindow);
  twice.writeFile("bin/enter.txt", std::to_string(won + 3) + " ENTER release\n");
  const long frames = 2 * (won + 3);
  const GameRun run = twice.run({"--frames", std::to_string(frames), "--fixed-dt", "0.1", "--autopilot",
                                 "--input", "enter.txt", "--log-state"},
                                900);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(countLines(run.out, "Retry: run 2"), 1);
  char ghost[64];
  std::snprintf(ghost, sizeof ghost, "Ghost: best run of %.2f s", (won + 1) * 0.1);
  EXPECT_EQ(countLines(run.out, ghost), 1) << run.out.substr(0, 2000);
  EXPECT_EQ(countLines(run.out, "New best: " + timeLeft + " s left"), 1);
  EXPECT_EQ(countLines(run.out, "Time left " + timeLeft + " s \u00B7 Best: " + timeLeft + " s"), 1);
  const auto lines = stateText(run.out);
  ASSERT_EQ(lines.size(), static_cast<size_t>(frames));
  const size_t second = static_cast<size_t>(won + 3);
  EXPECT_EQ(withoutFrame(lines[second + static_cast<size_t>(won)]),
            withoutFrame(lines[static_cast<size_t>(won)]))
      << "the second run wins on the same frame with the same state";
  EXPECT_EQ(readWholeFile(twice.dataDir() + "/best.txt").empty(), false);
}

}  // namespace
}  // namespace ruvelo::test
