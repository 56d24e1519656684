#include "input/input.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <iostream>

namespace ruvelo {

const int kFreeCameraKeys[6] = {GLFW_KEY_W, GLFW_KEY_S,     GLFW_KEY_A,
                                GLFW_KEY_D, GLFW_KEY_SPACE, GLFW_KEY_LEFT_SHIFT};

namespace {

// A window event that is not a key, as the frame carries it.
InputEvent pointerEvent(const WindowEvent& window) {
  InputEvent event;
  event.type = window.type == WindowEvent::Type::Cursor   ? InputEvent::Type::Cursor
               : window.type == WindowEvent::Type::Scroll ? InputEvent::Type::Scroll
                                                          : InputEvent::Type::FocusLost;
  event.x = window.x;
  event.y = window.y;
  event.leftButton = window.leftButton;
  return event;
}

}  // namespace

bool InputFrame::held(int key) const {
  return std::find(held_.begin(), held_.end(), key) != held_.end();
}

void InputFrame::setHeld(int key, bool held) {
  const auto at = std::find(held_.begin(), held_.end(), key);
  if (held && at == held_.end()) held_.push_back(key);
  if (!held && at != held_.end()) held_.erase(at);
}

FreeCameraKeys InputFrame::freeCamera() const {
  const int* k = kFreeCameraKeys;
  return {held(k[0]), held(k[1]), held(k[2]), held(k[3]), held(k[4]), held(k[5])};
}

LiveInput::LiveInput(Platform& platform, std::vector<ScriptedKey> script, const Controls& controls)
    : platform_(platform),
      script_(std::move(script)),
      controls_(controls),
      polledKeys_(controls.boundKeys()) {
  for (int key : kFreeCameraKeys)
    if (std::find(polledKeys_.begin(), polledKeys_.end(), key) == polledKeys_.end())
      polledKeys_.push_back(key);
  gamepads::start(std::cout);
  if (script_.hasGamepad()) std::cout << "Gamepad connected: input script" << std::endl;
}

InputFrame LiveInput::poll(long frame, bool withScript) {
  std::vector<WindowEvent> raw = platform_.pollEvents();
  if (withScript) {
    script_.deliver(frame, [&raw](int key, int action) {
      WindowEvent event;
      event.key = key;
      event.action = action;
      raw.push_back(event);
    });
  }
  const GamepadState* pad = gamepad();
  InputFrame input;
  if (menu_)
    addMenuEvents(raw, pad, input.events);
  else
    addActions(raw, pad, input.events);
  for (int b = 0; b < kGamepadButtonCount; ++b) buttonsHeld_[b] = pad && pad->buttons[b];
  for (int key : polledKeys_) input.setHeld(key, platform_.keyHeld(key) || script_.isHeld(key));
  input.drive = mapDriving(
      controls_, [&input](int key) { return input.held(key); }, pad);
  return input;
}

void LiveInput::setMenu(bool on, bool capture) {
  menu_ = on;
  capture_ = on && capture;
  padHeld_.fill(false);  // an input let go after the menu closes acts on nothing
}

void LiveInput::setControls(const Controls& controls) {
  controls_ = controls;
  polledKeys_ = controls.boundKeys();
  for (int key : kFreeCameraKeys)
    if (std::find(polledKeys_.begin(), polledKeys_.end(), key) == polledKeys_.end())
      polledKeys_.push_back(key);
}

const GamepadState* LiveInput::gamepad() {
  if (script_.hasGamepad()) return &script_.gamepad();
  return gamepads::poll(gamepad_) ? &gamepad_ : nullptr;
}

void LiveInput::addActions(const std::vector<WindowEvent>& raw, const GamepadState* pad,
                           std::vector<InputEvent>& out) {
  out.reserve(raw.size() + 1);
  for (const WindowEvent& event : raw) {
    if (event.type != WindowEvent::Type::Key) {
      out.push_back(pointerEvent(event));
      continue;
    }
    Action action;
    if (event.action == GLFW_RELEASE && controls_.actionOfKey(event.key, action) && !isDrivingAction(action))
      out.push_back(InputEvent::of(action));
  }
  // A gamepad input counts once it is pressed past half way, and acts when it lets go.
  for (int a = kDrivingActionCount; a < kActionCount; ++a) {
    const bool held = padPressed(controls_, static_cast<Action>(a), pad);
    if (padHeld_[a] && !held) out.push_back(InputEvent::of(static_cast<Action>(a)));
    padHeld_[a] = held;
  }
}

namespace {

InputEvent menuEvent(MenuKey key) {
  InputEvent event;
  event.type = InputEvent::Type::Menu;
  event.menu = key;
  return event;
}

InputEvent captured(Binding::Kind kind, int code) {
  InputEvent event;
  event.type = InputEvent::Type::Captured;
  event.binding = Binding{kind, code, 1};
  return event;
}

// A key's meaning in a menu, on its release; false for a key without one.
bool menuKeyOf(int key, MenuKey& out) {
  switch (key) {
    case GLFW_KEY_UP:
      out = MenuKey::Up;
      return true;
    case GLFW_KEY_DOWN:
      out = MenuKey::Down;
      return true;
    case GLFW_KEY_LEFT:
      out = MenuKey::Left;
      return true;
    case GLFW_KEY_RIGHT:
      out = MenuKey::Right;
      return true;
    case GLFW_KEY_ENTER:
    case GLFW_KEY_KP_ENTER:
      out = MenuKey::Select;
      return true;
    case GLFW_KEY_ESCAPE:
    case GLFW_KEY_BACKSPACE:
      out = MenuKey::Back;
      return true;
    default:
      return false;
  }
}

// A gamepad button's meaning in a menu, on its release.
bool menuButtonOf(int button, MenuKey& out) {
  switch (button) {
    case GLFW_GAMEPAD_BUTTON_DPAD_UP:
      out = MenuKey::Up;
      return true;
    case GLFW_GAMEPAD_BUTTON_DPAD_DOWN:
      out = MenuKey::Down;
      return true;
    case GLFW_GAMEPAD_BUTTON_DPAD_LEFT:
      out = MenuKey::Left;
      return true;
    case GLFW_GAMEPAD_BUTTON_DPAD_RIGHT:
      out = MenuKey::Right;
      return true;
    case GLFW_GAMEPAD_BUTTON_A:
      out = MenuKey::Select;
      return true;
    case GLFW_GAMEPAD_BUTTON_B:
      out = MenuKey::Back;
      return true;
    default:
      return false;
  }
}

}  // namespace

void LiveInput::addMenuEvents(const std::vector<WindowEvent>& raw, const GamepadState* pad,
                              std::vector<InputEvent>& out) {
  for (const WindowEvent& event : raw) {
    if (event.type != WindowEvent::Type::Key) {
      out.push_back(pointerEvent(event));
      continue;
    }
    MenuKey key;
    // Waiting for a binding, the press of any key but Escape is the new key; Escape goes back.
    if (capture_ && event.action == GLFW_PRESS && event.key != GLFW_KEY_ESCAPE) {
      out.push_back(captured(Binding::Kind::Key, event.key));
      capture_ = false;
      capturedKey_ = event.key;
    } else if (event.action == GLFW_RELEASE && event.key == capturedKey_) {
      capturedKey_ = -1;
    } else if (event.action == GLFW_RELEASE && menuKeyOf(event.key, key) &&
               !(capture_ && key != MenuKey::Back)) {
      out.push_back(menuEvent(key));
    }
  }
  for (int b = 0; b < kGamepadButtonCount; ++b) {
    const bool held = pad && pad->buttons[b];
    MenuKey key;
    if (capture_ && held && !buttonsHeld_[b] && b != GLFW_GAMEPAD_BUTTON_B) {
      out.push_back(captured(Binding::Kind::GamepadButton, b));
      capture_ = false;
      capturedButton_ = b;
    } else if (!held && buttonsHeld_[b] && b == capturedButton_) {
      capturedButton_ = -1;
    } else if (!held && buttonsHeld_[b] && menuButtonOf(b, key) && !(capture_ && key != MenuKey::Back)) {
      out.push_back(menuEvent(key));
    }
  }
}

}  // namespace ruvelo
