#include "devtools/dev_flags.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include "platform/build_info.h"
#include "platform/data_location.h"
#include "platform/frame_time.h"
#include "platform/regular_file.h"
#include "platform/whole_number.h"

namespace ruvelo {
namespace {

// An input script is a few bytes per key event; anything near this size is not a script.
constexpr std::size_t kMaxInputScriptBytes = 4 * 1024 * 1024;

FlagsResult fail(const std::string& message) {
  FlagsResult result;
  result.ok = false;
  result.message = message;
  return result;
}

}  // namespace

namespace {

// One command-line flag: its name, the value it takes ("" for a switch), the sentence --help shows,
// whether it may be given more than once, and what it does. `apply` gets the value ("" for a switch)
// and returns "" or what is wrong with the value (the caller puts the flag's name in front).
struct FlagDef {
  const char* name;
  const char* value;
  const char* help;
  bool repeatable;
  std::function<std::string(const std::string& value, DevFlags& flags)> apply;
};

// The script is read here and checked by `check` (the input module's reader, handed in by main).
std::string applyInput(const std::string& value, DevFlags& flags, const TextCheck& check) {
  std::string contents, why;
  if (!readRegularFile(value, kMaxInputScriptBytes, contents, why))
    return "cannot read \"" + value + "\": " + why;
  const std::string error = check ? check(contents) : "";
  if (!error.empty()) return value + ": " + error;
  flags.input = std::move(contents);
  flags.inputPath = value;
  return "";
}

std::string applyScreenshot(const std::string& value, DevFlags& flags) {
  const auto colon = value.find(':');
  Screenshot shot;
  if (colon == std::string::npos || !parseWhole(value.substr(0, colon), shot.frame) || shot.frame < 1 ||
      colon + 1 == value.size())
    return "expected FRAME:FILE with FRAME >= 1, got \"" + value + "\"";
  shot.path = value.substr(colon + 1);
  flags.screenshots.push_back(shot);
  return "";
}

std::vector<FlagDef> flagTable(const TextCheck& checkInputScript) {
  return {
      {"--frames", "N", "Close after N frames.", false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         if (!parseWhole(value, flags.frames) || flags.frames < 1)
           return "expected a whole number of frames >= 1, got \"" + value + "\"";
         return "";
       }},
      {"--fixed-dt", "S",
       "Step every frame by S seconds instead of the measured time, so that runs repeat exactly.", false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         // Frames are capped at kMaxFrameTime, so a longer fixed step would silently run as the cap.
         if (!parseWhole(value, flags.fixedDt) || flags.fixedDt <= 0.0f)
           return std::string("expected seconds in (0, ") + kMaxFrameTimeText + "], got \"" + value + "\"";
         if (flags.fixedDt > kMaxFrameTime)
           return std::string("frames count at most ") + kMaxFrameTimeText + " s, got " + value;
         return "";
       }},
      {"--scale-frame-ms", "MS",
       "Let the automatic render scale see every frame as taking MS milliseconds (to test its reactions).",
       false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         if (!parseWhole(value, flags.scaleFrameMs) || !(flags.scaleFrameMs > 0.0f) ||
             flags.scaleFrameMs > 10000.0f)
           return "expected milliseconds in (0, 10000], got \"" + value + "\"";
         return "";
       }},
      {"--input", "FILE",
       "Press and release keys, and move a gamepad, as the script FILE says (lines \"FRAME KEY "
       "press|release\", \"FRAME GAMEPAD_BUTTON NAME press|release\", \"FRAME GAMEPAD_AXIS NAME VALUE\").",
       false,
       [checkInputScript](const std::string& value, DevFlags& flags) {
         return applyInput(value, flags, checkInputScript);
       }},
      {"--screenshot", "N:FILE", "Write frame N's picture to FILE as a PNG (repeatable).", true,
       applyScreenshot},
      {"--bench", "", "Print frame-time statistics and per-pass GPU times at the end.", false,
       [](const std::string&, DevFlags& flags) -> std::string {
         flags.bench = true;
         return "";
       }},
      {"--bench-floor", "", "Like --bench, but every frame only clears the window: the cost floor.", false,
       [](const std::string&, DevFlags& flags) -> std::string {
         flags.bench = true;
         flags.benchFloor = true;
         return "";
       }},
      {"--full-shadow", "", "Redraw the whole shadow map every frame instead of only what changed.", false,
       [](const std::string&, DevFlags& flags) -> std::string {
         flags.fullShadow = true;
         return "";
       }},
      {"--log-state", "", "Print one line of the game's state per frame.", false,
       [](const std::string&, DevFlags& flags) -> std::string {
         flags.logState = true;
         return "";
       }},
      {"--autopilot", "", "Let the game drive the level's route until a driving key is pressed.", false,
       [](const std::string&, DevFlags& flags) -> std::string {
         flags.autopilot = true;
         return "";
       }},
      {"--record", "FILE", "Also write this run's recording to FILE.", false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         if (value.empty()) return "expected a file name";
         flags.record = value;
         return "";
       }},
      {"--replay", "FILE", "Play the recording FILE back instead of the live input (Escape still quits).",
       false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         if (value.empty()) return "expected a file name";
         flags.replay = value;
         return "";
       }},
      {"--data-dir", "DIR", "Read the game's data from DIR instead of looking for it.", false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         const std::string problem = dataFolderProblem(value);
         if (!problem.empty()) return "\"" + value + "\" is not a game data folder (" + problem + ")";
         flags.dataDir = value;
         return "";
       }},
      {"--audio-out", "FILE",
       "Render the sound in game time (48 kHz, no sound card needed) into FILE as a WAV file.", false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         if (value.empty()) return "expected a file name";
         flags.audioOut = value;
         return "";
       }},
      {"--slow-frame", "MS",
       "Make every fifth frame take at least MS milliseconds (at most 250): a hitch after quick frames.",
       false,
       [](const std::string& value, DevFlags& flags) -> std::string {
         if (!parseWhole(value, flags.slowFrameMs) || flags.slowFrameMs < 1 || flags.slowFrameMs > 250)
           return "expected whole milliseconds from 1 to 250, got \"" + value + "\"";
         return "";
       }},
      {"--audio-stems", "",
       "With --audio-out FILE, also write the engine's, the tyres' and the events' parts of the mix to "
       "FILE.engine.wav, FILE.tyres.wav and FILE.events.wav.",
       false,
       [](const std::string&, DevFlags& flags) -> std::string {
         flags.audioStems = true;
         return "";
       }},
  };
}

