// Generates the whole generated part of the run-time tree (models, textures, sky, flake, level map)
// into an assets folder. Deterministic: two runs write the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/mesh_data.h"

namespace ruvelo::assets {

enum class ModelFormat { Obj, FbxAscii };

struct GeneratedModel {
  std::string fileName;  // under model/, e.g. "testCar.obj"
  ModelFormat format;
  ModelData data;  // exactly what is written, in the file's own coordinates
};

// Every model file, built in memory in the order the game loads them.
std::vector<GeneratedModel> buildModels();

struct GeneratedFile {
  std::string path;           // relative to the assets folder, "/" separated
  std::size_t triangles = 0;  // for model files
  std::uintmax_t bytes = 0;
};

struct GenerationResult {
  bool ok = false;
  std::string error;
  std::vector<GeneratedFile> files;
};

constexpr int kSkyFaceSize = 512;

// Writes everything under `assetDir` (created when missing).
GenerationResult generateAssets(const std::string& assetDir);

}  // namespace ruvelo::assets
