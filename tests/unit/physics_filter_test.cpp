// The pair rule over every kind of shape in the game, and what it means in a running world.
#include "physics/filtering.h"
#include "physics/physics_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Kind {
  std::string name;
  bool trigger;
  FilterData sim;
};

const std::vector<Kind>& kinds() {
  static const std::vector<Kind> all = {
      {"chassis", false, kChassisSimFilter}, {"wheel", false, {0, 0, 0, 0}},
      {"cone", false, kConeSimFilter},       {"slab", false, kGroundSimFilter},
      {"mesh", false, kGroundSimFilter},     {"plane", false, kPlaneSimFilter},
      {"trigger", true, {0, 0, 0, 0}},
  };
  return all;
}

// Expected flags for a kind pair; 0 means suppressed.
uint32_t expectedFlags(const std::string& a, const std::string& b) {
  if (a == "trigger" || b == "trigger") return 0x414;
  auto is = [&](const char* x, const char* y) { return (a == x && b == y) || (a == y && b == x); };
  if (a == "wheel" || b == "wheel") return 0;
  if (is("chassis", "chassis") || is("chassis", "slab") || is("chassis", "mesh") || is("chassis", "cone") ||
      is("cone", "slab") || is("cone", "mesh") || is("slab", "plane") || is("mesh", "plane"))
    return 0xC03;
  if (is("cone", "cone") || is("cone", "plane")) return 0x401;
  return 0;  // chassis-plane, slab-slab, slab-mesh, mesh-mesh, plane-plane
}

TEST(PairFilterShader, EveryKindPairInBothOrders) {
  for (const Kind& a : kinds()) {
    for (const Kind& b : kinds()) {
      SCOPED_TRACE(a.name + " / " + b.name);
      const PairFilterResult result = pairFilterShader(a.trigger, a.sim, b.trigger, b.sim);
      const uint32_t expected = expectedFlags(a.name, b.name);
      EXPECT_EQ(result.suppress, expected == 0);
      if (expected != 0) {
        EXPECT_EQ(result.pairFlags, expected);
      }
    }
  }
}

TEST(PairFilterShader, DrivableMarkingTouchesWord3Only) {
  FilterData data{1, 2, 3, 4};
  markDrivable(data);
  EXPECT_EQ(data, (FilterData{1, 2, 3, kDrivableSurface}));
  markNotDrivable(data);
  EXPECT_EQ(data, (FilterData{1, 2, 3, kNotDrivableSurface}));
  EXPECT_EQ(wheelRayPreFilter({}, FilterData{0, 0, 0, kDrivableSurface}), QueryHitType::Block);
  EXPECT_EQ(wheelRayPreFilter({}, FilterData{0, 0, 0, 0x00010000}), QueryHitType::Block);
  EXPECT_EQ(wheelRayPreFilter({}, FilterData{0, 0, 0, kNotDrivableSurface}), QueryHitType::None);
  EXPECT_EQ(wheelHitPostFilter({}, {}, 0.0f), QueryHitType::None);
  EXPECT_EQ(wheelHitPostFilter({}, {}, -0.1f), QueryHitType::None);
  EXPECT_EQ(wheelHitPostFilter({}, {}, 1e-4f), QueryHitType::Block);
}

TEST(TyreFrictionTable, TwoTyresOnTheDefaultSurfaceUnknownMaterialIsSurfaceZero) {
  const PhysicsMaterial defaultMaterial;
  const PhysicsMaterial other{1.0f, 0.5f, 0.0f};
  const TyreFrictionTable table = makeTyreFrictionTable(defaultMaterial);
  EXPECT_FLOAT_EQ(table.frictionOf(&defaultMaterial, 0), 1.0f);
  EXPECT_FLOAT_EQ(table.frictionOf(&defaultMaterial, 1), 0.1f);
  EXPECT_EQ(table.surfaceTypeOf(&other), 0u);
  EXPECT_FLOAT_EQ(table.frictionOf(&other, 1), 0.1f);
  EXPECT_FLOAT_EQ(table.typePairFriction(0, 2), 0.0f);
  EXPECT_FLOAT_EQ(table.typePairFriction(1, 0), 0.0f);
}

