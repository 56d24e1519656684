#include "render/geometry.h"

#include <cmath>

namespace ruvelo {
namespace {

constexpr float kPi = 3.1415927f;

void addVertex(Geometry& g, const glm::vec3& position, const glm::vec3& normal, const glm::vec2& uv) {
  g.positions.push_back(position);
  g.normals.push_back(normal);
  g.texCoords.push_back(uv);
}

void addTriangle(Geometry& g, unsigned a, unsigned b, unsigned c) {
  g.indices.push_back(a);
  g.indices.push_back(b);
  g.indices.push_back(c);
}

}  // namespace

Geometry boxGeometry(float width, float height, float depth) {
  const float w = width / 2.0f;
  const float h = height / 2.0f;
  const float d = depth / 2.0f;
  struct Face {
    glm::vec3 normal;
    glm::vec3 corners[4];
    glm::vec2 uvs[4];
  };
  const glm::vec2 standardUvs[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const Face faces[6] = {
      {{0, 0, 1}, {{-w, -h, d}, {w, -h, d}, {w, h, d}, {-w, h, d}}, {}},
      {{0, 0, -1}, {{w, -h, -d}, {-w, -h, -d}, {-w, h, -d}, {w, h, -d}}, {{1, 0}, {0, 0}, {0, 1}, {1, 1}}},
      {{1, 0, 0}, {{w, -h, d}, {w, -h, -d}, {w, h, -d}, {w, h, d}}, {}},
      {{-1, 0, 0}, {{-w, -h, -d}, {-w, -h, d}, {-w, h, d}, {-w, h, -d}}, {}},
      {{0, 1, 0}, {{-w, h, -d}, {-w, h, d}, {w, h, d}, {w, h, -d}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}},
      {{0, -1, 0}, {{-w, -h, -d}, {w, -h, -d}, {w, -h, d}, {-w, -h, d}}, {}},
  };
  Geometry g;
  for (unsigned f = 0; f < 6; ++f) {
    const bool ownUvs = f == 1 || f == 4;  // back and top faces have their own layout
    for (unsigned v = 0; v < 4; ++v) {
      addVertex(g, faces[f].corners[v], faces[f].normal, ownUvs ? faces[f].uvs[v] : standardUvs[v]);
    }
    const unsigned b = 4 * f;
    addTriangle(g, b, b + 1, b + 2);
    addTriangle(g, b + 2, b + 3, b);
  }
  return g;
}

Geometry cylinderGeometry(unsigned segments, float height, float radius) {
  Geometry g;
  if (segments == 0) return g;
  const float halfHeight = height / 2.0f;
  const glm::vec3 down(0, -1, 0);
  const glm::vec3 upward(0, 1, 0);
  addVertex(g, {0, -halfHeight, 0}, down, {0.5f, 0.5f});
  addVertex(g, {0, halfHeight, 0}, upward, {0.5f, 0.5f});

  const float step = 2.0f * kPi / static_cast<float>(segments);
  for (unsigned i = 0; i < segments; ++i) {
    const float theta = static_cast<float>(i) * step;
    const float x = radius * std::cos(theta);
    const float z = radius * std::sin(theta);
    const glm::vec3 side = glm::normalize(glm::vec3(x, 0, z));
    const glm::vec2 capUv((x + 1.0f) / 2.0f, (z + 1.0f) / 2.0f);
    const float u = static_cast<float>(i) / static_cast<float>(segments);
    addVertex(g, {x, -halfHeight, z}, down, capUv);
    addVertex(g, {x, -halfHeight, z}, side, {u, 0.0f});
    addVertex(g, {x, halfHeight, z}, upward, capUv);
    addVertex(g, {x, halfHeight, z}, side, {u, 1.0f});
  }
  for (unsigned i = 0; i < segments; ++i) {
    const unsigned next = (i + 1) % segments;
    const unsigned b = 2 + 4 * i, s = 3 + 4 * i, t = 4 + 4 * i, u = 5 + 4 * i;
    const unsigned bn = 2 + 4 * next, sn = 3 + 4 * next, tn = 4 + 4 * next, un = 5 + 4 * next;
    addTriangle(g, 0, b, bn);
    addTriangle(g, 1, tn, t);
    addTriangle(g, s, un, sn);
    addTriangle(g, un, s, u);
  }
  return g;
}

Geometry sphereGeometry(unsigned slices, float radius, unsigned stacks) {
  Geometry g;
  if (slices < 3 || stacks < 2) return g;
  addVertex(g, {0, radius, 0}, {0, 1, 0}, {0, 0});
  addVertex(g, {0, -radius, 0}, {0, -1, 0}, {0, 0});

  const unsigned lastRing = 2 + (stacks - 2) * slices;
  for (unsigned j = 0; j < slices; ++j) {
    const unsigned jn = (j + 1) % slices;
    addTriangle(g, 0, 2 + jn, 2 + j);
    addTriangle(g, lastRing + j, lastRing + jn, 1);
  }

  for (unsigned i = 1; i < stacks; ++i) {
    const float phi = static_cast<float>(i) * kPi / static_cast<float>(stacks);
    const float ringRadius = radius * std::sin(phi);
    const float y = radius * std::cos(phi);
    const unsigned c = 2 + (i - 1) * slices;
    for (unsigned j = 0; j < slices; ++j) {
      const float theta = 2.0f * static_cast<float>(j) * kPi / static_cast<float>(slices);
      const glm::vec3 position(ringRadius * std::cos(theta), y, ringRadius * std::sin(theta));
      addVertex(g, position, glm::normalize(position),
                {static_cast<float>(j) / static_cast<float>(slices),
                 static_cast<float>(i) / static_cast<float>(stacks)});
      if (i >= 2) {
        const unsigned p = c - slices;
        const unsigned jn = (j + 1) % slices;
        addTriangle(g, c + j, p + jn, c + jn);
        addTriangle(g, p + jn, c + j, p + j);
      }
    }
  }
  return g;
}

}  // namespace ruvelo
