// The keys with a fixed meaning (Escape, the function keys, G, M and P): what each asks for. They keep
// their meaning and are never bound to driving; F1-F25 are all kept free, used or not.
#pragma once

namespace ruvelo {

enum class FixedKey {
  None,
  Close,        // Escape
  Wireframe,    // F1
  Culling,      // F2
  DebugMode,    // F3
  WinLose,      // F4
  Brighter,     // F5
  Darker,       // F6
  Snow,         // F7
  Frustum,      // F8
  Hud,          // F9
  RenderScale,  // F10
  Ghost,        // G
  Sound,        // M
  Pause,        // P
};

// What a key means; FixedKey::None for a key without a fixed meaning.
FixedKey fixedKeyOf(int key);

// Whether a key may not be bound to driving: a key with a fixed meaning, or any function key.
bool isFixedKey(int key);

}  // namespace ruvelo
