#include "game/best_result.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>

#include "game/game_rules.h"
#include "platform/regular_file.h"
#include "platform/user_dirs.h"

namespace ruvelo {
namespace {

constexpr std::size_t kMaxBestFileBytes = 4096;

bool parseNumber(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0' && std::isfinite(out);
}

}  // namespace

bool betterResult(const RunResult& a, const RunResult& b) {
  if (a.timeLeft != b.timeLeft) return a.timeLeft > b.timeLeft;
  return a.powerLeft > b.powerLeft;
}

std::string formatBestFile(const RunResult& result) {
  char text[160];
  std::snprintf(text, sizeof text,
                "# The best won run: seconds and power left.\ntime_left=%.9f\npower_left=%.9g\n",
                result.timeLeft, static_cast<double>(result.powerLeft));
  return text;
}

bool parseBestFile(const std::string& text, RunResult& out, std::string& why) {
  std::istringstream in(text);
  std::string line;
  bool haveTime = false, havePower = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find('=');
    const std::string key = line.substr(0, eq);
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
    if (key == "time_left") out.timeLeft = value;
    if (key == "power_left") out.powerLeft = static_cast<float>(value);
  }
  if (!haveTime || !havePower) {
    why = "time_left or power_left missing";
    return false;
  }
  return true;
}

std::string resultDetail(double timeLeft, const std::optional<RunResult>& best, bool bestUnreadable) {
  std::string text = "Time left " + timeLeftText(timeLeft) + " s, best ";
  if (bestUnreadable) return text + "unreadable";
  return text + timeLeftText(best ? best->timeLeft : timeLeft) + " s";
}

BestResult::BestResult(std::string dir) : dir_(std::move(dir)) {}

void BestResult::load(std::ostream& err) {
  if (dir_.empty()) return;
  const std::string path = resultPath();
  if (regularFileProblem(path) == "no such file") return;
  std::string text, why;
  RunResult result;
  if (!readRegularFile(path, kMaxBestFileBytes, text, why) || !parseBestFile(text, result, why)) {
    err << "ruvelo: the best result " << path << " cannot be read (" << why << "); it is left as it is"
        << std::endl;
    unreadable_ = true;
    return;
  }
  best_ = result;
}

std::string BestResult::offer(const RunResult& run, const std::string& recording, std::ostream& err) {
  if (!dir_.empty() && !unreadable_ && (!best_ || betterResult(run, *best_))) {
    std::string why;
    // The recording first: best.txt names a result whose run is already in place.
    if (writeFileAtomically(recordingPath(), recording, why) &&
        writeFileAtomically(resultPath(), formatBestFile(run), why)) {
      best_ = run;
    } else {
      err << "ruvelo: the best result could not be kept: " << why << std::endl;
    }
  }
  return describe(run);
}

std::string BestResult::describe(const RunResult& run) const {
  return resultDetail(run.timeLeft, best_ ? best_ : std::optional<RunResult>(run), unreadable_);
}

}  // namespace ruvelo
