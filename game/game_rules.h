// The delivery game's rules as plain functions over plain data (power, time, packets, the win/lose
// decision, the battery spin), and the texts they give (HUD values, result and loss lines, phase
// names, the FPS text), so they can be tested without a window or a physics world.
#pragma once

#include <array>
#include <string>

#include <glm/glm.hpp>

#include "common/game_types.h"
#include "platform/frame_time.h"

namespace ruvelo {

enum class GamePhase { Won = 0, Lost = 1, Playing = 2 };

struct GameState {
  float power = 100.0f;
  double timeLeft = 153.0;
  int packetsDelivered = 0;
  GamePhase phase = GamePhase::Playing;
};

constexpr float kBatteryPower = 10.0f;
constexpr float kOffRoadHeight = level::kOffRoadHeight;  // the vehicle actor at or below it is off the roads

// What a recorded trigger does: a zone delivers a packet, a battery adds 10 power.
void collectItem(GameState& state, ItemKind kind);

// Power drained by accelerating this frame, forwards and in reverse, each in proportion to the
// throttle in [0, 1] (a held key is 1: W and S each drain; both drain twice).
void drainPower(GameState& state, float accelerate, float reverse, float vehicleHeight, float dt);

// Timer and phase decision, once per playing frame after the lit pass.
void updateTimerAndPhase(GameState& state, bool debugMode, bool winLoseCondition, float dt);

// The timer as the HUD shows it: truncated towards zero to hundredths. The game itself keeps the exact
// time, so the countdown lasts its 153 s at any frame rate.
double displayedTimeLeft(double timeLeft);

// A battery's spin over `dt` seconds: m × rotate(45° · dt, z), about the model's own z axis.
glm::mat4 spinBattery(const glm::mat4& m, float dt);

// HUD value texts.
std::string timeLeftText(double timeLeft);  // truncated to two decimals: 152.999 -> "152.99"
std::string powerText(float power);         // rounded to a whole percent, never below 0
const char* resultText(GamePhase phase);    // "5 Stars" / "0 Stars" / ""
// Why a lost run was lost: "Out of time" (also when the power ran out in the same frame) or
// "Out of power".
const char* lossReason(const GameState& state);
// The phase's name in state lines: "Playing", "Won" or "Lost".
const char* phaseName(GamePhase phase);

// The FPS text refresh: the accumulator grows by dt; at 20 * dt or more the text becomes
// trunc(1 / dt) and the accumulator restarts. Returns true when the text changed.
bool refreshFps(float& accumulator, std::string& fpsText, float dt);

}  // namespace ruvelo
