// controls.txt over arbitrary bytes: never a crash; a refusal is one printable line naming the file; an
// accepted file leaves every action bound, no input bound twice and no fixed key bound, and the
// bindings written back out by name read in again as the same controls.
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "input/controls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ruvelo::Controls controls = ruvelo::Controls::defaults();
  std::string error;
  if (!ruvelo::parseControls(text, "controls.txt", controls, error)) {
    if (error.rfind("controls.txt:", 0) != 0) __builtin_trap();
    for (const char c : error)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) __builtin_trap();  // one printable line
    return 0;
  }
  std::vector<ruvelo::Binding> seen;
  std::string written;
  for (int a = 0; a < ruvelo::kActionCount; ++a) {
    const auto& list = controls.bindings[a];
    if (list.empty()) __builtin_trap();
    written += std::string(ruvelo::actionName(static_cast<ruvelo::Action>(a))) + "=";
    for (size_t i = 0; i < list.size(); ++i) {
      const ruvelo::Binding& b = list[i];
      if (std::find(seen.begin(), seen.end(), b) != seen.end()) __builtin_trap();
      // Escape quits and does nothing else.
      if (b == ruvelo::Binding{ruvelo::Binding::Kind::Key, GLFW_KEY_ESCAPE, 1} &&
          a != static_cast<int>(ruvelo::Action::Quit))
        __builtin_trap();
      seen.push_back(b);
      written += (i ? "," : "") + ruvelo::bindingName(b);
    }
    written += "\n";
  }
  if (!controls.keyBoundTo(ruvelo::Action::Quit, GLFW_KEY_ESCAPE)) __builtin_trap();
  ruvelo::Controls again = ruvelo::Controls::defaults();
  if (!ruvelo::parseControls(written, "again", again, error) || again.bindings != controls.bindings)
    __builtin_trap();
  return 0;
}
