// The actions that change the program state, with their console messages: the toggles, brightness,
// the render scale and the reverse camera; and mouse look, scroll zoom and the free debug camera.
#pragma once

#include <iosfwd>

#include "app/app_state.h"
#include "input/input.h"
#include "platform/settings.h"

namespace ruvelo {

// A toggle, brightness, render scale or reverse camera action applied to the developer toggles in
// `state` or to the player's options in `settings` (as the player's change), its message
// ("DebugMode: 1" …) on `out`. False for an action that is not one of these (driving, pause, retry,
// quit), which leaves both as they are.
bool applyToggle(AppState& state, Settings& settings, Action action, std::ostream& out);

// Mouse look while the left button is held (yaw/pitch by 0.2 degrees per pixel, pitch within ±89);
// the last position is updated either way, so a drag never jumps.
void onCursorEvent(AppState& state, double x, double y, bool leftButtonHeld);

// Scroll zoom: inside [30, 85] the zoom changes by the vertical offset, outside it snaps to the bound.
void onScrollEvent(AppState& state, double yOffset);

// Moves the free camera by movement speed × dt along its front, right and up vectors.
void moveFreeCamera(Camera& camera, const FreeCameraKeys& keys, float dt);

}  // namespace ruvelo
