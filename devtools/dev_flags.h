// Developer flags for tests, benchmarks and bug reports. None changes the game when absent.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ruvelo {

struct Screenshot {
  long frame = 0;
  std::string path;
};

struct DevFlags {
  long frames = 0;            // 0: run until the window closes
  float fixedDt = 0.0f;       // 0: measure frame time with the timer
  float scaleFrameMs = 0.0f;  // > 0: the wall time the automatic render scale sees for every frame
  std::string input;          // the --input script's text, as the input module reads it
  std::string inputPath;      // the --input file
  std::vector<Screenshot> screenshots;
  bool bench = false;
  bool benchFloor = false;  // frames that only clear the shadow map and the window (the cost floor)
  bool logState = false;
  bool autopilot = false;   // the game drives the route itself until the player presses a driving key
  bool fullShadow = false;  // redraw the whole shadow map every frame instead of only what changed
  std::string record;       // also write the run's recording here
  std::string replay;       // play this recording back instead of the live input
  std::string dataDir;      // the data folder to use instead of looking for one
  std::string audioOut;     // the mix rendered in game time, written here as a WAV file
  bool audioStems = false;  // beside it, each group's part of the mix (FILE.engine.wav, ...)
  long slowFrameMs = 0;     // every fifth frame takes at least this long (a hitch, for tests)
};

struct FlagsResult {
  bool ok = true;
  std::string message;   // one line naming the flag, when !ok
  std::string exitText;  // --help or --version: print this and end with status 0, running nothing
  DevFlags flags;
};

// Checks a text (an input script): "" when it is fine, else what is wrong with it.
using TextCheck = std::function<std::string(const std::string& text)>;

// Parses argv. Unknown flags, missing or bad values, input scripts that are not regular files of a
// sane size or that `checkInputScript` refuses, a --data-dir that is not a data folder and
// screenshots of frames after --frames give !ok.
FlagsResult parseDevFlags(int argc, const char* const* argv, const TextCheck& checkInputScript = nullptr);

}  // namespace ruvelo
