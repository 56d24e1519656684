// The delivery game of one run (a Session owns one): its state (power, time, packets, phase), the
// eight items as one array and their matrices, and the rules applied at their places in the frame. No window, GL or physics is needed:
// the frame hands in what the physics reported.
#pragma once

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "game/game_rules.h"
#include "common/game_types.h"

namespace ruvelo {

// A battery or a delivery zone. items()[i] stands for the physics world's item i.
struct Item {
  ItemKind kind = ItemKind::Battery;
  bool visible = true;     // false for good once collected
  glm::mat4 matrix{1.0f};  // where its model is drawn; a battery turns it every frame
  glm::vec3 centre{0.0f};  // the culling centre
};

// Where an item stands when the level loads: a gate by its zone (turned for the rotated ones), a
// battery at its place, both scaled to their models.
glm::mat4 zoneGateMatrix(int zone);
glm::mat4 batteryLoadMatrix(const glm::vec3& position);

class Game {
 public:
  // Everything at its start value; the items where the level's layout puts them.
  Game();

  const GameState& state() const { return state_; }
  bool playing() const { return state_.phase == GamePhase::Playing; }
  const std::array<Item, kItemCount>& items() const { return items_; }

  // True in the first playing frame only: the frame in which the world starts play.
  bool takeFirstPlayingFrame();

  // Every frame before the shadow pass: the visible batteries turn by 45° per second.
  void spinBatteries(float dt);

  // Trigger rules, right after the physics step: "trigger" on `out`; a zone delivers a packet (its
  // time kept), a battery adds power, and the item is hidden for good. Returns true: the item leaves
  // the world.
  bool collect(const ItemEvent& event, std::ostream& out);

  // Power drained by the throttle of this frame, forwards and in reverse, each in [0, 1] (the frame
  // skips it in debug mode).
  void drain(float accelerated, float reversed, float vehicleHeight, float dt);

  // Timer and phase decision, after the lit pass.
  void updateTimerAndPhase(bool debugMode, bool winLoseCondition, float dt);

  // The run's clock (seconds off the timer) at each delivery so far, in their order.
  const std::vector<double>& deliveryTimes() const { return deliveryTimes_; }

 private:
  GameState state_;
  std::array<Item, kItemCount> items_;
  bool firstPlayingFrame_ = true;
  std::vector<double> deliveryTimes_;
};

}  // namespace ruvelo
