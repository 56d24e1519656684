// Input scripts (--input): lines "FRAME KEY press|release", "FRAME GAMEPAD_BUTTON NAME press|release"
// or "FRAME GAMEPAD_AXIS NAME VALUE"; '#' starts a comment.
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

// Reads a script into `out`, sorted by frame with the file's order kept within a frame. False with
// `error` ("line N: what is wrong") when a line does not parse.
bool parseInputScript(std::istream& in, std::vector<ScriptedKey>& out, std::string& error);

// The same over a script's text.
bool parseInputScript(const std::string& text, std::vector<ScriptedKey>& out, std::string& error);

}  // namespace ruvelo
