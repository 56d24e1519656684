#include "app/scene.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

namespace ruvelo {

glm::mat4 vehicleFrameMatrix(const Pose& actor) {
  return glm::translate(glm::mat4(1.0f), actor.position) * glm::mat4_cast(actor.rotation);
}

glm::mat4 vehicleBodyMatrix(const Pose& actor) {
  return glm::translate(vehicleFrameMatrix(actor), glm::vec3(0.0f, -0.4f, 0.0f));
}

glm::mat4 wheelMatrix(const glm::mat4& vehicleFrame, const Pose& local) {
  return glm::translate(vehicleFrame, local.position) * glm::mat4_cast(local.rotation);
}

glm::mat4 coneMatrix(const Pose& actor) {
  return glm::translate(glm::mat4(1.0f), actor.position + glm::vec3(0.0f, 1.5f, 0.0f)) *
         glm::scale(glm::mat4(1.0f), glm::vec3(3.5f)) * glm::mat4_cast(actor.rotation);
}

}  // namespace ruvelo
