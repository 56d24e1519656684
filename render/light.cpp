#include "render/light.h"

#include <glm/gtc/type_ptr.hpp>

namespace ruvelo {

void Light::setUniforms(const Shader& shader) const {
  glUniform3f(shader.uniformLocation("dirLight.color"), color_.x, color_.y, color_.z);
  glUniform3f(shader.uniformLocation("dirLight.direction"), direction_.x, direction_.y, direction_.z);
}

std::unique_ptr<Light> makeSceneLight(const Sun& sun) {
  return std::make_unique<Light>(glm::vec3(1.0f, 1.0f, 1.0f), sun.direction);
}

void setCameraAndLightUniforms(const Light* light, const Shader& shader, const Camera& camera,
                               float brightness) {
  shader.use();
  glUniformMatrix4fv(shader.uniformLocation("viewMatrix"), 1, GL_FALSE, glm::value_ptr(camera.viewMatrix));
  glUniformMatrix4fv(shader.uniformLocation("projMatrix"), 1, GL_FALSE,
                     glm::value_ptr(camera.projectionMatrix));
  glUniform3f(shader.uniformLocation("camera_world"), camera.position.x, camera.position.y,
              camera.position.z);
  glUniform1f(shader.uniformLocation("illuminationMultiplier"), brightness);
  if (light) light->setUniforms(shader);
}

}  // namespace ruvelo
