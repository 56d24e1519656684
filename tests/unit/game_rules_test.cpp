// The delivery rules as a table of game situations, and the HUD's value texts.
#include <gtest/gtest.h>

#include "game/game_rules.h"

#include <glm/gtc/matrix_transform.hpp>

namespace ruvelo {
namespace {

TEST(GameRules, PhaseDecision) {
  struct Case {
    const char* what;
    GameState before;
    bool debugMode, winLose;
    float dt;
    GamePhase expected;
  };
  auto state = [](float power, double time, int packets) {
    GameState s;
    s.power = power;
    s.timeLeft = time;
    s.packetsDelivered = packets;
    return s;
  };
  const Case cases[] = {
      {"still playing", state(50, 10, 2), false, true, 0.1f, GamePhase::Playing},
      {"time runs out", state(50, 0.05, 0), false, true, 0.1f, GamePhase::Lost},
      {"time exactly zero loses", state(50, 0.5, 0), false, true, 0.5f, GamePhase::Lost},
      {"power exactly zero loses", state(0, 10, 0), false, true, 0.1f, GamePhase::Lost},
      {"third delivery wins", state(50, 10, 3), false, true, 0.1f, GamePhase::Won},
      {"a win overrides a loss in the same frame", state(0, 0.01, 3), false, true, 0.1f, GamePhase::Won},
      {"rules off: nothing ends", state(0, -5, 3), false, false, 0.1f, GamePhase::Playing},
      {"debug mode freezes the timer", state(50, 0.05, 0), true, true, 0.1f, GamePhase::Playing},
      {"debug mode still decides", state(50, 10, 3), true, true, 0.1f, GamePhase::Won},
  };
  for (const Case& c : cases) {
    GameState s = c.before;
    updateTimerAndPhase(s, c.debugMode, c.winLose, c.dt);
    EXPECT_EQ(s.phase, c.expected) << c.what;
  }
}

TEST(GameRules, SwitchingTheRulesOnEndsAFinishedGameNextFrame) {
  GameState s;
  s.packetsDelivered = 3;
  updateTimerAndPhase(s, false, false, 0.016f);
  EXPECT_EQ(s.phase, GamePhase::Playing);
  updateTimerAndPhase(s, false, true, 0.016f);
  EXPECT_EQ(s.phase, GamePhase::Won);
}

TEST(GameRules, TimerCountsDownOnlyOutsideDebugMode) {
  GameState s;
  updateTimerAndPhase(s, false, true, 0.5f);
  EXPECT_DOUBLE_EQ(s.timeLeft, 152.5);
  updateTimerAndPhase(s, true, true, 0.5f);
  EXPECT_DOUBLE_EQ(s.timeLeft, 152.5);
}

TEST(GameRules, PowerDrainOnAndOffTheRoads) {
  GameState s;
  drainPower(s, true, false, 3.3f, 0.5f);
  EXPECT_FLOAT_EQ(s.power, 99.5f) << "k = 1 above 2.6";
  drainPower(s, true, false, 2.6f, 0.5f);
  EXPECT_FLOAT_EQ(s.power, 94.5f) << "k = 10 at 2.6 or lower";
  drainPower(s, true, true, 10.0f, 1.0f);
  EXPECT_FLOAT_EQ(s.power, 92.5f) << "W and S together drain twice";
  drainPower(s, false, false, 0.0f, 10.0f);
  EXPECT_FLOAT_EQ(s.power, 92.5f) << "coasting costs nothing";
}

TEST(GameRules, CollectingItems) {
  GameState s;
  collectItem(s, ItemKind::Battery);
  EXPECT_FLOAT_EQ(s.power, 110.0f) << "power may rise above 100";
  collectItem(s, ItemKind::Zone);
  EXPECT_EQ(s.packetsDelivered, 1);
}

void expectVec(const glm::vec4& actual, const glm::vec4& expected, float tolerance = 1e-4f) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

TEST(BatterySpin, TurnsFortyFiveDegreesPerSecondAboutItsOwnZ) {
  const glm::mat4 quarter = spinBattery(glm::mat4(1.0f), 2.0f);
  expectVec(quarter * glm::vec4(1, 0, 0, 0), {0, 1, 0, 0});

  // Post-multiplied: the spin happens in the model's frame. A model tipped 90° about x sees its
  // local x turned onto its local y, which the tip sends to world z.
  const glm::mat4 tipped = glm::rotate(glm::mat4(1.0f), glm::radians(90.0f), glm::vec3(1, 0, 0));
  expectVec(spinBattery(tipped, 2.0f) * glm::vec4(1, 0, 0, 0), {0, 0, 1, 0});

  // Translation stays put; successive frames add up.
  const glm::mat4 placed = glm::translate(glm::mat4(1.0f), glm::vec3(-190.0f, 3.5f, 214.0f));
  glm::mat4 m = placed;
  for (int frame = 0; frame < 4; ++frame) m = spinBattery(m, 0.5f);
  expectVec(m[3], placed[3]);
  expectVec(m * glm::vec4(1, 0, 0, 0), {0, 1, 0, 0});
}

TEST(HudValues, TimeIsShownTruncatedToHundredths) {
  EXPECT_EQ(timeLeftText(12.3456), "12.34");
  EXPECT_EQ(timeLeftText(153.0), "153.00");
  EXPECT_EQ(timeLeftText(0.0), "0.00");
  EXPECT_EQ(timeLeftText(-0.019), "-0.01") << "towards zero";
  EXPECT_EQ(timeLeftText(-0.00001), "0.00");
  EXPECT_EQ(timeLeftText(153.0 - 3 * 0.1), "152.70") << "152.7 is stored as 152.69999…";
}

// The countdown keeps exact time: 10 s of play leave 143 s whatever the frame rate, and the shown value
// is never stored back (which used to cost up to a hundredth every frame).
TEST(GameClock, TenSecondsOfPlayLeave143AtAnyFrameRate) {
  for (int fps : {144, 60, 1000}) {
    SCOPED_TRACE(fps);
    GameState s;
    const float dt = 1.0f / static_cast<float>(fps);
    for (int frame = 0; frame < 10 * fps; ++frame) updateTimerAndPhase(s, false, true, dt);
    EXPECT_EQ(timeLeftText(s.timeLeft), "143.00");
    EXPECT_NEAR(s.timeLeft, 143.0, 1e-4);
  }
}

TEST(GameClock, AStallCountsAsAQuarterOfASecond) {
  GameState s;
  const float dt = clampFrameTime(20.0f);
  updateTimerAndPhase(s, false, true, dt);
  drainPower(s, true, false, 3.3f, dt);
  EXPECT_DOUBLE_EQ(s.timeLeft, 152.75);
  EXPECT_FLOAT_EQ(s.power, 99.75f);
  EXPECT_EQ(clampFrameTime(0.1f), 0.1f) << "normal frames pass unchanged";
}

TEST(HudValues, PowerAndResultTexts) {
  EXPECT_EQ(powerText(100.0f), "100");
  EXPECT_EQ(powerText(96.996f), "97");  // as the state line's 97.00
  EXPECT_EQ(powerText(99.4f), "99");
  EXPECT_EQ(powerText(-0.5f), "0");
  EXPECT_EQ(powerText(150.7f), "151");
  EXPECT_STREQ(resultText(GamePhase::Won), "5 Stars");
  EXPECT_STREQ(resultText(GamePhase::Lost), "0 Stars");
}

TEST(HudValues, FpsTextRefreshesWhenTwentyFramesHaveAccumulated) {
  float accumulator = 0.0f;
  std::string text = "60";
  for (int frame = 1; frame < 20; ++frame) EXPECT_FALSE(refreshFps(accumulator, text, 0.25f)) << frame;
  EXPECT_EQ(text, "60") << "the text stays 60 until the first refresh";
  EXPECT_TRUE(refreshFps(accumulator, text, 0.25f)) << "the 20th frame reaches 20 x dt";
  EXPECT_EQ(text, "4");
  EXPECT_FLOAT_EQ(accumulator, 0.0f);
  EXPECT_FALSE(refreshFps(accumulator, text, 1.0f)) << "one long frame alone is not 20 of itself";
  float stuck = 0.0f;
  EXPECT_FALSE(refreshFps(stuck, text, 0.0f)) << "a zero frame time never divides by zero";
  EXPECT_EQ(text, "4");
}

}  // namespace
}  // namespace ruvelo
