#include "input/controls.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <sstream>
#include <utility>

#include "input/key_names.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "platform/user_dirs.h"

namespace ruvelo {
namespace {

// A controls file is a few lines; anything near this size is not one.
constexpr std::size_t kMaxControlsBytes = 64 * 1024;

constexpr const char* kActionNames[kActionCount] = {
    "accelerate",     "reverse",        "steer_left",   "steer_right",  "brake",
    "recover",        "reverse_camera", "pause",        "retry",        "quit",
    "mute",           "toggle_ghost",   "toggle_hud",   "toggle_snow",  "toggle_wireframe",
    "toggle_culling", "toggle_frustum", "debug_camera", "toggle_rules", "brighter",
    "darker",         "render_scale",   "options",      "camera_view"};

// Every action's name, for the message naming an unknown one.
std::string actionList() {
  std::string list;
  for (const char* name : kActionNames) list += (list.empty() ? "" : ", ") + std::string(name);
  return list;
}

Binding key(int code) {
  return {Binding::Kind::Key, code, 1};
}
Binding button(int code) {
  return {Binding::Kind::GamepadButton, code, 1};
}
Binding axis(int code, int direction) {
  return {Binding::Kind::GamepadAxis, code, direction};
}

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

int actionFromName(const std::string& name) {
  for (int i = 0; i < kActionCount; ++i)
    if (name == kActionNames[i]) return i;
  return -1;
}

// One name of a binding list; false with `error` saying what is wrong with it.
bool parseBinding(const std::string& name, Binding& out, std::string& error) {
  static const std::string kPad = "GAMEPAD_";
  if (name.rfind(kPad, 0) == 0) {
    std::string rest = name.substr(kPad.size());
    int direction = 0;
    if (!rest.empty() && (rest.back() == '-' || rest.back() == '+')) {
      direction = rest.back() == '-' ? -1 : 1;
      rest.pop_back();
    }
    const int axisCode = gamepadAxisFromName(rest);
    if (axisCode >= 0 && isTriggerAxis(axisCode) && direction == 0) {
      out = axis(axisCode, 1);
      return true;
    }
    if (axisCode >= 0 && !isTriggerAxis(axisCode)) {
      if (direction != 0) {
        out = axis(axisCode, direction);
        return true;
      }
      error = printable(name) + " needs a direction: " + printable(name) + "- or " + printable(name) + "+";
      return false;
    }
    const int buttonCode = gamepadButtonFromName(rest);
    if (buttonCode >= 0 && direction == 0) {
      out = button(buttonCode);
      return true;
    }
    error = "unknown gamepad input " + quotedText(name);
    return false;
  }
  const int code = keyCodeFromName(name);
  if (code < 0) {
    error = "unknown key " + quotedText(name);
    return false;
  }
  out = key(code);
  return true;
}

// An input bound to two actions, reported at the later of the two lines that bound it (line 0: a
// default), the earliest such line first. False with `error` set when there is one.
bool checkDistinct(const Controls& controls, const std::array<int, kActionCount>& lineOf,
                   const std::string& file, std::string& error) {
  std::string found;
  int foundLine = 0;
  for (int a = 0; a < kActionCount; ++a) {
    for (int b = a + 1; b < kActionCount; ++b) {
      for (const Binding& binding : controls.bindings[a]) {
        const auto& others = controls.bindings[b];
        if (std::find(others.begin(), others.end(), binding) == others.end()) continue;
        const int line = std::max(lineOf[a], lineOf[b]);
        if (!found.empty() && line >= foundLine) continue;
        foundLine = line;
        const int byDefault = lineOf[a] == 0 ? a : lineOf[b] == 0 ? b : -1;
        found = file + ":" + std::to_string(line) + ": " + bindingName(binding) + " is bound to both " +
                kActionNames[a] + " and " + kActionNames[b] +
                (byDefault >= 0 ? std::string(" (") + kActionNames[byDefault] + " by default)" : "");
      }
    }
  }
  if (found.empty()) return true;
  error = found;
  return false;
}

}  // namespace

const char* actionName(Action action) {
  return kActionNames[static_cast<int>(action)];
}

Controls Controls::defaults() {
  Controls c;
  c.bindings[static_cast<int>(Action::Accelerate)] = {key(GLFW_KEY_W), axis(kGamepadRightTrigger, 1)};
  c.bindings[static_cast<int>(Action::Reverse)] = {key(GLFW_KEY_S), axis(kGamepadLeftTrigger, 1)};
  c.bindings[static_cast<int>(Action::SteerLeft)] = {key(GLFW_KEY_A), axis(GLFW_GAMEPAD_AXIS_LEFT_X, -1)};
  c.bindings[static_cast<int>(Action::SteerRight)] = {key(GLFW_KEY_D), axis(GLFW_GAMEPAD_AXIS_LEFT_X, 1)};
  c.bindings[static_cast<int>(Action::Brake)] = {key(GLFW_KEY_B), button(GLFW_GAMEPAD_BUTTON_X)};
  c.bindings[static_cast<int>(Action::Recover)] = {key(GLFW_KEY_SPACE), button(GLFW_GAMEPAD_BUTTON_Y)};
  c.bindings[static_cast<int>(Action::ReverseCamera)] = {key(GLFW_KEY_R),
                                                         button(GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER)};
  c.bindings[static_cast<int>(Action::Pause)] = {key(GLFW_KEY_P), button(GLFW_GAMEPAD_BUTTON_START)};
  c.bindings[static_cast<int>(Action::Retry)] = {key(GLFW_KEY_ENTER), button(GLFW_GAMEPAD_BUTTON_A)};
  // The actions on one key each, as the keys were fixed before they could be moved.
  const std::pair<Action, int> oneKey[] = {
      {Action::Quit, GLFW_KEY_ESCAPE},      {Action::Mute, GLFW_KEY_M},
      {Action::ToggleGhost, GLFW_KEY_G},    {Action::ToggleHud, GLFW_KEY_F9},
      {Action::ToggleSnow, GLFW_KEY_F7},    {Action::ToggleWireframe, GLFW_KEY_F1},
      {Action::ToggleCulling, GLFW_KEY_F2}, {Action::ToggleFrustum, GLFW_KEY_F8},
      {Action::DebugCamera, GLFW_KEY_F3},   {Action::ToggleRules, GLFW_KEY_F4},
      {Action::Brighter, GLFW_KEY_F5},      {Action::Darker, GLFW_KEY_F6},
      {Action::RenderScale, GLFW_KEY_F10},
  };
  for (const auto& [action, code] : oneKey) c.bindings[static_cast<int>(action)] = {key(code)};
  c.bindings[static_cast<int>(Action::Options)] = {key(GLFW_KEY_O), button(GLFW_GAMEPAD_BUTTON_BACK)};
  c.bindings[static_cast<int>(Action::CameraView)] = {key(GLFW_KEY_C),
                                                      button(GLFW_GAMEPAD_BUTTON_RIGHT_THUMB)};
  return c;
}

std::vector<int> Controls::boundKeys() const {
  std::vector<int> keys;
  for (const auto& list : bindings)
    for (const Binding& b : list)
      if (b.kind == Binding::Kind::Key && std::find(keys.begin(), keys.end(), b.code) == keys.end())
        keys.push_back(b.code);
  return keys;
}

bool Controls::keyBoundTo(Action action, int code) const {
  const auto& list = of(action);
  return std::find(list.begin(), list.end(), key(code)) != list.end();
}

bool Controls::actionOfKey(int code, Action& action) const {
  for (int a = 0; a < kActionCount; ++a) {
    if (!keyBoundTo(static_cast<Action>(a), code)) continue;
    action = static_cast<Action>(a);
    return true;
  }
  return false;
}

std::string bindingName(const Binding& binding) {
  switch (binding.kind) {
    case Binding::Kind::GamepadButton:
      return "GAMEPAD_" + gamepadButtonName(binding.code);
    case Binding::Kind::GamepadAxis:
      return "GAMEPAD_" + gamepadAxisName(binding.code) +
             (isTriggerAxis(binding.code) ? ""
              : binding.direction < 0     ? "-"
                                          : "+");
    case Binding::Kind::Key:
      break;
  }
  return keyName(binding.code);
}

namespace {

// The comma-separated names after "action=": false with `why` for an empty, unknown or repeated name.
bool parseBindingList(const std::string& value, const std::string& action, std::vector<Binding>& list,
                      std::string& why) {
  std::istringstream names(value);
  std::string item;
  while (std::getline(names, item, ',')) {
    item = trim(item);
    Binding binding;
    if (item.empty()) {
      why = "an empty name in the list of " + action;
      return false;
    }
    if (!parseBinding(item, binding, why)) return false;
    if (std::find(list.begin(), list.end(), binding) != list.end()) {
      why = printable(item) + " is listed twice";
      return false;
    }
    list.push_back(binding);
  }
  return true;
}

}  // namespace

bool parseControls(const std::string& text, const std::string& file, Controls& controls, std::string& error) {
  std::array<int, kActionCount> lineOf{};  // the line that set each action; 0: its default
  const std::string shownFile = printable(file);
  std::string withoutMark = text;
  dropByteOrderMark(withoutMark);
  std::istringstream in(withoutMark);
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    if (trim(line).empty()) continue;
    const std::string where = shownFile + ":" + std::to_string(lineNumber) + ": ";
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      error = where + "expected \"action=NAME[,NAME...]\"";
      return false;
    }
    const std::string name = trim(line.substr(0, eq));
    const int action = actionFromName(name);
    if (action < 0) {
      error = where + "unknown action " + quotedText(name) + " (actions: " + actionList() + ")";
      return false;
    }
    if (lineOf[action] != 0) {
      error = where + name + " is already set on line " + std::to_string(lineOf[action]);
      return false;
    }
    const std::string value = trim(line.substr(eq + 1));
    if (!value.empty() && value.back() == ',') {
      error = where + "an empty name in the list of " + name;
      return false;
    }
    std::vector<Binding> list;
    std::string why;
    if (!parseBindingList(value, name, list, why)) {
      error = where + why;
      return false;
    }
    if (list.empty()) {
      error = where + "no key or gamepad input named for " + name;
      return false;
    }
    // Escape is the way out whatever else is bound: it stays on quit and goes nowhere else.
    const Binding escape = key(GLFW_KEY_ESCAPE);
    const bool namesEscape = std::find(list.begin(), list.end(), escape) != list.end();
    if (action == static_cast<int>(Action::Quit) && !namesEscape) list.insert(list.begin(), escape);
    if (action != static_cast<int>(Action::Quit) && namesEscape) {
      error = where + "ESCAPE always quits and cannot be bound to " + name;
      return false;
    }
    controls.bindings[action] = list;
    lineOf[action] = lineNumber;
  }
  return checkDistinct(controls, lineOf, shownFile, error);
}

