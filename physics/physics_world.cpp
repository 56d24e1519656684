#include "physics/physics_world.h"

#include "physics/callbacks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace {

// Pairs combine friction and restitution by the average of both sides.
btScalar averageFriction(const btCollisionObject* body0, const btCollisionObject* body1) {
  return 0.5f * (body0->getFriction() + body1->getFriction());
}

const PhysicsMaterial* materialOf(const btCollisionShape* shape, const PhysicsMaterial& fallback) {
  const ShapeInfo* info = shapeInfoOf(shape);
  return info && info->material ? info->material : &fallback;
}

const char* kindOf(const btCollisionObject* object) {
  const ShapeInfo* info = shapeInfoOf(object);
  if (info && info->trigger) return "trigger";
  return object->isStaticOrKinematicObject() ? "static" : "dynamic";
}

// Calls `visit(manifold, a, b)` for every manifold between `body` and another body that responds
// to contacts (a trigger or a ghost does not).
template <typename Visit>
void forEachContactOf(btCollisionDispatcher& dispatcher, const btCollisionObject* body, Visit visit) {
  for (int i = 0; i < dispatcher.getNumManifolds(); ++i) {
    const btPersistentManifold* manifold = dispatcher.getManifoldByIndexInternal(i);
    const btRigidBody* a = btRigidBody::upcast(manifold->getBody0());
    const btRigidBody* b = btRigidBody::upcast(manifold->getBody1());
    if (!a || !b || !a->hasContactResponse() || !b->hasContactResponse()) continue;
    if (a != body && b != body) continue;
    visit(manifold, a, b);
  }
}

}  // namespace

PhysicsWorld::PhysicsWorld(const PhysicsWorldOptions& options) {
  configuration_ = std::make_unique<btDefaultCollisionConfiguration>();
  dispatcher_ = std::make_unique<btCollisionDispatcher>(configuration_.get());
  broadphase_ = std::make_unique<btDbvtBroadphase>();
  solver_ = std::make_unique<btSequentialImpulseConstraintSolver>();
  world_ = std::make_unique<btDiscreteDynamicsWorld>(dispatcher_.get(), broadphase_.get(), solver_.get(),
                                                     configuration_.get());
  // The filter only runs when a pair is created, so it must be in place before any object.
  world_->getPairCache()->setOverlapFilterCallback(&overlapFilter_);
  world_->setGravity(btVector3(0, -10, 0));
  gContactAddedCallback = wheelContactAddedCallback;
  gCalculateCombinedFrictionCallback = averageFriction;
  materials_.push_back(std::make_unique<PhysicsMaterial>(PhysicsMaterial{1.0f, 1.0f, 0.0f}));
  if (options.connectDebugger) debugger_.connect(options.debuggerPort, 10);
}

PhysicsWorld::~PhysicsWorld() {
  btCollisionObjectArray& array = world_->getCollisionObjectArray();
  for (int i = array.size() - 1; i >= 0; --i) world_->removeCollisionObject(array[i]);
  objects_.clear();
  shapes_.clear();
}

const PhysicsMaterial* PhysicsWorld::createMaterial(float staticFriction, float dynamicFriction,
                                                    float restitution) {
  materials_.push_back(
      std::make_unique<PhysicsMaterial>(PhysicsMaterial{staticFriction, dynamicFriction, restitution}));
  return materials_.back().get();
}

btRigidBody* PhysicsWorld::createStaticBody(std::shared_ptr<btCollisionShape> shape,
                                            const btTransform& pose) {
  if (!shape) return nullptr;
  const PhysicsMaterial* material = materialOf(shape.get(), defaultMaterial());
  btRigidBody::btRigidBodyConstructionInfo info(0, nullptr, shape.get(), btVector3(0, 0, 0));
  info.m_startWorldTransform = pose;
  info.m_friction = material->dynamicFriction;
  info.m_restitution = material->restitution;
  auto body = std::make_unique<btRigidBody>(info);
  return static_cast<btRigidBody*>(adoptObject(std::move(body), std::move(shape)));
}

