#include "game/game.h"

#include <ostream>

#include "app/placement.h"
#include "level/level_layout.h"

namespace ruvelo {

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
  return true;
}

void Game::drain(float accelerated, float reversed, float vehicleHeight, float dt) {
  drainPower(state_, accelerated, reversed, vehicleHeight, dt);
}

void Game::updateTimerAndPhase(bool debugMode, bool winLoseCondition, float dt) {
  ruvelo::updateTimerAndPhase(state_, debugMode, winLoseCondition, dt);
}

HudTexts Game::hudTexts(const std::string& fpsText, int objectsDrawn) {
  return {fpsText, powerText(state_.power), std::to_string(state_.packetsDelivered),
          timeLeftText(state_.timeLeft), std::to_string(objectsDrawn)};
}

}  // namespace ruvelo