bool loadControls(Controls& controls, std::string& error) {
  controls = Controls::defaults();
  const std::string dir = userConfigDir();
  if (dir.empty()) return true;
  const std::string path = dir + "/controls.txt";
  std::string text, why;
  bool missing = false;
  if (!readRegularFile(path, kMaxControlsBytes, text, why, &missing)) {
    if (missing) return true;
    error = printable(path) + ": " + printable(why);
    return false;
  }
  return parseControls(text, path, controls, error);
}

namespace {

std::string bindingLine(const Controls& controls, int action) {
  std::string line = std::string(kActionNames[action]) + "=";
  for (std::size_t i = 0; i < controls.bindings[action].size(); ++i)
    line += (i ? "," : "") + bindingName(controls.bindings[action][i]);
  return line;
}

}  // namespace

std::string rewriteControls(const std::string& text, const Controls& controls,
                            const std::array<bool, kActionCount>& changed) {
  std::array<bool, kActionCount> written{};
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    const std::size_t eq = line.find('=');
    const std::size_t hash = line.find('#');
    const int action = eq == std::string::npos || (hash != std::string::npos && hash < eq)
                           ? -1
                           : actionFromName(trim(line.substr(0, eq)));
    if (action >= 0 && changed[action]) {
      line = bindingLine(controls, action);
      written[action] = true;
    }
    out += line + (cr ? "\r" : "") + (end != std::string::npos ? "\n" : "");
  }
  for (int a = 0; a < kActionCount; ++a) {
    if (!changed[a] || written[a]) continue;
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += bindingLine(controls, a) + "\n";
  }
  return out;
}

