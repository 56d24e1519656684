// The settings parser over arbitrary file contents: it must never crash, and whatever it accepts
// must be a window the game can open.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "platform/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  ruvelo::Settings s;
  const ruvelo::SettingsResult result =
      ruvelo::parseSettings(in, s.width, s.height, s.refresh_rate, s.fullscreen, s.brightness);
  if (result.status == ruvelo::SettingsStatus::Ok) {
    if (s.width < 1 || s.width > 16384 || s.height < 1 || s.height > 16384) __builtin_trap();
    if (!std::isfinite(s.brightness)) __builtin_trap();
  } else {
    if (result.message.empty()) __builtin_trap();
    for (const char c : result.message)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) __builtin_trap();  // one printable line
  }
  return 0;
}
