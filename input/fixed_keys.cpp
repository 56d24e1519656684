#include "input/fixed_keys.h"

#include <GLFW/glfw3.h>

namespace ruvelo {
namespace {

struct FixedKeyEntry {
  int key;
  FixedKey meaning;
};

constexpr FixedKeyEntry kFixedKeys[] = {
    {GLFW_KEY_ESCAPE, FixedKey::Close},    {GLFW_KEY_F1, FixedKey::Wireframe},
    {GLFW_KEY_F2, FixedKey::Culling},      {GLFW_KEY_F3, FixedKey::DebugMode},
    {GLFW_KEY_F4, FixedKey::WinLose},      {GLFW_KEY_F5, FixedKey::Brighter},
    {GLFW_KEY_F6, FixedKey::Darker},       {GLFW_KEY_F7, FixedKey::Snow},
    {GLFW_KEY_F8, FixedKey::Frustum},      {GLFW_KEY_F9, FixedKey::Hud},
    {GLFW_KEY_F10, FixedKey::RenderScale}, {GLFW_KEY_G, FixedKey::Ghost},
    {GLFW_KEY_M, FixedKey::Sound},         {GLFW_KEY_P, FixedKey::Pause},
};

}  // namespace

FixedKey fixedKeyOf(int key) {
  for (const FixedKeyEntry& entry : kFixedKeys)
    if (entry.key == key) return entry.meaning;
  return FixedKey::None;
}

bool isFixedKey(int key) {
  return fixedKeyOf(key) != FixedKey::None || (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F25);
}

}  // namespace ruvelo
