#include "support/obj_reader.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ruvelo::test {

namespace {

// The vertex index of a face corner ("7", "7/2", "-1//3"), zero-based. False when it is no number.
bool cornerIndex(const std::string& corner, size_t positionCount, uint32_t& index) {
  const std::string number = corner.substr(0, corner.find('/'));
  if (number.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(number.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  const long long resolved = value < 0 ? static_cast<long long>(positionCount) + value : value - 1;
  index = static_cast<uint32_t>(resolved);  // out of range wraps to a large index, rejected later
  return true;
}

}  // namespace

bool readObj(std::istream& in, ObjMesh& mesh) {
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string tag;
    s >> tag;
    if (tag == "v") {
      glm::vec3 p(0.0f);
      s >> p.x >> p.y >> p.z;
      mesh.positions.push_back(p);
    } else if (tag == "f") {
      std::vector<uint32_t> face;
      std::string corner;
      while (s >> corner) {
        uint32_t index = 0;
        if (!cornerIndex(corner, mesh.positions.size(), index)) return false;
        face.push_back(index);
      }
      for (size_t k = 2; k < face.size(); ++k)
        mesh.indices.insert(mesh.indices.end(), {face[0], face[k - 1], face[k]});
    }
  }
  return !mesh.positions.empty() && !mesh.indices.empty();
}

bool readObj(const std::string& path, ObjMesh& mesh) {
  std::ifstream in(path);
  if (!in) return false;
  return readObj(in, mesh);
}

std::string levelCollisionModelPath() {
  return std::string(RUVELO_ASSET_DIR) + "/model/level1PhysXFinal.obj";
}

}  // namespace ruvelo::test
