#include "render/material.h"

namespace ruvelo {

void Material::setUniforms() const {
  const Shader& program = *shader_;
  glUniform3f(program.uniformLocation("diffuseColor"), diffuseColor_.x, diffuseColor_.y, diffuseColor_.z);
  glUniform3f(program.uniformLocation("materialCoefficients"), coefficients_.x, coefficients_.y,
              coefficients_.z);
  glUniform1f(program.uniformLocation("specularAlpha"), specularAlpha_);
}

SceneMaterials::SceneMaterials(const Shader& phongPhong, const Shader& phong, const Shader& phongEnvironment)
    : blue(phongPhong, glm::vec3(0.0f, 0.0f, 1.0f), glm::vec3(0.1f, 0.7f, 0.1f), 10.0f),
      white(phong, glm::vec3(1.0f, 1.0f, 1.0f), glm::vec3(0.3f, 1.0f, 0.5f), 10.0f),
      environment(phongEnvironment, glm::vec3(1.0f, 1.0f, 1.0f), glm::vec3(0.3f, 1.0f, 0.5f), 10.0f) {}

}  // namespace ruvelo
