#include "app/scripted_input.h"

#include <GLFW/glfw3.h>

namespace ruvelo {

void ScriptedInput::deliver(long frame, const std::function<void(int key, int action)>& deliver) {
  while (next_ < events_.size() && events_[next_].frame <= frame) {
    const ScriptedKey& event = events_[next_++];
    if (event.frame < frame) continue;  // a frame already past (never happens with a sorted script)
    if (event.press) {
      held_.insert(event.key);
    } else {
      held_.erase(event.key);
    }
    deliver(event.key, event.press ? GLFW_PRESS : GLFW_RELEASE);
  }
}

}  // namespace ruvelo
