// Triangle meshes from models, the level's actors, wheel rays over them, and long first steps.
#include "physics/game_world.h"
#include "physics/level.h"
#include "physics/physics_world.h"

#include <gtest/gtest.h>

#include "support/obj_reader.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// A 2 × 2 quad at height y, facing up (or down when flipped).
void quad(std::vector<glm::vec3>& positions, std::vector<uint32_t>& indices, float y, bool faceDown) {
  const uint32_t base = static_cast<uint32_t>(positions.size());
  positions.insert(positions.end(), {{-1, y, -1}, {-1, y, 1}, {1, y, 1}, {1, y, -1}});
  std::vector<uint32_t> up = {0, 1, 2, 0, 2, 3};
  if (faceDown) up = {0, 2, 1, 0, 3, 2};
  for (uint32_t i : up) indices.push_back(base + i);
}

TEST(CookModelShape, RejectsMeshesBulletCannotBuild) {
  const PhysicsMaterial material;
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
  quad(positions, indices, 0, false);
  const glm::vec3 one(1);
  EXPECT_EQ(cookModelShape({}, {}, one, material), nullptr);
  EXPECT_EQ(cookModelShape(positions, {}, one, material), nullptr);
  EXPECT_EQ(cookModelShape(positions, {0, 1}, one, material), nullptr);
  EXPECT_EQ(cookModelShape(positions, {0, 1, 2, 3}, one, material), nullptr);
  EXPECT_EQ(cookModelShape(positions, {0, 1, 4}, one, material), nullptr);
  EXPECT_EQ(cookModelShape({}, {0, 0, 0}, one, material), nullptr);
  auto nan = positions;
  nan[1].y = std::nanf("");
  EXPECT_EQ(cookModelShape(nan, indices, one, material), nullptr);
  // Finite but far out, or finite until scaled: the tree would lose the real triangles or walk inf.
  auto far = positions;
  far[1].x = 1e30f;
  EXPECT_EQ(cookModelShape(far, indices, one, material), nullptr);
  auto overflowing = positions;
  overflowing[1].x = 3e38f;
  EXPECT_EQ(cookModelShape(overflowing, indices, glm::vec3(2.0f), material), nullptr);
  EXPECT_EQ(cookModelShape(positions, indices, glm::vec3(1, 0, 1), material), nullptr);

  auto shape = cookModelShape(positions, indices, one, material);
  ASSERT_NE(shape, nullptr);
  ASSERT_NE(shapeInfoOf(shape.get()), nullptr);
  EXPECT_EQ(shapeInfoOf(shape.get())->material, &material);
}

WheelRayResult castDown(const PhysicsWorld& world, float x, float fromY, float z, float reach = 100) {
  WheelRayQuery query;
  query.origin = btVector3(x, fromY, z);
  query.maxDistance = reach;
  return castWheelRay(world.dynamicsWorld(), query, wheelRayPreFilter, wheelHitPostFilter);
}

struct RayWorld {
  RayWorld() : world(PhysicsWorldOptions{false}) {
    world.addObject(makeDrivablePlane(world, world.defaultMaterial()));
  }
  WheelRayResult down(float x, float fromY, float z, float reach = 100) {
    return castDown(world, x, fromY, z, reach);
  }
  PhysicsWorld world;
};

// The game's whole physics over a level mesh, in play.
struct LevelWorld {
  LevelWorld(std::vector<glm::vec3> positions, std::vector<uint32_t> indices)
      : game(GameWorld::create(std::move(positions), std::move(indices), nullptr,
                               PhysicsWorldOptions{false})) {
    if (game) {
      game->startPlay();
      game->physics().dynamicsWorld().updateAabbs();
    }
  }
  WheelRayResult down(float x, float fromY, float z, float reach = 100) {
    return castDown(game->physics(), x, fromY, z, reach);
  }
  std::unique_ptr<GameWorld> game;
};

