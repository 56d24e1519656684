// Input scripts over arbitrary bytes: never a crash; an accepted script holds only known keys from
// frame 1 on, in frame order, and plays back through the scripted input without surprises.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/dev_flags.h"
#include "app/scripted_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<ruvelo::ScriptedKey> keys;
  std::string error;
  if (!ruvelo::parseInputScript(in, keys, error)) {
    if (error.empty() || error.find('\n') != std::string::npos) __builtin_trap();
    return 0;
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].frame < 1 || keys[i].key < 0) __builtin_trap();
    if (i > 0 && keys[i].frame < keys[i - 1].frame) __builtin_trap();
  }
  // Every event is delivered exactly once, in its own frame (frames without events skipped).
  ruvelo::ScriptedInput script(keys);
  size_t delivered = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i > 0 && keys[i].frame == keys[i - 1].frame) continue;
    script.deliver(keys[i].frame, [&](int key, int) {
      if (delivered >= keys.size() || keys[delivered].key != key) __builtin_trap();
      ++delivered;
    });
  }
  if (delivered != keys.size()) __builtin_trap();
  return 0;
}
