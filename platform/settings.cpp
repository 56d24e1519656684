#include "platform/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <istream>

#include "platform/regular_file.h"

namespace ruvelo {
namespace {

// Window sizes the game accepts; anything else cannot open a usable window.
constexpr long kMinWindowSize = 1;
constexpr long kMaxWindowSize = 16384;

SettingsResult badValue(const std::string& key, const std::string& value, const std::string& why) {
  return {SettingsStatus::BadValue,
          "Invalid settings value for " + key + ": " + quotedText(value) + " (" + why + ")"};
}

// Decimal string-to-int: leading blanks skipped, stops at the first non-digit ("  800px" is 800).
std::optional<long> toInteger(const std::string& value, bool& outOfRange) {
  const char* begin = value.c_str();
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(begin, &end, 10);
  if (end == begin) return std::nullopt;
  outOfRange = errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX;
  return parsed;
}

std::optional<float> toFloat(const std::string& value, bool& outOfRange) {
  const char* begin = value.c_str();
  char* end = nullptr;
  errno = 0;
  const float parsed = std::strtof(begin, &end);
  if (end == begin) return std::nullopt;
  // A value too small for a float (1e-50) is zero, not out of range.
  if (errno == ERANGE && std::fabs(parsed) <= 1.0f) return 0.0f;
  outOfRange = errno == ERANGE || !std::isfinite(parsed);
  return parsed;
}

SettingsResult parseInt(const std::string& key, const std::string& value, long minimum, long maximum,
                        int& target) {
  bool outOfRange = false;
  const auto parsed = toInteger(value, outOfRange);
  if (!parsed) return badValue(key, value, "not a number");
  if (outOfRange || *parsed < minimum || *parsed > maximum) return badValue(key, value, "out of range");
  target = static_cast<int>(*parsed);
  return {};
}

}  // namespace

SettingsResult parseSettings(std::istream& in, int& width, int& height, int& refresh_rate, bool& fullscreen,
                             float& brightness, float* volume, bool* ghost) {
  static const char* const kKeys[] = {"width",      "height", "refresh_rate", "fullscreen",
                                      "brightness", "volume", "ghost"};
  std::string line;
  for (bool first = true; std::getline(in, line); first = false) {
    if (first) dropByteOrderMark(line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const char* key = nullptr;
    for (const char* candidate : kKeys) {
      if (line.find(candidate) != std::string::npos) {
        key = candidate;
        break;
      }
    }
    if (key == nullptr || (volume == nullptr && std::string(key) == "volume") ||
        (ghost == nullptr && std::string(key) == "ghost"))
      continue;

    const auto equals = line.find('=');
    if (equals == std::string::npos) return badValue(key, line, "no \"=\"");
    const std::string value = line.substr(equals + 1);
    const std::string k = key;

    SettingsResult result;
    if (k == "width") {
      result = parseInt(k, value, kMinWindowSize, kMaxWindowSize, width);
    } else if (k == "height") {
      result = parseInt(k, value, kMinWindowSize, kMaxWindowSize, height);
    } else if (k == "refresh_rate") {
      result = parseInt(k, value, INT32_MIN, INT32_MAX, refresh_rate);
    } else if (k == "fullscreen") {
      fullscreen = value == "true";
    } else if (k == "ghost") {
      if (value != "true" && value != "false") return badValue(k, value, "true or false");
      if (ghost) *ghost = value == "true";
    } else {
      bool outOfRange = false;
      const auto parsed = toFloat(value, outOfRange);
      if (!parsed) return badValue(k, value, "not a number");
      if (k == "volume") outOfRange = outOfRange || !(*parsed >= 0.0f && *parsed <= 1.0f);
      if (outOfRange) return badValue(k, value, "out of range");
      (k == "volume" ? *volume : brightness) = *parsed;
    }
    if (result.status != SettingsStatus::Ok) return result;
  }
  return {};
}

SettingsResult readSettings(const std::string& path, int& width, int& height, int& refresh_rate,
                            bool& fullscreen, float& brightness, float* volume, bool* ghost) {
  // A directory or a device opens like a file but reads as nothing (or without end): only a regular
  // file that reads to its end counts as a settings file.
  const SettingsResult cannotOpen{SettingsStatus::FileMissing, "Unable to open file settings.txt"};
  if (!regularFileProblem(path).empty()) return cannotOpen;
  std::ifstream file(path, std::ios::binary);
  if (!file) return cannotOpen;
  const SettingsResult parsed =
      parseSettings(file, width, height, refresh_rate, fullscreen, brightness, volume, ghost);
  if (file.bad()) return cannotOpen;
  return parsed;
}

std::string settingsFileToRead(const std::string& configDir, const std::string& shippedFile) {
  if (configDir.empty()) return shippedFile;
  const std::string player = configDir + "/settings.txt";
  // Only a file that is plainly absent is passed over; one that cannot be looked at (a file in
  // place of the config folder, a folder without permission) is reported.
  struct stat info {};
  return ::lstat(player.c_str(), &info) != 0 && errno == ENOENT ? shippedFile : player;
}

SettingsResult readSettingsFile(const std::string& path, const std::string& shippedFile, Settings& settings) {
  SettingsResult read =
      readSettings(path, settings.width, settings.height, settings.refresh_rate, settings.fullscreen,
                   settings.brightness, &settings.volume, &settings.ghost);
  if (read.status == SettingsStatus::BadValue) read.message += " in " + printable(path);
  if (read.status == SettingsStatus::FileMissing && path != shippedFile) {
    const std::string problem = regularFileProblem(path);
    read.message =
        "Unable to open file " + printable(path) + (problem.empty() ? "" : ": " + printable(problem));
  }
  return read;
}

}  // namespace ruvelo
