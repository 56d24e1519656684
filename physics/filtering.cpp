#include "physics/filtering.h"

#include "physics/physics_world.h"

#include <BulletCollision/NarrowPhaseCollision/btRaycastCallback.h>

#include <algorithm>

namespace {

// Marks a shape's user pointer as ours: other shapes (mesh triangles, compound children made
// elsewhere) may carry anything there.
constexpr int kShapeInfoIndex = 0x52564C49;

struct SharedShape {
  std::unique_ptr<btCollisionShape> shape;
  ShapeInfo info;
};

bool isMeshShape(const btCollisionShape* shape) {
  const int type = shape->getShapeType();
  return type == TRIANGLE_MESH_SHAPE_PROXYTYPE || type == SCALED_TRIANGLE_MESH_SHAPE_PROXYTYPE;
}

// Both wheel filters on one rayTest: the pre-filter per object before any narrowphase, the
// post-filter and "nearest wins" per hit. Rejecting a hit returns the old closest fraction so the
// search goes on. Convex shapes are cast with GJK: Bullet's default sub-simplex cast misses or
// misplaces hits on large boxes (seen: no hit at most points of a 40 km box, hits 0.8 m too high on
// a 4 km one).
struct WheelRayCallback : btCollisionWorld::RayResultCallback {
  WheelRayCallback(const WheelRayQuery& query, const btVector3& to, WheelRayPreFilter pre,
                   WheelHitPostFilter post)
      : query(query), from(query.origin), to(to), preFilter(pre), postFilter(post) {
    m_flags = btTriangleRaycastCallback::kF_KeepUnflippedNormal |
              btTriangleRaycastCallback::kF_UseGjkConvexCastRaytest;
  }

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    const ShapeInfo* info = shapeInfoOf(static_cast<const btCollisionObject*>(proxy->m_clientObject));
    if (!info || info->trigger || !info->sceneQuery) return false;
    return preFilter(query.queryFilter, info->queryFilter) == QueryHitType::Block;
  }

  btScalar addSingleResult(btCollisionWorld::LocalRayResult& result, bool normalInWorldSpace) override {
    const btVector3 dir = to - from;
    const float distance = result.m_hitFraction * dir.length();
    if (result.m_hitFraction >= m_closestHitFraction) return m_closestHitFraction;
    const btCollisionObject* object = result.m_collisionObject;
    const ShapeInfo* info = shapeInfoOf(object);
    if (!info || postFilter(query.queryFilter, info->queryFilter, distance) != QueryHitType::Block)
      return m_closestHitFraction;
    btVector3 normal = normalInWorldSpace ? result.m_hitNormalLocal
                                          : object->getWorldTransform().getBasis() * result.m_hitNormalLocal;
    if (normal.dot(dir) > 0) {
      // Meshes are one-sided for the suspension rays; the plane is seen from both sides.
      if (isMeshShape(object->getCollisionShape())) return m_closestHitFraction;
      normal = -normal;
    }
    m_closestHitFraction = result.m_hitFraction;
    m_collisionObject = object;
    hitNormal = normal.length2() > 0 ? normal.normalized() : btVector3(0, 1, 0);
    hitPoint = from.lerp(to, result.m_hitFraction);
    hitDistance = distance;
    return result.m_hitFraction;
  }

  const WheelRayQuery& query;
  btVector3 from, to;
  WheelRayPreFilter preFilter;
  WheelHitPostFilter postFilter;
  btVector3 hitPoint{0, 0, 0};
  btVector3 hitNormal{0, 1, 0};
  float hitDistance = 0.0f;
};

}  // namespace

void markDrivable(FilterData& data) {
  data.word3 = kDrivableSurface;
}

void markNotDrivable(FilterData& data) {
  data.word3 = kNotDrivableSurface;
}

