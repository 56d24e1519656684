// assetgen <output assets dir>: writes the generated models, textures, sky faces, flake and level map,
// then lists every file with its triangle count and size and the time the generation took.
#include <chrono>
#include <cstdio>

#include "tools/assetgen/asset_generator.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: assetgen <output assets dir>\n");
    return 2;
  }
  const auto begin = std::chrono::steady_clock::now();
  const ruvelo::assets::GenerationResult result = ruvelo::assets::generateAssets(argv[1]);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (!result.ok) {
    std::fprintf(stderr, "assetgen: %s\n", result.error.c_str());
    return 1;
  }
  for (const auto& f : result.files) {
    if (f.triangles > 0) {
      std::printf("%-40s %8ju bytes %7zu triangles\n", f.path.c_str(), f.bytes, f.triangles);
    } else {
      std::printf("%-40s %8ju bytes\n", f.path.c_str(), f.bytes);
    }
  }
  std::printf("assetgen: %zu files in %.2f s\n", result.files.size(), seconds);
  return 0;
}
