// Triangle meshes as the generator builds them: materials, per-material parts, and a builder that keeps
// every triangle facing the way its normals say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace ruvelo::assets {

struct MeshVertex {
  glm::vec3 position{0.0f};
  glm::vec3 normal{0.0f, 1.0f, 0.0f};
  glm::vec2 uv{0.0f};
};

struct MaterialDef {
  std::string name;
  std::string texture;  // bare file name beside the model; empty for an untextured material
  glm::vec3 diffuse{0.8f};
};

// All triangles of one material. Indices are three per triangle.
struct MeshPart {
  std::string material;
  std::vector<MeshVertex> vertices;
  std::vector<std::uint32_t> indices;

  std::size_t triangleCount() const { return indices.size() / 3; }
};

struct Bounds {
  glm::vec3 min{0.0f};
  glm::vec3 max{0.0f};
};

struct ModelData {
  std::vector<MaterialDef> materials;
  std::vector<MeshPart> parts;  // non-empty only, in material registration order

  std::size_t triangleCount() const;
  Bounds bounds() const;
  const MaterialDef* findMaterial(const std::string& name) const;
};

// Maps every position (and, for non-uniform maps, nothing else: normals are kept) through `map`.
// Used to turn world-space designs into a model frame under a uniform scale.
void transformPositions(ModelData& model, const std::function<glm::vec3(glm::vec3)>& map);

class MeshBuilder {
 public:
  void addMaterial(const MaterialDef& material);

  // One triangle. The winding is made counter-clockwise as seen from the side the vertex normals
  // point to, whatever order the caller gives.
  void addTriangle(const std::string& material, const MeshVertex& a, const MeshVertex& b,
                   const MeshVertex& c);

  // A convex planar polygon as a fan, flat-shaded with `normal`.
  void addPolygon(const std::string& material, const std::vector<glm::vec3>& points,
                  const std::vector<glm::vec2>& uvs, glm::vec3 normal);

  // A planar quad a-b-c-d (in order around its edge), flat-shaded.
  void addQuad(const std::string& material, const glm::vec3 (&points)[4], const glm::vec2 (&uvs)[4],
               glm::vec3 normal);

  ModelData build() const;

 private:
  MeshPart& part(const std::string& material);

  std::vector<MaterialDef> materials_;
  std::vector<MeshPart> parts_;
};

}  // namespace ruvelo::assets
