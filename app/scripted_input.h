// Input from an --input script: key events delivered in a frame's event poll, and the keys a
// script holds down, seen by the polled driving keys exactly like real ones.
#pragma once

#include <functional>
#include <set>
#include <vector>

#include "app/dev_flags.h"

namespace ruvelo {

class ScriptedInput {
 public:
  explicit ScriptedInput(std::vector<ScriptedKey> events) : events_(std::move(events)) {}

  // Delivers this frame's events in script order: (key, GLFW action) to `deliver`.
  void deliver(long frame, const std::function<void(int key, int action)>& deliver);

  bool isHeld(int key) const { return held_.count(key) != 0; }

 private:
  std::vector<ScriptedKey> events_;
  size_t next_ = 0;
  std::set<int> held_;
};

}  // namespace ruvelo
