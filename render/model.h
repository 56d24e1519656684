// Models on the GPU. A ModelAsset is one imported model uploaded once: its meshes, material, bounds
// and triangle runs. A Model is one placed copy of an asset: the asset, shared with every other
// copy, and this copy's matrix and bounding radius. Reading files is import/model_import's.
#pragma once

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "import/model_import.h"
#include "render/material.h"
#include "render/mesh.h"
#include "render/shader.h"

namespace ruvelo {

// A stretch of one mesh's triangles, consecutive in its index list, and the model-space box around
// every vertex they use. The asset's runs cover each mesh's indices in order, each index once.
struct TriangleRun {
  unsigned mesh = 0;
  unsigned firstIndex = 0;
  unsigned indexCount = 0;
  glm::vec3 localMin{0.0f};
  glm::vec3 localMax{0.0f};
};

// Triangles per run: small enough that a pass drawing a few texels skips most of a large model,
// large enough that the runs it does draw stay few.
constexpr unsigned kRunTriangles = 4;

class ModelAsset {
 public:
  // Uploads `model` (empty stays empty), its textures through `textures`. `material` is the
  // renderer's and outlives the asset.
  ModelAsset(const ModelData& model, const Material& material, TextureCache& textures);

  ModelAsset(const ModelAsset&) = delete;
  ModelAsset& operator=(const ModelAsset&) = delete;

  // Depth-style draw at `modelMatrix`: per mesh, `shader` current, "modelMatrix", one indexed draw.
  void drawWithProgram(const Shader& shader, const glm::mat4& modelMatrix) const;
  // The same for `count` indices of mesh `mesh` from `firstIndex` on.
  void drawIndicesWithProgram(const Shader& shader, const glm::mat4& modelMatrix, unsigned mesh,
                              unsigned firstIndex, unsigned count) const;
  // Lit draw of every mesh in order (each with its material's program) at `modelMatrix`.
  void draw(const glm::mat4& modelMatrix) const;

  // `path` imported and uploaded: the one read of a model file the renderer draws.
  std::shared_ptr<const ModelAsset> loadModelAsset(const std::string& path, const Material& material,
                                                   TextureCache& textures);

  // Radius of the sphere around the positions' centroid under `modelMatrix` (see
  // computeBoundingRadius); 0 without positions.
  float boundingRadius(const glm::mat4& modelMatrix) const;

  const std::vector<Mesh>& meshes() const { return meshes_; }
  // Axis-aligned bounds of every position in model space (both zero without positions).
  const glm::vec3& localMin() const { return localMin_; }
  const glm::vec3& localMax() const { return localMax_; }
  // The meshes' triangles in runs of kRunTriangles (a mesh's last run may be shorter), mesh by mesh.
  const std::vector<TriangleRun>& triangleRuns() const { return runs_; }

 private:
  std::vector<Mesh> meshes_;
  glm::vec3 farthestFromCentroid_{0.0f};  // model space; its length under a matrix is the radius
  glm::vec3 localMin_{0.0f};
  glm::vec3 localMax_{0.0f};
  std::vector<TriangleRun> runs_;
};

class Model {
 public:
  // A copy of `asset` at `modelMatrix`.
  Model(std::shared_ptr<const ModelAsset> asset, const glm::mat4& modelMatrix);
  // Imports and uploads a file used by this one copy.
  Model(const std::string& path, const glm::mat4& modelMatrix, const Material& material,
        TextureCache& textures);

  void drawWithProgram(const Shader& shader) const { asset_->drawWithProgram(shader, modelMatrix_); }
  void draw() const { asset_->draw(modelMatrix_); }

  // Moves this copy.
  void setModelMatrix(const glm::mat4& modelMatrix) { modelMatrix_ = modelMatrix; }

  const ModelAsset& asset() const { return *asset_; }
  const glm::mat4& modelMatrix() const { return modelMatrix_; }
  // The asset's bounding radius under this copy's matrix: it follows the copy's scale.
  float boundingRadius() const { return asset_->boundingRadius(modelMatrix_); }

 private:
  std::shared_ptr<const ModelAsset> asset_;
  glm::mat4 modelMatrix_;
};

// `path` imported and uploaded: the one read of a model file the renderer draws.
std::shared_ptr<const ModelAsset> loadModelAsset(const std::string& path, const Material& material,
                                                 TextureCache& textures);

// Radius of the sphere around the centroid of `positions` reaching the farthest one (first wins on
// ties), transformed by the linear part of `modelMatrix`; 0 without positions.
float computeBoundingRadius(const std::vector<glm::vec3>& positions, const glm::mat4& modelMatrix);

}  // namespace ruvelo
