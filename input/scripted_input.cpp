#include "input/scripted_input.h"

#include <GLFW/glfw3.h>

#include <algorithm>

namespace ruvelo {

ScriptedInput::ScriptedInput(std::vector<ScriptedKey> events) : events_(std::move(events)) {
  hasGamepad_ = std::any_of(events_.begin(), events_.end(),
                            [](const ScriptedKey& e) { return e.kind != ScriptedKey::Kind::Key; });
}

void ScriptedInput::deliver(long frame, const std::function<void(int key, int action)>& deliver) {
  while (next_ < events_.size() && events_[next_].frame <= frame) {
    const ScriptedKey& event = events_[next_++];
    if (event.frame < frame) continue;  // a frame already past (never happens with a sorted script)
    if (event.kind == ScriptedKey::Kind::GamepadAxis) {
      if (event.key >= 0 && event.key < kGamepadAxisCount) gamepad_.axes[event.key] = event.value;
      continue;
    }
    if (event.kind == ScriptedKey::Kind::GamepadButton) {
      if (event.key >= 0 && event.key < kGamepadButtonCount) gamepad_.buttons[event.key] = event.press;
      continue;
    }
    if (event.press) {
      held_.insert(event.key);
    } else {
      held_.erase(event.key);
    }
    deliver(event.key, event.press ? GLFW_PRESS : GLFW_RELEASE);
  }
}

}  // namespace ruvelo
