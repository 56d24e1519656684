// Where the moving models are drawn: their matrices from the physics poses.
#pragma once

#include <glm/glm.hpp>

#include "physics/game_types.h"

namespace ruvelo {

// Matrices from physics poses: the vehicle frame C = translate(p) × rotation(q); the body is drawn
// 0.4 below it, a wheel at its local pose in C, a cone 1.5 above its actor, scaled by 3.5.
glm::mat4 vehicleFrameMatrix(const Pose& actor);
glm::mat4 vehicleBodyMatrix(const Pose& actor);
glm::mat4 wheelMatrix(const glm::mat4& vehicleFrame, const Pose& local);
glm::mat4 coneMatrix(const Pose& actor);

}  // namespace ruvelo
