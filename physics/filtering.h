// Who touches what: filter data and the pair rule, the drivable marking for the wheel rays, the
// per-shape record hung on every btCollisionShape, the wheel ray queries, the tyre friction table and
// the drivable ground plane.
#pragma once

#include <btBulletDynamicsCommon.h>

#include <cstdint>
#include <memory>
#include <vector>

class PhysicsWorld;
struct WheelShapeTag;

// Four filter words: word0 own groups, word1 groups met, word2 pair flags asked for, word3 (query
// data only) the drivable marking.
struct FilterData {
  uint32_t word0 = 0;
  uint32_t word1 = 0;
  uint32_t word2 = 0;
  uint32_t word3 = 0;
};

inline bool operator==(const FilterData& a, const FilterData& b) {
  return a.word0 == b.word0 && a.word1 == b.word1 && a.word2 == b.word2 && a.word3 == b.word3;
}

constexpr uint32_t kDrivableSurface = 0xFFFF0000u;
constexpr uint32_t kNotDrivableSurface = 0x0000FFFFu;

// Pair flag bits as the filter words carry them.
constexpr uint32_t kPairFlagSolveContact = 0x1;
constexpr uint32_t kPairFlagModifyContacts = 0x2;
constexpr uint32_t kPairFlagNotifyTouchFound = 0x4;
constexpr uint32_t kPairFlagNotifyTouchLost = 0x10;
constexpr uint32_t kPairFlagDetectDiscreteContact = 0x400;
constexpr uint32_t kPairFlagDetectCcdContact = 0x800;
constexpr uint32_t kPairFlagsTriggerDefault = 0x414;
constexpr uint32_t kPairFlagsContactDefault = 0x401;

// Collision groups: word0 holds an object's own groups, word1 the groups it meets.
constexpr uint32_t kGroupPlane = 1u << 0;             // the ground plane y = 0 under the level
constexpr uint32_t kGroupVehicle = 1u << 1;           // the chassis
constexpr uint32_t kGroupObstacle = 1u << 2;          // movable obstacles; none in this level
constexpr uint32_t kGroupLevel = 1u << 3;             // slab, level mesh and cones
constexpr uint32_t kGroupDrivableObstacle = 1u << 4;  // drivable obstacles; none in this level
constexpr uint32_t kAllGroups =
    kGroupPlane | kGroupVehicle | kGroupObstacle | kGroupLevel | kGroupDrivableObstacle;

// Simulation filter data of each kind of object. Ground and chassis ask for contact modification
// and swept contacts; the plane does not meet the chassis, which rests on the slab above it.
constexpr FilterData kPlaneSimFilter{kGroupPlane, kAllGroups & ~(kGroupPlane | kGroupVehicle), 0, 0};
constexpr FilterData kGroundSimFilter{kGroupLevel, kGroupVehicle,
                                      kPairFlagModifyContacts | kPairFlagDetectCcdContact, 0};
constexpr FilterData kConeSimFilter{kGroupLevel, kAllGroups, 0, 0};
constexpr FilterData kChassisSimFilter{kGroupVehicle, kGroupVehicle,
                                       kPairFlagModifyContacts | kPairFlagDetectCcdContact, 0};

// Sets word3 only.
void markDrivable(FilterData& data);
void markNotDrivable(FilterData& data);

// Friction and restitution of a surface. Bullet keeps one friction per object: objects take the
// dynamic friction, and pairs combine by the average of both (installed by PhysicsWorld).
struct PhysicsMaterial {
  float staticFriction = 1.0f;
  float dynamicFriction = 1.0f;
  float restitution = 0.0f;
};

// What a shape stands for: hung on btCollisionShape::setUserPointer, shared by every object that
// uses the shape, so the shape's kind and filter data are shared too.
struct ShapeInfo {
  FilterData simFilter;
  FilterData queryFilter;
  bool trigger = false;    // trigger pairs only, no contact response
  bool sceneQuery = true;  // seen by ray queries at all
  const PhysicsMaterial* material = nullptr;
  const WheelShapeTag* wheelTag = nullptr;  // set on a wheel's shape only
};

// Wraps a shape with its own ShapeInfo; the info lives as long as the shape. The returned pointer
// is what objects share. The shape's user pointer and user index are taken for the info.
std::shared_ptr<btCollisionShape> makeSharedShape(std::unique_ptr<btCollisionShape> shape,
                                                  const ShapeInfo& info);
// Hangs an info kept alive by the caller on a shape (for shapes built from several parts).
void attachShapeInfo(btCollisionShape& shape, ShapeInfo& info);
// The record of a shape or of an object's shape; null when it has none.
ShapeInfo* shapeInfoOf(const btCollisionShape* shape);
ShapeInfo* shapeInfoOf(const btCollisionObject* object);

// Result of the pair rule. suppress: no pair; otherwise pairFlags tells a trigger pair
// (kPairFlagsTriggerDefault) from a contact pair.
struct PairFilterResult {
  bool suppress = false;
  uint32_t pairFlags = 0;
};

// The pure pair rule over both sides' trigger flag and simulation filter data.
PairFilterResult pairFilterShader(bool triggerA, const FilterData& simA, bool triggerB,
                                  const FilterData& simB);

