// Positions and triangle indices of a plain-text OBJ file (v and f lines; polygons fanned), for
// tests and benchmarks that need the generated level's collision model without the renderer.
#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace ruvelo::test {

struct ObjMesh {
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
};

// False when the file cannot be read, a face corner is not a number, or it holds no triangle.
// Negative (relative) indices are resolved; indices are not checked against the positions (a
// collision mesh built from them checks that).
bool readObj(const std::string& path, ObjMesh& mesh);
bool readObj(std::istream& in, ObjMesh& mesh);

// The generated collision model of the level, from the built asset tree.
std::string levelCollisionModelPath();

}  // namespace ruvelo::test