btCollisionObject* PhysicsWorld::createTrigger(std::shared_ptr<btCollisionShape> shape,
                                               const btTransform& pose) {
  if (!shape) return nullptr;
  if (ShapeInfo* info = shapeInfoOf(shape.get())) {
    info->trigger = true;
    info->sceneQuery = false;
  }
  auto object = std::make_unique<btCollisionObject>();
  object->setCollisionShape(shape.get());
  object->setWorldTransform(pose);
  object->setCollisionFlags(object->getCollisionFlags() | btCollisionObject::CF_STATIC_OBJECT |
                            btCollisionObject::CF_NO_CONTACT_RESPONSE);
  const PhysicsMaterial* material = materialOf(shape.get(), defaultMaterial());
  object->setFriction(material->dynamicFriction);
  object->setRestitution(material->restitution);
  return adoptObject(std::move(object), std::move(shape));
}

btRigidBody* PhysicsWorld::createDynamicBody(std::shared_ptr<btCollisionShape> shape, const btTransform& pose,
                                             float mass, const btVector3& inertia) {
  if (!shape) return nullptr;
  // A body created with mass 0 would stay static for good: fall back to a unit mass.
  if (!(mass > 0.0f)) mass = 1.0f;
  const PhysicsMaterial* material = materialOf(shape.get(), defaultMaterial());
  btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape.get(), inertia);
  info.m_startWorldTransform = pose;
  info.m_friction = material->dynamicFriction;
  info.m_restitution = material->restitution;
  auto body = std::make_unique<btRigidBody>(info);
  return static_cast<btRigidBody*>(adoptObject(std::move(body), std::move(shape)));
}

btCollisionObject* PhysicsWorld::adoptObject(std::unique_ptr<btCollisionObject> object,
                                             std::shared_ptr<btCollisionShape> shape) {
  if (!object) return nullptr;
  if (shape && std::find(shapes_.begin(), shapes_.end(), shape) == shapes_.end())
    shapes_.push_back(std::move(shape));
  objects_.push_back(std::move(object));
  return objects_.back().get();
}

