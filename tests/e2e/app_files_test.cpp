// The files the game writes, in the built game: a stop signal keeps the run (a FIFO nobody reads
// included), a full folder never leaves a damaged recording, links are refused and FIFOs stay FIFOs, flags
// naming one file are refused, the temporary files of ended games are cleared, and a best file no win can
// have is named unreadable.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "replay/recording.h"
#include "support/game_runner.h"
#include "support/temp_dir.h"

namespace ruvelo::test {
namespace {

namespace fs = std::filesystem;

const std::string kTinyWindow = "width=160\nheight=90\nrefresh_rate=60\nfullscreen=false\n";

std::size_t framesIn(const std::string& path, std::string& why) {
  Recording r;
  return decodeRecording(readWholeFile(path), r, why) ? r.frames.size() : 0;
}

// SIGTERM (what `timeout` sends) ends the run like Escape: the run is kept and replays.
TEST(Files, AStopSignalKeepsTheRun) {
  GameFolder folder(kTinyWindow);
  const GameRun run = folder.run({"--fixed-dt", "0.05", "--log-state"}, 8);
  EXPECT_EQ(run.status, 124) << "ended by the signal: " << run.err;
  std::string why;
  const std::size_t frames = framesIn(folder.stateDir() + "/last-run.rvr", why);
  ASSERT_GT(frames, 0u) << why;
  EXPECT_EQ(frames, stateText(run.out).size());
  const GameRun replay = folder.run({"--replay", folder.stateDir() + "/last-run.rvr", "--log-state"});
  ASSERT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(stateText(replay.out), stateText(run.out));
}

TEST(Files, LinksAreRefusedAndFifosStayFifos) {
  GameFolder folder(kTinyWindow);
  const std::string victim = folder.writeFile("victim.txt", "keep me");
  fs::create_symlink(victim, folder.path("bin/link.rvr"));
  const GameRun linked = folder.run({"--frames", "2", "--record", "link.rvr"});
  EXPECT_EQ(linked.status, 3);
  EXPECT_EQ(linked.err, "ruvelo: --record link.rvr: link.rvr is a symbolic link (not followed)\n");
  EXPECT_EQ(readWholeFile(victim), "keep me");
  EXPECT_TRUE(fs::is_symlink(folder.path("bin/link.rvr")));

  folder.writeFile("bin/readonly.rvr", "old");
  ASSERT_EQ(::chmod(folder.path("bin/readonly.rvr").c_str(), 0444), 0);
  const GameRun readOnly = folder.run({"--frames", "2", "--record", "readonly.rvr"});
  EXPECT_EQ(readOnly.status, 3);
  EXPECT_EQ(readOnly.err, "ruvelo: --record readonly.rvr: readonly.rvr is not writable\n");
  EXPECT_EQ(readWholeFile(folder.path("bin/readonly.rvr")), "old");

  // The mix written into a FIFO a reader holds open: the reader gets the whole WAV file.
  const std::string fifo = folder.path("bin/sound.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::string heard;
  std::thread listener([&] { heard = readWholeFile(fifo); });
  const GameRun piped = folder.run({"--frames", "20", "--fixed-dt", "0.05", "--audio-out", "sound.wav"});
  if (piped.status != 0) {
    std::ofstream(fifo) << "";  // lets the listener go
  }
  listener.join();
  ASSERT_EQ(piped.status, 0) << piped.err;
  struct stat info {};
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the FIFO was replaced";
  ASSERT_GT(heard.size(), 44u);
  EXPECT_EQ(heard.substr(0, 4), "RIFF");
  const auto le32 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(heard[at])) |
           static_cast<std::size_t>(static_cast<unsigned char>(heard[at + 1])) << 8 |
           static_cast<std::size_t>(static_cast<unsigned char>(heard[at + 2])) << 16 |
           static_cast<std::size_t>(static_cast<unsigned char>(heard[at + 3])) << 24;
  };
  EXPECT_EQ(le32(40), heard.size() - 44) << "the header counts the samples that came";