// The rule as Bullet's broadphase filter. Also rejects static-static pairs, which Bullet's default
// filter would have done. Objects without a ShapeInfo keep Bullet's default group/mask test.
class PairOverlapFilter : public btOverlapFilterCallback {
 public:
  bool needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const override;
};

enum class QueryHitType { None, Touch, Block };

// A ray stops only on shapes whose query word3 carries a drivable bit.
QueryHitType wheelRayPreFilter(const FilterData& queryData, const FilterData& shapeQueryData);
// A hit at distance 0 or less (the ray started inside the shape) does not count.
QueryHitType wheelHitPostFilter(const FilterData& queryData, const FilterData& shapeQueryData,
                                float distance);

using WheelRayPreFilter = QueryHitType (*)(const FilterData&, const FilterData&);
using WheelHitPostFilter = QueryHitType (*)(const FilterData&, const FilterData&, float);

// One suspension ray: from origin along the unit direction for at most maxDistance.
struct WheelRayQuery {
  btVector3 origin{0, 0, 0};
  btVector3 direction{0, -1, 0};
  float maxDistance = 0.0f;
  FilterData queryFilter{0, 0, 0, kNotDrivableSurface};
};

// The nearest drivable hit of one ray (hasHit false: nothing within reach).
struct WheelRayResult {
  bool hasHit = false;
  btVector3 point{0, 0, 0};
  btVector3 normal{0, 1, 0};  // unit, facing back along the ray
  float distance = 0.0f;
  const btCollisionObject* object = nullptr;
  const btCollisionShape* shape = nullptr;
  const PhysicsMaterial* material = nullptr;
  uint32_t surfaceType = 0;  // filled by WheelBatchQuery from its friction table, else 0
};

struct WheelQueryBuffers {
  uint32_t queriesPerBatch = 20;
  uint32_t hitsPerQuery = 1;
  std::vector<WheelRayResult> raycastResults;  // queriesPerBatch entries per batch
  WheelRayPreFilter preFilter = wheelRayPreFilter;
  WheelHitPostFilter postFilter = wheelHitPostFilter;
};

// queriesPerBatch = vehiclesPerBatch × maxWheelsPerVehicle; results for maxVehicles / vehiclesPerBatch
// batches (at least one).
std::unique_ptr<WheelQueryBuffers> allocateWheelQueryBuffers(uint32_t maxVehicles,
                                                             uint32_t maxWheelsPerVehicle,
                                                             uint32_t hitsPerWheel, uint32_t vehiclesPerBatch,
                                                             WheelRayPreFilter preFilter,
                                                             WheelHitPostFilter postFilter);

struct TyreFrictionTable;

// Casts one ray through the world with both filters (mesh back faces are skipped, the plane is seen
// from above). Objects must be in the world; the result's surfaceType is 0.
WheelRayResult castWheelRay(const btCollisionWorld& world, const WheelRayQuery& query,
                            WheelRayPreFilter preFilter, WheelHitPostFilter postFilter);

// The batch of one vehicle's wheel rays: one rayTest per wheel, results written into the buffers'
// slots for this batch.
class WheelBatchQuery {
 public:
  WheelBatchQuery(uint32_t batchIndex, WheelQueryBuffers& buffers, const btCollisionWorld& world);

  // Optional: fills each result's surfaceType from the hit material.
  void setFrictionTable(const TyreFrictionTable* table) { frictionTable_ = table; }

  // Casts queries[0..count) (count clamped to queriesPerBatch); returns the first result of this
  // batch, entry i belonging to queries[i].
  WheelRayResult* raycasts(const WheelRayQuery* queries, uint32_t count);
  WheelRayResult* results();

 private:
  uint32_t batchIndex_;
  WheelQueryBuffers& buffers_;
  const btCollisionWorld& world_;
  const TyreFrictionTable* frictionTable_ = nullptr;
};

std::unique_ptr<WheelBatchQuery> createWheelBatchQuery(uint32_t batchIndex, WheelQueryBuffers& buffers,
                                                       const btCollisionWorld& world);

// Friction of tyre types on drivable surface types; a material not in the table is surface 0.
struct TyreFrictionTable {
  uint32_t numTyreTypes = 0;
  uint32_t numSurfaceTypes = 0;
  std::vector<const PhysicsMaterial*> materials;  // material i has surfaceTypes[i]
  std::vector<uint32_t> surfaceTypes;
  std::vector<float> friction;  // [surface * numTyreTypes + tyre]

  uint32_t surfaceTypeOf(const PhysicsMaterial* material) const;
  // 0 for a surface or tyre type outside the table.
  float typePairFriction(uint32_t surfaceType, uint32_t tyreType) const;
  float frictionOf(const PhysicsMaterial* material, uint32_t tyreType) const {
    return typePairFriction(surfaceTypeOf(material), tyreType);
  }
};

// 2 tyre types × 1 surface (the default material): tyre 0 = 1.0, tyre 1 = 0.1.
TyreFrictionTable makeTyreFrictionTable(const PhysicsMaterial& defaultMaterial);

// The ground plane y = 0 as a static body owned by the world, not yet added: query data
// (0, 0, 0, kDrivableSurface), the given simulation data and material.
btRigidBody* makeDrivablePlane(PhysicsWorld& world, const PhysicsMaterial& material,
                               const FilterData& simFilter = kPlaneSimFilter);