TEST(WheelQueryBuffers, SizedForOneVehicleOfTwentyWheels) {
  auto buffers = allocateWheelQueryBuffers(1, 20, 1, 1, wheelRayPreFilter, wheelHitPostFilter);
  EXPECT_EQ(buffers->queriesPerBatch, 20u);
  EXPECT_EQ(buffers->hitsPerQuery, 1u);
  EXPECT_EQ(buffers->raycastResults.size(), 20u);
  PhysicsWorld world(PhysicsWorldOptions{false});
  EXPECT_NE(createWheelBatchQuery(0, *buffers, world.dynamicsWorld()), nullptr);
  EXPECT_EQ(createWheelBatchQuery(1, *buffers, world.dynamicsWorld()), nullptr);
}

// A world with the plane and optionally the slab, as the level sets them up.
struct GroundWorld {
  explicit GroundWorld(bool withSlab) : world(PhysicsWorldOptions{false}) {
    world.addObject(makeDrivablePlane(world, world.defaultMaterial()));
    if (withSlab) {
      ShapeInfo info;
      info.simFilter = kGroundSimFilter;
      markDrivable(info.queryFilter);
      slab = world.createStaticBody(
          makeSharedShape(std::make_unique<btBoxShape>(btVector3(400, 0.5f, 400)), info),
          btTransform::getIdentity());
      world.addObject(slab);
    }
  }
  btRigidBody* addBody(std::unique_ptr<btCollisionShape> shape, const FilterData& sim, float y) {
    ShapeInfo info;
    info.simFilter = sim;
    markNotDrivable(info.queryFilter);
    btVector3 inertia;
    shape->calculateLocalInertia(100, inertia);
    btRigidBody* body =
        world.createDynamicBody(makeSharedShape(std::move(shape), info),
                                btTransform(btQuaternion::getIdentity(), btVector3(0, y, 0)), 100, inertia);
    world.addObject(body);
    return body;
  }
  void run(float seconds) {
    for (int i = 0; i < static_cast<int>(seconds * 60); ++i) world.step(1.0f / 60);
  }
  PhysicsWorld world;
  btRigidBody* slab = nullptr;
};

std::unique_ptr<btConvexHullShape> chassisHull() {
  auto hull = std::make_unique<btConvexHullShape>();
  for (int i = 0; i < 8; ++i)
    hull->addPoint(btVector3(i & 1 ? 1.25f : -1.25f, i & 2 ? 1.0f : -1.0f, i & 4 ? 2.5f : -2.5f), false);
  hull->recalcLocalAabb();
  hull->setMargin(0.01f);
  return hull;
}

TEST(PairFilterInWorld, ChassisPassesThroughBarePlaneButRestsOnSlab) {
  GroundWorld bare(false);
  btRigidBody* falling = bare.addBody(chassisHull(), kChassisSimFilter, 3.0f);
  bare.run(2.0f);
  EXPECT_LT(falling->getWorldTransform().getOrigin().y(), -5.0f);

  GroundWorld withSlab(true);
  btRigidBody* resting = withSlab.addBody(chassisHull(), kChassisSimFilter, 3.0f);
  withSlab.run(2.0f);
  EXPECT_NEAR(resting->getWorldTransform().getOrigin().y(), 1.5f, 0.05f);
  EXPECT_TRUE(resting->getCollisionFlags() & btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
}

TEST(PairFilterInWorld, ConeRestsOnThePlane) {
  GroundWorld bare(false);
  btRigidBody* cone = bare.addBody(std::make_unique<btBoxShape>(btVector3(2, 2, 2)), kConeSimFilter, 3.25f);
  bare.run(2.0f);
  EXPECT_NEAR(cone->getWorldTransform().getOrigin().y(), 2.0f, 0.05f);
}

TEST(PairFilterInWorld, StaticObjectsNeverPair) {
  PhysicsWorld world(PhysicsWorldOptions{false});
  btRigidBody* plane = makeDrivablePlane(world, world.defaultMaterial());
  ShapeInfo info;
  info.simFilter = kGroundSimFilter;
  btRigidBody* slab = world.createStaticBody(
      makeSharedShape(std::make_unique<btBoxShape>(btVector3(5, 5, 5)), info), btTransform::getIdentity());
  world.addObject(plane);
  world.addObject(slab);
  world.step(1.0f / 60);
  // By the rule alone slab and plane would make a contact pair.
  EXPECT_EQ(world.dynamicsWorld().getPairCache()->getNumOverlappingPairs(), 0);
}

}  // namespace
