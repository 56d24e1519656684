// Surface colour and lighting coefficients of a mesh, bound to the program it renders with.
#pragma once

#include <glm/glm.hpp>
#include <memory>

#include "render/shader.h"

namespace ruvelo {

class Material {
 public:
  // coefficients: ambient, diffuse and specular factors.
  Material(std::shared_ptr<Shader> shader, const glm::vec3& diffuseColor, const glm::vec3& coefficients,
           float specularAlpha)
      : shader_(std::move(shader)),
        diffuseColor_(diffuseColor),
        coefficients_(coefficients),
        specularAlpha_(specularAlpha) {}
  virtual ~Material() = default;

  // "diffuseColor", "materialCoefficients", "specularAlpha" on its own program, which the caller
  // has made current.
  virtual void setUniforms() const;

  const std::shared_ptr<Shader>& shader() const { return shader_; }
  const glm::vec3& diffuseColor() const { return diffuseColor_; }
  const glm::vec3& coefficients() const { return coefficients_; }
  float specularAlpha() const { return specularAlpha_; }

 private:
  std::shared_ptr<Shader> shader_;
  glm::vec3 diffuseColor_;
  glm::vec3 coefficients_;
  float specularAlpha_;
};

// The game's three materials.
struct SceneMaterials {
  std::shared_ptr<Material> blue;         // finish lines, on phongPhong
  std::shared_ptr<Material> white;        // vehicle, wheels, level, ground, on phong
  std::shared_ptr<Material> environment;  // cones and batteries, on phongEnvironment
};

// Creates blue, white and environment, in that order.
SceneMaterials makeSceneMaterials(std::shared_ptr<Shader> phongPhong, std::shared_ptr<Shader> phong,
                                  std::shared_ptr<Shader> phongEnvironment);

}  // namespace ruvelo
