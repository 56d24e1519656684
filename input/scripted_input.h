// Input from an --input script: key events delivered in a frame's event poll, the keys a script
// holds down, seen by the polled driving keys exactly like real ones, and the scripted gamepad: a
// script with gamepad lines acts as a connected gamepad from its first frame.
#pragma once

#include <functional>
#include <set>
#include <vector>

#include "devtools/dev_flags.h"
#include "input/gamepad.h"

namespace ruvelo {

class ScriptedInput {
 public:
  explicit ScriptedInput(std::vector<ScriptedKey> events);

  // Delivers this frame's key events in script order: (key, GLFW action) to `deliver`; its gamepad
  // lines move the scripted gamepad.
  void deliver(long frame, const std::function<void(int key, int action)>& deliver);

  bool isHeld(int key) const { return held_.count(key) != 0; }
  bool hasGamepad() const { return hasGamepad_; }
  const GamepadState& gamepad() const { return gamepad_; }

 private:
  std::vector<ScriptedKey> events_;
  size_t next_ = 0;
  std::set<int> held_;
  bool hasGamepad_ = false;
  GamepadState gamepad_;
};

}  // namespace ruvelo