std::string flagList() {
  std::string list;
  for (const FlagDef& flag : flagTable(nullptr)) {
    list += list.empty() ? "" : ", ";
    list += flag.name;
    if (*flag.value) list += std::string(" ") + flag.value;
  }
  return list;
}

std::string versionText() {
  return std::string("ruvelo ") + buildVersion() + " (commit " + buildCommit() + ")";
}

// Help, version, footer and layout: everything --help shows apart from the flags themselves.
void describeCommandLine(CLI::App& cli) {
  cli.set_help_flag("-h,--help", "Show this help and exit.");
  cli.set_version_flag("--version", versionText(),
                       "Show the version and the commit it was built from, and exit.");
  cli.allow_extras();
  cli.footer(
      "Settings (window size, full screen, brightness, volume): $XDG_CONFIG_HOME/ruvelo/settings.txt\n"
      "(~/.config/ruvelo/settings.txt) when it exists, else settings.txt in the data folder.\n"
      "The data folder: --data-dir, else $RUVELO_DATA_DIR, else found beside the executable.");
  cli.get_formatter()->column_width(24);
}

// Declares every flag of the table, in its order; a value-taking flag collects its values into
// values[i]. Returns the options, one per table entry.
std::vector<CLI::Option*> addFlagOptions(CLI::App& cli, const std::vector<FlagDef>& table,
                                         std::vector<std::vector<std::string>>& values) {
  std::vector<CLI::Option*> options;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const FlagDef& flag = table[i];
    CLI::Option* option = nullptr;
    if (*flag.value) {
      option = cli.add_option(flag.name, values[i], flag.help)->type_name(flag.value)->expected(1);
      option->multi_option_policy(flag.repeatable ? CLI::MultiOptionPolicy::TakeAll
                                                  : CLI::MultiOptionPolicy::TakeLast);
    } else {
      option = cli.add_flag(flag.name, flag.help)->disable_flag_override();
    }
    options.push_back(option);
  }
  return options;
}

