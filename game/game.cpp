#include "game/game.h"

#include <ostream>

#include <glm/gtc/matrix_transform.hpp>

#include "level/level_layout.h"

namespace ruvelo {

glm::mat4 zoneGateMatrix(int zone) {
  const level::LevelItems& items = level::levelLayout().items;
  glm::mat4 m = glm::translate(glm::mat4(1.0f), items.zoneGates[zone]);
  if (items.zoneRotated[zone]) m = glm::rotate(m, glm::radians(90.0f), glm::vec3(0.0f, 1.0f, 0.0f));
  return glm::scale(m, glm::vec3(2.0f, 2.4f, 2.0f));
}

glm::mat4 batteryLoadMatrix(const glm::vec3& position) {
  return glm::scale(glm::translate(glm::mat4(1.0f), position), glm::vec3(3.0f));
}

Game::Game() {
  const level::LevelItems& layout = level::levelLayout().items;
  for (int i = 0; i < kBatteryCount; ++i) {
    Item& item = items_[batteryItem(i)];
    item.kind = ItemKind::Battery;
    item.centre = layout.batteries[i];
    item.matrix = batteryLoadMatrix(layout.batteries[i]);
  }
  for (int i = 0; i < kZoneCount; ++i) {
    Item& item = items_[zoneItem(i)];
    item.kind = ItemKind::Zone;
    item.centre = layout.zoneGates[i];
    item.matrix = zoneGateMatrix(i);
  }
}

bool Game::takeFirstPlayingFrame() {
  const bool first = firstPlayingFrame_;
  firstPlayingFrame_ = false;
  return first;
}

void Game::spinBatteries(float dt) {
  for (Item& item : items_)
    if (item.kind == ItemKind::Battery && item.visible) item.matrix = spinBattery(item.matrix, dt);
}

bool Game::collect(const ItemEvent& event, std::ostream& out) {
  out << "trigger" << std::endl;
  if (event.item < 0 || event.item >= kItemCount) return false;
  items_[event.item].visible = false;
  collectItem(state_, event.kind);
  if (event.kind == ItemKind::Zone) deliveryTimes_.push_back(GameState{}.timeLeft - state_.timeLeft);
  return true;
}

void Game::drain(float accelerated, float reversed, float vehicleHeight, float dt) {
  drainPower(state_, accelerated, reversed, vehicleHeight, dt);
}

void Game::updateTimerAndPhase(bool debugMode, bool winLoseCondition, float dt) {
  ruvelo::updateTimerAndPhase(state_, debugMode, winLoseCondition, dt);
}

}  // namespace ruvelo
