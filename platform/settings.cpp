#include "platform/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>

#include "platform/atomic_file.h"
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
  ViewName,        // exactly one of the camera views' names
};

// One key of the settings file: its option, and how its value is read.
struct SettingKey {
  Option option;
  Reading reading;
  OptionInfo info;
};

constexpr double kAnyNumber = std::numeric_limits<double>::infinity();
constexpr double kAuto = kRenderScaleAuto;
constexpr Applies kNow = Applies::Now;
constexpr Applies kNextStart = Applies::NextStart;

// Every key, once, in the order of Option. The window's keys, full screen and brightness read their
// values leniently, as the game always has; the keys added since refuse anything but a whole value.
// Brightness is taken as written: F5 and F6 keep it within 0.5 to 2.0 once pressed. The window's
// keys and its samples take effect when the window opens; the rest at once.
const SettingKey kSettingKeys[kOptionCount] = {
    {Option::Width, Reading::LenientInteger, {"width", 200, 1, 16384, kNextStart, false}},
    {Option::Height, Reading::LenientInteger, {"height", 200, 1, 16384, kNextStart, false}},
    {Option::RefreshRate,
     Reading::LenientInteger,
     {"refresh_rate", 150, INT_MIN, INT_MAX, kNextStart, false}},
    {Option::Fullscreen, Reading::ExactTrue, {"fullscreen", 1, 0, 1, kNextStart, false}},
    {Option::Brightness, Reading::LenientNumber, {"brightness", 1.0, -kAnyNumber, kAnyNumber, kNow, true}},
    {Option::Volume, Reading::StrictNumber, {"volume", 0.8, 0.0, 1.0, kNow, true}},
    {Option::Ghost, Reading::StrictSwitch, {"ghost", 1, 0, 1, kNow, true}},
    {Option::RenderScale, Reading::ScaleOrAuto, {"render_scale", kAuto, 0.35, 1.0, kNow, true}},
    {Option::WindowSamples, Reading::SampleCount, {"window_samples", 4, 0, 8, kNextStart, true}},
    {Option::Snow, Reading::StrictSwitch, {"snow", 1, 0, 1, kNow, true}},
    {Option::Hud, Reading::StrictSwitch, {"hud", 1, 0, 1, kNow, true}},
    {Option::Sound, Reading::StrictSwitch, {"sound", 1, 0, 1, kNow, true}},
    {Option::CameraView, Reading::ViewName, {"camera_view", 0, 0, kCameraViewCount - 1, kNow, true}},
    {Option::Fov, Reading::StrictNumber, {"fov", 45, 40, 90, kNow, true}},
};

SettingsResult badValue(const std::string& key, const std::string& value, const std::string& why) {
  return {SettingsStatus::BadValue,
          "Invalid settings value for " + key + ": " + quotedText(value) + " (" + why + ")"};
}

const SettingKey* findKey(const std::string& name) {
  for (const SettingKey& key : kSettingKeys)
    if (name == key.info.name) return &key;
  return nullptr;
}

std::string trimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
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
  if (errno == ERANGE || out < asRead(key.info.minimum) || out > asRead(key.info.maximum))
    return "out of range";
  return "";
}

SettingsResult readValue(const SettingKey& key, const std::string& value, Settings& settings) {
  double number = 0.0;
  switch (key.reading) {
    case Reading::ExactTrue:
      number = value == "true" ? 1.0 : 0.0;
      break;
    case Reading::StrictSwitch:
      if (value != "true" && value != "false") return badValue(key.info.name, value, "true or false");
      number = value == "true" ? 1.0 : 0.0;
      break;
    case Reading::LenientInteger:
    case Reading::LenientNumber:
    case Reading::StrictNumber: {
      const std::string why = readNumber(key, value, number);
      if (!why.empty()) return badValue(key.info.name, value, why);
      break;
    }
    case Reading::ScaleOrAuto:
      if (value == "auto")
        number = kAuto;
      else if (!readNumber(key, value, number).empty())
        return badValue(key.info.name, value, "auto or 0.35 to 1.0");
      break;
    case Reading::ViewName: {
      number = -1.0;
      for (int view = 0; view < kCameraViewCount; ++view)
        if (value == cameraViewKey(view)) number = view;
      if (number < 0.0) return badValue(key.info.name, value, "chase, far or bonnet");
      break;
    }
    case Reading::SampleCount: {
      const bool read = readNumber(key, value, number).empty();
      const long count = read && number == std::floor(number) ? static_cast<long>(number) : -1;
      if (count != 0 && (count < 2 || (count & (count - 1)) != 0))
        return badValue(key.info.name, value, "0, 2, 4 or 8");
      break;
    }
  }
  settings.load(key.option, number);
  return {};
}

}  // namespace

const char* cameraViewKey(int view) {
  static const char* const kNames[kCameraViewCount] = {"chase", "far", "bonnet"};
  return kNames[std::clamp(view, 0, kCameraViewCount - 1)];
}

const OptionInfo& optionInfo(Option option) {
  return kSettingKeys[static_cast<int>(option)].info;
}

bool optionNamed(const std::string& name, Option& option) {
  const SettingKey* key = findKey(name);
  if (key) option = key->option;
  return key != nullptr;
}

Settings::Settings() {
  for (const SettingKey& key : kSettingKeys) load(key.option, key.info.byDefault, false);
}

