#include "app/follow_direction.h"

namespace ruvelo {

glm::vec3 followDirection(const glm::vec3& velocity, glm::vec3& lastDirection, bool reversing,
                          bool unflipped) {
  glm::vec3 direction = lastDirection;
  if (glm::length(velocity) > 0.4f) {
    direction = velocity;
    lastDirection = velocity;
  }
  if (reversing) direction = -direction;
  if (unflipped) {
    direction = glm::vec3(0.0f, 0.0f, 1.0f);
    lastDirection = direction;
  }
  return direction;
}

}  // namespace ruvelo
