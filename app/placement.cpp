#include "app/placement.h"

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

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
  void add(AssetId asset, const glm::mat4& matrix, const glm::vec3& centre, unsigned flags,
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
  return modelPath("level1PhysXFinal.obj");
}

std::vector<AssetFile> sceneAssetFiles() {
  // Paths in the data folder as it stands when asked (it is found at start-up).
  return {
      {AssetId::Vehicle, modelPath("testCar.obj"), MaterialKind::White},
      {AssetId::Cone, modelPath("Cone.fbx"), MaterialKind::Environment},
      {AssetId::Battery, modelPath("Battery.fbx"), MaterialKind::Environment},
      {AssetId::Gate, modelPath("FinishLine.obj"), MaterialKind::Blue},
      {AssetId::Level, modelPath("level1RenderFinal2.obj"), MaterialKind::White},
      {AssetId::WheelLeft, modelPath("testWheelLeft.obj"), MaterialKind::White},
      {AssetId::WheelRight, modelPath("testWheelRight.obj"), MaterialKind::White},
      {AssetId::Ground, modelPath("greenPlane.obj"), MaterialKind::White},
  };
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

glm::mat4 zoneGateMatrix(int zone) {
  const level::LevelItems& items = level::levelLayout().items;
  glm::mat4 m = glm::translate(glm::mat4(1.0f), items.zoneGates[zone]);
  if (items.zoneRotated[zone]) m = glm::rotate(m, glm::radians(90.0f), glm::vec3(0.0f, 1.0f, 0.0f));
  return glm::scale(m, glm::vec3(2.0f, 2.4f, 2.0f));
}

glm::mat4 batteryLoadMatrix(const glm::vec3& position) {
  return glm::scale(glm::translate(glm::mat4(1.0f), position), glm::vec3(3.0f));
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

DrawList buildDrawList(const ScenePoses& poses, const std::array<Item, kItemCount>& items) {
  ListBuilder list;
  list.add(AssetId::Vehicle, vehicleBodyMatrix(poses.vehicle), poses.vehicle.position, kLit);
  const glm::mat4 frame = vehicleFrameMatrix(poses.vehicle);
  for (size_t i = 0; i < poses.wheels.size(); ++i) {
    const glm::mat4 matrix = wheelMatrix(frame, poses.wheels[i]);
    list.add(i % 2 == 0 ? AssetId::WheelLeft : AssetId::WheelRight, matrix, glm::vec3(matrix[3]), kLit);
  }
  for (const Pose& cone : poses.cones)
    list.add(AssetId::Cone, coneMatrix(cone), cone.position, kCaster, kConeRank);
  for (int i = 0; i < kBatteryCount; ++i) {
    const Item& battery = items[batteryItem(i)];
    list.add(AssetId::Battery, battery.matrix, battery.centre, kCaster, kBatteryRank, battery.visible);
  }
  list.add(AssetId::Level, levelMatrix(), level::kLevelPosition, kCaster | kSlopedCaster, kLevelRank);
  list.add(AssetId::Ground, groundMatrix(), glm::vec3(0.0f, level::kSlabTop, 0.0f), kCaster, kGroundRank);
  for (int i = 0; i < kZoneCount; ++i) {
    const Item& gate = items[zoneItem(i)];
    list.add(AssetId::Gate, gate.matrix, gate.centre, kCaster | kDrawnLast, kGateRank, gate.visible);
  }
  return list.take();
}

}  // namespace ruvelo
