// The best result: which run is better, the best file's text, and the files kept beside it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "game/best_result.h"
#include "platform/stop_signals.h"
#include "support/temp_dir.h"

namespace ruvelo {
namespace {

TEST(BestResult, MoreTimeWinsThenMorePower) {
  EXPECT_TRUE(betterResult({50.0, 10.0f, {}}, {49.99, 90.0f, {}}));
  EXPECT_TRUE(betterResult({50.0, 11.0f, {}}, {50.0, 10.0f, {}}));
  EXPECT_FALSE(betterResult({50.0, 10.0f, {}}, {50.0, 10.0f, {}}));
  RunResult back;
  std::string why;
  ASSERT_TRUE(parseBestFile(formatBestFile({48.123456789, 66.8011169f, {}}), back, why)) << why;
  EXPECT_NEAR(back.timeLeft, 48.123456789, 1e-9);
  EXPECT_EQ(back.powerLeft, 66.8011169f);
  for (const char* bad : {"", "time_left=1\n", "time_left=1\npower_left=x\n", "time_left=nan\npower_left=1\n",
                          "time_left=1\ntime_left=2\npower_left=1\n", "speed=1\ntime_left=1\npower_left=1\n"})
    EXPECT_FALSE(parseBestFile(bad, back, why)) << bad;
  EXPECT_EQ(resultDetail(48.5, RunResult{50.0625, 1.0f, {}}, "", false),
            "Time left 48.50 s \u00B7 Best: 50.06 s");
  EXPECT_EQ(resultDetail(50.159, RunResult{48.925, 1.0f, {}}, "", true),
            "New best: 50.15 s left, 1.23 s better");
  EXPECT_EQ(resultDetail(50.159, std::nullopt, "", true), "New best: 50.15 s left");
}

// The best run's clock at each delivery travels with it through best.txt; a file without the times
// (as older games wrote) still reads, and a damaged list makes the file unreadable as any bad line.
TEST(BestResult, DeliveryTimesTravelWithTheBestAndAreOptional) {
  RunResult back;
  std::string why;
  ASSERT_TRUE(parseBestFile(formatBestFile({48.5, 60.0f, {31.25, 77.5, 104.125}}), back, why)) << why;
  EXPECT_EQ(back.deliveryTimes, (std::vector<double>{31.25, 77.5, 104.125}));
  ASSERT_TRUE(parseBestFile("time_left=48.5\npower_left=60\n", back, why)) << why;
  EXPECT_TRUE(back.deliveryTimes.empty());
  for (const char* bad : {"delivery_times=\n", "delivery_times=1,,2\n", "delivery_times=1,inf\n",
                          "delivery_times=1,2,3,4\n", "delivery_times=1\ndelivery_times=2\n"}) {
    EXPECT_FALSE(parseBestFile(std::string("time_left=1\npower_left=1\n") + bad, back, why)) << bad;
  }

  const std::string dir = test::makeTempDir("ruvelo-best-times") + "/ruvelo";
  std::ostringstream err;
  BestResult(dir).offer({40.0, 50.0f, {20.0, 60.5, 113.0}}, "run", err);
  BestResult best(dir);
  best.load(err);
  ASSERT_TRUE(best.best().has_value());
  EXPECT_EQ(best.best()->deliveryTimes, (std::vector<double>{20.0, 60.5, 113.0}));
  EXPECT_EQ(err.str(), "");
}

// The files: a better win replaces both, a worse one leaves them; a best file that cannot be read
// is reported by name and never overwritten, nor is its recording.
TEST(BestResult, KeepsTheBetterRunAndNeverOverwritesAnUnreadableFile) {
  const std::string dir = test::makeTempDir("ruvelo-best") + "/ruvelo";
  {
    BestResult best(dir);
    std::ostringstream err;
    best.load(err);
    EXPECT_EQ(best.offer({40.0, 50.0f, {}}, "first", err), "New best: 40.00 s left");
    EXPECT_EQ(best.offer({30.0, 90.0f, {}}, "worse", err), "Time left 30.00 s \u00B7 Best: 40.00 s");
    EXPECT_EQ(err.str(), "");
  }
  EXPECT_EQ(test::readWholeFile(dir + "/best.rvr"), "first");
  {
    BestResult best(dir);
    std::ostringstream err;
    best.load(err);
    EXPECT_EQ(best.offer({45.0, 1.0f, {}}, "better", err), "New best: 45.00 s left, 5.00 s better");
  }
  EXPECT_EQ(test::readWholeFile(dir + "/best.rvr"), "better");

  std::ofstream(dir + "/best.txt", std::ios::binary) << "time_left=fast\n";
  BestResult best(dir);
  std::ostringstream err;
  best.load(err);
  EXPECT_EQ(err.str(), "ruvelo: the best result " + dir +
                           "/best.txt cannot be read (bad line \"time_left=fast\"); it is left as it is\n");
  EXPECT_EQ(best.offer({99.0, 99.0f, {}}, "best ever", err), "Time left 99.00 s, best unreadable");
  EXPECT_EQ(test::readWholeFile(dir + "/best.txt"), "time_left=fast\n");
  EXPECT_EQ(test::readWholeFile(dir + "/best.rvr"), "better");
}

// Two games that started before either won: the better win stays whichever finishes last, because
// best.txt is read again just before it is replaced. A best.rvr lost beside a good best.txt is
// replaced by the next win's run; a best that cannot be written is said to be not saved.
TEST(BestResult, TheBetterOfTwoFinishingGamesStaysAndFailuresAreSaid) {
  const std::string dir = test::makeTempDir("ruvelo-best") + "/ruvelo";
  BestResult slower(dir), faster(dir);
  std::ostringstream err;
  slower.load(err);
  faster.load(err);
  EXPECT_EQ(faster.offer({45.0, 1.0f, {}}, "faster run", err), "New best: 45.00 s left");
  EXPECT_EQ(slower.offer({40.0, 50.0f, {}}, "slower run", err), "Time left 40.00 s \u00B7 Best: 45.00 s");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(test::readWholeFile(dir + "/best.rvr"), "faster run");
  RunResult kept;
  std::string why;
  ASSERT_TRUE(parseBestFile(test::readWholeFile(dir + "/best.txt"), kept, why)) << why;
  EXPECT_EQ(kept.timeLeft, 45.0);

  // best.rvr gone (the game found no ghost at start-up): a worse win puts its run there.
  std::remove((dir + "/best.rvr").c_str());
  BestResult again(dir);
  again.load(err);
  again.recordingLost();
  EXPECT_EQ(again.offer({30.0, 5.0f, {}}, "a ghost again", err), "Time left 30.00 s \u00B7 Best: 45.00 s");
  EXPECT_EQ(test::readWholeFile(dir + "/best.rvr"), "a ghost again");

  // best.txt cannot be replaced: neither file changes, and the line says why.
  ASSERT_EQ(::chmod((dir + "/best.txt").c_str(), 0444), 0);
  BestResult blocked(dir);
  blocked.load(err);
  EXPECT_EQ(blocked.offer({50.0, 5.0f, {}}, "unsaved run", err),
            "Time left 50.00 s, best not saved: best.txt is not writable");
  EXPECT_EQ(err.str(), "ruvelo: the best result could not be kept: " + dir + "/best.txt is not writable\n");
  EXPECT_EQ(test::readWholeFile(dir + "/best.rvr"), "a ghost again");
  ASSERT_TRUE(parseBestFile(test::readWholeFile(dir + "/best.txt"), kept, why)) << why;
  EXPECT_EQ(kept.timeLeft, 45.0);
}

TEST(BestResult, ValuesNoWinCanHaveMakeTheFileUnreadable) {
  RunResult out;
  std::string why;
  for (const char* bad :
       {"time_left=1e9\npower_left=50\n", "time_left=-3\npower_left=50\n", "time_left=20\npower_left=151\n",
        "time_left=20\npower_left=-6\n", "time_left=inf\npower_left=50\n"})
    EXPECT_FALSE(parseBestFile(bad, out, why)) << bad;
  ASSERT_FALSE(parseBestFile("time_left=1e9\npower_left=50\n", out, why));
  EXPECT_EQ(why, "time_left 1e9 is not a value a win can have");
  // A win in the frame the clock ran out, with every battery and little drained: still a win.
  EXPECT_TRUE(parseBestFile("time_left=-0.02\npower_left=150\n", out, why)) << why;
  EXPECT_TRUE(parseBestFile("time_left=153\npower_left=-1.5\n", out, why)) << why;

  const std::string dir = test::makeTempDir("ruvelo-best") + "/ruvelo";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/best.txt") << "time_left=1e9\npower_left=50\n";
  BestResult best(dir);
  std::ostringstream err;
  best.load(err);
  EXPECT_EQ(
      err.str(),
      "ruvelo: the best result " + dir +
          "/best.txt cannot be read (time_left 1e9 is not a value a win can have); it is left as it is\n");
  EXPECT_EQ(best.offer({99.0, 99.0f, {}}, "run", err), "Time left 99.00 s, best unreadable");
  EXPECT_EQ(test::readWholeFile(dir + "/best.txt"), "time_left=1e9\npower_left=50\n");
}

// The best's two files on a 64 KiB folder: with room for the new best.rvr but not for best.txt,
// neither changes (the pair is written whole before either is replaced) and nothing is left; with
// room, both change and best.txt names its recording, so a best.rvr from another run is told apart.
TEST(BestResult, ThePairChangesTogetherOnAFullDiskAndAMismatchIsFound) {
  const std::string dir = test::makeTempDir("ruvelo-best");
  if (::geteuid() != 0 || ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "needs root to mount a small folder";
  struct Unmount {
    std::string dir;
    ~Unmount() { ::umount(dir.c_str()); }
  } unmount{dir};
  const std::string oldBest = formatBestFile({10.0, 5.0f, {}});
  std::ofstream(dir + "/best.txt", std::ios::binary) << oldBest;
  // Fill the folder but for exactly the room a recording of `room` bytes takes.
  struct statvfs fs {};
  {
    std::ofstream filler(dir + "/filler", std::ios::binary);
    ASSERT_EQ(::statvfs(dir.c_str(), &fs), 0);
    filler << std::string((fs.f_bavail - 8) * fs.f_bsize, 'x');
  }
  ASSERT_EQ(::statvfs(dir.c_str(), &fs), 0);
  ASSERT_GT(fs.f_bavail, 0u);
  const std::string recording(fs.f_bavail * fs.f_bsize, 'r');
  {
    BestResult best(dir);
    std::ostringstream err;
    best.load(err);
    EXPECT_EQ(best.offer({50.0, 5.0f, {}}, recording, err),
              "Time left 50.00 s, best not saved: No space left on device");
    EXPECT_NE(err.str().find("No space left on device"), std::string::npos) << err.str();
  }
  EXPECT_EQ(test::readWholeFile(dir + "/best.txt"), oldBest);
  EXPECT_FALSE(std::filesystem::exists(dir + "/best.rvr")) << "the recording went in without its result";
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"best.lock", "best.txt", "filler"}));

