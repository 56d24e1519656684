// Surface colour and lighting coefficients of a mesh, bound to the program it renders with. The
// program belongs to whoever made both (the renderer) and outlives the material.
#pragma once

#include <glm/glm.hpp>

#include "render/shader.h"

namespace ruvelo {

class Material {
 public:
  // coefficients: ambient, diffuse and specular factors.
  Material(const Shader& shader, const glm::vec3& diffuseColor, const glm::vec3& coefficients,
           float specularAlpha)
      : shader_(&shader),
        diffuseColor_(diffuseColor),
        coefficients_(coefficients),
        specularAlpha_(specularAlpha) {}
  virtual ~Material() = default;

  // "diffuseColor", "materialCoefficients", "specularAlpha" on its own program, which the caller
  // has made current.
  virtual void setUniforms() const;

  const Shader& shader() const { return *shader_; }
  const glm::vec3& diffuseColor() const { return diffuseColor_; }
  const glm::vec3& coefficients() const { return coefficients_; }
  float specularAlpha() const { return specularAlpha_; }

 private:
  const Shader* shader_;
  glm::vec3 diffuseColor_;
  glm::vec3 coefficients_;
  float specularAlpha_;
};

// The game's three materials, created in this order.
struct SceneMaterials {
  SceneMaterials(const Shader& phongPhong, const Shader& phong, const Shader& phongEnvironment);

  Material blue;         // finish lines, on phongPhong
  Material white;        // vehicle, wheels, level, ground, on phong
  Material environment;  // cones and batteries, on phongEnvironment
};

}  // namespace ruvelo
