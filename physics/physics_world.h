// The physics world: Bullet's dynamics world with gravity (0, -10, 0), the pair filter, the default
// material, stepping by the frame time, the trigger scan after each step, disabling bodies, removing
// items, and the debugger stream. The world owns every shape, object and material it is given.
#pragma once

#include "common/game_types.h"
#include "physics/debugger_connection.h"
#include "physics/filtering.h"
#include "physics/simulation_events.h"

#include <btBulletDynamicsCommon.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

struct PhysicsWorldOptions {
  bool connectDebugger = true;
  uint16_t debuggerPort = kDebuggerPort;
};

class PhysicsWorld {
 public:
  explicit PhysicsWorld(const PhysicsWorldOptions& options = PhysicsWorldOptions());
  ~PhysicsWorld();
  PhysicsWorld(const PhysicsWorld&) = delete;
  PhysicsWorld& operator=(const PhysicsWorld&) = delete;

  btDiscreteDynamicsWorld& dynamicsWorld() { return *world_; }
  const btDiscreteDynamicsWorld& dynamicsWorld() const { return *world_; }

  // Friction 1.0 / 1.0, restitution 0: the one material the tyre friction table knows.
  const PhysicsMaterial& defaultMaterial() const { return *materials_.front(); }
  const PhysicsMaterial* createMaterial(float staticFriction, float dynamicFriction, float restitution);

  // --- objects (created here, owned here, not yet in the world) ---
  // A static body (mass 0) on the shape, friction and restitution from the shape's material.
  btRigidBody* createStaticBody(std::shared_ptr<btCollisionShape> shape, const btTransform& pose);
  // A static trigger object (no contact response); the shape's info is marked trigger.
  btCollisionObject* createTrigger(std::shared_ptr<btCollisionShape> shape, const btTransform& pose);
  // A dynamic body; mass must be > 0 (a mass-0 body would be static for good).
  btRigidBody* createDynamicBody(std::shared_ptr<btCollisionShape> shape, const btTransform& pose, float mass,
                                 const btVector3& inertia);
  // Takes ownership of an object built elsewhere (the vehicle) and keeps its shape alive.
  btCollisionObject* adoptObject(std::unique_ptr<btCollisionObject> object,
                                 std::shared_ptr<btCollisionShape> shape);

  // --- membership ---
  // Adds an owned object. A body disabled beforehand joins the world only when enabled.
  // Objects whose shape asks for contact modification get CF_CUSTOM_MATERIAL_CALLBACK.
  void addObject(btCollisionObject* object);
  // Takes the object out of the world (still owned): first wakes every body touching it, then drops
  // its trigger pairs without a lost report. Safe to call twice.
  void removeObject(btCollisionObject* object);
  // True while the object is added (enabled or disabled).
  bool contains(const btCollisionObject* object) const { return members_.count(object) > 0; }
  // A disabled body takes no part in anything: it is kept out of Bullet's world. Enabling puts a
  // member back and wakes it.
  void setSimulationEnabled(btRigidBody* body, bool enabled);
  bool isSimulationEnabled(const btRigidBody* body) const { return disabled_.count(body) == 0; }

  // --- stepping ---
  void setSimulationEventCallback(SimulationEventCallback* callback) { eventCallback_ = callback; }
  // One step of exactly deltaTime (no sub-steps), then the trigger scan and the debugger line.
  void step(float deltaTime);
  uint64_t stepCount() const { return stepCount_; }
  // The contacts of `body` that the last step made (resting contacts are not new), at most
  // `capacity` of them into `out`, strongest first; returns how many.
  int newContactImpacts(const btCollisionObject* body, ruvelo::ContactImpact* out, int capacity) const;
  // How fast `body` slides along anything it touches now: the largest speed across the contact
  // normal at any of its touching contact points, m/s (0 when it touches nothing).
  float slidingContactSpeed(const btCollisionObject* body) const;

  // --- debugger ---
  bool debuggerConnected() const { return debugger_.connected(); }
  // Supplies a JSON value (e.g. the vehicle's speed, gear and wheels) for each step's line, under
  // the key "vehicle"; called only while a debugger is connected. Empty text leaves it out.
  void setDebugExtra(std::function<nlohmann::ordered_json()> provider) { debugExtra_ = std::move(provider); }
  // The line that would be sent for the current state (also used by tests).
  std::string debugLine(float deltaTime) const;

 private:
  using PairKey = std::pair<uint64_t, uint64_t>;  // (trigger id, other id), ids in order of first add

  void scanTriggers();
  // Reports on standard error, once, when any body's pose has become NaN or infinite.
  void checkPoses();
  void wakeTouching(const btCollisionObject* object);
  void forget(const btCollisionObject* object);
  void insertIntoWorld(btCollisionObject* object);
  void removeFromWorld(btCollisionObject* object);
  btCollisionObject* objectOfId(uint64_t id) const;

  std::unique_ptr<btDefaultCollisionConfiguration> configuration_;
  std::unique_ptr<btCollisionDispatcher> dispatcher_;
  std::unique_ptr<btBroadphaseInterface> broadphase_;
  std::unique_ptr<btSequentialImpulseConstraintSolver> solver_;
  PairOverlapFilter overlapFilter_;
  std::unique_ptr<btDiscreteDynamicsWorld> world_;

  std::vector<std::unique_ptr<PhysicsMaterial>> materials_;
  std::vector<std::shared_ptr<btCollisionShape>> shapes_;
  std::vector<std::unique_ptr<btCollisionObject>> objects_;

  std::unordered_set<const btCollisionObject*> members_;
  std::unordered_set<const btCollisionObject*> disabled_;
  std::unordered_map<const btCollisionObject*, uint64_t> ids_;
  std::map<uint64_t, btCollisionObject*> objectsById_;
  uint64_t nextId_ = 0;
  std::set<PairKey> touching_;

  SimulationEventCallback* eventCallback_ = nullptr;
  std::vector<TriggerPair> reported_;
  uint64_t stepCount_ = 0;
  bool nonFinitePoseReported_ = false;

  DebuggerConnection debugger_;
  std::function<nlohmann::ordered_json()> debugExtra_;
};
