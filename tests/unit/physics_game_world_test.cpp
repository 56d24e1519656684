// The game's physics as one object: item events by id and kind, removal, and the vehicle's poses.
#include "physics/game_world.h"
#include "physics/physics_world.h"
#include "physics/vehicle_builder.h"

#include <gtest/gtest.h>

#include "level/level_layout.h"

// The physics classes live outside the game's namespace; the values they take and give are in it.
using namespace ruvelo;

namespace {

// A small level mesh well away from the items.
std::unique_ptr<GameWorld> makeWorld() {
  std::vector<glm::vec3> positions = {{-1, 20, -1}, {-1, 20, 1}, {1, 20, 1}, {1, 20, -1}};
  std::vector<uint32_t> indices = {0, 1, 2, 0, 2, 3};
  auto world = GameWorld::create(positions, indices, nullptr, PhysicsWorldOptions{false});
  if (world) world->startPlay();
  return world;
}

// Puts the vehicle at `at` and steps once; the event of that step.
std::optional<ItemEvent> dropAt(GameWorld& world, const glm::vec3& at) {
  world.vehicle().setActorPose(at, vehicleStartRotation());
  return world.step(1.0f / 60.0f);
}

TEST(GameWorld, RefusesALevelMeshBulletCannotBuild) {
  GameWorld::Failure failure = GameWorld::Failure::None;
  EXPECT_EQ(GameWorld::create({}, {}, &failure, PhysicsWorldOptions{false}), nullptr);
  EXPECT_EQ(failure, GameWorld::Failure::LevelMesh);
}

TEST(GameWorld, ItemEventsNameTheItemAndItsKindOnce) {
  auto world = makeWorld();
  ASSERT_TRUE(world);
  const ruvelo::level::LevelItems& items = ruvelo::level::levelLayout().items;
  EXPECT_FALSE(world->step(1.0f / 60.0f)) << "nothing touched at the start";

  const auto battery = dropAt(*world, items.batteries[1]);
  ASSERT_TRUE(battery);
  EXPECT_EQ(battery->item, batteryItem(1));
  EXPECT_EQ(battery->kind, ItemKind::Battery);
  EXPECT_FALSE(world->step(1.0f / 60.0f)) << "still inside: the recorded item is not reported again";

  const auto zone = dropAt(*world, items.zones[2] - glm::vec3(0, 10, 0));
  ASSERT_TRUE(zone);
  EXPECT_EQ(zone->item, zoneItem(2));
  EXPECT_EQ(zone->kind, ItemKind::Zone);

  // A removed item is gone for good.
  EXPECT_TRUE(world->itemInWorld(batteryItem(3)));
  world->removeItem(batteryItem(3));
  EXPECT_FALSE(world->itemInWorld(batteryItem(3)));
  EXPECT_FALSE(dropAt(*world, items.batteries[3]));
  EXPECT_TRUE(dropAt(*world, items.batteries[4]));
}

TEST(GameWorld, PosesComeOutAsTheVehicleAndConesStand) {
  auto world = makeWorld();
  ASSERT_TRUE(world);
  const ruvelo::level::LevelItems& items = ruvelo::level::levelLayout().items;
  for (int i = 0; i < 60; ++i) world->step(1.0f / 60.0f);
  const Pose vehicle = world->vehiclePose();
  EXPECT_NEAR(vehicle.position.x, items.start.x, 0.05f);
  EXPECT_NEAR(vehicle.position.z, items.start.z, 0.05f) << "settling on the spot";
  EXPECT_NEAR(glm::length(vehicle.rotation), 1.0f, 1e-5f);
  // The corner wheels sit left and right of the centre line, front pair ahead of the rear pair.
  const std::array<Pose, 4> wheels = world->wheelPoses();
  EXPECT_LT(wheels[0].position.x * wheels[1].position.x, 0.0f);
  EXPECT_GT(wheels[0].position.z, wheels[2].position.z);
  for (int cone = 0; cone < kConeCount; ++cone) {
    const Pose pose = world->conePose(cone);
    EXPECT_NEAR(pose.position.x, items.cones[cone].x, 0.01f);
    EXPECT_NEAR(pose.position.z, items.cones[cone].z, 0.01f);
    EXPECT_GT(pose.position.y, ruvelo::level::kSlabTop) << "cones rest on the slab";
  }
  EXPECT_EQ(world->vehicleReading().wheels.size(), 6u);
  EXPECT_FALSE(world->vehicleInReverse());
}

}  // namespace
