// Primitive shapes as separate attribute lists: box, cylinder (axis y) and sphere, centred on the
// origin, with fixed vertex and index orders.
#pragma once

#include <glm/glm.hpp>
#include <vector>

namespace ruvelo {

struct Geometry {
  std::vector<glm::vec3> positions;
  std::vector<unsigned> indices;
  std::vector<glm::vec3> normals;
  std::vector<glm::vec2> texCoords;
};

// 24 vertices (four per face: front, back, right, left, top, bottom), 36 indices.
Geometry boxGeometry(float width, float height, float depth);

// 2 + 4·segments vertices, 12·segments indices.
Geometry cylinderGeometry(unsigned segments, float height, float radius);

// 2 + slices·(stacks − 1) vertices; slices >= 3, stacks >= 2 (smaller values give an empty geometry).
Geometry sphereGeometry(unsigned slices, float radius, unsigned stacks);

}  // namespace ruvelo