TEST(WheelRays, PassTriggersAndConesAndStopOnTheSlab) {
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
  quad(positions, indices, 20, false);  // far from the items
  LevelWorld w(positions, indices);
  ASSERT_TRUE(w.game);
  const LevelActors& level = w.game->level();

  // Straight down through battery 2 and through a cone.
  for (glm::vec3 item : {kBatteryPositions[1], kConePositions[0]}) {
    const WheelRayResult hit = w.down(item.x, 10, item.z);
    ASSERT_TRUE(hit.hasHit);
    EXPECT_EQ(hit.object, level.slab);
    EXPECT_NEAR(hit.point.y(), 0.5f, 1e-4f);
    EXPECT_NEAR(hit.distance, 9.5f, 1e-3f);
    EXPECT_NEAR(hit.normal.y(), 1.0f, 1e-4f);
    EXPECT_EQ(hit.material, level.slabMaterial);
  }
  // Starting on the slab top or inside it: the next surface below is the plane.
  for (float start : {0.5f, 0.25f}) {
    const WheelRayResult hit = w.down(30, start, 30);
    ASSERT_TRUE(hit.hasHit);
    EXPECT_NEAR(hit.point.y(), 0.0f, 1e-4f);
    EXPECT_NEAR(hit.normal.y(), 1.0f, 1e-4f);
    EXPECT_EQ(hit.material, &w.game->physics().defaultMaterial());
  }
  // Too short to reach anything.
  EXPECT_FALSE(w.down(30, 10, 30, 5).hasHit);
}

TEST(WheelRays, MeshBackFacesAreSkippedAndScaleApplies) {
  RayWorld w;
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
  quad(positions, indices, 2, true);   // y = 4 after scaling, facing down
  quad(positions, indices, 1, false);  // y = 2 after scaling, facing up
  ShapeInfo* info = nullptr;
  auto shape = cookModelShape(positions, indices, glm::vec3(2), w.world.defaultMaterial());
  ASSERT_NE(shape, nullptr);
  info = shapeInfoOf(shape.get());
  markDrivable(info->queryFilter);
  w.world.addObject(w.world.createStaticBody(shape, btTransform::getIdentity()));
  const WheelRayResult hit = w.down(0.5f, 10, 0.5f);
  ASSERT_TRUE(hit.hasHit);
  EXPECT_NEAR(hit.point.y(), 2.0f, 1e-4f);
  EXPECT_NEAR(hit.normal.y(), 1.0f, 1e-4f);

  auto buffers = allocateWheelQueryBuffers(1, 20, 1, 1, wheelRayPreFilter, wheelHitPostFilter);
  auto batch = createWheelBatchQuery(0, *buffers, w.world.dynamicsWorld());
  const TyreFrictionTable table = makeTyreFrictionTable(w.world.defaultMaterial());
  batch->setFrictionTable(&table);
  WheelRayQuery queries[2];
  queries[0].origin = btVector3(0.5f, 10, 0.5f);
  queries[0].maxDistance = 20;
  queries[1].origin = btVector3(0.5f, 3, 0.5f);  // between the quads: the up face below
  queries[1].maxDistance = 20;
  WheelRayResult* results = batch->raycasts(queries, 2);
  EXPECT_EQ(results, buffers->raycastResults.data());
  EXPECT_NEAR(results[0].distance, 8.0f, 1e-3f);
  EXPECT_NEAR(results[1].distance, 1.0f, 1e-3f);
  EXPECT_EQ(results[1].surfaceType, 0u);
}

TEST(LevelActors, SharedShapesFilterDataAndWorldOrder) {
  PhysicsWorld world(PhysicsWorldOptions{false});
  LevelActors level;
  EXPECT_FALSE(createLevelItemsAndMesh(world, level, {}, {}));
  EXPECT_EQ(level.levelMesh, nullptr);

  LevelActors good;
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
  quad(positions, indices, 0, false);
  ASSERT_TRUE(createLevelItemsAndMesh(world, good, positions, indices));
  createSlabAndFilterData(world, good);
  addLevelActors(world, good);

  for (btCollisionObject* b : good.batteries)
    EXPECT_EQ(b->getCollisionShape(), good.batteryTriggerShape.get());
  for (btCollisionObject* z : good.zones) EXPECT_EQ(z->getCollisionShape(), good.zoneTriggerShape.get());
  EXPECT_TRUE(isBatteryShape(good, good.batteries[3]->getCollisionShape()));
  EXPECT_FALSE(isBatteryShape(good, good.zones[0]->getCollisionShape()));
  EXPECT_TRUE(isZoneShape(good, good.zones[2]->getCollisionShape()));
  // Zones 2 and 3 are turned a quarter about +y: their long side runs along z.
  EXPECT_NEAR(std::abs(good.zones[1]->getWorldTransform().getBasis()[0][2]), 1.0f, 1e-5f);
  EXPECT_NEAR(good.zones[0]->getWorldTransform().getBasis()[0][0], 1.0f, 1e-5f);

  EXPECT_EQ(shapeInfoOf(good.slab)->simFilter, (FilterData{8, 2, 0x802, 0}));
  EXPECT_EQ(shapeInfoOf(good.levelMesh)->simFilter, (FilterData{8, 2, 0x802, 0}));
  EXPECT_EQ(shapeInfoOf(good.levelMesh)->queryFilter.word3, kDrivableSurface);
  EXPECT_EQ(shapeInfoOf(good.cones[0])->simFilter, (FilterData{8, 0x1F, 0, 0}));
  EXPECT_EQ(shapeInfoOf(good.cones[0])->queryFilter.word3, kNotDrivableSurface);
  EXPECT_EQ(shapeInfoOf(good.batteries[0])->simFilter, FilterData{});
  EXPECT_TRUE(shapeInfoOf(good.batteries[0])->trigger);
  EXPECT_EQ(good.levelMesh->getWorldTransform().getOrigin(), btVector3(0, 0, 200));

  // Cones are disabled: in Bullet's world now are 5 batteries, 3 zones, the slab, the mesh.
  const btCollisionObjectArray& objects = world.dynamicsWorld().getCollisionObjectArray();
  ASSERT_EQ(objects.size(), 10);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(objects[i], good.batteries[i]);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(objects[5 + i], good.zones[i]);
  EXPECT_EQ(objects[8], good.slab);
  EXPECT_EQ(objects[9], good.levelMesh);

  enableCones(world, good);
  EXPECT_EQ(objects.size(), 15);
  for (btRigidBody* cone : good.cones) {
    EXPECT_FLOAT_EQ(1.0f / cone->getInvMass(), 500.0f);
    EXPECT_NEAR(cone->getInvInertiaDiagLocal().y(), 0.1f, 1e-6f);
    EXPECT_FLOAT_EQ(cone->getAngularDamping(), 1.0f);
  }
}

