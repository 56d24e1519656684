// The game's vehicle on Bullet: its description (VehicleSpec), hull cooking, and the built Vehicle,
// which owns the chassis body, the six wheel shape records, the drive model and its wheel queries.
// Positions read and written here are the ACTOR's (the body's frame is the centre of mass).
#pragma once

#include "physics/filtering.h"
#include "physics/vehicle/drive_model.h"
#include "physics/vehicle_tags.h"

#include <btBulletDynamicsCommon.h>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <cstddef>
#include <memory>
#include <vector>

class PhysicsWorld;

// The vehicle's description handed to buildVehicle.
struct VehicleSpec {
  float chassisMass = 1500.0f;
  glm::vec3 chassisDims{2.5f, 2.0f, 5.0f};  // full width, height, length
  glm::vec3 chassisMOI{3625.0f, 3125.0f, 1281.25f};
  glm::vec3 chassisCMOffset{0.0f, -0.35f, 0.25f};
  const PhysicsMaterial* chassisMaterial = nullptr;
  FilterData chassisSimFilterData = kChassisSimFilter;
  float wheelMass = 20.0f;
  float wheelWidth = 0.4f;
  float wheelRadius = 0.5f;
  float wheelMOI = 2.5f;
  const PhysicsMaterial* wheelMaterial = nullptr;
  uint32_t numWheels = 6;
  FilterData wheelSimFilterData{0, 0, 0, 0};
  VehicleActorTag* actorTag = nullptr;
  WheelShapeTag* wheelTags = nullptr;  // at least numWheels entries
};

// The values of the game's vehicle, with the given material and tags (owned by the caller, which
// keeps them alive as long as the vehicle).
VehicleSpec makeVehicleSpec(const PhysicsMaterial& defaultMaterial, VehicleActorTag* actorTag,
                            WheelShapeTag* wheelTags);

// A convex hull around the points, optimised, with a small collision margin. Null unless there are
// at least 4 finite points spanning a non-zero volume.
std::unique_ptr<btConvexHullShape> cookConvexHull(const glm::vec3* points, size_t count);

// Start pose of the vehicle: (0, 3.3, −450) facing +z, turned 0.0001 rad about +y.
glm::vec3 vehicleStartPosition();
glm::quat vehicleStartRotation();

// One wheel shape: the shared hull, the wheel's own record (filter data and tag) and its local
// pose in the actor frame. Wheel shapes are never put in the world: wheels meet the ground only
// through their suspension rays.
struct WheelShape {
  std::shared_ptr<btCollisionShape> hull;
  ShapeInfo info;
  glm::vec3 localPosition{0.0f};
  glm::quat localRotation{1.0f, 0.0f, 0.0f, 0.0f};
};

class Vehicle {
 public:
  Vehicle(const Vehicle&) = delete;
  Vehicle& operator=(const Vehicle&) = delete;
  ~Vehicle();

  btRigidBody* body() const { return body_; }
  // Actor frame ↔ centre-of-mass frame.
  glm::vec3 actorPosition() const;
  glm::quat actorRotation() const;
  // Sets the actor pose and wakes the body; velocities are kept.
  void setActorPose(const glm::vec3& position, const glm::quat& rotation);
  glm::vec3 centreOfMassOffset() const { return model_.data().centreOfMassOffset; }

  glm::vec3 linearVelocity() const;
  glm::vec3 angularVelocity() const;
  float speed() const;
  float forwardSpeed() const;

  // Gear numbers: reverse 0, neutral 1, first 2, … .
  int currentGear() const { return model_.currentGear(); }
  int targetGear() const { return model_.targetGear(); }
  // Writes current and target gear: effective at once.
  void forceGear(int gear) { model_.forceGear(gear); }
  bool useAutoGears() const { return model_.useAutoGears(); }
  void setUseAutoGears(bool on) { model_.setUseAutoGears(on); }
  float engineOmega() const { return model_.engineOmega(); }

  int numWheels() const { return static_cast<int>(wheelShapes_.size()); }
  const WheelShape& wheelShape(int wheel) const { return wheelShapes_[wheel]; }
  const vehicle::WheelState& wheelState(int wheel) const { return model_.wheelState(wheel); }
  bool isInAir() const { return model_.isInAir(); }

  // The first playing frame: simulation on, first gear (current and target), automatic gears on.
  void enableForPlay(PhysicsWorld& world);
  bool isSleeping() const;

  vehicle::DriveModel& model() { return model_; }
  const vehicle::DriveModel& model() const { return model_; }
  vehicle::ChassisState chassisState() const;

  // One model update from fresh suspension rays; applies the velocity change to the body (waking it
  // when asleep). Does not step the world.
  void updateModel(float dt, const glm::vec3& gravity);
  // Casts the suspension rays into the wheel hits for the next model update.
  void castSuspensionRays();

 private:
  friend std::unique_ptr<Vehicle> buildVehicle(const VehicleSpec&, PhysicsWorld&, const glm::vec3&,
                                               const glm::quat&);
  Vehicle(vehicle::VehicleModelData data, const btCollisionWorld& world);
  void syncWheelPoses();

  btRigidBody* body_ = nullptr;  // owned by the world
  VehicleActorTag* actorTag_ = nullptr;
  std::vector<WheelShape> wheelShapes_;
  vehicle::DriveModel model_;
  std::unique_ptr<WheelQueryBuffers> queryBuffers_;
  std::unique_ptr<WheelBatchQuery> batchQuery_;
  TyreFrictionTable frictionTable_;
  std::vector<WheelRayQuery> rayQueries_;
  std::vector<vehicle::WheelHit> hits_;
};

// Builds the vehicle at the given actor pose: chassis body (one convex hull around the centre of
// mass, so continuous collision detection works), wheel shapes and tags, drive model; CCD on,
// added to the world with simulation disabled until enableForPlay. Null when a hull cannot be
// cooked or the layout is unusable.
std::unique_ptr<Vehicle> buildVehicle(const VehicleSpec& vehicleSpec, PhysicsWorld& world,
                                      const glm::vec3& startPosition = vehicleStartPosition(),
                                      const glm::quat& startRotation = vehicleStartRotation());