  // Two flags naming one file: refused before anything starts.
  const GameRun both = folder.run({"--frames", "2", "--audio-out", "both.out", "--record", "both.out"});
  EXPECT_EQ(both.status, 2);
  EXPECT_EQ(both.err,
            "ruvelo: --record both.out and --audio-out both.out name the same file (one would destroy "
            "the other)\n");
  EXPECT_FALSE(fs::exists(folder.path("bin/both.out")));
}

// A mounted folder of 64 KiB for the player's state: full, the new run is not kept but the last
// one stays whole and replays, and --record leaves nothing; with room again, runs are kept.
TEST(Files, AFullFolderNeverLeavesADamagedRecording) {
  GameFolder folder(kTinyWindow);
  fs::create_directories(folder.stateDir());
  if (::geteuid() != 0 || ::mount("tmpfs", folder.stateDir().c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "needs root to mount a small folder (the writer's unit test injects the short writes)";
  struct Unmount {
    std::string dir;
    ~Unmount() { ::umount(dir.c_str()); }
  } unmount{folder.stateDir()};
  folder.writeFile("bin/keys.txt", "1 W press\n");
  const std::vector<std::string> drive = {"--frames", "40", "--fixed-dt", "0.05", "--input", "keys.txt"};
  ASSERT_EQ(folder.run(drive).status, 0);
  const std::string lastRun = folder.stateDir() + "/last-run.rvr";
  const std::string kept = readWholeFile(lastRun);

  // Fill the folder to its last byte.
  {
    std::ofstream filler(folder.stateDir() + "/filler", std::ios::binary);
    const std::string block(1024, 'x');
    for (int i = 0; i < 64 && filler; ++i)
      filler.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  auto args = drive;
  args[1] = "60";
  args.insert(args.end(), {"--record", lastRun + ".copy"});
  const GameRun full = folder.run(args);
  EXPECT_EQ(full.status, 3) << "--record could not be written";
  EXPECT_NE(full.err.find("the run could not be kept in " + lastRun), std::string::npos) << full.err;
  EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
  EXPECT_EQ(readWholeFile(lastRun), kept);
  EXPECT_FALSE(fs::exists(lastRun + ".copy"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.stateDir()))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"filler", "last-run.rvr"})) << "nothing half-written is left";
  const GameRun replay = folder.run({"--replay", lastRun});
  EXPECT_EQ(replay.status, 0) << replay.err;

  fs::remove(folder.stateDir() + "/filler");
  ASSERT_EQ(folder.run(args).status, 0);
  std::string why;
  EXPECT_EQ(framesIn(lastRun, why), 60u) << why;
  EXPECT_EQ(readWholeFile(lastRun + ".copy"), readWholeFile(lastRun));
}

// The temporary files of a game that was killed are cleared at the next start; a best.txt no win can
// have is named, and a best.rvr missing beside a good best.txt is told once.
TEST(Files, LeftoversAndImpossibleBestsAreTold) {
  GameFolder folder(kTinyWindow);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string stale =
      folder.stateDir() + "/.last-run.rvr.tmp-" + std::to_string(child) + "-0123456789ab";
  fs::create_directories(folder.stateDir());
  std::ofstream(stale) << "half a run";
  fs::create_directories(folder.dataDir());
  std::ofstream(folder.dataDir() + "/best.txt") << "time_left=42\npower_left=50\n";
  const GameRun first = folder.run({"--frames", "2"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_FALSE(fs::exists(stale));
  // Told once, before the window opens (a machine without sound adds its line after it).
  EXPECT_EQ(first.err.rfind("ruvelo: the best run " + folder.dataDir() +
                                "/best.rvr cannot be read (missing); no ghost until the next win\n",
                            0),
            0u)
      << first.err;
  EXPECT_EQ(first.err.find("ruvelo:", 1), std::string::npos) << first.err;

  std::ofstream(folder.dataDir() + "/best.txt") << "time_left=1e9\npower_left=50\n";
  const GameRun impossible = folder.run({"--frames", "2"});
  ASSERT_EQ(impossible.status, 0) << impossible.err;
  EXPECT_EQ(
      impossible.err.rfind("ruvelo: the best result " + folder.dataDir() +
                               "/best.txt cannot be read (time_left 1e9 is not a value a win can have); it "
                               "is left as it is\n",
                           0),
      0u)
      << impossible.err;
}

// The game started in `folder` as GameFolder::run starts it, and SIGTERM sent once `ready` is on
// its standard output: how long it took to end after the signal, its status and standard error.
struct Stopped {
  int status = -1;
  double msAfterSignal = -1.0;
  std::string err;
};

Stopped stopOnceReady(const GameFolder& folder, const std::vector<std::string>& args,
                      const std::string& ready) {
  const std::string out = folder.path("stdout.txt"), err = folder.path("stderr.txt");
  fs::remove(out);
  const pid_t game = ::fork();
  if (game == 0) {
    if (::chdir(folder.path("bin").c_str()) != 0) ::_exit(127);
    ::setenv("RUVELO_DATA_DIR", "../assets", 1);
    ::setenv("HOME", folder.path("home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", folder.path("config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", folder.path("data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", folder.path("state").c_str(), 1);
    // The sanitizer run's preload, as gamePreload() gives it to a shell.
    if (const char* preload = std::getenv("RUVELO_GAME_LD_PRELOAD"); preload && *preload)
      ::setenv("LD_PRELOAD", preload, 1);
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) ::_exit(127);
    std::vector<char*> argv{const_cast<char*>(RUVELO_GAME_BIN)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(RUVELO_GAME_BIN, argv.data());
    ::_exit(127);
  }
  Stopped stopped;
  int raw = 0;
  const auto start = std::chrono::steady_clock::now();
  while (readWholeFile(out).find(ready) == std::string::npos) {
    if (::waitpid(game, &raw, WNOHANG) == game ||
        std::chrono::steady_clock::now() - start > std::chrono::seconds(120)) {
      ::kill(game, SIGKILL);
      ::waitpid(game, &raw, 0);
      stopped.err = readWholeFile(err) + " (never printed " + ready + ")";
      return stopped;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the wait
  ::kill(game, SIGTERM);
  const auto signalled = std::chrono::steady_clock::now();
  while (::waitpid(game, &raw, WNOHANG) != game) {
    if (std::chrono::steady_clock::now() - signalled > std::chrono::seconds(20)) ::kill(game, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stopped.msAfterSignal =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - signalled).count();
  stopped.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  stopped.err = readWholeFile(err);
  return stopped;
}

// FIFOs nobody reads, as --audio-out, as last-run.rvr and as a screenshot: the game waits for a
// reader only a bounded time, a stop signal ends that wait at once, the run is kept and the line
// says nobody reads.
TEST(Files, OutputsNobodyReadsEndSoonAfterAStopSignalWithTheRunKept) {
  const std::vector<std::string> run = {"--frames", "3", "--fixed-dt", "0.05", "--log-state"};
  const std::string lastFrame = "state frame=3 ";
  std::string why;
  {
    GameFolder folder(kTinyWindow);
    ASSERT_EQ(::mkfifo(folder.path("bin/sound.wav").c_str(), 0644), 0);
    auto args = run;
    args.insert(args.end(), {"--audio-out", "sound.wav"});
    const Stopped sound = stopOnceReady(folder, args, lastFrame);
    EXPECT_LT(sound.msAfterSignal, 1000.0) << sound.err;
    EXPECT_EQ(sound.status, 3) << sound.err;
    EXPECT_NE(sound.err.find("--audio-out: sound.wav could not be written: nobody reads sound.wav"),
              std::string::npos)
        << sound.err;
    EXPECT_EQ(framesIn(folder.stateDir() + "/last-run.rvr", why), 3u) << why;
  }
  {
    GameFolder folder(kTinyWindow);
    fs::create_directories(folder.stateDir());
    const std::string lastRun = folder.stateDir() + "/last-run.rvr";
    ASSERT_EQ(::mkfifo(lastRun.c_str(), 0644), 0);
    auto args = run;
    args.insert(args.end(), {"--record", "run.rvr"});
    const Stopped kept = stopOnceReady(folder, args, lastFrame);
    EXPECT_LT(kept.msAfterSignal, 1000.0) << kept.err;
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_NE(kept.err.find("the run could not be kept in " + lastRun + ": nobody reads " + lastRun),
              std::string::npos)
        << kept.err;
    EXPECT_EQ(framesIn(folder.path("bin/run.rvr"), why), 3u) << "--record still written: " << why;
    struct stat info {};
    ASSERT_EQ(::lstat(lastRun.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
  }
  {
    GameFolder folder(kTinyWindow);
    ASSERT_EQ(::mkfifo(folder.path("bin/shot.png").c_str(), 0644), 0);
    auto args = run;
    args.insert(args.end(), {"--screenshot", "2:shot.png"});
    const Stopped shot = stopOnceReady(folder, args, "state frame=1 ");
    EXPECT_LT(shot.msAfterSignal, 1000.0) << shot.err;
    EXPECT_EQ(shot.status, 3) << shot.err;
    EXPECT_NE(shot.err.find("frame 2 could not be written to shot.png: nobody reads shot.png"),
              std::string::npos)
        << shot.err;
    EXPECT_EQ(framesIn(folder.stateDir() + "/last-run.rvr", why), 2u)
        << "the run up to the screenshot: " << why;
  }
}

}  // namespace
}  // namespace ruvelo::test
