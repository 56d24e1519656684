// The delivery game without a window: items as one array, the trigger rules on it, the batteries'
// spin, and a whole game played through the frame's calls.
#include <gtest/gtest.h>

#include <sstream>

#include "game/game.h"
#include "level/level_layout.h"
#include "support/expect_glm.h"

namespace ruvelo {
namespace {

using test::expectVec3;

TEST(Game, ItemsStartVisibleWhereTheLayoutPutsThem) {
  const Game game;
  const level::LevelItems& layout = level::levelLayout().items;
  for (int i = 0; i < kBatteryCount; ++i) {
    const Item& item = game.items()[batteryItem(i)];
    EXPECT_EQ(item.kind, ItemKind::Battery);
    EXPECT_TRUE(item.visible);
    expectVec3(item.centre, layout.batteries[i]);
    expectVec3(glm::vec3(item.matrix[3]), layout.batteries[i]);
  }
  for (int i = 0; i < kZoneCount; ++i) {
    const Item& item = game.items()[zoneItem(i)];
    EXPECT_EQ(item.kind, ItemKind::Zone);
    EXPECT_TRUE(item.visible);
    expectVec3(glm::vec3(item.matrix[3]), layout.zoneGates[i]);
  }
  EXPECT_TRUE(game.playing());
}

TEST(Game, CollectingPrintsTriggerHidesTheItemAndAppliesItsKind) {
  Game game;
  std::ostringstream out;
  EXPECT_TRUE(game.collect({batteryItem(2), ItemKind::Battery}, out));
  EXPECT_EQ(out.str(), "trigger\n");
  EXPECT_FLOAT_EQ(game.state().power, 110.0f);
  EXPECT_TRUE(game.collect({zoneItem(1), ItemKind::Zone}, out));
  EXPECT_EQ(game.state().packetsDelivered, 1);
  for (int i = 0; i < kItemCount; ++i)
    EXPECT_EQ(game.items()[i].visible, i != batteryItem(2) && i != zoneItem(1)) << "item " << i;
  // An id the world does not have changes nothing.
  EXPECT_FALSE(game.collect({kItemCount, ItemKind::Zone}, out));
  EXPECT_EQ(game.state().packetsDelivered, 1);
}

TEST(Game, OnlyVisibleBatteriesSpin) {
  Game game;
  std::ostringstream out;
  game.collect({batteryItem(0), ItemKind::Battery}, out);
  const std::array<Item, kItemCount> before = game.items();
  game.spinBatteries(2.0f);  // a quarter turn
  for (int i = 0; i < kItemCount; ++i) {
    const Item& item = game.items()[i];
    const bool turns = item.kind == ItemKind::Battery && i != batteryItem(0);
    const glm::vec3 x(item.matrix * glm::vec4(1, 0, 0, 0));
    const glm::vec3 xBefore(before[i].matrix * glm::vec4(1, 0, 0, 0));
    if (turns) {
      expectVec3(x, glm::vec3(before[i].matrix * glm::vec4(0, 1, 0, 0)), 1e-4f);
      expectVec3(glm::vec3(item.matrix[3]), glm::vec3(before[i].matrix[3]));
    } else {
      expectVec3(x, xBefore);
    }
  }
}

TEST(Game, PlayedThroughTheFrameCallsUntilItIsWon) {
  Game game;
  std::ostringstream out;
  EXPECT_TRUE(game.takeFirstPlayingFrame());
  EXPECT_FALSE(game.takeFirstPlayingFrame());
  const float dt = 0.5f;
  game.drain(true, false, 3.3f, dt);  // on the road
  game.drain(true, true, 1.0f, dt);   // off the road, both keys
  EXPECT_FLOAT_EQ(game.state().power, 100.0f - 0.5f - 10.0f);
  for (int zone = 0; zone < kZoneCount; ++zone) {
    game.updateTimerAndPhase(false, true, dt);
    EXPECT_TRUE(game.playing());
    game.collect({zoneItem(zone), ItemKind::Zone}, out);
  }
  // Debug mode holds the timer but the decision still runs.
  const double timeBefore = game.state().timeLeft;
  game.updateTimerAndPhase(true, true, dt);
  EXPECT_DOUBLE_EQ(game.state().timeLeft, timeBefore);
  EXPECT_EQ(game.state().phase, GamePhase::Won);
  EXPECT_EQ(out.str(), "trigger\ntrigger\ntrigger\n");
}

TEST(Game, HudTextsShowTheTimerTruncatedAndKeepItExact) {
  Game game;
  game.updateTimerAndPhase(false, true, 0.123456f);
  const double exact = game.state().timeLeft;
  const HudTexts texts = game.hudTexts("59", 12);
  EXPECT_EQ(texts.timeLeft, "152.87");
  EXPECT_DOUBLE_EQ(game.state().timeLeft, exact) << "the game keeps the exact time";
  EXPECT_EQ(texts.power, "100");
  EXPECT_EQ(texts.packets, "0");
  EXPECT_EQ(texts.fps, "59");
  EXPECT_EQ(texts.objectsDrawn, "12");
}

}  // namespace
}  // namespace ruvelo
