// The game's named actions and the keys and gamepad inputs each answers to, read from controls.txt
// in the player's config folder over today's defaults, and the mapping of one frame's keys and
// gamepad onto the driver's command. Escape always quits: it can be neither unbound nor moved.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "input/gamepad.h"
#include "common/game_types.h"

namespace ruvelo {

// The driving actions come first and count while held; every action from ReverseCamera on happens
// once per release of one of its inputs.
enum class Action {
  Accelerate,
  Reverse,
  SteerLeft,
  SteerRight,
  Brake,
  Recover,
  ReverseCamera,
  Pause,
  Retry,
  Quit,
  Mute,
  ToggleGhost,
  ToggleHud,
  ToggleSnow,
  ToggleWireframe,
  ToggleCulling,
  ToggleFrustum,
  DebugCamera,
  ToggleRules,
  Brighter,
  Darker,
  RenderScale,
  Options,
  CameraView,
};
constexpr int kActionCount = 24;
constexpr int kDrivingActionCount = 6;
inline bool isDrivingAction(Action action) {
  return static_cast<int>(action) < kDrivingActionCount;
}

// One input an action is bound to: a key, a gamepad button, a trigger, or one half of a stick axis.
struct Binding {
  enum class Kind { Key, GamepadButton, GamepadAxis };
  Kind kind = Kind::Key;
  int code = 0;       // GLFW key code, gamepad button or gamepad axis
  int direction = 1;  // a stick axis half: -1 or +1 (triggers: +1)
  bool operator==(const Binding& other) const {
    return kind == other.kind && code == other.code && direction == other.direction;
  }
};

struct Controls {
  std::array<std::vector<Binding>, kActionCount> bindings;

  // Driving: W/S/A/D/B/SPACE/R; right trigger, left trigger, left stick, X, Y, right bumper. Then P
  // and Start pause, Enter and A retry, Escape quits, M mutes, G the ghost, F1-F10 as the README lists.
  static Controls defaults();
  const std::vector<Binding>& of(Action action) const { return bindings[static_cast<int>(action)]; }
  // Every key bound to an action, each once.
  std::vector<int> boundKeys() const;
  bool keyBoundTo(Action action, int key) const;
  // The action a key is bound to, if any (each input is bound to one action at most).
  bool actionOfKey(int key, Action& action) const;
};

// The action's name in controls.txt ("accelerate", "steer_left" …).
const char* actionName(Action action);
// The name of an input as controls.txt spells it: key names as in input scripts ("W", "UP"),
// "GAMEPAD_" and a button or trigger ("GAMEPAD_A", "GAMEPAD_LEFT_TRIGGER"), or a stick axis with
// its direction ("GAMEPAD_LEFT_X-", "GAMEPAD_LEFT_X+").
std::string bindingName(const Binding& binding);

// Applies the lines of a controls file to `controls` (which holds the defaults): "action=NAME[,NAME…]"
// replaces that action's bindings (quit keeps Escape beside what it names); blank lines and '#'
// comments are skipped. False with `error` set to one line "FILE:LINE: what is wrong" for an
// unknown action or name, Escape bound to anything but quit, an action set twice, or one input bound
// to two actions; `controls` is then unspecified.
bool parseControls(const std::string& text, const std::string& file, Controls& controls, std::string& error);

// The player's controls: the defaults with controls.txt from the config folder applied when it
// exists. False with `error` (one line naming the file) when it exists but cannot be read or used.
bool loadControls(Controls& controls, std::string& error);

// `text` (a controls file) with the actions marked in `changed` written in: each line naming one
// gets its bindings from `controls`; such an action no line names is added at the end. Comments,
// blank lines and the other lines stay as they were.
std::string rewriteControls(const std::string& text, const Controls& controls,
                            const std::array<bool, kActionCount>& changed);

// Keeps a rebinding made in the game: controls.txt in the config folder rewritten through the
// atomic writer (or made). "" when done; otherwise why not (a file that cannot be read is left as
// it is).
std::string keepControls(const Controls& controls, const std::array<bool, kActionCount>& changed);

// How far one binding is pressed, in [0, 1]: keys and buttons 0 or 1, triggers and stick halves
// after their dead zone and curve. `pad` is null when no gamepad is connected.
float bindingValue(const Binding& binding, const std::function<bool(int key)>& keyHeld,
                   const GamepadState* pad);

// The driving command of one frame: keys set the flags, gamepad inputs the amounts (the largest of
// an action's bindings; steering is left minus right, as the command's +x is the driver's left).
// The digital actions (recover) count a gamepad input pressed past half way.
DriveCommand mapDriving(const Controls& controls, const std::function<bool(int key)>& keyHeld,
                        const GamepadState* pad);
// Whether any gamepad input bound to `action` is pressed past half way.
bool padPressed(const Controls& controls, Action action, const GamepadState* pad);

}  // namespace ruvelo
