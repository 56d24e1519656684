// The longest frame the game simulates: a stall (a suspended process, a debugger break) counts as
// this much for the physics, the timer and the power drain, so nothing happens unseen. --fixed-dt
// and recordings hold to the same bound.
#pragma once

namespace ruvelo {

constexpr float kMaxFrameTime = 0.25f;
// The bound as messages print it.
constexpr const char* kMaxFrameTimeText = "0.25";

inline float clampFrameTime(float dt) {
  return dt > kMaxFrameTime ? kMaxFrameTime : dt;
}

}  // namespace ruvelo