TEST(LevelActors, LongFirstStepLeavesConesAndCcdHullAboveTheSlab) {
  PhysicsWorld world(PhysicsWorldOptions{false});
  world.addObject(makeDrivablePlane(world, world.defaultMaterial()));
  LevelActors level;
  std::vector<glm::vec3> positions;
  std::vector<uint32_t> indices;
  quad(positions, indices, 100, false);
  ASSERT_TRUE(createLevelItemsAndMesh(world, level, positions, indices));
  createSlabAndFilterData(world, level);

  auto hull = std::make_unique<btConvexHullShape>();
  for (int i = 0; i < 8; ++i)
    hull->addPoint(btVector3(i & 1 ? 1.25f : -1.25f, i & 2 ? 1.0f : -1.0f, i & 4 ? 2.5f : -2.5f), false);
  hull->recalcLocalAabb();
  hull->setMargin(0.01f);
  ShapeInfo chassis;
  chassis.simFilter = kChassisSimFilter;
  btRigidBody* body =
      world.createDynamicBody(makeSharedShape(std::move(hull), chassis),
                              btTransform(btQuaternion::getIdentity(), btVector3(0, 3.3f, -450)), 1500,
                              btVector3(3625, 3125, 1281.25f));
  body->setCcdMotionThreshold(0.5f);
  body->setCcdSweptSphereRadius(0.6f);
  world.setSimulationEnabled(body, false);
  world.addObject(body);
  addLevelActors(world, level);

  world.setSimulationEnabled(body, true);
  enableCones(world, level);
  world.step(3.0f);
  for (int i = 0; i < 120; ++i) world.step(1.0f / 60);
  EXPECT_GT(body->getWorldTransform().getOrigin().y(), 1.0f);
  for (btRigidBody* cone : level.cones) EXPECT_GT(cone->getWorldTransform().getOrigin().y(), 2.0f);
}

TEST(LevelMesh, RoadsAndDeckWhereTheLevelPutsThem) {
  ruvelo::test::ObjMesh mesh;
  ASSERT_TRUE(ruvelo::test::readObj(ruvelo::test::levelCollisionModelPath(), mesh))
      << ruvelo::test::levelCollisionModelPath();
  const std::vector<glm::vec3>& positions = mesh.positions;
  const std::vector<uint32_t>& indices = mesh.indices;
  LevelWorld w(positions, indices);
  ASSERT_TRUE(w.game);
  const LevelActors& level = w.game->level();
  const WheelRayResult start = w.down(0, 50, -450);
  ASSERT_TRUE(start.hasHit);
  EXPECT_EQ(start.object, level.levelMesh);
  EXPECT_NEAR(start.point.y(), 1.3f, 0.3f);
  const WheelRayResult deck = w.down(0, 50, -100);
  ASSERT_TRUE(deck.hasHit);
  EXPECT_EQ(deck.object, level.levelMesh);
  EXPECT_NEAR(deck.point.y(), 15.5f, 0.5f);
}

}  // namespace