// The message for a command line CLI11 refused.
std::string parseErrorMessage(const CLI::ParseError& error, const std::vector<FlagDef>& table) {
  // A value-taking flag at the end of the line, or a value given to a switch ("--bench=1").
  std::string what = error.what();
  what.erase(0, what.find_first_not_of('-'));  // CLI11 names a switch without its dashes
  for (const FlagDef& flag : table) {
    if (what.rfind(std::string(flag.name + 2) + (*flag.value ? ":" : " "), 0) == 0)
      return std::string(flag.name) + (*flag.value ? ": missing value" : ": takes no value");
  }
  return error.what();
}

// Applies every given flag in the table's order; "" or the first problem, with the flag's name.
std::string applyGivenFlags(const std::vector<FlagDef>& table, const std::vector<CLI::Option*>& options,
                            std::vector<std::vector<std::string>>& values, DevFlags& flags) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    const FlagDef& flag = table[i];
    if (options[i]->count() == 0) continue;
    if (!*flag.value) values[i] = {""};
    for (const std::string& value : values[i]) {
      const std::string problem = flag.apply(value, flags);
      if (!problem.empty()) return std::string(flag.name) + ": " + problem;
    }
  }
  return "";
}

// What is wrong with the command line once every flag took its value: "" or the message.
std::string leftoverProblem(const std::vector<std::string>& extras, const DevFlags& flags) {
  if (!extras.empty())
    return "unknown flag \"" + extras.front() + "\" (flags: " + flagList() + "; --help says more)";
  if (flags.audioStems && flags.audioOut.empty()) return "--audio-stems: needs --audio-out FILE";
  // A picture of a frame the run never reaches would silently never be written.
  for (const Screenshot& shot : flags.screenshots) {
    if (flags.frames > 0 && shot.frame > flags.frames)
      return "--screenshot: frame " + std::to_string(shot.frame) + " is after the last frame (--frames " +
             std::to_string(flags.frames) + ")";
  }
  return "";
}

}  // namespace

FlagsResult parseDevFlags(int argc, const char* const* argv, const TextCheck& checkInputScript) {
  CLI::App cli(
      "Ruvelo: deliver three packets across the level before the time or the power runs out.\n"
      "Without flags the game runs as designed; the flags are for tests, benchmarks and bug reports.",
      "ruvelo");
  describeCommandLine(cli);
  const std::vector<FlagDef> table = flagTable(checkInputScript);
  std::vector<std::vector<std::string>> values(table.size());
  const std::vector<CLI::Option*> options = addFlagOptions(cli, table, values);

  FlagsResult result;
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    result.exitText = cli.help();
    return result;
  } catch (const CLI::CallForVersion& version) {
    result.exitText = std::string(version.what()) + "\n";
    return result;
  } catch (const CLI::ParseError& error) {
    return fail(parseErrorMessage(error, table));
  }

  std::string problem = applyGivenFlags(table, options, values, result.flags);
  if (problem.empty()) problem = leftoverProblem(cli.remaining(), result.flags);
  if (!problem.empty()) return fail(problem);
  return result;
}

}  // namespace ruvelo
