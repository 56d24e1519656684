// The actions that change the program state, with their console messages: the toggles, brightness
// and the render scale; and the free debug camera's movement.
#pragma once

#include <iosfwd>

#include "app/app_state.h"
#include "input/input.h"
#include "platform/settings.h"
#include "render/camera.h"

namespace ruvelo {

// A toggle, brightness or render scale action applied to the developer toggles in
// `state` or to the player's options in `settings` (as the player's change), its message
// ("DebugMode: 1" …) on `out`. False for an action that is not one of these (driving, pause, retry,
// quit), which leaves both as they are.
bool applyToggle(DebugToggles& state, Settings& settings, Action action, std::ostream& out);

// Moves the free camera by movement speed × dt along its front, right and up vectors.
void moveFreeCamera(Camera& camera, const FreeCameraKeys& keys, float dt);

}  // namespace ruvelo
