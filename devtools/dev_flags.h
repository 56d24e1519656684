// Developer flags for tests, benchmarks and bug reports. None changes the game when absent.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ruvelo {

// One line of an input script: at the start of frame `frame` (counted from 1), key `key` (a GLFW key
// code) is pressed or released; or the scripted gamepad's button `key` is, or its axis `key` moves
// to `value` (as GLFW reports it: sticks -1 to 1, triggers -1 at rest to 1 pulled).
struct ScriptedKey {
  enum class Kind { Key, GamepadButton, GamepadAxis };
  long frame = 0;
  int key = 0;
  bool press = false;
  Kind kind = Kind::Key;
  float value = 0.0f;
};

struct Screenshot {
  long frame = 0;
  std::string path;
};

struct DevFlags {
  long frames = 0;                 // 0: run until the window closes
  float fixedDt = 0.0f;            // 0: measure frame time with the timer
  std::vector<ScriptedKey> input;  // sorted by frame, file order kept within a frame
  std::string inputPath;           // the --input file
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
};

struct FlagsResult {
  bool ok = true;
  std::string message;   // one line naming the flag, when !ok
  std::string exitText;  // --help or --version: print this and end with status 0, running nothing
  DevFlags flags;
};

// Parses argv. Unknown flags, missing or bad values, input scripts that are not regular files of a
// sane size or do not parse, a --data-dir that is not a data folder and screenshots of frames after
// --frames give !ok.
FlagsResult parseDevFlags(int argc, const char* const* argv);

// Reads an input script: "FRAME KEY press|release", "FRAME GAMEPAD_BUTTON NAME press|release" or
// "FRAME GAMEPAD_AXIS NAME VALUE" per line, '#' starts a comment.
bool parseInputScript(std::istream& in, std::vector<ScriptedKey>& out, std::string& error);

// GLFW key code for a name as GLFW spells it without the GLFW_KEY_ prefix ("W", "F3", "SPACE"); -1 if
// unknown.
int keyCodeFromName(const std::string& name);

}  // namespace ruvelo
