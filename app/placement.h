// Where everything the game shows stands: the model files and their materials, the load-time
// matrices from the level's layout, the matrices of moving things from their physics poses, and the
// frame's draw list built from them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "game/game.h"
#include "passes/draw_list.h"
#include "passes/renderer.h"
#include "common/game_types.h"
#include "render/light.h"

namespace ruvelo {

// The renderer's handles of the game's drawn models.
struct SceneAssets {
  AssetHandle vehicle = kNoAsset, cone = kNoAsset, battery = kNoAsset, gate = kNoAsset, level = kNoAsset,
              wheelLeft = kNoAsset, wheelRight = kNoAsset, ground = kNoAsset;
};

// The game's drawn models read from their files (no GL: any thread may read them), and the level's
// collision model.
struct ImportedModels {
  std::vector<ModelData> scene;  // in the drawn models' loading order
  ModelData collision;
  std::string messages;  // what reading them reported, for the caller to print
};
ImportedModels importGameModels();
// Uploads the read models into the renderer in the game's loading order.
SceneAssets loadSceneAssets(Renderer& renderer, const std::vector<ModelData>& scene);

// The level's collision model (read on the CPU only, never drawn).
std::string levelCollisionPath();
// The level's sun, for the renderer's light and shadow map.
Sun levelSun();

// Load-time matrices from the level's layout.
glm::mat4 levelMatrix();
glm::mat4 groundMatrix();

// Matrices from physics poses: the vehicle frame C = translate(p) × rotation(q); the body is drawn
// 0.4 below it, a wheel at its local pose in C, a cone 1.5 above its actor, scaled by 3.5.
glm::mat4 vehicleFrameMatrix(const Pose& actor);
glm::mat4 vehicleBodyMatrix(const Pose& actor);
glm::mat4 wheelMatrix(const glm::mat4& vehicleFrame, const Pose& local);
glm::mat4 coneMatrix(const Pose& actor);

// The physics poses a frame is drawn from.
struct ScenePoses {
  Pose vehicle;
  std::array<Pose, 4> wheels;  // local to the vehicle frame: left, right, left, right
  std::array<Pose, kConeCount> cones;
};

// The frame's items in the lit pass's order: the vehicle body and its four corner wheels, the
// cones, the batteries still there, the level, the ground, then the gates still there. Everything
// is culled and counted; the gates, cones, ground, batteries and level (in that order) cast shadows.
// The frustum and the culling switch are the caller's.
DrawList buildDrawList(const ScenePoses& poses, const std::array<Item, kItemCount>& items,
                       const SceneAssets& assets);

// The best run's vehicle at `pose` with its wheels at rest (`wheels`, local as in ScenePoses): the
// body and the four wheels as translucent items at the end of the list.
void addGhost(DrawList& list, const SceneAssets& assets, const Pose& pose, const std::array<Pose, 4>& wheels);

}  // namespace ruvelo
