// The settings file: "key=value" lines for the window size, refresh rate, full screen and brightness.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace ruvelo {

struct Settings {
  int width = 200;
  int height = 200;
  int refresh_rate = 150;
  bool fullscreen = true;
  float brightness = 1.0f;
  float volume = 0.8f;  // sound, 0 to 1
  bool ghost = true;    // the best run's vehicle drawn while playing
};

enum class SettingsStatus { Ok, FileMissing, BadValue };

struct SettingsResult {
  SettingsStatus status = SettingsStatus::Ok;
  std::string message;  // one line naming the key and the offending value (BadValue only)
};

// Parses the lines of a settings file into the values. Keys are found by substring search in the
// fixed order width, height, refresh_rate, fullscreen, brightness, volume, ghost; the value is everything
// after the first "="; a carriage return belongs to the line end. A value that cannot be converted,
// or is out of range, stops parsing with BadValue. `volume` (0 to 1) is read only when asked for;
// so is `ghost` ("ghost=false" hides the best run's vehicle).
SettingsResult parseSettings(std::istream& in, int& width, int& height, int& refresh_rate, bool& fullscreen,
                             float& brightness, float* volume = nullptr, bool* ghost = nullptr);

// Opens the file and parses it; FileMissing when it cannot be opened or read, or is not a regular
// file (a directory, a device).
SettingsResult readSettings(const std::string& path, int& width, int& height, int& refresh_rate,
                            bool& fullscreen, float& brightness, float* volume = nullptr,
                            bool* ghost = nullptr);

// The settings file the game reads: the player's `configDir`/settings.txt when anything of that name
// exists (so a file the player cannot read is reported, not passed over), else `shippedFile`.
std::string settingsFileToRead(const std::string& configDir, const std::string& shippedFile);

// Reads `path` (from settingsFileToRead) into `settings`. Every message names the file: a bad value
// ends with " in PATH"; a player's file that cannot be read gives "Unable to open file PATH"; the
// shipped file keeps its "Unable to open file settings.txt".
SettingsResult readSettingsFile(const std::string& path, const std::string& shippedFile, Settings& settings);

}  // namespace ruvelo
