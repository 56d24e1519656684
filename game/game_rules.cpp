#include "game/game_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <glm/gtc/matrix_transform.hpp>

namespace ruvelo {

void collectItem(GameState& state, ItemKind kind) {
  if (kind == ItemKind::Zone) state.packetsDelivered += 1;
  if (kind == ItemKind::Battery) state.power += kBatteryPower;
}

void drainPower(GameState& state, float accelerate, float reverse, float vehicleHeight, float dt) {
  const float k = vehicleHeight > kOffRoadHeight ? 1.0f : 10.0f;
  if (accelerate > 0.0f) state.power -= dt * k * std::min(accelerate, 1.0f);
  if (reverse > 0.0f) state.power -= dt * k * std::min(reverse, 1.0f);
}

void updateTimerAndPhase(GameState& state, bool debugMode, bool winLoseCondition, float dt) {
  if (!debugMode) state.timeLeft -= dt;
  if (!winLoseCondition) return;
  if (state.timeLeft <= 0.0 || state.power <= 0.0f) state.phase = GamePhase::Lost;
  if (state.packetsDelivered == kZoneCount) state.phase = GamePhase::Won;
}

double displayedTimeLeft(double timeLeft) {
  // The frame times are floats: after thousands of frames their rounding adds up to microseconds, so
  // 10 s of 1/60 s frames may leave 142.9999992. A tenth of a millisecond of tolerance keeps that
  // on 143.00 without ever showing a hundredth that has not begun.
  constexpr double kToleranceHundredths = 0.01;
  const double hundredths = timeLeft * 100.0;
  const double shown =
      std::trunc(hundredths + (hundredths >= 0.0 ? kToleranceHundredths : -kToleranceHundredths)) / 100.0;
  return shown == 0.0 ? 0.0 : shown;  // no "-0.00"
}

glm::mat4 spinBattery(const glm::mat4& m, float dt) {
  constexpr float kSpinDegreesPerSecond = 45.0f;
  constexpr float kDegreesToRadians = 0.017453292f;
  return glm::rotate(m, kSpinDegreesPerSecond * dt * kDegreesToRadians, glm::vec3(0.0f, 0.0f, 1.0f));
}

std::string timeLeftText(double timeLeft) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%f", displayedTimeLeft(timeLeft));
  std::string text = buffer;
  text.resize(text.size() - 4);  // "%f" has six decimals; the HUD shows two
  return text;
}

std::string powerText(float power) {
  // Rounded to the nearest whole percent, as the state line rounds it to hundredths: 96.996 is 97.
  return std::to_string(std::max(0LL, std::llround(power)));
}

namespace {

// Per phase, in GamePhase's order (Won, Lost, Playing): its name and the result screen's line.
struct PhaseTexts {
  const char* name;
  const char* result;
};
constexpr PhaseTexts kPhaseTexts[] = {{"Won", "5 Stars"}, {"Lost", "0 Stars"}, {"Playing", ""}};

const PhaseTexts& textsOf(GamePhase phase) {
  return kPhaseTexts[static_cast<int>(phase)];
}

}  // namespace

const char* resultText(GamePhase phase) {
  return textsOf(phase).result;
}

const char* lossReason(const GameState& state) {
  return state.timeLeft <= 0.0 ? "Out of time" : "Out of power";
}

const char* phaseName(GamePhase phase) {
  return textsOf(phase).name;
}

bool refreshFps(float& accumulator, std::string& fpsText, float dt) {
  accumulator += dt;
  if (accumulator < 20.0f * dt || dt <= 0.0f) return false;
  fpsText = std::to_string(static_cast<long long>(std::trunc(1.0f / dt)));
  accumulator = 0.0f;
  return true;
}

}  // namespace ruvelo
