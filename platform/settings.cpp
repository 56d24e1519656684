#include "platform/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>
#include <variant>

#include "platform/regular_file.h"

namespace ruvelo {
namespace {

// How a key's value is read.
enum class Reading {
  LenientInteger,  // leading blanks skipped, the number ends at the first non-digit ("  800px" is 800)
  LenientNumber,   // the same for a decimal number ("0.7xyz" is 0.7)
  ExactTrue,       // true for exactly "true", false for anything else
  StrictNumber,    // exactly a decimal number: nothing before or after it
  StrictSwitch,    // exactly "true" or "false"
  ScaleOrAuto,     // exactly "auto", or exactly a decimal number within the range
  SampleCount,     // exactly 0, or exactly a power of two within the range
};

using Field =
    std::variant<int Settings::*, float Settings::*, bool Settings::*, RenderScaleSetting Settings::*>;

// One key of the settings file. A switch's default is 1 (true) or 0 (false).
struct SettingKey {
  const char* name;
  Reading reading;
  double byDefault;
  double minimum;
  double maximum;
  Field field;
};

constexpr double kAnyNumber = std::numeric_limits<double>::infinity();
// The stored value of a render scale that is automatic.
constexpr double kAuto = -1.0;

// Every key, once. The window's keys, full screen and brightness read their values leniently, as the
// game always has; the keys added since (volume, ghost) refuse anything but a whole value. Brightness
// is taken as written: F5 and F6 keep it within 0.5 to 2.0 once pressed.
const SettingKey kSettingKeys[] = {
    {"width", Reading::LenientInteger, 200, 1, 16384, &Settings::width},
    {"height", Reading::LenientInteger, 200, 1, 16384, &Settings::height},
    {"refresh_rate", Reading::LenientInteger, 150, INT_MIN, INT_MAX, &Settings::refresh_rate},
    {"fullscreen", Reading::ExactTrue, 1, 0, 1, &Settings::fullscreen},
    {"brightness", Reading::LenientNumber, 1.0, -kAnyNumber, kAnyNumber, &Settings::brightness},
    {"volume", Reading::StrictNumber, 0.8, 0.0, 1.0, &Settings::volume},
    {"ghost", Reading::StrictSwitch, 1, 0, 1, &Settings::ghost},
    {"render_scale", Reading::ScaleOrAuto, kAuto, 0.35, 1.0, &Settings::renderScale},
    {"window_samples", Reading::SampleCount, 4, 0, 8, &Settings::windowSamples},
};

SettingsResult badValue(const std::string& key, const std::string& value, const std::string& why) {
  return {SettingsStatus::BadValue,
          "Invalid settings value for " + key + ": " + quotedText(value) + " (" + why + ")"};
}

const SettingKey* findKey(const std::string& name) {
  for (const SettingKey& key : kSettingKeys)
    if (name == key.name) return &key;
  return nullptr;
}

std::string trimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// `fromFile`: the value was read from the file (a render scale then counts as set).
void store(Settings& settings, const Field& field, double value, bool fromFile = true) {
  if (const auto* integer = std::get_if<int Settings::*>(&field))
    settings.*(*integer) = static_cast<int>(value);
  if (const auto* number = std::get_if<float Settings::*>(&field))
    settings.*(*number) = static_cast<float>(value);
  if (const auto* flag = std::get_if<bool Settings::*>(&field)) settings.*(*flag) = value != 0.0;
  if (const auto* scale = std::get_if<RenderScaleSetting Settings::*>(&field))
    settings.*(*scale) = {fromFile, value == kAuto, value == kAuto ? 1.0f : static_cast<float>(value)};
}

// Whether `value` is written the one plain way: "0" or digits without a leading zero, then (when
// `fraction`) optionally "." and digits. No sign, blank, exponent, hex or byte after it.
bool plainDecimal(const std::string& value, bool fraction) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t at = 0;
  while (at < value.size() && digit(value[at])) ++at;
  if (at == 0 || (at > 1 && value[0] == '0')) return false;
  if (at == value.size()) return true;
  if (!fraction || value[at] != '.' || at + 1 == value.size()) return false;
  for (++at; at < value.size(); ++at)
    if (!digit(value[at])) return false;
  return true;
}

// A number read from the start of `value` ("" when the value holds none): "" or why it is refused.
// A strict reading takes only a value that is the number and nothing else.
std::string readNumber(const SettingKey& key, const std::string& value, double& out) {
  const bool integer = key.reading == Reading::LenientInteger;
  const char* begin = value.c_str();
  char* end = nullptr;
  errno = 0;
  out = integer ? static_cast<double>(std::strtol(begin, &end, 10))
                : static_cast<double>(std::strtof(begin, &end));
  // A value too small for a float (1e-50) is zero, not out of range.
  if (!integer && errno == ERANGE && std::fabs(out) <= 1.0) {
    errno = 0;
    out = 0.0;
  }
  // A strict key takes the value only as a plain decimal ("0.5", not "+0.5", "0x1p-1" or "5e-1"),
  // and a window sample count only as a whole number ("4", not "4.0" or "04").
  const bool strict = key.reading != Reading::LenientInteger && key.reading != Reading::LenientNumber;
  if (end == begin || (strict && !plainDecimal(value, key.reading != Reading::SampleCount)))
    return "not a number";
  if (!std::isfinite(out)) return "not finite";
  // Numbers are read as floats: the bounds are compared as the floats they name (0.35 reads as
  // 0.3499999940..., which is still 0.35).
  const auto asRead = [integer](double bound) {
    return integer || !std::isfinite(bound) ? bound : static_cast<double>(static_cast<float>(bound));
  };
  if (errno == ERANGE || out < asRead(key.minimum) || out > asRead(key.maximum)) return "out of range";
  return "";
}

SettingsResult readValue(const SettingKey& key, const std::string& value, Settings& settings) {
  double number = 0.0;
  switch (key.reading) {
    case Reading::ExactTrue:
      number = value == "true" ? 1.0 : 0.0;
      break;
    case Reading::StrictSwitch:
      if (value != "true" && value != "false") return badValue(key.name, value, "true or false");
      number = value == "true" ? 1.0 : 0.0;
      break;
    case Reading::LenientInteger:
    case Reading::LenientNumber:
    case Reading::StrictNumber: {
      const std::string why = readNumber(key, value, number);
      if (!why.empty()) return badValue(key.name, value, why);
      break;
    }
    case Reading::ScaleOrAuto:
      if (value == "auto")
        number = kAuto;
      else if (!readNumber(key, value, number).empty())
        return badValue(key.name, value, "auto or 0.35 to 1.0");
      break;
    case Reading::SampleCount: {
      const bool read = readNumber(key, value, number).empty();
      const long count = read && number == std::floor(number) ? static_cast<long>(number) : -1;
      if (count != 0 && (count < 2 || (count & (count - 1)) != 0))
        return badValue(key.name, value, "0, 2, 4 or 8");
      break;
    }
  }
  store(settings, key.field, number);
  return {};
}

}  // namespace

