// Gamepads: the state of one as GLFW's gamepad API reports it, the names of its axes and buttons,
// the dead zone and response curve its sticks and triggers go through, and the devices themselves
// (extra mappings, connect and disconnect messages, the first connected pad's state).
#pragma once

#include <array>
#include <iosfwd>
#include <string>

namespace ruvelo {

constexpr int kGamepadAxisCount = 6;     // left x, left y, right x, right y, left trigger, right trigger
constexpr int kGamepadButtonCount = 15;  // A, B, X, Y, bumpers, back, start, guide, thumbs, d-pad
constexpr int kGamepadLeftTrigger = 4;
constexpr int kGamepadRightTrigger = 5;

// Axes as reported: sticks in [-1, 1], triggers from -1 at rest to 1 fully pulled.
struct GamepadState {
  std::array<float, kGamepadAxisCount> axes{0.0f, 0.0f, 0.0f, 0.0f, -1.0f, -1.0f};
  std::array<bool, kGamepadButtonCount> buttons{};
};

// Axis and button numbers for their names without GLFW's prefix ("LEFT_X", "RIGHT_TRIGGER", "A",
// "RIGHT_BUMPER"); -1 if unknown.
int gamepadAxisFromName(const std::string& name);
int gamepadButtonFromName(const std::string& name);
// The names back; the numbers must be in range.
std::string gamepadAxisName(int axis);
std::string gamepadButtonName(int button);
inline bool isTriggerAxis(int axis) {
  return axis == kGamepadLeftTrigger || axis == kGamepadRightTrigger;
}

constexpr float kStickDeadZone = 0.1f;
constexpr float kStickExponent = 1.5f;
constexpr float kTriggerDeadZone = 0.05f;

// A stick axis in [-1, 1] after its dead zone and curve: 0 inside the dead zone, then the rest of
// the travel rescaled to [0, 1] (so the output starts from 0 at the edge) and raised to the
// exponent, with the input's sign. Outside [-1, 1] counts as the end; not a number counts as 0.
float shapeStick(float value);
// A trigger as reported (-1 at rest, 1 pulled) as a throttle in [0, 1] after its small dead zone.
float shapeTrigger(float value);

// The gamepads plugged into the machine, through GLFW (which must be initialised).
namespace gamepads {

// Adds the mappings of `<config folder>/gamecontrollerdb.txt` and of $SDL_GAMECONTROLLERCONFIG to
// the built-in ones, reports a file or variable it cannot use (one line on `out`; the game goes on
// without it), watches connections from now on and names the gamepads already connected.
void start(std::ostream& out);
// The state of the first connected gamepad; false when none is connected.
bool poll(GamepadState& state);

}  // namespace gamepads
}  // namespace ruvelo
