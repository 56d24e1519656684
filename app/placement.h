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
#include "physics/game_types.h"

namespace ruvelo {

// The drawn models in the game's loading order, and the level's collision model (read on the CPU
// only, never drawn).
std::vector<AssetFile> sceneAssetFiles();
std::string levelCollisionPath();

// Load-time matrices from the level's layout.
glm::mat4 levelMatrix();
glm::mat4 groundMatrix();
glm::mat4 zoneGateMatrix(int zone);
glm::mat4 batteryLoadMatrix(const glm::vec3& position);

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
DrawList buildDrawList(const ScenePoses& poses, const std::array<Item, kItemCount>& items);

}  // namespace ruvelo
