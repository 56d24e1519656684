#include "tools/assetgen/mesh_data.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace ruvelo::assets {

std::size_t ModelData::triangleCount() const {
  std::size_t count = 0;
  for (const MeshPart& p : parts) count += p.triangleCount();
  return count;
}

Bounds ModelData::bounds() const {
  Bounds b;
  b.min = glm::vec3(std::numeric_limits<float>::max());
  b.max = glm::vec3(std::numeric_limits<float>::lowest());
  bool any = false;
  for (const MeshPart& p : parts) {
    for (const MeshVertex& v : p.vertices) {
      b.min = glm::min(b.min, v.position);
      b.max = glm::max(b.max, v.position);
      any = true;
    }
  }
  return any ? b : Bounds{};
}

const MaterialDef* ModelData::findMaterial(const std::string& name) const {
  for (const MaterialDef& m : materials) {
    if (m.name == name) return &m;
  }
  return nullptr;
}

void transformPositions(ModelData& model, const std::function<glm::vec3(glm::vec3)>& map) {
  for (MeshPart& p : model.parts) {
    for (MeshVertex& v : p.vertices) v.position = map(v.position);
  }
}

void MeshBuilder::addMaterial(const MaterialDef& material) {
  for (const MaterialDef& m : materials_) {
    if (m.name == material.name) return;
  }
  materials_.push_back(material);
  parts_.push_back(MeshPart{material.name, {}, {}});
}

MeshPart& MeshBuilder::part(const std::string& material) {
  for (MeshPart& p : parts_) {
    if (p.material == material) return p;
  }
  throw std::logic_error("mesh builder: unknown material " + material);
}

void MeshBuilder::addTriangle(const std::string& material, const MeshVertex& a, const MeshVertex& b,
                              const MeshVertex& c) {
  MeshPart& p = part(material);
  const glm::vec3 faceNormal = glm::cross(b.position - a.position, c.position - a.position);
  if (glm::dot(faceNormal, faceNormal) < 1e-14f) return;  // degenerate: nothing to draw or hit
  const glm::vec3 wanted = a.normal + b.normal + c.normal;
  const auto base = static_cast<std::uint32_t>(p.vertices.size());
  p.vertices.push_back(a);
  if (glm::dot(faceNormal, wanted) >= 0.0f) {
    p.vertices.push_back(b);
    p.vertices.push_back(c);
  } else {
    p.vertices.push_back(c);
    p.vertices.push_back(b);
  }
  p.indices.insert(p.indices.end(), {base, base + 1, base + 2});
}

void MeshBuilder::addPolygon(const std::string& material, const std::vector<glm::vec3>& points,
                             const std::vector<glm::vec2>& uvs, glm::vec3 normal) {
  const glm::vec3 n = glm::normalize(normal);
  for (std::size_t i = 1; i + 1 < points.size(); ++i) {
    addTriangle(material, {points[0], n, uvs[0]}, {points[i], n, uvs[i]}, {points[i + 1], n, uvs[i + 1]});
  }
}

void MeshBuilder::addQuad(const std::string& material, const glm::vec3 (&points)[4],
                          const glm::vec2 (&uvs)[4], glm::vec3 normal) {
  addPolygon(material, {points[0], points[1], points[2], points[3]}, {uvs[0], uvs[1], uvs[2], uvs[3]},
             normal);
}

ModelData MeshBuilder::build() const {
  ModelData model;
  model.materials = materials_;
  for (const MeshPart& p : parts_) {
    if (!p.indices.empty()) model.parts.push_back(p);
  }
  // Materials no part uses are dropped so the files name only what is drawn.
  model.materials.erase(std::remove_if(model.materials.begin(), model.materials.end(),
                                       [&](const MaterialDef& m) {
                                         return std::none_of(
                                             model.parts.begin(), model.parts.end(),
                                             [&](const MeshPart& p) { return p.material == m.name; });
                                       }),
                        model.materials.end());
  return model;
}

}  // namespace ruvelo::assets
