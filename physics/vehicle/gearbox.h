// The gearbox: current and target gear, the timed change through neutral, and the automatic box.
#pragma once

#include "physics/vehicle/vehicle_data.h"

namespace vehicle {

class Gearbox {
 public:
  int currentGear() const { return current_; }
  int targetGear() const { return target_; }
  bool useAutoGears() const { return autoGears_; }
  void setUseAutoGears(bool on) { autoGears_ = on; }

  // Writes current and target at once: no switch time.
  void forceGear(int gear, const GearsData& gears);
  // Starts a timed change (used by the automatic box; also available to callers).
  void startGearChange(int gear, const GearsData& gears);

  // True while a change is in progress: the drive line is in neutral then.
  bool isChanging() const { return target_ != current_; }
  // True while a change started by the automatic box is in progress: the accelerator is cut then.
  bool isAutoChanging() const { return isChanging() && autoInitiated_; }

  // Advances the change timer and, when enabled, lets the automatic box decide from the engine's
  // normalised speed (ω/maxOmega).
  void update(float dt, float normalisedEngineOmega, const GearsData& gears, const AutoboxData& autobox);

  // Overall ratio gear × final of the gear the drive line is in now (0 during a change).
  float effectiveRatio(const GearsData& gears) const;

 private:
  int current_ = kGearNeutral;
  int target_ = kGearNeutral;
  float switchTimer_ = 0.0f;  // time spent in the current change
  float autoTimer_ = 0.0f;    // time since the last automatic decision
  bool autoGears_ = false;
  bool autoInitiated_ = false;
};

}  // namespace vehicle
