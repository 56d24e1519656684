// The game's physics as one object: the world, the level's actors (items, cones, slab, level mesh),
// the ground plane, the trigger record and the vehicle, assembled in the game's start-up order.
// Callers see item ids, poses as GLM values and plain vehicle readings; Bullet stays behind it.
#pragma once

#include "common/game_types.h"
#include "physics/vehicle/input_smoothing.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

namespace ruvelo {
struct ModelData;
}
class PhysicsWorld;
class Vehicle;
struct LevelActors;
struct PhysicsWorldOptions;

class GameWorld {
 public:
  enum class Failure { None, LevelMesh, Vehicle };

  // The whole assembly over the level's collision mesh (model positions and triangle indices). Null
  // with `failure` set when the level mesh or the vehicle cannot be built.
  static std::unique_ptr<GameWorld> create(std::vector<glm::vec3> levelPositions,
                                           std::vector<uint32_t> levelIndices, Failure* failure);
  // The same over an imported collision model: every mesh's triangles, in model space.
  static std::unique_ptr<GameWorld> create(const ruvelo::ModelData& levelCollision, Failure* failure);
  static std::unique_ptr<GameWorld> create(std::vector<glm::vec3> levelPositions,
                                           std::vector<uint32_t> levelIndices, Failure* failure,
                                           const PhysicsWorldOptions& options);

  GameWorld(const GameWorld&) = delete;
  GameWorld& operator=(const GameWorld&) = delete;
  ~GameWorld();

  // The first playing frame: the cones get their mass and join the simulation, the vehicle wakes in
  // first gear.
  void startPlay();

  // One vehicle step of dt seconds with the command recorded last frame; the trigger it recorded, if
  // any (the item recorded last is not reported again).
  std::optional<ruvelo::ItemEvent> step(float dt);

  // Records the command for the next step; the gear change and the recovery act at once.
  ruvelo::DriveResult drive(const ruvelo::DriveCommand& command);

  // Takes an item's trigger out of the world, waking what touches it.
  void removeItem(int item);
  bool itemInWorld(int item) const;

  ruvelo::Pose vehiclePose() const;  // the actor's
  glm::vec3 vehicleVelocity() const;
  float vehicleSpeed() const;
  int vehicleGear() const;
  float vehicleEngineShare() const;  // the engine's speed as a share of its top speed, 0..1
  bool vehicleInReverse() const;
  // Local poses of the four corner wheels in the actor frame: left, right, left, right.
  std::array<ruvelo::Pose, 4> wheelPoses() const;
  float vehicleForwardSpeed() const;              // m/s along the vehicle's +z, negative backwards
  vehicle::AnalogInputs vehicleControls() const;  // the smoothed controls it drives with now
  ruvelo::SteeringGeometry steering() const;
  ruvelo::Pose conePose(int cone) const;
  ruvelo::VehicleReading vehicleReading() const;
  ruvelo::VehicleSoundReading vehicleSound() const;
  // What the vehicle hit in the last step (see PhysicsWorld::newContactImpacts); returns how many.
  int newImpacts(ruvelo::ContactImpact* out, int capacity) const;

  // JSON for each step's debugger line (see PhysicsWorld::setDebugExtra).
  void setDebugExtra(std::function<nlohmann::ordered_json()> provider);

  // The parts, for tests and benchmarks inside physics/.
  PhysicsWorld& physics();
  const LevelActors& level() const;
  Vehicle& vehicle();

 private:
  struct Parts;
  explicit GameWorld(std::unique_ptr<Parts> parts);
  std::unique_ptr<Parts> parts_;
};
