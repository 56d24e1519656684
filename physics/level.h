// The level's collision world: triangle-mesh shapes from models, and the level's actors (level mesh,
// base slab, battery and zone triggers, cones) with their shapes, materials, filter data and poses,
// built in the start-up steps the app calls in order.
#pragma once

#include "common/game_types.h"
#include "physics/filtering.h"

#include <btBulletDynamicsCommon.h>
#include <glm/glm.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class PhysicsWorld;

// A static triangle-mesh shape (shareable) over a model's positions and triangle indices, scaled
// without touching the vertex data. Null when the mesh cannot be built: no triangle, an index count
// that is not a multiple of 3, an index outside the positions, or a vertex that, scaled, is not finite
// or lies beyond the model bound (kMaxVertexCoordinate). The shape owns copies of the data
// and carries a ShapeInfo with the material and all-zero filter data. Prints nothing.
std::shared_ptr<btCollisionShape> cookModelShape(std::vector<glm::vec3> positions,
                                                 std::vector<uint32_t> indices, const glm::vec3& scale,
                                                 const PhysicsMaterial& material);

// Every level actor and shared shape. Kinds are told by shape identity (batteryTriggerShape,
// zoneTriggerShape), items by object. All owned by the PhysicsWorld they were made in.
struct LevelActors {
  std::shared_ptr<btCollisionShape> batteryTriggerShape;
  std::shared_ptr<btCollisionShape> zoneTriggerShape;
  std::shared_ptr<btCollisionShape> coneShape;
  std::shared_ptr<btCollisionShape> slabShape;
  std::shared_ptr<btCollisionShape> levelMeshShape;  // null when the level mesh could not be built

  std::array<btCollisionObject*, ruvelo::kBatteryCount> batteries{};
  std::array<btCollisionObject*, ruvelo::kZoneCount> zones{};
  std::array<btRigidBody*, ruvelo::kConeCount> cones{};
  btRigidBody* slab = nullptr;
  btRigidBody* levelMesh = nullptr;

  const PhysicsMaterial* batteryMaterial = nullptr;
  const PhysicsMaterial* zoneMaterial = nullptr;
  const PhysicsMaterial* coneMaterial = nullptr;
  const PhysicsMaterial* slabMaterial = nullptr;
};

// Level mesh pose and scale, slab size, item poses.
extern const glm::vec3 kLevelMeshPosition;  // (0, 0, 200)
extern const glm::vec3 kLevelMeshScale;     // (2, 2, 2)
extern const glm::vec3 kSlabHalfExtents;    // (40000, 0.5, 40000); only its top y = 0.5 is built
extern const std::array<glm::vec3, ruvelo::kBatteryCount> kBatteryPositions;
extern const std::array<glm::vec3, ruvelo::kZoneCount> kZonePositions;
extern const std::array<bool, ruvelo::kZoneCount> kZoneRotated;  // a quarter turn about +y
extern const std::array<glm::vec3, ruvelo::kConeCount> kConePositions;

// Start-up step: the battery and zone triggers, the cones (dynamic, placeholder mass 1, inertia
// (1, 1, 1), continuous collision detection on), and the level mesh from the collision model at
// (0, 0, 200) scaled by 2. Nothing is added to the world yet. Returns false when the level mesh
// cannot be built (levelMesh and levelMeshShape stay null): the caller should print one message and
// end start-up, as the game has no level to drive on.
bool createLevelItemsAndMesh(PhysicsWorld& world, LevelActors& level, std::vector<glm::vec3> levelPositions,
                             std::vector<uint32_t> levelIndices);

// Start-up step: the base slab (its top face y = 0.5 as a half-space: a box of the slab's size is
// too large for Bullet's float queries); filter data for the slab, level mesh and cone shapes (slab and mesh
// (8, 2, 0x802, 0) drivable, cones (8, 0x1F, 0, 0) not drivable); the cones disabled.
void createSlabAndFilterData(PhysicsWorld& world, LevelActors& level);

// Start-up step: adds the five batteries, three zones, five cones, the slab and the level mesh, in
// this order.
void addLevelActors(PhysicsWorld& world, const LevelActors& level);

// First playing frame: each cone gets mass 500, angular damping 500 (Bullet clamps it to 1, which
// also stops rotation at every frame rate) and inertia (500, 10, 500), and joins the simulation.
void enableCones(PhysicsWorld& world, const LevelActors& level);

// Item kinds by shape identity.
bool isBatteryShape(const LevelActors& level, const btCollisionShape* shape);
bool isZoneShape(const LevelActors& level, const btCollisionShape* shape);
