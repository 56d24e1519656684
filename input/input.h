// One frame of input: the events in the order they arrived and the driving command the held keys
// and the gamepad make through the player's controls. LiveInput gathers it from the window, the
// first gamepad and the input script; a replay swaps in a recorded one.
#pragma once

#include <vector>

#include "input/controls.h"
#include "input/gamepad.h"
#include "input/input_script.h"
#include "input/scripted_input.h"
#include "platform/platform.h"

namespace ruvelo {

// One input event, in the order it arrived. ReverseCamera follows the release of a key, or of a
// gamepad input, bound to reverse_camera.
struct InputEvent {
  enum class Type { Key, Cursor, Scroll, ReverseCamera };
  Type type = Type::Key;
  int key = 0;
  int action = 0;  // GLFW_PRESS, GLFW_RELEASE or GLFW_REPEAT
  double x = 0.0;  // cursor position, or the scroll's vertical offset in x
  double y = 0.0;
  bool leftButton = false;  // the left mouse button held at the cursor event
};

// What one poll gathered: the events, the polled keys held when it ended (from the keyboard or the
// script; the free camera reads them), and the driving command they and the gamepad make through
// the player's controls, which the driving step of the next frame reads.
class InputFrame {
 public:
  std::vector<InputEvent> events;
  DriveCommand drive;
  bool held(int key) const;
  void setHeld(int key, bool held);

 private:
  std::vector<int> held_;
};

// The keys the free camera moves with (debug mode), in its directions' order: forward, back, left,
// right, up, down.
extern const int kFreeCameraKeys[6];

class LiveInput {
 public:
  // Starts the gamepads and says "Gamepad connected: input script" when the script drives one.
  LiveInput(Platform& platform, std::vector<ScriptedKey> script, const Controls& controls);

  // The window's events, then (unless `withScript` is false) the script's events for `frame`.
  InputFrame poll(long frame, bool withScript = true);

 private:
  // This frame's gamepad: the script's when it has gamepad lines, else the first connected one.
  const GamepadState* gamepad();
  // The events with a ReverseCamera after each release of an input bound to it.
  std::vector<InputEvent> withReverseCamera(std::vector<InputEvent> events, const GamepadState* pad);

  Platform& platform_;
  ScriptedInput script_;
  Controls controls_;
  std::vector<int> polledKeys_;  // the bound keys and the free camera's
  GamepadState gamepad_;
  bool padCameraHeld_ = false;
};

}  // namespace ruvelo
