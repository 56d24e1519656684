// A scene object imported from a model file: its meshes, model matrix, material, bounding radius
// and the model-wide positions and indices used for collision meshes. Built in place, never copied.
#pragma once

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "render/material.h"
#include "render/mesh.h"
#include "render/shader.h"

namespace ruvelo {

class Model {
 public:
  // Imports `path`; on failure prints "ERROR::ASSIMP::" + the importer's message and "  in " + path,
  // and stays empty. A file that imports without a single face counts as a failure.
  Model(const std::string& path, const glm::mat4& modelMatrix, std::shared_ptr<Material> material);

  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;
  Model(Model&&) noexcept = default;
  Model& operator=(Model&&) noexcept = default;

  // Depth-style draw: per mesh, `shader` current, "modelMatrix", one indexed draw. No material.
  void drawWithProgram(const Shader& shader) const;

  // Lit draw of every mesh in order (each with its material's program).
  void draw() const;

  // The first call also becomes the model's own matrix and recomputes the bounding radius; every
  // call is written into every mesh.
  void setModelMatrix(const glm::mat4& modelMatrix);

  // Copies for collision meshes: all positions mesh by mesh, indices offset to match.
  std::vector<glm::vec3> positions() const { return positions_; }
  std::vector<unsigned> indices() const { return indices_; }

  const std::vector<Mesh>& meshes() const { return meshes_; }
  float boundingRadius() const { return boundingRadius_; }
  // Axis-aligned bounds of every position in the model's own space (both zero without positions).
  const glm::vec3& localMin() const { return localMin_; }
  const glm::vec3& localMax() const { return localMax_; }
  const glm::mat4& modelMatrix() const { return modelMatrix_; }
  const std::shared_ptr<Material>& material() const { return material_; }

 private:
  std::vector<glm::vec3> positions_;
  std::vector<unsigned> indices_;
  glm::mat4 modelMatrix_;
  std::shared_ptr<Material> material_;
  std::vector<Mesh> meshes_;
  float boundingRadius_ = 0.0f;
  glm::vec3 localMin_{0.0f};
  glm::vec3 localMax_{0.0f};
  bool firstMatrixPending_ = true;
};

// Radius of the sphere around the centroid of `positions` reaching the farthest one (first wins on
// ties), transformed by the linear part of `modelMatrix`; 0 without positions.
float computeBoundingRadius(const std::vector<glm::vec3>& positions, const glm::mat4& modelMatrix);

}  // namespace ruvelo
