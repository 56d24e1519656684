// The game's physics callbacks: the trigger record the game rules read and clear each frame, and
// the wheel contact modification hooked into Bullet's contact-added callback.
#pragma once

#include "physics/simulation_events.h"

#include <btBulletDynamicsCommon.h>

// Records the first trigger pair of a report whose other object is the vehicle, unless its trigger
// object is already the recorded one. Pairs of other bodies (a pushed cone) are ignored.
class MySimulationCallback : public SimulationEventCallback {
 public:
  void onTrigger(const TriggerPair* pairs, uint32_t count) override;

  bool isTriggered() const { return triggered; }
  void clearTriggered() { triggered = false; }
  const btCollisionShape* getTriggerShape() const { return triggerShape; }
  btCollisionObject* getTriggerActor() const { return triggerActor; }

 private:
  bool triggered = false;
  btCollisionObject* triggerActor = nullptr;
  const btCollisionShape* triggerShape = nullptr;
};

// One contact point handed to the wheel contact modification, as Bullet's contact-added callback
// sees it.
struct ContactModifyPair {
  btManifoldPoint* point = nullptr;
  const btCollisionObjectWrapper* side[2] = {nullptr, nullptr};
};

// Looks up the vehicle tag (object user pointer) and the wheel tag (leaf shape user pointer) on each
// side; a wheel's contact would be handed to the vehicle's wheel contact modification, everything
// else is left unchanged. Returns true when a wheel was found.
class WheelContactModifyCallback {
 public:
  virtual ~WheelContactModifyCallback() = default;
  virtual bool onContactModify(ContactModifyPair& pair) const;
};

// The continuous-detection twin: Bullet reports swept contacts through the same hook, so it runs
// the same code.
class WheelCcdContactModifyCallback : public WheelContactModifyCallback {
 public:
  bool onCcdContactModify(ContactModifyPair& pair) const { return onContactModify(pair); }
};

// Bullet's gContactAddedCallback: skips pairs where either object has no contact response, then
// runs the wheel contact modification. Installed by PhysicsWorld.
bool wheelContactAddedCallback(btManifoldPoint& point, const btCollisionObjectWrapper* wrapper0, int partId0,
                               int index0, const btCollisionObjectWrapper* wrapper1, int partId1, int index1);
