// Where models are drawn: matrices from physics poses and from the level's layout, and the frame's
// draw list built from them without a window.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <map>
#include <set>
#include <sstream>

#include "app/hud_layout.h"
#include "app/placement.h"
#include "level/level_layout.h"
#include "support/expect_glm.h"

namespace ruvelo {
namespace {

using test::expectMat4;
using test::expectVec3;

glm::vec3 origin(const glm::mat4& m) {
  return glm::vec3(m * glm::vec4(0, 0, 0, 1));
}

TEST(DrawingMatrices, FollowThePoses) {
  const glm::quat identity(1.0f, 0.0f, 0.0f, 0.0f);
  expectVec3(origin(vehicleBodyMatrix({glm::vec3(1, 2, 3), identity})), glm::vec3(1, 1.6f, 3));

  // Either sign of a quaternion is the same rotation.
  const glm::quat turn = glm::angleAxis(0.7f, glm::normalize(glm::vec3(1, 2, -1)));
  expectMat4(vehicleFrameMatrix({glm::vec3(0), -turn}), glm::mat4_cast(turn), 1e-5f);
  // The body is lowered by 0.4 in the vehicle's own frame, not in the world's.
  expectVec3(origin(vehicleBodyMatrix({glm::vec3(0, 2, 0), turn})),
             glm::vec3(0, 2, 0) + turn * glm::vec3(0, -0.4f, 0));

  const glm::mat4 frame = vehicleFrameMatrix({glm::vec3(0, 2, 0), turn});
  const glm::quat steer = glm::angleAxis(0.3f, glm::vec3(0, 1, 0));
  const glm::mat4 wheel = wheelMatrix(frame, {glm::vec3(-1.05f, -1.5f, 1.5f), steer});
  expectVec3(origin(wheel), glm::vec3(0, 2, 0) + turn * glm::vec3(-1.05f, -1.5f, 1.5f));
  expectVec3(glm::vec3(wheel * glm::vec4(1, 0, 0, 0)), turn * (steer * glm::vec3(1, 0, 0)));

  // A cone model stands 1.5 above its actor and is 3.5 times its own size.
  const glm::mat4 cone = coneMatrix({glm::vec3(4, 0, 5), identity});
  expectVec3(glm::vec3(cone * glm::vec4(0, 1, 0, 1)), glm::vec3(4, 1.5f + 3.5f, 5), 1e-4f);
}

TEST(DrawingMatrices, LevelAndGatesWhereTheLayoutPutsThem) {
  // The drawn level and the collision mesh share one pose: model point → world point.
  const glm::vec3 model(10, 3, -7);
  expectVec3(glm::vec3(levelMatrix() * glm::vec4(model, 1)), level::levelModelToWorld(model), 1e-4f);
  const level::LevelItems& items = level::levelLayout().items;
  for (int zone = 0; zone < 3; ++zone) {
    const glm::mat4 gate = zoneGateMatrix(zone);
    expectVec3(origin(gate), items.zoneGates[zone]);
    // Turned gates have their 2-wide side along z.
    const glm::vec3 side(gate * glm::vec4(1, 0, 0, 0));
    EXPECT_NEAR(std::abs(side.z), items.zoneRotated[zone] ? 2.0f : 0.0f, 1e-5f) << zone;
  }
}

// Handles as a renderer hands them out, one per model.
SceneAssets handles() {
  return {0, 1, 2, 3, 4, 5, 6, 7};
}

std::vector<AssetHandle> assetsOf(const DrawList& list) {
  std::vector<AssetHandle> assets;
  for (const DrawItem& item : list.items) assets.push_back(item.asset);
  return assets;
}

TEST(DrawList, HoldsTheFrameInTheLitOrderAndKeepsKeysWhenItemsGo) {
  Game game;
  ScenePoses poses;
  poses.vehicle = {glm::vec3(0, 3, -450), glm::quat(1, 0, 0, 0)};
  for (int i = 0; i < kConeCount; ++i) poses.cones[i] = {glm::vec3(10.0f * i, 1, 0), glm::quat(1, 0, 0, 0)};
  const SceneAssets A = handles();
  const DrawList full = buildDrawList(poses, game.items(), A);

  const std::vector<AssetHandle> litOrder = {A.vehicle, A.wheelLeft, A.wheelRight, A.wheelLeft, A.wheelRight,
                                             A.cone,    A.cone,      A.cone,       A.cone,      A.cone,
                                             A.battery, A.battery,   A.battery,    A.battery,   A.battery,
                                             A.level,   A.ground,    A.gate,       A.gate,      A.gate};
  EXPECT_EQ(assetsOf(full), litOrder);
  std::map<int, AssetHandle> keys;
  for (const DrawItem& item : full.items) {
    EXPECT_TRUE(keys.emplace(item.key, item.asset).second) << "key " << item.key << " twice";
    EXPECT_TRUE(item.has(kCulled) && item.has(kCounted));
    const bool vehicle = item.asset == A.vehicle || item.asset == A.wheelLeft || item.asset == A.wheelRight;
    EXPECT_EQ(item.has(kCastsShadow), !vehicle);
    EXPECT_EQ(item.has(kDrawnLast), item.asset == A.gate);
    EXPECT_EQ(item.has(kSlopedCaster), item.asset == A.level);
  }
  // Shadow ranks put the casters in the map's order: gates, cones, ground, batteries, level.
  const auto rank = [&](AssetHandle asset) {
    for (const DrawItem& item : full.items)
      if (item.asset == asset) return item.shadowOrder;
    return -1;
  };
  EXPECT_LT(rank(A.gate), rank(A.cone));
  EXPECT_LT(rank(A.cone), rank(A.ground));
  EXPECT_LT(rank(A.ground), rank(A.battery));
  EXPECT_LT(rank(A.battery), rank(A.level));
  // The cones stand where the physics put them; the rest where the layout does.
  expectVec3(full.items[6].centre, poses.cones[1].position);
  expectVec3(origin(full.items[6].matrix), poses.cones[1].position + glm::vec3(0, 1.5f, 0));
  expectMat4(full.items[15].matrix, levelMatrix());

  // A collected battery and a delivered packet leave the list; everything else keeps its key.
  std::ostringstream out;
  ASSERT_TRUE(game.collect({batteryItem(2), ItemKind::Battery}, out));
  ASSERT_TRUE(game.collect({zoneItem(0), ItemKind::Zone}, out));
  const DrawList fewer = buildDrawList(poses, game.items(), A);
  ASSERT_EQ(fewer.items.size(), full.items.size() - 2);
  std::set<int> gone;
  for (const auto& [key, asset] : keys) gone.insert(key);
  for (const DrawItem& item : fewer.items) {
    ASSERT_TRUE(keys.count(item.key));
    EXPECT_EQ(keys[item.key], item.asset);
    gone.erase(item.key);
  }
  EXPECT_EQ(gone, (std::set<int>{full.items[12].key, full.items[17].key}));

  // The ghost joins the end of the list: see-through, never a caster, never counted, keys its own.
  DrawList withGhost = fewer;
  std::array<Pose, 4> wheels{};
  addGhost(withGhost, A, poses.vehicle, wheels);
  ASSERT_EQ(withGhost.items.size(), fewer.items.size() + 5);
  std::set<int> allKeys;
  for (const DrawItem& item : withGhost.items) EXPECT_TRUE(allKeys.insert(item.key).second) << item.key;
  for (size_t i = fewer.items.size(); i < withGhost.items.size(); ++i) {
    const DrawItem& ghost = withGhost.items[i];
    EXPECT_EQ(ghost.flags, unsigned(kTranslucent));
    EXPECT_GT(ghost.opacity, 0.0f);
    EXPECT_LT(ghost.opacity, 1.0f);
  }
  EXPECT_EQ(withGhost.items[fewer.items.size()].asset, A.vehicle);
  expectMat4(withGhost.items[fewer.items.size()].matrix, vehicleBodyMatrix(poses.vehicle));
}

TEST(Placement, HudTextsShowTheTimerTruncatedAndKeepItExact) {
  Game game;
  game.updateTimerAndPhase(false, true, 0.123456f);
  const double exact = game.state().timeLeft;
  const HudTexts texts = hudTexts(game.state(), "59", 12);
  EXPECT_EQ(texts.timeLeft, "152.87");
  EXPECT_DOUBLE_EQ(game.state().timeLeft, exact) << "the game keeps the exact time";
  EXPECT_EQ(texts.power, "100");
  EXPECT_EQ(texts.packets, "0");
  EXPECT_EQ(texts.fps, "59");
  EXPECT_EQ(texts.objectsDrawn, "12");
}

}  // namespace
}  // namespace ruvelo
