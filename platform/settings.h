// Every option of the game in one live store: the window, brightness, sound, the ghost, the render
// scale and the toggles a player expects to find as they left them. Each is one row of a table
// (settings.cpp) with its name in settings.txt, how its value is read, its default and range, whether
// a change applies at once or at the next start, and whether the game writes it back for the
// player. The parts that use an option read it here when they need it, never a copy, and a change
// counter tells a reader that caches work from a value (the render scale's controller) to redo it.
#pragma once

#include <array>
#include <iosfwd>
#include <string>

namespace ruvelo {

// render_scale: "auto" (the default) or a fixed share of each window axis, 0.35 to 1.0.
struct RenderScaleSetting {
  bool set = false;  // the file names it; otherwise deterministic runs draw at 1.0
  bool automatic = true;
  float value = 1.0f;
};

enum class Option {
  Width,
  Height,
  RefreshRate,
  Fullscreen,
  Brightness,
  Volume,
  Ghost,
  RenderScale,
  WindowSamples,
  Snow,
  Hud,
  Sound,
  CameraView,  // 0 chase, 1 far chase, 2 bonnet
  Fov,         // the vertical field of view, degrees
};
constexpr int kOptionCount = 14;
constexpr int kCameraViewCount = 3;
// The camera views as settings.txt names them ("chase", "far", "bonnet").
const char* cameraViewKey(int view);

enum class Applies { Now, NextStart };

// One row of the table, as the options screen and the writer need it.
struct OptionInfo {
  const char* name;  // the key in settings.txt
  double byDefault;  // a switch: 1 or 0; the render scale: -1 for auto
  double minimum;
  double maximum;
  Applies applies;
  bool playerKept;  // changed in the game (a key or the options screen) and written back
};
const OptionInfo& optionInfo(Option option);
// The option of a settings.txt key; false when it is none.
bool optionNamed(const std::string& name, Option& option);

// The value of a render scale that is automatic.
constexpr double kRenderScaleAuto = -1.0;

class Settings {
 public:
  // Every option at its default, none named by a file, none changed.
  Settings();

  double value(Option option) const { return at(option).value; }
  bool on(Option option) const { return value(option) != 0.0; }
  // Whether a file named it.
  bool named(Option option) const { return at(option).named; }
  // How many times the player changed it in this process (a key, the options screen).
  unsigned changes(Option option) const { return at(option).changes; }
  // Whether anything the game writes back was changed.
  bool anyKeptChanged() const;

  // A value read from a file (`named`), or one the start-up decides: not a change of the player's.
  void load(Option option, double value, bool named = true);
  // The player's change; counted when it differs from the value held.
  void change(Option option, double value);

  int width() const { return static_cast<int>(value(Option::Width)); }
  int height() const { return static_cast<int>(value(Option::Height)); }
  int refresh_rate() const { return static_cast<int>(value(Option::RefreshRate)); }
  bool fullscreen() const { return on(Option::Fullscreen); }
  float brightness() const { return static_cast<float>(value(Option::Brightness)); }
  float volume() const { return static_cast<float>(value(Option::Volume)); }  // 0 to 1
  bool ghost() const { return on(Option::Ghost); }  // the best run's vehicle drawn while playing
  RenderScaleSetting renderScale() const;
  int windowSamples() const { return static_cast<int>(value(Option::WindowSamples)); }  // 0, 2, 4 or 8

 private:
  struct Entry {
    double value = 0.0;
    bool named = false;
    unsigned changes = 0;
  };
  const Entry& at(Option option) const { return entries_[static_cast<int>(option)]; }
  Entry& at(Option option) { return entries_[static_cast<int>(option)]; }
  std::array<Entry, kOptionCount> entries_;
};

enum class SettingsStatus { Ok, FileMissing, BadValue };

struct SettingsResult {
  SettingsStatus status = SettingsStatus::Ok;
  std::string message;  // one line naming the key and the offending value (BadValue only)
};

// Parses the lines of a settings file into `settings`. A line is "key=value": the key is the text
// before the first "=" without the blanks around it, matched whole; a line with an unknown key, or
// with no "=" and no key, is ignored. The value is everything after that "="; a carriage return
// belongs to the line end. The window's keys and brightness read their values leniently (leading
// blanks skipped, the number ends at the first character that is not part of it; `fullscreen` is
// true only for exactly "true"); `volume` and `ghost` must be exactly a plain decimal or
// true/false, `render_scale` exactly "auto" or a plain decimal, `window_samples` exactly 0, 2, 4 or 8
// (no sign, leading zero, exponent, hex, "4.0" or byte after the value). A value
// that cannot be read, is not finite or is out of its key's range stops parsing with BadValue.
SettingsResult parseSettings(std::istream& in, Settings& settings);

// Opens the file and parses it; FileMissing when it cannot be opened or read, or is not a regular
// file (a directory, a device).
SettingsResult readSettings(const std::string& path, Settings& settings);

// The settings file the game reads: the player's `configDir`/settings.txt when anything of that name
// exists (so a file the player cannot read is reported, not passed over), else `shippedFile`.
std::string settingsFileToRead(const std::string& configDir, const std::string& shippedFile);

// Reads `path` (from settingsFileToRead) into `settings`. Every message names the file: a bad value
// ends with " in PATH"; a player's file that cannot be read gives "Unable to open file PATH: why";
// the shipped file keeps its "Unable to open file settings.txt".
SettingsResult readSettingsFile(const std::string& path, const std::string& shippedFile, Settings& settings);

// An option's value as settings.txt spells it ("true", "auto", "0.5", "4"), one the reader takes back.
std::string settingValueText(Option option, double value);

// `text` (a settings file) with the kept options the player changed written in: every line whose key
// is one of them gets the new value after its "=" (the key as written, the blanks after "=" and a
// carriage return stay); such an option no line names is added at the end. Every other byte stays:
// comments, blank lines, unknown keys, their order, a byte-order mark.
std::string rewriteSettings(const std::string& text, const Settings& settings);

// Keeps the player's changes: the changed kept options written into `configDir`/settings.txt through
// the atomic writer, starting from that file, or from the shipped file's text when the player has
// none. Nothing is written when nothing kept has changed. "" when done or nothing was to be done;
// otherwise why not (a player's file that cannot be read is left exactly as it is, and the shipped
// file is never written).
std::string keepChangedSettings(const std::string& configDir, const std::string& shippedFile,
                                const Settings& settings);

}  // namespace ruvelo