std::string keepControls(const Controls& controls, const std::array<bool, kActionCount>& changed) {
  const std::string dir = userConfigDir();
  if (dir.empty()) return "no config folder";
  const std::string path = dir + "/controls.txt";
  std::string text, why;
  bool missing = false;
  if (!readRegularFile(path, kMaxControlsBytes, text, why, &missing)) {
    if (!missing) return printable(path) + " cannot be read (" + printable(why) + "); it is left as it is";
    text.clear();
  }
  if (!writeFileAtomically(path, rewriteControls(text, controls, changed), why))
    return printable(path) + ": " + printable(why);
  return "";
}

float bindingValue(const Binding& binding, const std::function<bool(int key)>& keyHeld,
                   const GamepadState* pad) {
  switch (binding.kind) {
    case Binding::Kind::Key:
      return keyHeld(binding.code) ? 1.0f : 0.0f;
    case Binding::Kind::GamepadButton:
      return pad && pad->buttons[binding.code] ? 1.0f : 0.0f;
    case Binding::Kind::GamepadAxis:
      if (!pad) return 0.0f;
      if (isTriggerAxis(binding.code)) return shapeTrigger(pad->axes[binding.code]);
      return std::max(0.0f, shapeStick(pad->axes[binding.code]) * static_cast<float>(binding.direction));
  }
  return 0.0f;
}

