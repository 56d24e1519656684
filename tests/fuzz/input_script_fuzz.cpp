// Input scripts over arbitrary bytes: never a crash; an accepted script holds only known keys,
// gamepad buttons and axes (axis values in [-1, 1]) from frame 1 on, in frame order, and plays back
// through the scripted input without surprises.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "devtools/dev_flags.h"
#include "input/gamepad.h"
#include "input/scripted_input.h"

using ruvelo::ScriptedKey;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<ScriptedKey> events;
  std::string error;
  if (!ruvelo::parseInputScript(in, events, error)) {
    if (error.empty()) __builtin_trap();
    for (const char c : error)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) __builtin_trap();  // one printable line
    return 0;
  }
  std::vector<ScriptedKey> keys;
  for (size_t i = 0; i < events.size(); ++i) {
    const ScriptedKey& e = events[i];
    if (e.frame < 1 || e.key < 0) __builtin_trap();
    if (i > 0 && e.frame < events[i - 1].frame) __builtin_trap();
    if (e.kind == ScriptedKey::Kind::GamepadAxis &&
        (e.key >= ruvelo::kGamepadAxisCount || !(e.value >= -1.0f && e.value <= 1.0f)))
      __builtin_trap();
    if (e.kind == ScriptedKey::Kind::GamepadButton && e.key >= ruvelo::kGamepadButtonCount) __builtin_trap();
    if (e.kind == ScriptedKey::Kind::Key) keys.push_back(e);
  }
  // Every key event is delivered exactly once, in its own frame (frames without events skipped);
  // the scripted gamepad ends where the last line for each axis and button left it.
  ruvelo::ScriptedInput script(events);
  if (script.hasGamepad() != (keys.size() != events.size())) __builtin_trap();
  size_t delivered = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    if (i > 0 && events[i].frame == events[i - 1].frame) continue;
    script.deliver(events[i].frame, [&](int key, int) {
      if (delivered >= keys.size() || keys[delivered].key != key) __builtin_trap();
      ++delivered;
    });
  }
  if (delivered != keys.size()) __builtin_trap();
  ruvelo::GamepadState expected;
  for (const ScriptedKey& e : events) {
    if (e.kind == ScriptedKey::Kind::GamepadAxis) expected.axes[e.key] = e.value;
    if (e.kind == ScriptedKey::Kind::GamepadButton) expected.buttons[e.key] = e.press;
  }
  if (expected.axes != script.gamepad().axes || expected.buttons != script.gamepad().buttons)
    __builtin_trap();
  return 0;
}