void PhysicsWorld::addObject(btCollisionObject* object) {
  if (!object || members_.count(object)) return;
  members_.insert(object);
  if (!ids_.count(object)) {
    ids_[object] = nextId_;
    objectsById_[nextId_] = object;
    ++nextId_;
  }
  const ShapeInfo* info = shapeInfoOf(object);
  if (info && (info->simFilter.word2 & kPairFlagModifyContacts))
    object->setCollisionFlags(object->getCollisionFlags() | btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
  if (!disabled_.count(object)) insertIntoWorld(object);
}

void PhysicsWorld::removeObject(btCollisionObject* object) {
  if (!object || !members_.count(object)) return;
  if (!disabled_.count(object)) {
    wakeTouching(object);
    removeFromWorld(object);
  }
  members_.erase(object);
}

void PhysicsWorld::setSimulationEnabled(btRigidBody* body, bool enabled) {
  if (!body) return;
  if (!enabled) {
    if (!disabled_.insert(body).second) return;
    if (members_.count(body)) removeFromWorld(body);
    return;
  }
  if (!disabled_.erase(body)) return;
  if (members_.count(body)) {
    insertIntoWorld(body);
    body->forceActivationState(ACTIVE_TAG);
    body->activate(true);
  }
}

void PhysicsWorld::insertIntoWorld(btCollisionObject* object) {
  if (btRigidBody* body = btRigidBody::upcast(object))
    world_->addRigidBody(body);
  else
    world_->addCollisionObject(object);
}

void PhysicsWorld::removeFromWorld(btCollisionObject* object) {
  if (btRigidBody* body = btRigidBody::upcast(object))
    world_->removeRigidBody(body);
  else
    world_->removeCollisionObject(object);
  forget(object);
}

void PhysicsWorld::wakeTouching(const btCollisionObject* object) {
  for (int i = 0; i < dispatcher_->getNumManifolds(); ++i) {
    btPersistentManifold* manifold = dispatcher_->getManifoldByIndexInternal(i);
    const btCollisionObject* other = manifold->getBody0() == object   ? manifold->getBody1()
                                     : manifold->getBody1() == object ? manifold->getBody0()
                                                                      : nullptr;
    if (other && manifold->getNumContacts() > 0) const_cast<btCollisionObject*>(other)->activate(true);
  }
}

void PhysicsWorld::forget(const btCollisionObject* object) {
  auto found = ids_.find(object);
  if (found == ids_.end()) return;
  const uint64_t id = found->second;
  for (auto it = touching_.begin(); it != touching_.end();)
    it = (it->first == id || it->second == id) ? touching_.erase(it) : std::next(it);
}

btCollisionObject* PhysicsWorld::objectOfId(uint64_t id) const {
  auto found = objectsById_.find(id);
  return found == objectsById_.end() ? nullptr : found->second;
}

void PhysicsWorld::step(float deltaTime) {
  // A zero, negative or non-finite frame time would do no step or integrate backwards.
  if (!(deltaTime > 0.0f) || !std::isfinite(deltaTime)) return;
  world_->stepSimulation(deltaTime, 0);
  ++stepCount_;
  checkPoses();
  scanTriggers();
  if (debugger_.connected()) debugger_.sendLine(debugLine(deltaTime));
}

int PhysicsWorld::newContactImpacts(const btCollisionObject* body, ruvelo::ContactImpact* out,
                                    int capacity) const {
  int count = 0;
  forEachContactOf(
      *dispatcher_, body,
      [&](const btPersistentManifold* manifold, const btRigidBody* a, const btRigidBody* b) {
        // A point is new in the step that found it; a resting contact keeps its points.
        float impulse = 0.0f;
        for (int j = 0; j < manifold->getNumContacts(); ++j) {
          const btManifoldPoint& point = manifold->getContactPoint(j);
          if (point.getLifeTime() <= 1) impulse += point.getAppliedImpulse();
        }
        const float speedChange = impulse * (a->getInvMass() + b->getInvMass());
        if (!(speedChange > 0.0f)) return;
        auto idA = ids_.find(a);
        auto idB = ids_.find(b);
        if (idA == ids_.end() || idB == ids_.end()) return;
        const uint64_t low = std::min(idA->second, idB->second), high = std::max(idA->second, idB->second);
        const ruvelo::ContactImpact impact{(high << 32) | low, speedChange};
        if (count < capacity) {
          out[count++] = impact;
        } else if (capacity > 0) {
          ruvelo::ContactImpact* weakest = std::min_element(
              out, out + capacity, [](const ruvelo::ContactImpact& x, const ruvelo::ContactImpact& y) {
                return x.speedChange < y.speedChange;
              });
          if (weakest->speedChange < impact.speedChange) *weakest = impact;
        }
      });
  std::sort(out, out + count, [](const ruvelo::ContactImpact& x, const ruvelo::ContactImpact& y) {
    return x.speedChange > y.speedChange;
  });
  return count;
}

float PhysicsWorld::slidingContactSpeed(const btCollisionObject* body) const {
  constexpr btScalar kTouching = 0.02f;  // m: a point this far apart still counts as touching
  float fastest = 0.0f;
  forEachContactOf(
      *dispatcher_, body,
      [&](const btPersistentManifold* manifold, const btRigidBody* a, const btRigidBody* b) {
        for (int j = 0; j < manifold->getNumContacts(); ++j) {
          const btManifoldPoint& point = manifold->getContactPoint(j);
          if (point.getDistance() > kTouching) continue;
          const btVector3 va =
              a->getVelocityInLocalPoint(point.getPositionWorldOnA() - a->getCenterOfMassPosition());
          const btVector3 vb =
              b->getVelocityInLocalPoint(point.getPositionWorldOnB() - b->getCenterOfMassPosition());
          const btVector3 relative = va - vb;
          const btVector3& normal = point.m_normalWorldOnB;
          const btVector3 across = relative - normal * relative.dot(normal);
          const float speed = static_cast<float>(across.length());
          if (std::isfinite(speed)) fastest = std::max(fastest, speed);
        }
      });
  return fastest;
}

void PhysicsWorld::checkPoses() {
  if (nonFinitePoseReported_) return;
  const btCollisionObjectArray& objects = world_->getCollisionObjectArray();
  for (int i = 0; i < objects.size(); ++i) {
    const btTransform& t = objects[i]->getWorldTransform();
    const btVector3& o = t.getOrigin();
    const btQuaternion q = t.getRotation();
    const bool finite = std::isfinite(o.x()) && std::isfinite(o.y()) && std::isfinite(o.z()) &&
                        std::isfinite(q.x()) && std::isfinite(q.y()) && std::isfinite(q.z()) &&
                        std::isfinite(q.w());
    if (finite) continue;
    // Said once: a broken pose would otherwise go unnoticed until something is drawn nowhere.
    std::cerr << "ERROR: physics: a body's pose is not finite after step " << stepCount_ << std::endl;
    nonFinitePoseReported_ = true;
    return;
  }
}

void PhysicsWorld::scanTriggers() {
  // Pairs touching now: a manifold between a trigger and a non-trigger with a penetrating point.
  std::set<PairKey> now;
  for (int i = 0; i < dispatcher_->getNumManifolds(); ++i) {
    const btPersistentManifold* manifold = dispatcher_->getManifoldByIndexInternal(i);
    const ShapeInfo* info0 = shapeInfoOf(manifold->getBody0());
    const ShapeInfo* info1 = shapeInfoOf(manifold->getBody1());
    const bool trigger0 = info0 && info0->trigger;
    const bool trigger1 = info1 && info1->trigger;
    if (trigger0 == trigger1) continue;
    bool penetrating = false;
    for (int j = 0; j < manifold->getNumContacts() && !penetrating; ++j)
      penetrating = manifold->getContactPoint(j).getDistance() < 0;
    if (!penetrating) continue;
    const btCollisionObject* trigger = trigger0 ? manifold->getBody0() : manifold->getBody1();
    const btCollisionObject* other = trigger0 ? manifold->getBody1() : manifold->getBody0();
    auto triggerId = ids_.find(trigger);
    auto otherId = ids_.find(other);
    if (triggerId == ids_.end() || otherId == ids_.end()) continue;
    now.insert({triggerId->second, otherId->second});
  }

  // Keyed by the order objects were first added, so reports come in a reproducible order: new
  // touches first, then lost ones.
  reported_.clear();
  auto report = [this](const PairKey& key, TriggerStatus status) {
    TriggerPair pair;
    pair.triggerObject = objectOfId(key.first);
    pair.otherObject = objectOfId(key.second);
    if (!pair.triggerObject || !pair.otherObject) return;
    pair.triggerShape = pair.triggerObject->getCollisionShape();
    pair.otherShape = pair.otherObject->getCollisionShape();
    pair.status = status;
    reported_.push_back(pair);
  };
  for (const PairKey& key : now)
    if (!touching_.count(key)) report(key, TriggerStatus::TouchFound);
  for (const PairKey& key : touching_)
    if (!now.count(key)) report(key, TriggerStatus::TouchLost);
  touching_ = std::move(now);
  if (eventCallback_ && !reported_.empty())
    eventCallback_->onTrigger(reported_.data(), static_cast<uint32_t>(reported_.size()));
}

std::string PhysicsWorld::debugLine(float deltaTime) const {
  nlohmann::ordered_json line;
  line["step"] = stepCount_;
  line["dt"] = deltaTime;
  nlohmann::ordered_json bodies = nlohmann::ordered_json::array();
  for (const auto& entry : objectsById_) {
    const btCollisionObject* object = entry.second;
    if (!members_.count(object)) continue;
    const btTransform& pose = object->getWorldTransform();
    const btVector3& p = pose.getOrigin();
    const btQuaternion q = pose.getRotation();
    bodies.push_back({{"id", entry.first},
                      {"kind", kindOf(object)},
                      {"enabled", disabled_.count(object) == 0},
                      {"p", {p.x(), p.y(), p.z()}},
                      {"q", {q.x(), q.y(), q.z(), q.w()}}});
  }
  line["bodies"] = std::move(bodies);
  if (debugExtra_) {
    nlohmann::ordered_json extra = debugExtra_();
    if (!extra.is_null()) line["vehicle"] = std::move(extra);
  }
  // Non-finite numbers are written as null, which every JSON reader accepts.
  return line.dump();
}
