#include "tools/assetgen/asset_generator.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "level/level_layout.h"
#include "tools/assetgen/icon.h"
#include "tools/assetgen/image.h"
#include "tools/assetgen/level_map.h"
#include "tools/assetgen/level_mesh.h"
#include "tools/assetgen/model_writer.h"
#include "tools/assetgen/props.h"
#include "tools/assetgen/sky.h"
#include "tools/assetgen/textures.h"

namespace fs = std::filesystem;

namespace ruvelo::assets {

std::vector<GeneratedModel> buildModels() {
  const LevelLayout& layout = levelLayout();
  std::vector<GeneratedModel> models;
  models.push_back({"testCar.obj", ModelFormat::Obj, buildCarModel()});
  models.push_back({"Cone.fbx", ModelFormat::FbxAscii, buildConeModel()});
  models.push_back({"Battery.fbx", ModelFormat::FbxAscii, buildBatteryModel()});
  models.push_back({"FinishLine.obj", ModelFormat::Obj, buildFinishLineModel()});
  models.push_back({"level1PhysXFinal.obj", ModelFormat::Obj, buildLevelCollisionModel(layout)});
  models.push_back({"level1RenderFinal2.obj", ModelFormat::Obj, buildLevelRenderModel(layout)});
  models.push_back({"testWheelLeft.obj", ModelFormat::Obj, buildWheelModel(true)});
  models.push_back({"testWheelRight.obj", ModelFormat::Obj, buildWheelModel(false)});
  models.push_back({"greenPlane.obj", ModelFormat::Obj, buildGreenPlaneModel()});
  return models;
}

namespace {

class Writer {
 public:
  explicit Writer(fs::path root) : root_(std::move(root)) {}

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  std::vector<GeneratedFile>& files() { return files_; }

  bool makeDir(const std::string& rel) {
    std::error_code ec;
    fs::create_directories(root_ / rel, ec);
    if (ec) fail("cannot create " + (root_ / rel).string() + ": " + ec.message());
    return ok();
  }

  void png(const std::string& rel, const Image& image) {
    if (ok() && !writePng((root_ / rel).string(), image)) fail("cannot write " + rel);
    record(rel, 0);
  }

  void text(const std::string& rel, const std::string& contents) {
    if (!ok()) return;
    std::ofstream out(root_ / rel, std::ios::binary);
    out << contents;
    if (!out.flush()) fail("cannot write " + rel);
    record(rel, 0);
  }

  void jpg(const std::string& rel, const Image& image) {
    if (ok() && !writeJpg((root_ / rel).string(), image, 92)) fail("cannot write " + rel);
    record(rel, 0);
  }

  void model(const GeneratedModel& m) {
    if (!ok()) return;
    std::string err;
    const fs::path dir = root_ / "model";
    if (m.format == ModelFormat::Obj) {
      const std::string base = fs::path(m.fileName).stem().string();
      if (!writeObjModel(dir.string(), base, m.data, err)) return fail(err);
      record("model/" + m.fileName, m.data.triangleCount());
      if (!m.data.materials.empty()) record("model/" + base + ".mtl", 0);
    } else {
      if (!writeFbxModel((dir / m.fileName).string(), m.data, err)) return fail(err);
      record("model/" + m.fileName, m.data.triangleCount());
    }
  }

 private:
  void fail(const std::string& message) {
    if (error_.empty()) error_ = message;
  }

  void record(const std::string& rel, std::size_t triangles) {
    if (!ok()) return;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(root_ / rel, ec);
    files_.push_back({rel, triangles, ec ? 0 : size});
  }

  fs::path root_;
  std::string error_;
  std::vector<GeneratedFile> files_;
};

}  // namespace

GenerationResult generateAssets(const std::string& assetDir) {
  Writer w{fs::path(assetDir)};
  GenerationResult result;
  if (w.makeDir("model") && w.makeDir("textures/skybox_free")) {
    for (const GeneratedModel& m : buildModels()) w.model(m);
    for (const NamedTexture& t : makeModelTextures()) w.png("model/" + t.fileName, t.image);
    for (int face = 0; face < kSkyFaceCount; ++face) {
      w.jpg("textures/skybox_free/" + skyFaceFileNames()[face], makeSkyFace(face, kSkyFaceSize));
    }
    w.png("textures/w_test.png", makeFlakeTexture());
    w.png("level_map.png", makeLevelMap(levelLayout()));
    for (int size : kIconSizes) {
      const std::string dir = "icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
      if (w.makeDir(dir)) w.png(dir + "/ruvelo.png", makeIcon(size));
    }
    // The game accepts a data folder only with this marker in it (platform/data_location.h).
    w.text("ruvelo-data.txt", "ruvelo game data\n");
  }
  result.ok = w.ok();
  result.error = w.error();
  result.files = std::move(w.files());
  return result;
}

}  // namespace ruvelo::assets
