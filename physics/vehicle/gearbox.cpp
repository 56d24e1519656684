#include "physics/vehicle/gearbox.h"

#include <algorithm>

namespace vehicle {

namespace {
int clampGear(int gear, const GearsData& gears) {
  return std::clamp(gear, 0, std::max(gears.numRatios - 1, 0));
}
}  // namespace

void Gearbox::forceGear(int gear, const GearsData& gears) {
  current_ = target_ = clampGear(gear, gears);
  switchTimer_ = 0.0f;
  autoInitiated_ = false;
}

void Gearbox::startGearChange(int gear, const GearsData& gears) {
  target_ = clampGear(gear, gears);
  switchTimer_ = 0.0f;
  autoInitiated_ = false;
}

void Gearbox::update(float dt, float normalisedEngineOmega, const GearsData& gears,
                     const AutoboxData& autobox) {
  if (isChanging()) {
    switchTimer_ += dt;
    if (switchTimer_ >= gears.switchTime) {
      current_ = target_;
      switchTimer_ = 0.0f;
      autoInitiated_ = false;
    }
  }
  autoTimer_ += dt;
  if (!autoGears_ || isChanging() || autoTimer_ < autobox.latency) return;
  // Never out of neutral or reverse, never above the top gear or below first. Down only when the
  // engine, turned faster by the lower gear's ratio, stays below that gear's change-up speed: a
  // change down from second at half the top speed would ask first for all of it, and the box would
  // change straight back up.
  if (current_ < kGearFirst) return;
  const int topGear = gears.numRatios - 1;
  int next = current_;
  if (normalisedEngineOmega > autobox.upRatios[current_] && current_ < topGear) {
    next = current_ + 1;
  } else if (normalisedEngineOmega < autobox.downRatios[current_] && current_ > kGearFirst &&
             normalisedEngineOmega * gears.ratios[current_ - 1] <
                 autobox.upRatios[current_ - 1] * gears.ratios[current_]) {
    next = current_ - 1;
  }
  if (next != current_) {
    target_ = next;
    switchTimer_ = 0.0f;
    autoTimer_ = 0.0f;
    autoInitiated_ = true;
  }
}

float Gearbox::effectiveRatio(const GearsData& gears) const {
  if (isChanging()) return 0.0f;
  return gears.ratios[current_] * gears.finalRatio;
}

}  // namespace vehicle
