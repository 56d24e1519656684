#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace ruvelo::test {

std::string makeTempDir(const std::string& prefix) {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto dir = std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(rd()));
    std::error_code ec;
    if (std::filesystem::create_directories(dir, ec)) return dir.string();
  }
  return {};
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace ruvelo::test
