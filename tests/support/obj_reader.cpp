#include "support/obj_reader.h"

#include <fstream>
#include <sstream>

namespace ruvelo::test {

bool readObj(const std::string& path, ObjMesh& mesh) {
  std::ifstream in(path);
  if (!in) return false;
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
        const long index = std::stol(corner.substr(0, corner.find('/')));
        face.push_back(
            static_cast<uint32_t>(index < 0 ? static_cast<long>(mesh.positions.size()) + index : index - 1));
      }
      for (size_t k = 2; k < face.size(); ++k)
        mesh.indices.insert(mesh.indices.end(), {face[0], face[k - 1], face[k]});
    }
  }
  return !mesh.positions.empty() && !mesh.indices.empty();
}

std::string levelCollisionModelPath() {
  return std::string(RUVELO_ASSET_DIR) + "/model/level1PhysXFinal.obj";
}

}  // namespace ruvelo::test
