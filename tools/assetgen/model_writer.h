// Writes generated models: OBJ + MTL as text, and ASCII FBX through Assimp's exporter with its
// creation time stamp pinned, so every run writes the same bytes.
#pragma once

#include <string>

#include "tools/assetgen/mesh_data.h"

namespace ruvelo::assets {

// Writes <dir>/<baseName>.obj and, when the model has materials, <dir>/<baseName>.mtl.
// Returns false (with `error` set) when a file cannot be written.
bool writeObjModel(const std::string& dir, const std::string& baseName, const ModelData& model,
                   std::string& error);

// Writes an ASCII FBX file (Assimp format id "fbxa").
bool writeFbxModel(const std::string& path, const ModelData& model, std::string& error);

// Replaces the fields of the FBX header's CreationTimeStamp block with a fixed date.
std::string pinFbxTimeStamp(const std::string& fbxText);

}  // namespace ruvelo::assets
