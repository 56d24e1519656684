#include "input/gamepad.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>

#include "platform/regular_file.h"
#include "platform/user_dirs.h"

namespace ruvelo {
namespace {

// The community mapping file is about half a megabyte; anything far larger is not one.
constexpr std::size_t kMaxMappingBytes = 16 * 1024 * 1024;

constexpr const char* kAxisNames[kGamepadAxisCount] = {"LEFT_X",  "LEFT_Y",       "RIGHT_X",
                                                       "RIGHT_Y", "LEFT_TRIGGER", "RIGHT_TRIGGER"};
constexpr const char* kButtonNames[kGamepadButtonCount] = {
    "A",     "B",          "X",           "Y",       "LEFT_BUMPER", "RIGHT_BUMPER", "BACK",     "START",
    "GUIDE", "LEFT_THUMB", "RIGHT_THUMB", "DPAD_UP", "DPAD_RIGHT",  "DPAD_DOWN",    "DPAD_LEFT"};

int indexOf(const char* const* names, int count, const std::string& name) {
  for (int i = 0; i < count; ++i)
    if (name == names[i]) return i;
  return -1;
}

// Where connection messages go, and the names of the connected gamepads by joystick slot (the name
// of one that has gone is no longer available from GLFW when it is reported).
std::ostream* messages = nullptr;
std::string connectedNames[GLFW_JOYSTICK_LAST + 1];

void noteConnected(int joystick) {
  if (!glfwJoystickIsGamepad(joystick)) {
    // Without a mapping GLFW cannot say which of its axes and buttons is which.
    const char* name = glfwGetJoystickName(joystick);
    if (messages)
      *messages << "Joystick without a gamepad mapping (add one to gamecontrollerdb.txt): "
                << (name ? name : "unnamed") << std::endl;
    return;
  }
  const char* name = glfwGetGamepadName(joystick);
  connectedNames[joystick] = name ? name : "unnamed gamepad";
  if (messages) *messages << "Gamepad connected: " << connectedNames[joystick] << std::endl;
}

void onJoystick(int joystick, int event) {
  if (joystick < 0 || joystick > GLFW_JOYSTICK_LAST) return;
  if (event == GLFW_CONNECTED) {
    noteConnected(joystick);
  } else if (event == GLFW_DISCONNECTED && !connectedNames[joystick].empty()) {
    if (messages) *messages << "Gamepad disconnected: " << connectedNames[joystick] << std::endl;
    connectedNames[joystick].clear();
  }
}

void addMappings(const std::string& text, const std::string& source, std::ostream& out) {
  if (glfwUpdateGamepadMappings(text.c_str()) != GLFW_TRUE)
    out << "Gamepad mappings in " << source << " could not be used" << std::endl;
}

}  // namespace

int gamepadAxisFromName(const std::string& name) {
  return indexOf(kAxisNames, kGamepadAxisCount, name);
}

int gamepadButtonFromName(const std::string& name) {
  return indexOf(kButtonNames, kGamepadButtonCount, name);
}

std::string gamepadAxisName(int axis) {
  return kAxisNames[axis];
}

std::string gamepadButtonName(int button) {
  return kButtonNames[button];
}

float shapeStick(float value) {
  if (std::isnan(value)) return 0.0f;
  const float magnitude = std::min(std::fabs(value), 1.0f);
  if (magnitude <= kStickDeadZone) return 0.0f;
  const float shaped = std::pow((magnitude - kStickDeadZone) / (1.0f - kStickDeadZone), kStickExponent);
  return value < 0.0f ? -shaped : shaped;
}

float shapeTrigger(float value) {
  if (std::isnan(value)) return 0.0f;
  const float pulled = std::clamp((value + 1.0f) * 0.5f, 0.0f, 1.0f);
  if (pulled <= kTriggerDeadZone) return 0.0f;
  return (pulled - kTriggerDeadZone) / (1.0f - kTriggerDeadZone);
}

namespace gamepads {

void start(std::ostream& out) {
  messages = &out;
  const std::string dir = userConfigDir();
  if (!dir.empty()) {
    const std::string path = dir + "/gamecontrollerdb.txt";
    std::string text, why;
    if (readRegularFile(path, kMaxMappingBytes, text, why)) {
      addMappings(text, path, out);
    } else if (why != "no such file") {
      out << "Gamepad mappings in " << path << " could not be read: " << why << std::endl;
    }
  }
  if (const char* variable = std::getenv("SDL_GAMECONTROLLERCONFIG"); variable && *variable)
    addMappings(variable, "SDL_GAMECONTROLLERCONFIG", out);
  glfwSetJoystickCallback(onJoystick);
  for (int joystick = GLFW_JOYSTICK_1; joystick <= GLFW_JOYSTICK_LAST; ++joystick)
    if (glfwJoystickPresent(joystick)) noteConnected(joystick);
}

bool poll(GamepadState& state) {
  for (int joystick = GLFW_JOYSTICK_1; joystick <= GLFW_JOYSTICK_LAST; ++joystick) {
    GLFWgamepadstate raw;
    if (connectedNames[joystick].empty() || !glfwGetGamepadState(joystick, &raw)) continue;
    for (int i = 0; i < kGamepadAxisCount; ++i) state.axes[i] = raw.axes[i];
    for (int i = 0; i < kGamepadButtonCount; ++i) state.buttons[i] = raw.buttons[i] == GLFW_PRESS;
    return true;
  }
  return false;
}

}  // namespace gamepads
}  // namespace ruvelo