bool Settings::anyKeptChanged() const {
  for (const SettingKey& key : kSettingKeys)
    if (key.info.playerKept && changes(key.option) > 0) return true;
  return false;
}

// Values are stored as their type keeps them: whole numbers truncated, a switch as 0 or 1, a
// number at float precision, so a value reads back exactly as the game uses it.
void Settings::load(Option option, double value, bool named) {
  const SettingKey& key = kSettingKeys[static_cast<int>(option)];
  switch (key.reading) {
    case Reading::LenientInteger:
    case Reading::SampleCount:
    case Reading::ViewName:
      value = static_cast<double>(static_cast<int>(value));
      break;
    case Reading::ExactTrue:
    case Reading::StrictSwitch:
      value = value != 0.0 ? 1.0 : 0.0;
      break;
    case Reading::LenientNumber:
    case Reading::StrictNumber:
    case Reading::ScaleOrAuto:
      value = static_cast<double>(static_cast<float>(value));
      break;
  }
  at(option).value = value;
  at(option).named = named;
}

void Settings::change(Option option, double value) {
  const double before = this->value(option);
  const bool named = at(option).named;
  load(option, value, named);
  if (this->value(option) != before) ++at(option).changes;
}

RenderScaleSetting Settings::renderScale() const {
  const double v = value(Option::RenderScale);
  return {named(Option::RenderScale), v == kAuto, v == kAuto ? 1.0f : static_cast<float>(v)};
}

SettingsResult parseSettings(std::istream& in, Settings& settings) {
  std::string line;
  for (bool first = true; std::getline(in, line); first = false) {
    if (first) dropByteOrderMark(line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto equals = line.find('=');
    const SettingKey* key = findKey(trimBlanks(line.substr(0, equals)));
    if (key == nullptr) continue;  // an unknown key, a comment, a blank line
    if (equals == std::string::npos) return badValue(key->info.name, line, "no \"=\"");
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

std::string settingValueText(Option option, double value) {
  const SettingKey& key = kSettingKeys[static_cast<int>(option)];
  switch (key.reading) {
    case Reading::ExactTrue:
    case Reading::StrictSwitch:
      return value != 0.0 ? "true" : "false";
    case Reading::LenientInteger:
    case Reading::SampleCount:
      return std::to_string(static_cast<long long>(value));
    case Reading::ScaleOrAuto:
      if (value == kAuto) return "auto";
      break;
    case Reading::ViewName:
      return cameraViewKey(static_cast<int>(value));
    case Reading::LenientNumber:
    case Reading::StrictNumber:
      break;
  }
  // A plain decimal: six places (more than a float's value here needs), trailing zeros dropped.
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  std::string shown = text;
  while (shown.back() == '0') shown.pop_back();
  if (shown.back() == '.') shown.pop_back();
  return shown == "-0" ? "0" : shown;
}

std::string rewriteSettings(const std::string& text, const Settings& settings) {
  static const std::string kMark = "\xEF\xBB\xBF";
  std::array<bool, kOptionCount> written{};
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    const bool newline = end != std::string::npos;
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    const std::size_t keyFrom = out.empty() && line.rfind(kMark, 0) == 0 ? kMark.size() : 0;
    const std::size_t equals = line.find('=');
    Option option;
    if (equals != std::string::npos &&
        optionNamed(trimBlanks(line.substr(keyFrom, equals - keyFrom)), option) &&
        optionInfo(option).playerKept && settings.changes(option) > 0) {
      const std::size_t valueFrom = line.find_first_not_of(" \t", equals + 1);
      line = line.substr(0, valueFrom == std::string::npos ? line.size() : valueFrom) +
             settingValueText(option, settings.value(option));
      written[static_cast<int>(option)] = true;
    }
    out += line + (cr ? "\r" : "") + (newline ? "\n" : "");
  }
  for (const SettingKey& key : kSettingKeys) {
    const int i = static_cast<int>(key.option);
    if (!key.info.playerKept || settings.changes(key.option) == 0 || written[i]) continue;
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += std::string(key.info.name) + "=" + settingValueText(key.option, settings.value(key.option)) + "\n";
  }
  return out;
}

std::string keepChangedSettings(const std::string& configDir, const std::string& shippedFile,
                                const Settings& settings) {
  if (!settings.anyKeptChanged()) return "";
  if (configDir.empty()) return "no config folder";
  const std::string path = configDir + "/settings.txt";
  struct stat mine {
  }, shipped{};
  if (::stat(path.c_str(), &mine) == 0 && ::stat(shippedFile.c_str(), &shipped) == 0 &&
      mine.st_dev == shipped.st_dev && mine.st_ino == shipped.st_ino)
    return printable(path) + " is the shipped settings file";
  // Settings files are a few lines; the game reads them whole.
  constexpr std::size_t kMaxSettingsBytes = 1024 * 1024;
  std::string text, why;
  bool missing = false;
  if (!readRegularFile(path, kMaxSettingsBytes, text, why, &missing)) {
    if (!missing) return printable(path) + " cannot be read (" + printable(why) + "); it is left as it is";
    // The player's first file starts as the shipped one, so the window and its comments carry over.
    text.clear();
    if (!readRegularFile(shippedFile, kMaxSettingsBytes, text, why)) text.clear();
  }
  if (!writeFileAtomically(path, rewriteSettings(text, settings), why))
    return printable(path) + ": " + printable(why);
  return "";
}

}  // namespace ruvelo
