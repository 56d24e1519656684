// The settings file: "key=value" lines for the window, brightness, sound and the ghost. Every key is
// one row of a table (settings.cpp) with its type, range and default.
#pragma once

#include <iosfwd>
#include <string>

namespace ruvelo {

// render_scale: "auto" (the default) or a fixed share of each window axis, 0.35 to 1.0.
struct RenderScaleSetting {
  bool set = false;  // the file names it; otherwise deterministic runs draw at 1.0
  bool automatic = true;
  float value = 1.0f;
};

// Each field starts at its key's default from the table.
struct Settings {
  Settings();
  int width;
  int height;
  int refresh_rate;
  bool fullscreen;
  float brightness;
  float volume;  // sound, 0 to 1
  bool ghost;    // the best run's vehicle drawn while playing
  RenderScaleSetting renderScale;
  int windowSamples;  // the window's multisampling: 0, 2, 4 or 8
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

}  // namespace ruvelo
