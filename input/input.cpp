#include "input/input.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <iostream>

namespace ruvelo {

const int kFreeCameraKeys[6] = {GLFW_KEY_W, GLFW_KEY_S,     GLFW_KEY_A,
                                GLFW_KEY_D, GLFW_KEY_SPACE, GLFW_KEY_LEFT_SHIFT};

namespace {

InputEvent fromWindow(const WindowEvent& window) {
  InputEvent event;
  switch (window.type) {
    case WindowEvent::Type::Key:
      event.type = InputEvent::Type::Key;
      break;
    case WindowEvent::Type::Cursor:
      event.type = InputEvent::Type::Cursor;
      break;
    case WindowEvent::Type::Scroll:
      event.type = InputEvent::Type::Scroll;
      break;
  }
  event.key = window.key;
  event.action = window.action;
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
  std::vector<InputEvent> events;
  for (const WindowEvent& event : platform_.pollEvents()) events.push_back(fromWindow(event));
  if (withScript) {
    script_.deliver(frame, [&events](int key, int action) {
      InputEvent event;
      event.type = InputEvent::Type::Key;
      event.key = key;
      event.action = action;
      events.push_back(event);
    });
  }
  const GamepadState* pad = gamepad();
  InputFrame input;
  input.events = withReverseCamera(std::move(events), pad);
  for (int key : polledKeys_) input.setHeld(key, platform_.keyHeld(key) || script_.isHeld(key));
  input.drive = mapDriving(
      controls_, [&input](int key) { return input.held(key); }, pad);
  return input;
}

const GamepadState* LiveInput::gamepad() {
  if (script_.hasGamepad()) return &script_.gamepad();
  return gamepads::poll(gamepad_) ? &gamepad_ : nullptr;
}

std::vector<InputEvent> LiveInput::withReverseCamera(std::vector<InputEvent> events,
                                                     const GamepadState* pad) {
  InputEvent reverseCamera;
  reverseCamera.type = InputEvent::Type::ReverseCamera;
  std::vector<InputEvent> out;
  out.reserve(events.size() + 1);
  for (const InputEvent& event : events) {
    out.push_back(event);
    if (event.type == InputEvent::Type::Key && event.action == GLFW_RELEASE &&
        controls_.keyBoundTo(Action::ReverseCamera, event.key))
      out.push_back(reverseCamera);
  }
  const bool padHeld = padPressed(controls_, Action::ReverseCamera, pad);
  if (padCameraHeld_ && !padHeld) out.push_back(reverseCamera);
  padCameraHeld_ = padHeld;
  return out;
}

}  // namespace ruvelo
