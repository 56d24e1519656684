// Which way the follow camera looks: along the vehicle's travel, backwards in the reverse view,
// straight ahead (+z) after the recovery key.
#pragma once

#include <glm/glm.hpp>

namespace ruvelo {

// The direction for this frame from the vehicle's velocity. `lastDirection` keeps the last
// direction of travel (above 0.4 m/s) across frames; `reversing` (reverse gear with the reverse
// view on) flips only what the camera is given, so a vehicle standing still in reverse gear does not
// make the camera swap ends every frame; `unflipped` looks along +z and remembers it.
glm::vec3 followDirection(const glm::vec3& velocity, glm::vec3& lastDirection, bool reversing,
                          bool unflipped);

}  // namespace ruvelo
