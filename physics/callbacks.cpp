#include "physics/callbacks.h"

#include "physics/filtering.h"
#include "physics/vehicle_tags.h"

#include <BulletCollision/CollisionDispatch/btCollisionObjectWrapper.h>

void MySimulationCallback::onTrigger(const TriggerPair* pairs, uint32_t count) {
  if (!pairs || count == 0) return;
  const TriggerPair& pair = pairs[0];
  if (pair.triggerObject == triggerActor) return;
  triggered = true;
  triggerShape = pair.triggerShape;
  triggerActor = pair.triggerObject;
}

bool WheelContactModifyCallback::onContactModify(ContactModifyPair& pair) const {
  bool wheelFound = false;
  for (const btCollisionObjectWrapper* side : pair.side) {
    if (!side) continue;
    const auto* actorTag = static_cast<const VehicleActorTag*>(side->getCollisionObject()->getUserPointer());
    if (!actorTag || !actorTag->vehicle) continue;
    const ShapeInfo* info = shapeInfoOf(side->getCollisionShape());
    // Wheels have no collision shapes of their own (they meet the ground through their rays), so a
    // wheel contact never arrives and every contact passes unchanged.
    if (info && info->wheelTag && info->wheelTag->isWheel) wheelFound = true;
  }
  return wheelFound;
}

bool wheelContactAddedCallback(btManifoldPoint& point, const btCollisionObjectWrapper* wrapper0,
                               int /*partId0*/, int /*index0*/, const btCollisionObjectWrapper* wrapper1,
                               int /*partId1*/, int /*index1*/) {
  // Trigger pairs never reach contact modification.
  if (!wrapper0->getCollisionObject()->hasContactResponse() ||
      !wrapper1->getCollisionObject()->hasContactResponse())
    return false;
  ContactModifyPair pair;
  pair.point = &point;
  pair.side[0] = wrapper0;
  pair.side[1] = wrapper1;
  WheelContactModifyCallback().onContactModify(pair);
  return false;
}