std::shared_ptr<btCollisionShape> makeSharedShape(std::unique_ptr<btCollisionShape> shape,
                                                  const ShapeInfo& info) {
  if (!shape) return nullptr;
  auto holder = std::make_shared<SharedShape>();
  holder->shape = std::move(shape);
  holder->info = info;
  attachShapeInfo(*holder->shape, holder->info);
  return std::shared_ptr<btCollisionShape>(holder, holder->shape.get());
}

void attachShapeInfo(btCollisionShape& shape, ShapeInfo& info) {
  shape.setUserPointer(&info);
  shape.setUserIndex(kShapeInfoIndex);
}

ShapeInfo* shapeInfoOf(const btCollisionShape* shape) {
  if (!shape || shape->getUserIndex() != kShapeInfoIndex) return nullptr;
  return static_cast<ShapeInfo*>(shape->getUserPointer());
}

ShapeInfo* shapeInfoOf(const btCollisionObject* object) {
  return object ? shapeInfoOf(object->getCollisionShape()) : nullptr;
}

PairFilterResult pairFilterShader(bool triggerA, const FilterData& simA, bool triggerB,
                                  const FilterData& simB) {
  if (triggerA || triggerB) return {false, kPairFlagsTriggerDefault};
  if ((simA.word0 & simB.word1) == 0 && (simB.word0 & simA.word1) == 0) return {true, 0};
  return {false, kPairFlagsContactDefault | simA.word2 | simB.word2};
}

bool PairOverlapFilter::needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const {
  const auto* a = static_cast<const btCollisionObject*>(proxy0->m_clientObject);
  const auto* b = static_cast<const btCollisionObject*>(proxy1->m_clientObject);
  if (a && b && a->isStaticOrKinematicObject() && b->isStaticOrKinematicObject()) return false;
  const ShapeInfo* infoA = shapeInfoOf(a);
  const ShapeInfo* infoB = shapeInfoOf(b);
  if (!infoA || !infoB) {
    return (proxy0->m_collisionFilterGroup & proxy1->m_collisionFilterMask) != 0 &&
           (proxy1->m_collisionFilterGroup & proxy0->m_collisionFilterMask) != 0;
  }
  return !pairFilterShader(infoA->trigger, infoA->simFilter, infoB->trigger, infoB->simFilter).suppress;
}

QueryHitType wheelRayPreFilter(const FilterData& /*queryData*/, const FilterData& shapeQueryData) {
  return (shapeQueryData.word3 & 0xFFFF0000u) != 0 ? QueryHitType::Block : QueryHitType::None;
}

QueryHitType wheelHitPostFilter(const FilterData& /*queryData*/, const FilterData& /*shapeQueryData*/,
                                float distance) {
  return distance <= 0.0f ? QueryHitType::None : QueryHitType::Block;
}

std::unique_ptr<WheelQueryBuffers> allocateWheelQueryBuffers(uint32_t maxVehicles,
                                                             uint32_t maxWheelsPerVehicle,
                                                             uint32_t hitsPerWheel, uint32_t vehiclesPerBatch,
                                                             WheelRayPreFilter preFilter,
                                                             WheelHitPostFilter postFilter) {
  auto buffers = std::make_unique<WheelQueryBuffers>();
  const uint32_t perBatch = std::max(vehiclesPerBatch, 1u);
  const uint32_t batches = std::max((maxVehicles + perBatch - 1) / perBatch, 1u);
  buffers->queriesPerBatch = perBatch * maxWheelsPerVehicle;
  buffers->hitsPerQuery = hitsPerWheel;
  buffers->raycastResults.resize(static_cast<size_t>(batches) * buffers->queriesPerBatch);
  buffers->preFilter = preFilter ? preFilter : wheelRayPreFilter;
  buffers->postFilter = postFilter ? postFilter : wheelHitPostFilter;
  return buffers;
}

