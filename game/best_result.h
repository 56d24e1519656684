// The player's best result: the time and power left of the best won run, and its clock at each
// delivery, kept in best.txt in the player's data folder beside that run's recording, best.rvr. A
// better win replaces both, decided against best.txt as it is on disk at that moment (read again
// under a lock on best.lock, so of two games finishing together the better win stays). A best file
// that cannot be read is reported and left as it is.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ruvelo {

struct RunResult {
  double timeLeft = 0.0;
  float powerLeft = 0.0f;
  std::vector<double> deliveryTimes;  // seconds off the timer at each delivery; none in older files
};

// The checksum a recording ends with, as 16 hex digits ("" for fewer than 8 bytes).
std::string recordingChecksum(const std::string& recording);

// More time left wins; with the same time, more power.
bool betterResult(const RunResult& a, const RunResult& b);

// best.txt's text; `checksum` (recordingChecksum() of best.rvr, which pairs the two files) is
// written when given.
std::string formatBestFile(const RunResult& result, const std::string& checksum = "");
// False with `why` unless `text` holds both values once each, as values a win can have: time left
// from minus one frame (a win in the frame the clock ran out) to 153 s, power from -5 (two keys
// draining through one long frame) to 150 (the start's 100 and every battery). The delivery times,
// when there (at most once), are up to three finite numbers apart by commas.
// The recording's checksum (at most once, 16 hex digits) goes to `checksum` when given; "" when the
// file has none (older files, which then pair with any recording).
bool parseBestFile(const std::string& text, RunResult& out, std::string& why,
                   std::string* checksum = nullptr);

// The line under a win (times as the HUD shows them): "New best: 50.15 s left, 1.23 s better" when
// the run beat `best` (without the comparison when there was none), else "Time left 48.50 s · Best:
// 50.06 s"; with `problem` (the best file "unreadable", "not saved: No space left on device")
// "Time left 48.50 s, best " + problem.
std::string resultDetail(double timeLeft, const std::optional<RunResult>& best, const std::string& problem,
                         bool newBest);

class BestResult {
 public:
  // The files in `dir` (the player's data folder; "" when there is none).
  explicit BestResult(std::string dir);

  // Reads best.txt: none yet is fine; one that cannot be read is told on `err` and never replaced.
  void load(std::ostream& err);

  // best.rvr is missing or damaged beside a good best.txt: the next win keeps its recording there.
  void recordingLost() { recordingLost_ = true; }
  bool known() const { return best_.has_value(); }

  // Whether `recording` (best.rvr's bytes) is the run best.txt names: false when best.txt keeps a
  // checksum and the recording ends with another (a pair left half replaced).
  bool recordingMatches(const std::string& recording) const;

  // A won run: when it beats the best (or there is none), best.rvr and best.txt are both written
  // in full and synced, then put in place, best.txt last. best.lock is waited for at most
  // kLockWaitMs (less after a stop signal); when it cannot be had the win is not kept as the best,
  // and the line says so. Returns the line for the result screen and the console.
  std::string offer(const RunResult& run, const std::string& recording, std::ostream& err);
  static constexpr int kLockWaitMs = 5000;
  // The same line without keeping anything (a replayed win).
  std::string describe(const RunResult& run) const;

  // The best so far, if there is one that could be read.
  const std::optional<RunResult>& best() const { return best_; }

  std::string recordingPath() const { return dir_.empty() ? "" : dir_ + "/best.rvr"; }
  std::string resultPath() const { return dir_.empty() ? "" : dir_ + "/best.txt"; }

 private:
  std::string lockPath() const { return dir_ + "/best.lock"; }
  // Reads best.txt into best_ (or sets unreadable_ and tells `err`); false when it cannot be read.
  bool read(std::ostream& err);
  // Takes best.lock into `lock` within kLockWaitMs; false with `why` when it cannot be had.
  bool takeLock(int& lock, std::string& why) const;

  std::string dir_;
  std::optional<RunResult> best_;
  std::string checksum_;  // of the recording best.txt names; "" when it names none
  bool unreadable_ = false;
  bool recordingLost_ = false;
  std::string notSaved_;  // why the last better win could not be kept
};

}  // namespace ruvelo
