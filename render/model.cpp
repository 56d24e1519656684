#include "render/model.h"

#include "render/model_checks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <iostream>

namespace ruvelo {
namespace {

constexpr unsigned kImportFlags = aiProcess_Triangulate | aiProcess_FlipUVs;

bool anyMeshLacksNormals(const aiScene& scene) {
  for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
    if (!scene.mMeshes[i]->HasNormals()) return true;
  }
  return false;
}

// The textures of one material and type, shared with every model that uses the same files.
std::vector<Texture> materialTextures(const aiMaterial* material, aiTextureType type,
                                      const std::string& typeName) {
  std::vector<Texture> result;
  const unsigned count = aiGetMaterialTextureCount(material, type);
  for (unsigned i = 0; i < count; ++i) {
    aiString path;
    aiGetMaterialTexture(material, type, i, &path, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    result.push_back(sharedModelTexture(std::string(path.C_Str(), path.length), typeName));
  }
  return result;
}

// The model-space vector from the centroid of `positions` to the farthest one (first wins on ties).
glm::vec3 farthestFromCentroid(const std::vector<glm::vec3>& positions) {
  if (positions.empty()) return glm::vec3(0.0f);
  glm::vec3 sum(0.0f);
  for (const glm::vec3& p : positions) sum += p;
  const glm::vec3 centroid = sum / static_cast<float>(positions.size());
  glm::vec3 farthest = positions.front();
  float farthestDistance = -1.0f;
  for (const glm::vec3& p : positions) {
    const float distance = glm::length(p - centroid);
    if (distance > farthestDistance) {
      farthestDistance = distance;
      farthest = p;
    }
  }
  return farthest - centroid;
}

// `indices` (into `vertices`) cut into runs of kRunTriangles triangles, each with its box.
void appendRuns(unsigned mesh, const std::vector<Vertex>& vertices, const std::vector<unsigned>& indices,
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
      if (indices[i] >= vertices.size()) continue;  // a broken file's index names no vertex
      run.localMin = glm::min(run.localMin, vertices[indices[i]].position);
      run.localMax = glm::max(run.localMax, vertices[indices[i]].position);
    }
    runs.push_back(run);
  }
}

}  // namespace

float computeBoundingRadius(const std::vector<glm::vec3>& positions, const glm::mat4& modelMatrix) {
  return glm::length(glm::mat3(modelMatrix) * farthestFromCentroid(positions));
}

ModelAsset::ModelAsset(const std::string& path, const Material& material) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, kImportFlags);
  // Files whose meshes carry no normals get smooth ones from the importer instead of a null array.
  if (scene != nullptr && !(scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) && anyMeshLacksNormals(*scene)) {
    scene = importer.ReadFile(path, kImportFlags | aiProcess_GenSmoothNormals);
  }
  if (scene == nullptr || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || scene->mRootNode == nullptr) {
    std::cout << "ERROR::ASSIMP::" << importer.GetErrorString() << std::endl;
    std::cout << "  in " << path << std::endl;
    return;
  }
  // A material file that is missing leaves the meshes untextured: said, not hidden.
  for (const std::string& material : unreadableMaterialFiles(path)) {
    std::cout << "ERROR::MODEL: material file " << material << std::endl;
    std::cout << "  in " << path << std::endl;
  }

  // Depth first: a node's own meshes before its children's.
  std::vector<const aiNode*> pending{scene->mRootNode};
  while (!pending.empty()) {
    const aiNode* node = pending.back();
    pending.pop_back();
    for (unsigned m = 0; m < node->mNumMeshes; ++m) {
      const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
      const unsigned base = static_cast<unsigned>(positions_.size());

      std::vector<Vertex> vertices;
      vertices.reserve(mesh->mNumVertices);
      for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
        Vertex vertex{};
        vertex.position = glm::vec3(mesh->mVertices[i].x, mesh->mVertices[i].y, mesh->mVertices[i].z);
        // Points and lines get no generated normals; they keep zero normals.
        if (mesh->HasNormals()) {
          vertex.normal = glm::vec3(mesh->mNormals[i].x, mesh->mNormals[i].y, mesh->mNormals[i].z);
        }
        if (mesh->mTextureCoords[0] != nullptr) {
          vertex.texCoords = glm::vec2(mesh->mTextureCoords[0][i].x, mesh->mTextureCoords[0][i].y);
        }
        vertices.push_back(vertex);
        positions_.push_back(vertex.position);
      }

      std::vector<unsigned> indices;
      for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        for (unsigned k = 0; k < face.mNumIndices; ++k) {
          indices.push_back(face.mIndices[k]);
          indices_.push_back(face.mIndices[k] + base);
        }
      }

      std::vector<Texture> textures;
      if (mesh->mMaterialIndex < scene->mNumMaterials) {
        const aiMaterial* sceneMaterial = scene->mMaterials[mesh->mMaterialIndex];
        textures = materialTextures(sceneMaterial, aiTextureType_DIFFUSE, "texture_diffuse");
        std::vector<Texture> specular =
            materialTextures(sceneMaterial, aiTextureType_SPECULAR, "texture_specular");
        textures.insert(textures.end(), specular.begin(), specular.end());
      }

      appendRuns(static_cast<unsigned>(meshes_.size()), vertices, indices, runs_);
      meshes_.emplace_back(vertices, std::move(indices), std::move(textures), material);
    }
    // Children pushed in reverse so the first child is processed next.
    for (unsigned c = node->mNumChildren; c > 0; --c) pending.push_back(node->mChildren[c - 1]);
  }
  // The importer accepts some garbage as a scene without geometry (random bytes in an OBJ file):
  // the game has no use for a model without faces, so it is a failed import all the same.
  // A vertex far out or not a number breaks bounds, culling and collision trees: the model is refused.
  std::string refused = badVertex(positions_);
  if (!refused.empty()) refused = "ERROR::MODEL: " + refused + ": the model is refused";
  if (refused.empty() && indices_.empty()) refused = "ERROR::ASSIMP::no faces in the file";
  if (!refused.empty()) {
    std::cout << refused << std::endl;
    std::cout << "  in " << path << std::endl;
    indices_.clear();
    positions_.clear();
    meshes_.clear();
    runs_.clear();
  }
  farthestFromCentroid_ = farthestFromCentroid(positions_);
  if (!positions_.empty()) {
    localMin_ = localMax_ = positions_.front();
    for (const glm::vec3& p : positions_) {
      localMin_ = glm::min(localMin_, p);
      localMax_ = glm::max(localMax_, p);
    }
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

Model::Model(const std::string& path, const glm::mat4& modelMatrix, const Material& material)
    : Model(std::make_shared<const ModelAsset>(path, material), modelMatrix) {}

}  // namespace ruvelo
