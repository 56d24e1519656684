#include "import/model_import.h"

#include "import/model_checks.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
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

bool usable(const aiScene* scene) {
  return scene != nullptr && !(scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) && scene->mRootNode != nullptr;
}

void reportFailure(std::ostream& out, const std::string& why, const std::string& path) {
  out << "ERROR::ASSIMP::" << why << std::endl;
  out << "  in " << path << std::endl;
}

// Problems of the file's contents that the importer does not see.
void reportProblem(std::ostream& out, const std::string& why, const std::string& path) {
  out << "ERROR::MODEL: " << why << std::endl;
  out << "  in " << path << std::endl;
}

// A vertex far out or not a number breaks bounds, culling and collision trees.
std::string firstBadVertex(const ModelData& model) {
  size_t counted = 0;
  for (const MeshData& mesh : model.meshes) {
    const std::string bad = badVertex(mesh.positions, counted);
    if (!bad.empty()) return bad;
    counted += mesh.positions.size();
  }
  return "";
}

void appendTextures(const aiMaterial* material, aiTextureType type, const char* typeName,
                    std::vector<TextureRef>& textures) {
  const unsigned count = aiGetMaterialTextureCount(material, type);
  for (unsigned i = 0; i < count; ++i) {
    aiString path;
    aiGetMaterialTexture(material, type, i, &path, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    textures.push_back({std::string(path.C_Str(), path.length), typeName});
  }
}

MeshData readMesh(const aiScene& scene, const aiMesh& mesh) {
  MeshData data;
  data.positions.reserve(mesh.mNumVertices);
  data.normals.assign(mesh.mNumVertices, glm::vec3(0.0f));
  data.texCoords.assign(mesh.mNumVertices, glm::vec2(0.0f));
  for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
    data.positions.emplace_back(mesh.mVertices[i].x, mesh.mVertices[i].y, mesh.mVertices[i].z);
    // Points and lines get no generated normals; they keep zero normals.
    if (mesh.HasNormals())
      data.normals[i] = glm::vec3(mesh.mNormals[i].x, mesh.mNormals[i].y, mesh.mNormals[i].z);
    if (mesh.mTextureCoords[0] != nullptr)
      data.texCoords[i] = glm::vec2(mesh.mTextureCoords[0][i].x, mesh.mTextureCoords[0][i].y);
  }
  for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
    const aiFace& face = mesh.mFaces[f];
    data.indices.insert(data.indices.end(), face.mIndices, face.mIndices + face.mNumIndices);
  }
  if (mesh.mMaterialIndex < scene.mNumMaterials) {
    const aiMaterial* material = scene.mMaterials[mesh.mMaterialIndex];
    appendTextures(material, aiTextureType_DIFFUSE, "texture_diffuse", data.textures);
    appendTextures(material, aiTextureType_SPECULAR, "texture_specular", data.textures);
  }
  return data;
}

// Depth first: a node's own meshes before its children's.
std::vector<MeshData> readMeshes(const aiScene& scene) {
  std::vector<MeshData> meshes;
  std::vector<const aiNode*> pending{scene.mRootNode};
  while (!pending.empty()) {
    const aiNode* node = pending.back();
    pending.pop_back();
    for (unsigned m = 0; m < node->mNumMeshes; ++m)
      meshes.push_back(readMesh(scene, *scene.mMeshes[node->mMeshes[m]]));
    // Children pushed in reverse so the first child is processed next.
    for (unsigned c = node->mNumChildren; c > 0; --c) pending.push_back(node->mChildren[c - 1]);
  }
  return meshes;
}

void computeBounds(ModelData& model) {
  bool first = true;
  for (const MeshData& mesh : model.meshes) {
    for (const glm::vec3& p : mesh.positions) {
      model.localMin = first ? p : glm::min(model.localMin, p);
      model.localMax = first ? p : glm::max(model.localMax, p);
      first = false;
    }
  }
}

}  // namespace

ModelData importModel(const std::string& path) {
  return importModel(path, std::cout);
}

ModelData importModel(const std::string& path, std::ostream& messages) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(path, kImportFlags);
  // Files whose meshes carry no normals get smooth ones from the importer instead of a null array.
  if (usable(scene) && anyMeshLacksNormals(*scene))
    scene = importer.ReadFile(path, kImportFlags | aiProcess_GenSmoothNormals);
  if (!usable(scene)) {
    reportFailure(messages, importer.GetErrorString(), path);
    return {};
  }
  // A material file that is missing leaves the meshes untextured: said, not hidden.
  for (const std::string& material : unreadableMaterialFiles(path))
    reportProblem(messages, "material file " + material, path);
  ModelData model;
  model.meshes = readMeshes(*scene);
  const std::string badVertex = firstBadVertex(model);
  if (!badVertex.empty()) {
    reportProblem(messages, badVertex + ": the model is refused", path);
    return {};
  }
  const std::string problem = checkModel(model);
  if (!problem.empty()) {
    reportFailure(messages, problem, path);
    return {};
  }
  computeBounds(model);
  return model;
}

std::string checkModel(const ModelData& model) {
  // The importer accepts some garbage as a scene without geometry (random bytes in an OBJ file):
  // the game has no use for a model without faces, so it is a failed import all the same.
  for (const MeshData& mesh : model.meshes)
    if (!mesh.indices.empty()) return {};
  return "no faces in the file";
}

TriangleSoup triangleSoup(const ModelData& model) {
  TriangleSoup soup;
  for (const MeshData& mesh : model.meshes) {
    const uint32_t base = static_cast<uint32_t>(soup.positions.size());
    soup.positions.insert(soup.positions.end(), mesh.positions.begin(), mesh.positions.end());
    for (unsigned index : mesh.indices) soup.indices.push_back(index + base);
  }
  return soup;
}

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

glm::vec3 farthestFromCentroid(const ModelData& model) {
  return farthestFromCentroid(triangleSoup(model).positions);
}

}  // namespace ruvelo