namespace {

bool anyKey(const Controls& controls, Action action, const std::function<bool(int)>& keyHeld) {
  for (const Binding& b : controls.of(action))
    if (b.kind == Binding::Kind::Key && keyHeld(b.code)) return true;
  return false;
}

float padAmount(const Controls& controls, Action action, const GamepadState* pad) {
  float amount = 0.0f;
  if (!pad) return amount;
  for (const Binding& b : controls.of(action))
    if (b.kind != Binding::Kind::Key) amount = std::max(amount, bindingValue(b, {}, pad));
  return amount;
}

}  // namespace

bool padPressed(const Controls& controls, Action action, const GamepadState* pad) {
  return padAmount(controls, action, pad) > 0.5f;
}

DriveCommand mapDriving(const Controls& controls, const std::function<bool(int key)>& keyHeld,
                        const GamepadState* pad) {
  // The command steers as the vehicle model does, towards +x or -x. The vehicle faces +z, so the
  // driver's left is +x: steer_left (A) turns towards +x.
  DriveCommand c;
  c.forward = anyKey(controls, Action::Accelerate, keyHeld);
  c.turnLeft = anyKey(controls, Action::SteerLeft, keyHeld);
  c.reverse = anyKey(controls, Action::Reverse, keyHeld);
  c.turnRight = anyKey(controls, Action::SteerRight, keyHeld);
  c.brake = anyKey(controls, Action::Brake, keyHeld);
  c.recover = anyKey(controls, Action::Recover, keyHeld) || padPressed(controls, Action::Recover, pad);
  c.forwardAmount = padAmount(controls, Action::Accelerate, pad);
  c.reverseAmount = padAmount(controls, Action::Reverse, pad);
  c.steerAmount = padAmount(controls, Action::SteerLeft, pad) - padAmount(controls, Action::SteerRight, pad);
  c.brakeAmount = padAmount(controls, Action::Brake, pad);
  return c;
}

}  // namespace ruvelo
