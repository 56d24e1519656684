// Keyboard and mouse handling over the program state: the function-key toggles with their console
// messages, Escape, brightness, the reverse camera, mouse look, scroll zoom and the free debug camera.
#pragma once

#include <iosfwd>

#include "app/app_state.h"

namespace ruvelo {

// What a key release asks of the window; the GLFW side carries it out. The wireframe and culling
// toggles are state the passes draw with.
enum class KeyEffect { None, Close };

// The key callback: acts on release only (GLFW action 0); presses and repeats do nothing. Toggle
// messages ("DebugMode: 1" …) go to `out`.
KeyEffect onKeyEvent(AppState& state, int key, int action, std::ostream& out);

// The keys the key callback answers to (Escape, the function keys, M): they keep their meaning and
// are never bound to driving.
bool isFixedKey(int key);

// The reverse camera on or off ("Reverse Mode Switched: 1" …), on the release of its key or button.
void toggleReverseCamera(AppState& state, std::ostream& out);

// Mouse look while the left button is held (yaw/pitch by 0.2 degrees per pixel, pitch within ±89);
// the last position is updated either way, so a drag never jumps.
void onCursorEvent(AppState& state, double x, double y, bool leftButtonHeld);

// Scroll zoom: inside [30, 85] the zoom changes by the vertical offset, outside it snaps to the bound.
void onScrollEvent(AppState& state, double yOffset);

// Keys held for the free camera (debug mode).
struct FreeCameraKeys {
  bool forward = false, back = false, left = false, right = false, up = false, down = false;
};

// Moves the free camera by movement speed × dt along its front, right and up vectors.
void moveFreeCamera(Camera& camera, const FreeCameraKeys& keys, float dt);

}  // namespace ruvelo
