// What the world reports after each step: trigger pairs that started or stopped touching.
#pragma once

#include <btBulletDynamicsCommon.h>

#include <cstdint>

enum class TriggerStatus { TouchFound, TouchLost };

struct TriggerPair {
  btCollisionObject* triggerObject = nullptr;
  const btCollisionShape* triggerShape = nullptr;
  btCollisionObject* otherObject = nullptr;
  const btCollisionShape* otherShape = nullptr;
  TriggerStatus status = TriggerStatus::TouchFound;
};

// Receives the step's trigger pairs, once per step when there are any, on the stepping thread.
class SimulationEventCallback {
 public:
  virtual ~SimulationEventCallback() = default;
  virtual void onTrigger(const TriggerPair* pairs, uint32_t count) = 0;
};
