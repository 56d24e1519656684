// One frame of input: the actions and pointer events in the order they arrived, and the driving
// command the held keys and the gamepad make through the player's controls. LiveInput gathers it from
// the window, the first gamepad and the input script, and is the one place keys, buttons and axes
// become actions; a replay swaps in a recorded frame.
#pragma once

#include <array>
#include <vector>

#include "input/controls.h"
#include "input/gamepad.h"
#include "input/input_script.h"
#include "input/scripted_input.h"
#include "platform/platform.h"

namespace ruvelo {

// One input event, in the order it arrived. An Action follows the release of a key or gamepad
// input bound to one of the actions that happen once (everything after the driving ones); the
// mouse's movement and wheel stay pointer events (mouse look and zoom); FocusLost is the window
// losing focus or being iconified.
// In a menu (LiveInput::setMenu) keys and buttons stop being actions: the arrows and the d-pad move,
// Enter and A choose, Escape, Backspace and B go back (Menu), and while a menu waits for a new
// binding the next key or button pressed is Captured as it is.
enum class MenuKey { Up, Down, Left, Right, Select, Back };

struct InputEvent {
  enum class Type { Action, Cursor, Scroll, FocusLost, Menu, Captured };
  Type type = Type::Action;
  Action action = Action::Quit;  // Action
  MenuKey menu = MenuKey::Back;  // Menu
  Binding binding;               // Captured
  double x = 0.0;                // cursor position
  double y = 0.0;                // cursor position, or the scroll's vertical offset
  bool leftButton = false;       // the left mouse button held at the cursor event

  static InputEvent of(Action action) {
    InputEvent event;
    event.action = action;
    return event;
  }
};

// The free camera's keys held in a frame (debug mode).
struct FreeCameraKeys {
  bool forward = false, back = false, left = false, right = false, up = false, down = false;
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
  // The free camera's keys among the held ones (kFreeCameraKeys).
  FreeCameraKeys freeCamera() const;

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

  // Keys and buttons as a menu reads them (`on`), or as actions again; `capture`: the next key or
  // button pressed is a Captured event.
  void setMenu(bool on, bool capture = false);
  const Controls& controls() const { return controls_; }
  // New bindings from now on (a rebinding made in the game).
  void setControls(const Controls& controls);

 private:
  // This frame's gamepad: the script's when it has gamepad lines, else the first connected one.
  const GamepadState* gamepad();
  // The actions of this poll's key releases in their order, then those of the gamepad's releases.
  void addActions(const std::vector<WindowEvent>& keys, const GamepadState* pad,
                  std::vector<InputEvent>& out);
  // A menu's moves, choices and captured inputs.
  void addMenuEvents(const std::vector<WindowEvent>& keys, const GamepadState* pad,
                     std::vector<InputEvent>& out);

  Platform& platform_;
  ScriptedInput script_;
  Controls controls_;
  std::vector<int> polledKeys_;  // the bound keys and the free camera's
  GamepadState gamepad_;
  std::array<bool, kActionCount> padHeld_{};  // each action's gamepad inputs pressed at the last poll
  std::array<bool, kGamepadButtonCount> buttonsHeld_{};  // the buttons at the last poll
  bool menu_ = false;
  bool capture_ = false;
  int capturedKey_ = -1;  // its release is part of the capture, not a move
  int capturedButton_ = -1;
};

}  // namespace ruvelo
