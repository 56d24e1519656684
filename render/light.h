// The scene's directional light and the per-frame camera and light uniforms of the lit programs.
#pragma once

#include <glm/glm.hpp>
#include <memory>

#include "render/camera.h"
#include "render/shader.h"

namespace ruvelo {

class Light {
 public:
  Light(const glm::vec3& color, const glm::vec3& direction) : color_(color), direction_(direction) {}
  virtual ~Light() = default;

  // "dirLight.color" and "dirLight.direction" on `shader`; does not make it current.
  virtual void setUniforms(const Shader& shader) const;

  const glm::vec3& color() const { return color_; }
  const glm::vec3& direction() const { return direction_; }

 private:
  glm::vec3 color_;
  glm::vec3 direction_;  // from the light into the scene, not normalised
};

// The sun: the scene's directional light and the view its shadow map is drawn from, an orthographic
// view from `eye` along `direction` (up +y), `halfExtent` to every side, depths `nearPlane` to
// `farPlane`. The caller says where it is.
struct Sun {
  glm::vec3 eye{0.0f};
  glm::vec3 direction{0.0f, -1.0f, 0.0f};  // not normalised
  float halfExtent = 1.0f;
  float nearPlane = 1.0f;
  float farPlane = 2.0f;
};

// The scene's one light: white, along the sun's direction.
std::unique_ptr<Light> makeSceneLight(const Sun& sun);

// Makes `shader` current and sets "viewMatrix", "projMatrix", "camera_world",
// "illuminationMultiplier" and the light's uniforms, in that order. The program stays current.
void setCameraAndLightUniforms(const Light* light, const Shader& shader, const Camera& camera,
                               float brightness);

}  // namespace ruvelo
