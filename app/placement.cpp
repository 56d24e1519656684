#include "app/placement.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <sstream>

#include "import/model_import.h"
#include "level/level_layout.h"
#include "platform/data_folder.h"

namespace ruvelo {
namespace {

std::string modelPath(const char* file) {
  return dataPath(std::string("model/") + file);
}

// Shadow-map order: the gates, the cones, the ground, the batteries, the level.
enum ShadowRank { kGateRank, kConeRank, kGroundRank, kBatteryRank, kLevelRank };

constexpr unsigned kLit = kCulled | kCounted;
constexpr unsigned kCaster = kLit | kCastsShadow;

// Builds the list; every item gets a key whether or not it is shown, so keys stay put.
class ListBuilder {
 public:
  void add(AssetHandle asset, const glm::mat4& matrix, const glm::vec3& centre, unsigned flags,
           int shadowOrder = 0, bool shown = true) {
    const int key = nextKey_++;
    if (shown) list_.items.push_back({asset, key, matrix, centre, flags, shadowOrder});
  }
  DrawList take() { return std::move(list_); }

 private:
  DrawList list_;
  int nextKey_ = 0;
};

}  // namespace

std::string levelCollisionPath() {
  return modelPath(level::kCollisionModelFile);
}

Sun levelSun() {
  return {level::kSunEye, level::kSunDirection, level::kSunHalfExtent, level::kSunNear, level::kSunFar};
}

namespace {
// The drawn models' files, their materials and their handles' places, in loading order.
struct SceneModelFile {
  const char* file;
  MaterialKind material;
  AssetHandle SceneAssets::*handle;
};
constexpr SceneModelFile kSceneModelFiles[] = {
    {"testCar.obj", MaterialKind::White, &SceneAssets::vehicle},
    {"Cone.fbx", MaterialKind::Environment, &SceneAssets::cone},
    {"Battery.fbx", MaterialKind::Environment, &SceneAssets::battery},
    {"FinishLine.obj", MaterialKind::Blue, &SceneAssets::gate},
    {"level1RenderFinal2.obj", MaterialKind::White, &SceneAssets::level},
    {"testWheelLeft.obj", MaterialKind::White, &SceneAssets::wheelLeft},
    {"testWheelRight.obj", MaterialKind::White, &SceneAssets::wheelRight},
    {"greenPlane.obj", MaterialKind::White, &SceneAssets::ground},
};
}  // namespace

ImportedModels importGameModels() {
  // Paths in the data folder as it stands when asked (it is found before this runs).
  ImportedModels models;
  std::ostringstream messages;
  for (const SceneModelFile& entry : kSceneModelFiles)
    models.scene.push_back(importModel(modelPath(entry.file), messages));
  models.collision = importModel(levelCollisionPath(), messages);
  models.messages = messages.str();
  return models;
}

SceneAssets loadSceneAssets(Renderer& renderer, const std::vector<ModelData>& scene) {
  SceneAssets assets;
  for (size_t i = 0; i < std::size(kSceneModelFiles) && i < scene.size(); ++i)
    assets.*kSceneModelFiles[i].handle = renderer.loadModel(scene[i], kSceneModelFiles[i].material);
  return assets;
}

glm::mat4 levelMatrix() {
  return glm::scale(glm::translate(glm::mat4(1.0f), level::kLevelPosition), glm::vec3(level::kLevelScale));
}

glm::mat4 groundMatrix() {
  // The plane's model spans -1..1 in x and z.
  const glm::vec2 half = level::kGreenPlaneHalfSize;
  return glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, level::kSlabTop, 0.0f)),
                    glm::vec3(half.x, 1.0f, half.y));
}

glm::mat4 vehicleFrameMatrix(const Pose& actor) {
  return glm::translate(glm::mat4(1.0f), actor.position) * glm::mat4_cast(actor.rotation);
}

glm::mat4 vehicleBodyMatrix(const Pose& actor) {
  return glm::translate(vehicleFrameMatrix(actor), glm::vec3(0.0f, -0.4f, 0.0f));
}

glm::mat4 wheelMatrix(const glm::mat4& vehicleFrame, const Pose& local) {
  return glm::translate(vehicleFrame, local.position) * glm::mat4_cast(local.rotation);
}

glm::mat4 coneMatrix(const Pose& actor) {
  return glm::translate(glm::mat4(1.0f), actor.position + glm::vec3(0.0f, 1.5f, 0.0f)) *
         glm::scale(glm::mat4(1.0f), glm::vec3(3.5f)) * glm::mat4_cast(actor.rotation);
}

DrawList buildDrawList(const ScenePoses& poses, const std::array<Item, kItemCount>& items,
                       const SceneAssets& assets) {
  ListBuilder list;
  list.add(assets.vehicle, vehicleBodyMatrix(poses.vehicle), poses.vehicle.position, kLit);
  const glm::mat4 frame = vehicleFrameMatrix(poses.vehicle);
  for (size_t i = 0; i < poses.wheels.size(); ++i) {
    const glm::mat4 matrix = wheelMatrix(frame, poses.wheels[i]);
    list.add(i % 2 == 0 ? assets.wheelLeft : assets.wheelRight, matrix, glm::vec3(matrix[3]), kLit);
  }
  for (const Pose& cone : poses.cones)
    list.add(assets.cone, coneMatrix(cone), cone.position, kCaster, kConeRank);
  for (int i = 0; i < kBatteryCount; ++i) {
    const Item& battery = items[batteryItem(i)];
    list.add(assets.battery, battery.matrix, battery.centre, kCaster, kBatteryRank, battery.visible);
  }
  list.add(assets.level, levelMatrix(), level::kLevelPosition, kCaster | kSlopedCaster, kLevelRank);
  list.add(assets.ground, groundMatrix(), glm::vec3(0.0f, level::kSlabTop, 0.0f), kCaster, kGroundRank);
  for (int i = 0; i < kZoneCount; ++i) {
    const Item& gate = items[zoneItem(i)];
    list.add(assets.gate, gate.matrix, gate.centre, kCaster | kDrawnLast, kGateRank, gate.visible);
  }
  return list.take();
}

void addGhost(DrawList& list, const SceneAssets& assets, const Pose& pose,
              const std::array<Pose, 4>& wheels) {
  // See-through enough to never hide the player's own vehicle or the road ahead.
  constexpr float kGhostOpacity = 0.35f;
  int key = list.items.empty() ? 0 : list.items.back().key + 1;
  auto add = [&](AssetHandle asset, const glm::mat4& matrix) {
    DrawItem item;
    item.asset = asset;
    item.key = key++;
    item.matrix = matrix;
    item.centre = glm::vec3(matrix[3]);
    item.flags = kTranslucent;
    item.opacity = kGhostOpacity;
    list.items.push_back(item);
  };
  add(assets.vehicle, vehicleBodyMatrix(pose));
  const glm::mat4 frame = vehicleFrameMatrix(pose);
  // The wheels are left, right, left, right.
  for (size_t i = 0; i < wheels.size(); ++i)
    add(i % 2 == 0 ? assets.wheelLeft : assets.wheelRight, wheelMatrix(frame, wheels[i]));
}

}  // namespace ruvelo
