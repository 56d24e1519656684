#include "app/dev_flags.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "app/regular_file.h"

namespace ruvelo {
namespace {

// An input script is a few bytes per key event; anything near this size is not a script.
constexpr std::size_t kMaxInputScriptBytes = 4 * 1024 * 1024;

bool parseWhole(const std::string& text, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool parseWhole(const std::string& text, float& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtof(text.c_str(), &end);
  return errno == 0 && *end == '\0' && std::isfinite(out);
}

FlagsResult fail(const std::string& message) {
  FlagsResult result;
  result.ok = false;
  result.message = message;
  return result;
}

}  // namespace

int keyCodeFromName(const std::string& name) {
  static const std::map<std::string, int> kNamed = {
      {"SPACE", GLFW_KEY_SPACE},
      {"ESCAPE", GLFW_KEY_ESCAPE},
      {"ENTER", GLFW_KEY_ENTER},
      {"TAB", GLFW_KEY_TAB},
      {"BACKSPACE", GLFW_KEY_BACKSPACE},
      {"LEFT", GLFW_KEY_LEFT},
      {"RIGHT", GLFW_KEY_RIGHT},
      {"UP", GLFW_KEY_UP},
      {"DOWN", GLFW_KEY_DOWN},
      {"LEFT_SHIFT", GLFW_KEY_LEFT_SHIFT},
      {"RIGHT_SHIFT", GLFW_KEY_RIGHT_SHIFT},
      {"LEFT_CONTROL", GLFW_KEY_LEFT_CONTROL},
      {"RIGHT_CONTROL", GLFW_KEY_RIGHT_CONTROL},
      {"LEFT_ALT", GLFW_KEY_LEFT_ALT},
      {"RIGHT_ALT", GLFW_KEY_RIGHT_ALT},
  };
  if (name.size() == 1) {
    const char c = name[0];
    if (c >= 'A' && c <= 'Z') return GLFW_KEY_A + (c - 'A');
    if (c >= '0' && c <= '9') return GLFW_KEY_0 + (c - '0');
  }
  if (name.size() >= 2 && name[0] == 'F') {
    long n = 0;
    if (parseWhole(name.substr(1), n) && n >= 1 && n <= 25) return GLFW_KEY_F1 + static_cast<int>(n - 1);
  }
  const auto it = kNamed.find(name);
  return it == kNamed.end() ? -1 : it->second;
}

bool parseInputScript(std::istream& in, std::vector<ScriptedKey>& out, std::string& error) {
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string frameText, keyText, actionText, extra;
    if (!(words >> frameText)) continue;  // blank or comment-only line
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (!(words >> keyText >> actionText) || (words >> extra)) {
      error = where + "expected \"FRAME KEY press|release\"";
      return false;
    }
    ScriptedKey key;
    if (!parseWhole(frameText, key.frame) || key.frame < 1) {
      error = where + "bad frame number \"" + frameText + "\"";
      return false;
    }
    key.key = keyCodeFromName(keyText);
    if (key.key < 0) {
      error = where + "unknown key \"" + keyText + "\"";
      return false;
    }
    if (actionText != "press" && actionText != "release") {
      error = where + "expected press or release, got \"" + actionText + "\"";
      return false;
    }
    key.press = actionText == "press";
    out.push_back(key);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const ScriptedKey& a, const ScriptedKey& b) { return a.frame < b.frame; });
  return true;
}

FlagsResult parseDevFlags(int argc, const char* const* argv) {
  FlagsResult result;
  DevFlags& flags = result.flags;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    const bool hasValue = i + 1 < argc;
    const std::string value = hasValue ? argv[i + 1] : "";
    auto needsValue = [&]() { return fail(flag + ": missing value"); };

    if (flag == "--bench") {
      flags.bench = true;
    } else if (flag == "--bench-floor") {
      flags.bench = true;
      flags.benchFloor = true;
    } else if (flag == "--log-state") {
      flags.logState = true;
    } else if (flag == "--autopilot") {
      flags.autopilot = true;
    } else if (flag == "--full-shadow") {
      flags.fullShadow = true;
    } else if (flag == "--frames") {
      if (!hasValue) return needsValue();
      if (!parseWhole(value, flags.frames) || flags.frames < 1)
        return fail("--frames: expected a whole number of frames >= 1, got \"" + value + "\"");
      ++i;
    } else if (flag == "--fixed-dt") {
      if (!hasValue) return needsValue();
      if (!parseWhole(value, flags.fixedDt) || flags.fixedDt <= 0.0f || flags.fixedDt > 10.0f)
        return fail("--fixed-dt: expected seconds in (0, 10], got \"" + value + "\"");
      ++i;
    } else if (flag == "--input") {
      if (!hasValue) return needsValue();
      std::string contents, why;
      if (!readRegularFile(value, kMaxInputScriptBytes, contents, why))
        return fail("--input: cannot read \"" + value + "\": " + why);
      std::istringstream script(contents);
      std::string error;
      if (!parseInputScript(script, flags.input, error)) return fail("--input: " + value + ": " + error);
      ++i;
    } else if (flag == "--record" || flag == "--replay") {
      if (!hasValue || value.empty()) return needsValue();
      (flag == "--record" ? flags.record : flags.replay) = value;
      ++i;
    } else if (flag == "--screenshot") {
      if (!hasValue) return needsValue();
      const auto colon = value.find(':');
      Screenshot shot;
      if (colon == std::string::npos || !parseWhole(value.substr(0, colon), shot.frame) || shot.frame < 1 ||
          colon + 1 == value.size())
        return fail("--screenshot: expected FRAME:FILE with FRAME >= 1, got \"" + value + "\"");
      shot.path = value.substr(colon + 1);
      flags.screenshots.push_back(shot);
      ++i;
    } else {
      return fail("unknown flag \"" + flag +
                  "\" (flags: --frames N, --fixed-dt S, --input FILE, "
                  "--screenshot N:FILE, --bench, --bench-floor, --log-state, --autopilot, --full-shadow, "
                  "--record FILE, --replay FILE)");
    }
  }
  // A picture of a frame the run never reaches would silently never be written.
  for (const Screenshot& shot : flags.screenshots) {
    if (flags.frames > 0 && shot.frame > flags.frames)
      return fail("--screenshot: frame " + std::to_string(shot.frame) +
                  " is after the last frame (--frames " + std::to_string(flags.frames) + ")");
  }
  return result;
}

}  // namespace ruvelo
