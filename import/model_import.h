// Model files read into plain data: meshes with positions, normals, texture coordinates, indices and
// the texture files their materials name, and the bounds of every position. Nothing here touches GL:
// the renderer uploads this data, physics builds collision meshes from it, tests read it directly.
#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace ruvelo {

// A texture file a mesh's material names, as the model file spells it, and its use.
struct TextureRef {
  std::string path;
  std::string type;  // "texture_diffuse" or "texture_specular"
};

// One mesh: per-vertex lists of equal length and triangle indices into them.
struct MeshData {
  std::vector<glm::vec3> positions;
  std::vector<glm::vec3> normals;    // zero for points and lines
  std::vector<glm::vec2> texCoords;  // zero without a first coordinate set; v flipped
  std::vector<unsigned> indices;
  std::vector<TextureRef> textures;  // the diffuse ones first, then the specular ones
};

// A whole file: its meshes depth first (a node's own meshes before its children's) and the
// model-space box around every position (both corners zero without positions).
struct ModelData {
  std::vector<MeshData> meshes;
  glm::vec3 localMin{0.0f};
  glm::vec3 localMax{0.0f};

  bool empty() const { return meshes.empty(); }
};

// Reads `path`. On failure prints "ERROR::ASSIMP::" + why and "  in " + path on standard output and
// returns an empty model. Files whose meshes lack normals get smooth ones.
ModelData importModel(const std::string& path);
// The same, its messages written to `messages` instead.
ModelData importModel(const std::string& path, std::ostream& messages);

// The one check of imported data before anyone uses it; an empty string when `model` is usable,
// else why not. A model without a single face is refused.
std::string checkModel(const ModelData& model);

// Every mesh's positions one after another, indices offset to match: a collision mesh's input.
struct TriangleSoup {
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
};
TriangleSoup triangleSoup(const ModelData& model);

// The vector from the centroid of `positions` to the farthest one (first wins on ties); zero without
// positions. Its length under a matrix is a bounding radius. The model's form takes every mesh's.
glm::vec3 farthestFromCentroid(const std::vector<glm::vec3>& positions);
glm::vec3 farthestFromCentroid(const ModelData& model);

}  // namespace ruvelo