  std::filesystem::remove(dir + "/filler");
  BestResult best(dir);
  std::ostringstream err;
  best.load(err);
  EXPECT_EQ(best.offer({50.0, 5.0f, {}}, "a run ending 01234567", err),
            "New best: 50.00 s left, 40.00 s better");
  RunResult kept;
  std::string why, checksum;
  ASSERT_TRUE(parseBestFile(test::readWholeFile(dir + "/best.txt"), kept, why, &checksum)) << why;
  EXPECT_EQ(kept.timeLeft, 50.0);
  EXPECT_EQ(checksum, "3031323334353637");
  BestResult next(dir);
  next.load(err);
  EXPECT_TRUE(next.recordingMatches(test::readWholeFile(dir + "/best.rvr")));
  EXPECT_FALSE(next.recordingMatches("the old run ending 89abcdef")) << "a pair cut between its renames";
  EXPECT_EQ(err.str(), "");
}

// A win offered while best.lock is held elsewhere and SIGTERM comes 300 ms into the wait: 0 when
// the offer gives up within the stop's grace and says why, keeping nothing.
int offerWhileAStopSignalComes(const std::string& dir) {
  catchStopSignals();
  BestResult best(dir);
  std::ostringstream err;
  best.load(err);
  std::thread signal([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::raise(SIGTERM);
  });
  const auto start = std::chrono::steady_clock::now();
  const std::string line = best.offer({50.0, 5.0f, {}}, "run", err);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  signal.join();
  std::fprintf(stderr, "%s after %.0f ms\n", line.c_str(), ms);
  const bool ok =
      line == "Time left 50.00 s, best not saved: best.lock is held by another game (the wait was stopped)" &&
      ms > 300.0 && ms < 1000.0 && !std::filesystem::exists(dir + "/best.rvr");
  return ok ? 0 : 1;
}

// best.lock held by another game: the win waits a bounded time, a stop signal ends the wait at
// once, and the best is left as it was with the line saying why. (In a child process: the stop
// signal stays noted for the rest of the process.)
TEST(BestResult, ALockHeldElsewhereIsNotWaitedForPastAStopSignal) {
  const std::string dir = test::makeTempDir("ruvelo-best") + "/ruvelo";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/best.txt", std::ios::binary) << formatBestFile({10.0, 5.0f, {}});
  const int held = ::open((dir + "/best.lock").c_str(), O_RDWR | O_CREAT, 0666);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EXIT(std::exit(offerWhileAStopSignalComes(dir)), ::testing::ExitedWithCode(0), "");
  ::close(held);
  EXPECT_EQ(test::readWholeFile(dir + "/best.txt"), formatBestFile({10.0, 5.0f, {}}));
}

}  // namespace
}  // namespace ruvelo
