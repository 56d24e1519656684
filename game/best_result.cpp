#include "game/best_result.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

#include "game/game_rules.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "platform/stop_signals.h"
#include "platform/user_dirs.h"

namespace ruvelo {
namespace {

constexpr std::size_t kMaxBestFileBytes = 4096;

bool parseNumber(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(out);
}

// "12.5,40,97.25": one to kMaxDeliveries finite numbers.
bool parseNumberList(const std::string& text, std::vector<double>& out) {
  constexpr std::size_t kMaxDeliveries = 3;
  out.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    double value = 0.0;
    if (!parseNumber(text.substr(start, comma - start), value) || out.size() == kMaxDeliveries) return false;
    out.push_back(value);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

}  // namespace

bool betterResult(const RunResult& a, const RunResult& b) {
  if (a.timeLeft != b.timeLeft) return a.timeLeft > b.timeLeft;
  return a.powerLeft > b.powerLeft;
}

std::string formatBestFile(const RunResult& result, const std::string& checksum) {
  char text[160];
  std::snprintf(text, sizeof text,
                "# The best won run: seconds and power left.\ntime_left=%.9f\npower_left=%.9g\n",
                result.timeLeft, static_cast<double>(result.powerLeft));
  std::string file = text;
  if (!result.deliveryTimes.empty()) {
    file += "delivery_times=";
    for (std::size_t i = 0; i < result.deliveryTimes.size(); ++i) {
      std::snprintf(text, sizeof text, "%s%.9f", i == 0 ? "" : ",", result.deliveryTimes[i]);
      file += text;
    }
    file += "\n";
  }
  if (!checksum.empty()) file += "recording_checksum=" + checksum + "\n";
  return file;
}

std::string recordingChecksum(const std::string& recording) {
  if (recording.size() < 8) return "";
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = recording.size() - 8; i < recording.size(); ++i) {
    const auto byte = static_cast<unsigned char>(recording[i]);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

bool parseBestFile(const std::string& text, RunResult& out, std::string& why, std::string* checksum) {
  std::istringstream in(text);
  std::string line;
  bool haveTime = false, havePower = false, haveDeliveries = false;
  out.deliveryTimes.clear();
  std::string sum;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    const std::string key = line.substr(0, eq);
    if (key == "delivery_times" && eq != std::string::npos) {
      if (haveDeliveries || !parseNumberList(line.substr(eq + 1), out.deliveryTimes)) {
        why = "bad line \"" + line.substr(0, 60) + "\"";
        return false;
      }
      haveDeliveries = true;
      continue;
    }
    if (key == "recording_checksum" && eq != std::string::npos) {
      const std::string hex = line.substr(eq + 1);
      if (!sum.empty() || hex.size() != 16 ||
          hex.find_first_not_of("0123456789abcdef") != std::string::npos) {
        why = "bad line " + quotedText(line);
        return false;
      }
      sum = hex;
      continue;
    }
    double value = 0.0;
    if (eq == std::string::npos || !parseNumber(line.substr(eq + 1), value)) {
      why = "bad line \"" + line.substr(0, 60) + "\"";
      return false;
    }
    bool& seen = key == "time_left" ? haveTime : havePower;
    if ((key != "time_left" && key != "power_left") || seen) {
      why = "unexpected line \"" + line.substr(0, 60) + "\"";
      return false;
    }
    seen = true;
    const bool time = key == "time_left";
    const double lowest = time ? -static_cast<double>(kMaxFrameTime) : -5.0, highest = time ? 153.0 : 150.0;
    if (value < lowest || value > highest) {
      why = key + " " + line.substr(eq + 1, 40) + " is not a value a win can have";
      return false;
    }
    if (time) out.timeLeft = value;
    if (!time) out.powerLeft = static_cast<float>(value);
  }
  if (!haveTime || !havePower) {
    why = "time_left or power_left missing";
    return false;
  }
  if (checksum) *checksum = sum;
  return true;
}

std::string resultDetail(double timeLeft, const std::optional<RunResult>& best, const std::string& problem,
                         bool newBest) {
  const std::string left = timeLeftText(timeLeft);
  if (!problem.empty()) return "Time left " + left + " s, best " + problem;
  if (newBest) {
    std::string text = "New best: " + left + " s left";
    // By how much, in the hundredths the timer shows.
    if (best)
      text += ", " +
              timeLeftText(std::max(0.0, displayedTimeLeft(timeLeft) - displayedTimeLeft(best->timeLeft))) +
              " s better";
    return text;
  }
  return "Time left " + left + " s \u00B7 Best: " + timeLeftText(best ? best->timeLeft : timeLeft) + " s";
}

BestResult::BestResult(std::string dir) : dir_(std::move(dir)) {}

bool BestResult::read(std::ostream& err) {
  const std::string path = resultPath();
  if (fileMissing(path)) {
    best_.reset();
    checksum_.clear();
    return true;
  }
  std::string text, why, checksum;
  RunResult result;
  if (!readRegularFile(path, kMaxBestFileBytes, text, why) || !parseBestFile(text, result, why, &checksum)) {
    err << "ruvelo: the best result " << printable(path) << " cannot be read (" << why
        << "); it is left as it is" << std::endl;
    unreadable_ = true;
    return false;
  }
  best_ = result;
  checksum_ = checksum;
  return true;
}

void BestResult::load(std::ostream& err) {
  if (dir_.empty()) return;
  removeStaleTemporaries(resultPath());
  removeStaleTemporaries(recordingPath());
  read(err);
}

bool BestResult::recordingMatches(const std::string& recording) const {
  return checksum_.empty() || checksum_ == recordingChecksum(recording);
}

bool BestResult::takeLock(int& lock, std::string& why) const {
  lock = ::open(lockPath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (lock < 0) {
    why = "cannot open " + lockPath() + ": " + std::strerror(errno);
    return false;
  }
  // Another game keeps its win in a moment; one that holds the lock longer (stopped, hung) is not
  // waited for without end, nor past a stop signal.
  StoppableWait wait{std::chrono::milliseconds(kLockWaitMs)};
  while (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      why = "cannot lock " + lockPath() + ": " + std::strerror(errno);
      return false;
    }
    if (wait.over()) {
      why = lockPath() + " is held by another game" +
            (wait.stopped() ? std::string(" (the wait was stopped)")
                            : " (waited " + std::to_string(kLockWaitMs / 1000) + " s)");
      return false;
    }
    ::usleep(20 * 1000);
  }
  return true;
}

std::string BestResult::offer(const RunResult& run, const std::string& recording, std::ostream& err) {
  if (dir_.empty() || unreadable_) return describe(run);
  // Another game may have kept a better win since this one started: best.txt is read again, under
  // the lock every game takes to replace it.
  std::string why;
  int lock = -1;
  if (makeDirs(dir_, why)) takeLock(lock, why);
  if (why.empty() && !read(err)) {
    ::close(lock);
    return describe(run);  // unreadable now: told by read()
  }
  const bool better = !best_ || betterResult(run, *best_);
  const std::optional<RunResult> previous = best_;
  // No ghost since start-up: a win that is not better still gives its run as the best's ghost.
  const bool ghostOnly = !better && recordingLost_;
  if ((better || ghostOnly) && why.empty() && recording.empty())
    why = "the run's recording could not be read back";
  if ((better || ghostOnly) && why.empty()) {
    // Both files are written and synced before either replaces its old self, so a full disk leaves
    // both as they were; best.txt goes last and names its recording's checksum, so a pair cut
    // between the two renames (a power cut) is found at the next start.
    const RunResult kept = better ? run : *best_;
    const std::string checksum = recordingChecksum(recording);
    AtomicFile runFile, resultFile;
    if (runFile.open(recordingPath(), why) && resultFile.open(resultPath(), why)) {
      runFile.append(recording);
      resultFile.append(formatBestFile(kept, checksum));
      if (runFile.prepare(why) && resultFile.prepare(why) && runFile.commit(why) && resultFile.commit(why)) {
        best_ = kept;
        checksum_ = checksum;
        recordingLost_ = false;
      }
    }
  }
  if (better && !why.empty()) {
    // The line under the result says so, shortly: the reason after the file's name.
    const std::size_t colon = why.rfind(": ");
    notSaved_ = colon == std::string::npos ? why : why.substr(colon + 2);
    if (notSaved_.rfind(dir_ + "/", 0) == 0) notSaved_.erase(0, dir_.size() + 1);
    notSaved_ = printable(notSaved_);
  }
  if (lock >= 0) ::close(lock);
  if (!why.empty() && (better || ghostOnly))
    err << "ruvelo: " << (better ? "the best result could not be kept: " : "the best run could not be kept: ")
        << printable(why) << std::endl;
  if (better && why.empty()) return resultDetail(run.timeLeft, previous, "", true);
  return describe(run);
}

std::string BestResult::describe(const RunResult& run) const {
  const std::string problem = unreadable_ ? "unreadable" : notSaved_.empty() ? "" : "not saved: " + notSaved_;
  return resultDetail(run.timeLeft, best_ ? best_ : std::optional<RunResult>(run), problem, false);
}

}  // namespace ruvelo
