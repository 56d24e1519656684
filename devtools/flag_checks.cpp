#include "devtools/flag_checks.h"

#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

namespace ruvelo {
namespace {

std::string benchFloorProblem(const DevFlags& flags) {
  if (!flags.benchFloor) return "";
  // The floor frames only clear the shadow map and the window: no scene, no game, no script.
  const char* ignored = nullptr;
  if (!flags.screenshots.empty())
    ignored = "--screenshot";
  else if (flags.logState)
    ignored = "--log-state";
  else if (!flags.input.empty())
    ignored = "--input";
  else if (flags.autopilot)
    ignored = "--autopilot";
  else if (flags.fullShadow)
    ignored = "--full-shadow";
  else if (flags.fixedDt > 0.0f)
    ignored = "--fixed-dt";
  if (!ignored) return "";
  return std::string("--bench-floor: cannot be combined with ") + ignored +
         " (its frames only clear the screen)";
}

std::string replayProblem(const DevFlags& flags) {
  if (flags.replay.empty()) return "";
  // A replay plays the recorded input (the autopilot's keys too) and records nothing new.
  const char* refused = !flags.record.empty()      ? "--record (a replay records nothing)"
                        : flags.autopilot          ? "--autopilot (the recording says who drove)"
                        : !flags.inputPath.empty() ? "--input (the recording is the input)"
                        : flags.benchFloor         ? "--bench-floor (its frames play nothing)"
                                                   : nullptr;
  return refused ? std::string("--replay: cannot be combined with ") + refused : "";
}

// `path` as it will be once written: absolute, its longest existing start resolved (links
// followed), and the rest (folders not made yet) with "", "." and ".." parts worked out by name,
// which is exact because a part that does not exist cannot be a link.
std::string resolved(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
    full = std::string(cwd) + "/" + full;
  }
  std::vector<std::string> parts;
  for (std::size_t at = 0; at <= full.size();) {
    const std::size_t slash = std::min(full.find('/', at), full.size());
    parts.push_back(full.substr(at, slash - at));
    at = slash + 1;
  }
  std::string done = "/";  // resolved so far, and whether it still exists
  bool exists = true;
  for (const std::string& part : parts) {
    if (part.empty() || part == ".") continue;
    if (part == ".." && !exists) {
      const std::size_t slash = done.find_last_of('/');
      done = slash == 0 ? "/" : done.substr(0, slash);
      continue;
    }
    const std::string next = done == "/" ? "/" + part : done + "/" + part;
    char real[PATH_MAX];
    if (exists && ::realpath(next.c_str(), real) != nullptr) {
      done = real;
      continue;
    }
    exists = false;
    if (part == "..") continue;  // above a part that is not there: the OS refuses it anyway
    done = next;
  }
  return done;
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  const bool hasA = ::stat(a.c_str(), &sa) == 0, hasB = ::stat(b.c_str(), &sb) == 0;
  if (hasA && hasB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  return resolved(a) == resolved(b);
}

std::string refusedFlags(const DevFlags& flags) {
  std::string problem = benchFloorProblem(flags);
  if (problem.empty()) problem = replayProblem(flags);
  if (!problem.empty()) return problem;
  std::vector<std::pair<std::string, std::string>> files;  // flag, file
  if (!flags.record.empty()) files.emplace_back("--record", flags.record);
  if (!flags.audioOut.empty()) files.emplace_back("--audio-out", flags.audioOut);
  for (const Screenshot& shot : flags.screenshots) files.emplace_back("--screenshot", shot.path);
  if (!flags.replay.empty()) files.emplace_back("--replay", flags.replay);
  if (!flags.inputPath.empty()) files.emplace_back("--input", flags.inputPath);
  for (std::size_t i = 0; i < files.size(); ++i)
    for (std::size_t j = i + 1; j < files.size(); ++j)
      if (sameFile(files[i].second, files[j].second))
        return files[i].first + " " + files[i].second + " and " + files[j].first + " " + files[j].second +
               " name the same file (one would destroy the other)";
  return "";
}

}  // namespace ruvelo
