#include "render/model.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include <glm/gtc/type_ptr.hpp>

namespace ruvelo {
namespace {

// `indices` (into `positions`) cut into runs of kRunTriangles triangles, each with its box.
void appendRuns(unsigned mesh, const std::vector<glm::vec3>& positions, const std::vector<unsigned>& indices,
                std::vector<TriangleRun>& runs) {
  const unsigned total = static_cast<unsigned>(indices.size());
  for (unsigned first = 0; first < total; first += kRunTriangles * 3) {
    TriangleRun run;
    run.mesh = mesh;
    run.firstIndex = first;
    run.indexCount = std::min(kRunTriangles * 3, total - first);
    run.localMin = glm::vec3(INFINITY);
    run.localMax = glm::vec3(-INFINITY);
    for (unsigned i = first; i < first + run.indexCount; ++i) {
      if (indices[i] >= positions.size()) continue;  // a broken file's index names no vertex
      run.localMin = glm::min(run.localMin, positions[indices[i]]);
      run.localMax = glm::max(run.localMax, positions[indices[i]]);
    }
    runs.push_back(run);
  }
}

std::vector<Vertex> interleave(const MeshData& mesh) {
  std::vector<Vertex> vertices(mesh.positions.size());
  for (size_t i = 0; i < vertices.size(); ++i)
    vertices[i] = Vertex{mesh.positions[i], mesh.normals[i], mesh.texCoords[i]};
  return vertices;
}

}  // namespace

float computeBoundingRadius(const std::vector<glm::vec3>& positions, const glm::mat4& modelMatrix) {
  return glm::length(glm::mat3(modelMatrix) * farthestFromCentroid(positions));
}

ModelAsset::ModelAsset(const ModelData& model, const Material& material, TextureCache& textures)
    : farthestFromCentroid_(farthestFromCentroid(model)),
      localMin_(model.localMin),
      localMax_(model.localMax) {
  for (const MeshData& mesh : model.meshes) {
    std::vector<Texture> meshTextures;
    for (const TextureRef& ref : mesh.textures) meshTextures.push_back(textures.get(ref.path, ref.type));
    appendRuns(static_cast<unsigned>(meshes_.size()), mesh.positions, mesh.indices, runs_);
    meshes_.emplace_back(interleave(mesh), mesh.indices, std::move(meshTextures), material);
  }
}

void ModelAsset::drawWithProgram(const Shader& shader, const glm::mat4& modelMatrix) const {
  for (unsigned mesh = 0; mesh < meshes_.size(); ++mesh)
    drawIndicesWithProgram(shader, modelMatrix, mesh, 0, static_cast<unsigned>(meshes_[mesh].indexCount()));
}

void ModelAsset::drawIndicesWithProgram(const Shader& shader, const glm::mat4& modelMatrix, unsigned mesh,
                                        unsigned firstIndex, unsigned count) const {
  glUseProgram(shader.program());
  glUniformMatrix4fv(shader.uniformLocation("modelMatrix"), 1, GL_FALSE, glm::value_ptr(modelMatrix));
  glBindVertexArray(meshes_[mesh].vertexArray());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT,
                 reinterpret_cast<const void*>(static_cast<std::size_t>(firstIndex) * sizeof(unsigned)));
  glBindVertexArray(0);
}

void ModelAsset::draw(const glm::mat4& modelMatrix) const {
  for (const Mesh& mesh : meshes_) mesh.draw(modelMatrix);
}

float ModelAsset::boundingRadius(const glm::mat4& modelMatrix) const {
  return glm::length(glm::mat3(modelMatrix) * farthestFromCentroid_);
}

Model::Model(std::shared_ptr<const ModelAsset> asset, const glm::mat4& modelMatrix)
    : asset_(std::move(asset)), modelMatrix_(modelMatrix) {}

Model::Model(const std::string& path, const glm::mat4& modelMatrix, const Material& material,
             TextureCache& textures)
    : Model(loadModelAsset(path, material, textures), modelMatrix) {}

std::shared_ptr<const ModelAsset> loadModelAsset(const std::string& path, const Material& material,
                                                 TextureCache& textures) {
  return std::make_shared<const ModelAsset>(importModel(path), material, textures);
}

}  // namespace ruvelo