Settings::Settings() {
  for (const SettingKey& key : kSettingKeys) store(*this, key.field, key.byDefault, false);
}

SettingsResult parseSettings(std::istream& in, Settings& settings) {
  std::string line;
  for (bool first = true; std::getline(in, line); first = false) {
    if (first) dropByteOrderMark(line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto equals = line.find('=');
    const SettingKey* key = findKey(trimBlanks(line.substr(0, equals)));
    if (key == nullptr) continue;  // an unknown key, a comment, a blank line
    if (equals == std::string::npos) return badValue(key->name, line, "no \"=\"");
    const SettingsResult read = readValue(*key, line.substr(equals + 1), settings);
    if (read.status != SettingsStatus::Ok) return read;
  }
  return {};
}

SettingsResult readSettings(const std::string& path, Settings& settings) {
  // A directory or a device opens like a file but reads as nothing (or without end): only a regular
  // file that reads to its end counts as a settings file.
  const SettingsResult cannotOpen{SettingsStatus::FileMissing, "Unable to open file settings.txt"};
  if (!regularFileProblem(path).empty()) return cannotOpen;
  std::ifstream file(path, std::ios::binary);
  if (!file) return cannotOpen;
  const SettingsResult parsed = parseSettings(file, settings);
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
  SettingsResult read = readSettings(path, settings);
  if (read.status == SettingsStatus::BadValue) read.message += " in " + printable(path);
  if (read.status == SettingsStatus::FileMissing && path != shippedFile) {
    std::string problem = regularFileProblem(path);
    if (problem.empty()) {
      // A plain file that would not open or read: the system says why (no permission, ...).
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      problem = fd < 0 ? std::strerror(errno) : "cannot be read";
      if (fd >= 0) ::close(fd);
    }
    read.message =
        "Unable to open file " + printable(path) + (problem.empty() ? "" : ": " + printable(problem));
  }
  return read;
}

}  // namespace ruvelo
