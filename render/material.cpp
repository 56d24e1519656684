#include "render/material.h"

namespace ruvelo {

void Material::setUniforms() const {
  const Shader& program = *shader_;
  glUniform3f(program.uniformLocation("diffuseColor"), diffuseColor_.x, diffuseColor_.y, diffuseColor_.z);
  glUniform3f(program.uniformLocation("materialCoefficients"), coefficients_.x, coefficients_.y,
              coefficients_.z);
  glUniform1f(program.uniformLocation("specularAlpha"), specularAlpha_);
}

SceneMaterials makeSceneMaterials(std::shared_ptr<Shader> phongPhong, std::shared_ptr<Shader> phong,
                                  std::shared_ptr<Shader> phongEnvironment) {
  SceneMaterials materials;
  materials.blue = std::make_shared<Material>(std::move(phongPhong), glm::vec3(0.0f, 0.0f, 1.0f),
                                              glm::vec3(0.1f, 0.7f, 0.1f), 10.0f);
  materials.white = std::make_shared<Material>(std::move(phong), glm::vec3(1.0f, 1.0f, 1.0f),
                                               glm::vec3(0.3f, 1.0f, 0.5f), 10.0f);
  materials.environment = std::make_shared<Material>(std::move(phongEnvironment), glm::vec3(1.0f, 1.0f, 1.0f),
                                                     glm::vec3(0.3f, 1.0f, 0.5f), 10.0f);
  return materials;
}

}  // namespace ruvelo
