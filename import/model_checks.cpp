#include "import/model_checks.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ruvelo {

std::string badVertex(const std::vector<glm::vec3>& positions, size_t firstNumber) {
  for (size_t i = 0; i < positions.size(); ++i) {
    const glm::vec3& p = positions[i];
    bool bad = false;
    for (int axis = 0; axis < 3; ++axis) bad = bad || !(std::fabs(p[axis]) <= kMaxVertexCoordinate);
    if (!bad) continue;
    std::ostringstream line;
    line << "vertex " << firstNumber + i + 1 << " at (" << p.x << ", " << p.y << ", " << p.z
         << ") is not finite or lies beyond " << kMaxVertexCoordinate << " m";
    return line.str();
  }
  return "";
}

std::vector<std::string> unreadableMaterialFiles(const std::string& objPath) {
  namespace fs = std::filesystem;
  std::vector<std::string> failures;
  const fs::path path(objPath);
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension != ".obj") return failures;
  std::ifstream obj(objPath);
  std::string line;
  while (std::getline(obj, line)) {
    std::istringstream words(line);
    std::string keyword, name;
    if (!(words >> keyword) || keyword != "mtllib") continue;
    while (words >> name) {
      const fs::path material = path.parent_path() / name;
      std::error_code error;
      if (fs::is_directory(material, error)) {
        failures.push_back(name + ": is a folder");
        continue;
      }
      std::ifstream in(material);
      if (!in) failures.push_back(name + ": " + std::strerror(errno));
    }
  }
  return failures;
}

}  // namespace ruvelo
