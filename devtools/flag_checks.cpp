#include "devtools/flag_checks.h"

#include <sys/stat.h>

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

// A path with its folder resolved (the file itself need not exist).
std::string resolved(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  char real[PATH_MAX];
  if (::realpath(dir.c_str(), real) == nullptr) return path;
  return std::string(real) + "/" + base;
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  const bool hasA = ::stat(a.c_str(), &sa) == 0, hasB = ::stat(b.c_str(), &sb) == 0;
  if (hasA && hasB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (hasA != hasB) return false;
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
