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
  const ruvelo::SettingsResult result = ruvelo::parseSettings(in, s);
  if (result.status == ruvelo::SettingsStatus::Ok) {
    if (s.width() < 1 || s.width() > 16384 || s.height() < 1 || s.height() > 16384) __builtin_trap();
    if (!std::isfinite(s.brightness()) || !(s.volume() >= 0.0f && s.volume() <= 1.0f)) __builtin_trap();
    if (!(s.value(ruvelo::Option::Fov) >= 40.0 && s.value(ruvelo::Option::Fov) <= 90.0)) __builtin_trap();
    // What the game writes back reads back the same.
    ruvelo::Settings changed = s;
    changed.change(ruvelo::Option::Volume, s.volume() > 0.5f ? 0.25 : 0.75);
    std::istringstream again(
        ruvelo::rewriteSettings(std::string(reinterpret_cast<const char*>(data), size), changed));
    ruvelo::Settings back;
    if (ruvelo::parseSettings(again, back).status != ruvelo::SettingsStatus::Ok ||
        back.volume() != changed.volume())
      __builtin_trap();
  } else {
    if (result.message.empty()) __builtin_trap();
    for (const char c : result.message)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) __builtin_trap();  // one printable line
  }
  return 0;
}
