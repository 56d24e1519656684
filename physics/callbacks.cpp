#include "physics/callbacks.h"

#include "physics/filtering.h"
#include "physics/vehicle_tags.h"

#include <BulletCollision/CollisionDispatch/btCollisionObjectWrapper.h>
#include <BulletCollision/NarrowPhaseCollision/btManifoldPoint.h>

#include <cmath>

namespace {

bool isVehicle(const btCollisionObject* object) {
  const auto* tag = object ? static_cast<const VehicleActorTag*>(object->getUserPointer()) : nullptr;
  return tag != nullptr && tag->vehicle != nullptr;
}

// The vehicle's body meeting a wall (a contact whose normal is closer to level than upright) slides
// along it, as a car's flank scrapes along a barrier, instead of gripping it with the road's friction:
// at speed that grip swings the vehicle round and rolls it over.
constexpr float kWallFriction = 0.1f;
constexpr float kWallNormalMaxY = 0.7f;

void scrapeAlongWalls(btManifoldPoint& point, const btCollisionObject* a, const btCollisionObject* b) {
  const bool vehicleOnStatic = (isVehicle(a) && b->isStaticObject()) || (isVehicle(b) && a->isStaticObject());
  if (vehicleOnStatic && std::fabs(point.m_normalWorldOnB.y()) < kWallNormalMaxY)
    point.m_combinedFriction = kWallFriction;
}

}  // namespace

void MySimulationCallback::onTrigger(const TriggerPair* pairs, uint32_t count) {
  if (!pairs) return;
  // Only the vehicle collects items: a pushed cone in a battery's or a zone's box is not a pickup, and
  // it must not hide the vehicle's own pair reported in the same step.
  for (uint32_t i = 0; i < count; ++i) {
    const TriggerPair& pair = pairs[i];
    if (!isVehicle(pair.otherObject)) continue;
    if (pair.triggerObject == triggerActor) return;
    triggered = true;
    triggerShape = pair.triggerShape;
    triggerActor = pair.triggerObject;
    return;
  }
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
  scrapeAlongWalls(point, wrapper0->getCollisionObject(), wrapper1->getCollisionObject());
  return false;
}
