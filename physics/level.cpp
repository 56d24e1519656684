#include "physics/level.h"

#include "physics/physics_world.h"

#include "import/model_checks.h"
#include "level/level_layout.h"

#include <cmath>

const glm::vec3 kLevelMeshPosition = ruvelo::level::kLevelPosition;
const glm::vec3 kLevelMeshScale(ruvelo::level::kLevelScale);
const glm::vec3 kSlabHalfExtents(40000.0f, ruvelo::level::kSlabTop, 40000.0f);
const std::array<glm::vec3, ruvelo::kBatteryCount> kBatteryPositions =
    ruvelo::level::levelLayout().items.batteries;
const std::array<glm::vec3, ruvelo::kZoneCount> kZonePositions = ruvelo::level::levelLayout().items.zones;
const std::array<bool, ruvelo::kZoneCount> kZoneRotated = ruvelo::level::levelLayout().items.zoneRotated;
const std::array<glm::vec3, ruvelo::kConeCount> kConePositions = ruvelo::level::levelLayout().items.cones;

namespace {

constexpr float kQuarterTurn = 1.5707963f;
// Bullet's quantized BVH addresses triangles with 21 bits.
constexpr size_t kMaxMeshTriangles = (size_t(1) << 21) - 1;
// A cone's first step covers the whole loading time: sweep it so it cannot end up under the slab.
constexpr float kConeCcdMotionThreshold = 0.5f;
constexpr float kConeCcdSweptSphereRadius = 1.5f;

// The mesh data and every Bullet object built over it, released together with the shape.
struct CookedMesh {
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
  std::unique_ptr<btTriangleIndexVertexArray> array;
  std::unique_ptr<btBvhTriangleMeshShape> bvh;
  std::unique_ptr<btScaledBvhTriangleMeshShape> scaled;
  ShapeInfo info;
};

btVector3 toBt(const glm::vec3& v) {
  return btVector3(v.x, v.y, v.z);
}

bool finite(const glm::vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool withinBounds(const glm::vec3& v) {
  return finite(v) && std::fabs(v.x) <= ruvelo::kMaxVertexCoordinate &&
         std::fabs(v.y) <= ruvelo::kMaxVertexCoordinate && std::fabs(v.z) <= ruvelo::kMaxVertexCoordinate;
}

btTransform poseAt(const glm::vec3& position, bool quarterTurn) {
  btTransform pose(btQuaternion::getIdentity(), toBt(position));
  if (quarterTurn) pose.setRotation(btQuaternion(btVector3(0, 1, 0), kQuarterTurn));
  return pose;
}

std::shared_ptr<btCollisionShape> boxShape(const btVector3& halfExtents, const ShapeInfo& info) {
  return makeSharedShape(std::make_unique<btBoxShape>(halfExtents), info);
}

}  // namespace

std::shared_ptr<btCollisionShape> cookModelShape(std::vector<glm::vec3> positions,
                                                 std::vector<uint32_t> indices, const glm::vec3& scale,
                                                 const PhysicsMaterial& material) {
  // Bullet checks nothing: an empty mesh crashes while building the tree, an index out of range
  // reads out of bounds.
  const size_t triangles = indices.size() / 3;
  if (triangles == 0 || indices.size() % 3 != 0 || triangles > kMaxMeshTriangles) return nullptr;
  for (uint32_t index : indices)
    if (index >= positions.size()) return nullptr;
  if (!finite(scale) || scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) return nullptr;
  // Checked as scaled, as Bullet walks it: a finite vertex may overflow once scaled, and one far out
  // stretches the tree's quantisation until the level's real triangles are lost in it.
  for (const glm::vec3& p : positions)
    if (!withinBounds(p * scale)) return nullptr;

  auto mesh = std::make_shared<CookedMesh>();
  mesh->positions = std::move(positions);
  mesh->indices = std::move(indices);
  btIndexedMesh part;
  part.m_numTriangles = static_cast<int>(triangles);
  part.m_triangleIndexBase = reinterpret_cast<const unsigned char*>(mesh->indices.data());
  part.m_triangleIndexStride = 3 * sizeof(uint32_t);
  part.m_numVertices = static_cast<int>(mesh->positions.size());
  part.m_vertexBase = reinterpret_cast<const unsigned char*>(mesh->positions.data());
  part.m_vertexStride = sizeof(glm::vec3);
  part.m_indexType = PHY_INTEGER;
  part.m_vertexType = PHY_FLOAT;
  mesh->array = std::make_unique<btTriangleIndexVertexArray>();
  mesh->array->addIndexedMesh(part, PHY_INTEGER);
  mesh->bvh = std::make_unique<btBvhTriangleMeshShape>(mesh->array.get(), true);
  mesh->scaled = std::make_unique<btScaledBvhTriangleMeshShape>(mesh->bvh.get(), toBt(scale));
  mesh->info.material = &material;
  attachShapeInfo(*mesh->scaled, mesh->info);
  return std::shared_ptr<btCollisionShape>(mesh, mesh->scaled.get());
}

bool createLevelItemsAndMesh(PhysicsWorld& world, LevelActors& level, std::vector<glm::vec3> levelPositions,
                             std::vector<uint32_t> levelIndices) {
  ShapeInfo trigger;
  trigger.trigger = true;
  trigger.sceneQuery = false;

  level.batteryMaterial = world.createMaterial(1.0f, 1.0f, 0.0f);
  trigger.material = level.batteryMaterial;
  level.batteryTriggerShape = boxShape(btVector3(1, 1, 1) * ruvelo::level::kBatteryHalfExtent, trigger);
  for (int i = 0; i < ruvelo::kBatteryCount; ++i)
    level.batteries[i] = world.createTrigger(level.batteryTriggerShape, poseAt(kBatteryPositions[i], false));

  level.zoneMaterial = world.createMaterial(1.0f, 1.0f, 0.0f);
  trigger.material = level.zoneMaterial;
  level.zoneTriggerShape = boxShape(toBt(ruvelo::level::kZoneHalfExtents), trigger);
  for (int i = 0; i < ruvelo::kZoneCount; ++i)
    level.zones[i] = world.createTrigger(level.zoneTriggerShape, poseAt(kZonePositions[i], kZoneRotated[i]));

  level.coneMaterial = world.createMaterial(1.0f, 0.5f, 0.0f);
  ShapeInfo cone;
  cone.material = level.coneMaterial;
  level.coneShape = boxShape(btVector3(2, 2, 2), cone);
  for (int i = 0; i < ruvelo::kConeCount; ++i) {
    // Placeholder mass properties until the first playing frame gives the real ones.
    btRigidBody* body =
        world.createDynamicBody(level.coneShape, poseAt(kConePositions[i], true), 1.0f, btVector3(1, 1, 1));
    body->setCcdMotionThreshold(kConeCcdMotionThreshold);
    body->setCcdSweptSphereRadius(kConeCcdSweptSphereRadius);
    level.cones[i] = body;
  }

  level.levelMeshShape = cookModelShape(std::move(levelPositions), std::move(levelIndices), kLevelMeshScale,
                                        world.defaultMaterial());
  if (!level.levelMeshShape) return false;
  level.levelMesh = world.createStaticBody(level.levelMeshShape, poseAt(kLevelMeshPosition, false));
  return true;
}

void createSlabAndFilterData(PhysicsWorld& world, LevelActors& level) {
  const FilterData groundSim = kGroundSimFilter;

  level.slabMaterial = world.createMaterial(1.0f, 1.0f, 0.0f);
  ShapeInfo slab;
  slab.material = level.slabMaterial;
  slab.simFilter = groundSim;
  markDrivable(slab.queryFilter);
  // The slab's only face anything meets is its top at y = 0.5. A btBoxShape 80 km wide loses that
  // face to float precision (rays miss it or hit metres off, swept bodies fall through), so the
  // slab is the half-space below its top: the same surface wherever the level lies.
  level.slabShape =
      makeSharedShape(std::make_unique<btStaticPlaneShape>(btVector3(0, 1, 0), kSlabHalfExtents.y), slab);
  level.slab = world.createStaticBody(level.slabShape, btTransform::getIdentity());

  if (ShapeInfo* mesh = shapeInfoOf(level.levelMeshShape.get())) {
    mesh->simFilter = groundSim;
    markDrivable(mesh->queryFilter);
  }
  if (ShapeInfo* cone = shapeInfoOf(level.coneShape.get())) {
    cone->simFilter = kConeSimFilter;
    markNotDrivable(cone->queryFilter);
  }
  for (btRigidBody* cone : level.cones) world.setSimulationEnabled(cone, false);
}

void addLevelActors(PhysicsWorld& world, const LevelActors& level) {
  for (btCollisionObject* battery : level.batteries) world.addObject(battery);
  for (btCollisionObject* zone : level.zones) world.addObject(zone);
  for (btRigidBody* cone : level.cones) world.addObject(cone);
  world.addObject(level.slab);
  world.addObject(level.levelMesh);
}

void enableCones(PhysicsWorld& world, const LevelActors& level) {
  for (btRigidBody* cone : level.cones) {
    if (!cone) continue;
    cone->setMassProps(500.0f, btVector3(500, 10, 500));
    cone->updateInertiaTensor();
    // Bullet clamps damping to [0, 1]; 1 removes the spin every step, as 500 does at any frame rate.
    cone->setDamping(0.0f, 500.0f);
    world.setSimulationEnabled(cone, true);
  }
}

bool isBatteryShape(const LevelActors& level, const btCollisionShape* shape) {
  return shape && shape == level.batteryTriggerShape.get();
}

bool isZoneShape(const LevelActors& level, const btCollisionShape* shape) {
  return shape && shape == level.zoneTriggerShape.get();
}