WheelRayResult castWheelRay(const btCollisionWorld& world, const WheelRayQuery& query,
                            WheelRayPreFilter preFilter, WheelHitPostFilter postFilter) {
  WheelRayResult result;
  if (!(query.maxDistance > 0.0f) || query.direction.length2() <= 0) return result;
  const btVector3 to = query.origin + query.direction.normalized() * query.maxDistance;
  WheelRayCallback callback(query, to, preFilter ? preFilter : wheelRayPreFilter,
                            postFilter ? postFilter : wheelHitPostFilter);
  world.rayTest(query.origin, to, callback);
  if (!callback.hasHit()) return result;
  result.hasHit = true;
  result.point = callback.hitPoint;
  result.normal = callback.hitNormal;
  result.distance = callback.hitDistance;
  result.object = callback.m_collisionObject;
  result.shape = result.object->getCollisionShape();
  const ShapeInfo* info = shapeInfoOf(result.object);
  result.material = info ? info->material : nullptr;
  return result;
}

WheelBatchQuery::WheelBatchQuery(uint32_t batchIndex, WheelQueryBuffers& buffers,
                                 const btCollisionWorld& world)
    : batchIndex_(batchIndex), buffers_(buffers), world_(world) {}

WheelRayResult* WheelBatchQuery::results() {
  return buffers_.raycastResults.data() + static_cast<size_t>(batchIndex_) * buffers_.queriesPerBatch;
}

WheelRayResult* WheelBatchQuery::raycasts(const WheelRayQuery* queries, uint32_t count) {
  WheelRayResult* out = results();
  count = std::min(count, buffers_.queriesPerBatch);
  for (uint32_t i = 0; i < count; ++i) {
    out[i] = castWheelRay(world_, queries[i], buffers_.preFilter, buffers_.postFilter);
    if (out[i].hasHit && frictionTable_) out[i].surfaceType = frictionTable_->surfaceTypeOf(out[i].material);
  }
  return out;
}

std::unique_ptr<WheelBatchQuery> createWheelBatchQuery(uint32_t batchIndex, WheelQueryBuffers& buffers,
                                                       const btCollisionWorld& world) {
  const size_t end = (static_cast<size_t>(batchIndex) + 1) * buffers.queriesPerBatch;
  if (buffers.queriesPerBatch == 0 || end > buffers.raycastResults.size()) return nullptr;
  return std::make_unique<WheelBatchQuery>(batchIndex, buffers, world);
}

uint32_t TyreFrictionTable::surfaceTypeOf(const PhysicsMaterial* material) const {
  for (size_t i = 0; i < materials.size() && i < surfaceTypes.size(); ++i)
    if (materials[i] == material) return surfaceTypes[i];
  return 0;
}

float TyreFrictionTable::typePairFriction(uint32_t surfaceType, uint32_t tyreType) const {
  if (surfaceType >= numSurfaceTypes || tyreType >= numTyreTypes) return 0.0f;
  const size_t index = static_cast<size_t>(surfaceType) * numTyreTypes + tyreType;
  return index < friction.size() ? friction[index] : 0.0f;
}

TyreFrictionTable makeTyreFrictionTable(const PhysicsMaterial& defaultMaterial) {
  TyreFrictionTable table;
  table.numTyreTypes = 2;
  table.numSurfaceTypes = 1;
  table.materials = {&defaultMaterial};
  table.surfaceTypes = {0};
  table.friction = {1.0f, 0.1f};
  return table;
}

btRigidBody* makeDrivablePlane(PhysicsWorld& world, const PhysicsMaterial& material,
                               const FilterData& simFilter) {
  ShapeInfo info;
  info.simFilter = simFilter;
  info.queryFilter = FilterData{0, 0, 0, kDrivableSurface};
  info.material = &material;
  auto shape = makeSharedShape(std::make_unique<btStaticPlaneShape>(btVector3(0, 1, 0), 0), info);
  return world.createStaticBody(std::move(shape), btTransform::getIdentity());
}
