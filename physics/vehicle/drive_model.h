// The four-wheel-drive vehicle model. Given the chassis state and one ground hit per wheel, it
// works out suspension, tyre and drive-line forces over a few internal sub-steps and returns the
// change of the chassis velocities they cause (gravity excluded: the rigid-body world adds it).
// Plain maths: it knows nothing of the physics engine that casts the rays and moves the body.
#pragma once

#include "physics/vehicle/drive_line.h"
#include "physics/vehicle/gearbox.h"
#include "physics/vehicle/input_smoothing.h"
#include "physics/vehicle/vehicle_data.h"

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <array>
#include <vector>

namespace vehicle {

// The chassis as a rigid body: pose of the centre of mass, velocities, mass properties.
struct ChassisState {
  glm::vec3 position{0.0f};  // centre of mass, world
  glm::quat orientation{1.0f, 0.0f, 0.0f, 0.0f};
  glm::vec3 linearVelocity{0.0f};
  glm::vec3 angularVelocity{0.0f};
  float mass = 1.0f;
  glm::vec3 invInertiaLocal{1.0f};  // diagonal, in the centre-of-mass frame
};

// Where a wheel's suspension ray looks for ground.
struct SuspensionRay {
  glm::vec3 origin{0.0f};
  glm::vec3 direction{0.0f, -1.0f, 0.0f};  // unit
  float length = 0.0f;
};

// The ground a suspension ray found, if any.
struct WheelHit {
  bool hit = false;
  glm::vec3 point{0.0f};
  glm::vec3 normal{0.0f, 1.0f, 0.0f};  // unit, facing the wheel
  float friction = 1.0f;               // surface friction table value for the wheel's tyre type
};

struct VelocityChange {
  glm::vec3 linear{0.0f};
  glm::vec3 angular{0.0f};
};

// What the last update left for each wheel.
struct WheelState {
  bool inAir = true;
  float jounce = 0.0f;           // + compressed, − extended, in [−maxDroop, maxCompression]
  float suspensionForce = 0.0f;  // N, spring + damper + anti-roll, never negative
  float tyreLoad = 0.0f;         // filtered, N
  float longSlip = 0.0f;
  float latSlip = 0.0f;  // rad
  float friction = 0.0f;
  float longForce = 0.0f;      // N
  float latForce = 0.0f;       // N
  float steer = 0.0f;          // rad about the chassis up axis
  float camber = 0.0f;         // rad
  float omega = 0.0f;          // rad/s, positive rolling forward
  float rotationAngle = 0.0f;  // rad, accumulated rolling angle
  glm::vec3 contactPoint{0.0f};
  glm::vec3 contactNormal{0.0f, 1.0f, 0.0f};
  // Pose of the wheel in the actor frame: steer, camber, rolling angle, placed at its jounce.
  glm::vec3 localPosition{0.0f};
  glm::quat localRotation{1.0f, 0.0f, 0.0f, 0.0f};
};

class DriveModel {
 public:
  explicit DriveModel(VehicleModelData data);

  const VehicleModelData& data() const { return data_; }
  int numWheels() const { return static_cast<int>(data_.wheels.size()); }

  // The ray for one wheel: from above the tyre's top at full compression down to below its bottom
  // at full droop. Invalid wheel indices give a zero-length ray.
  SuspensionRay suspensionRay(int wheel, const ChassisState& chassis) const;

  // Advances the model by dt. hits holds one entry per wheel (missing entries count as no hit).
  VelocityChange update(float dt, const glm::vec3& gravity, const ChassisState& chassis,
                        const std::vector<WheelHit>& hits);

  // Every wheel in the air (true before the first update).
  bool isInAir() const;
  const WheelState& wheelState(int wheel) const { return wheels_[wheel]; }

  const AnalogInputs& analogInputs() const { return inputs_; }
  void setAnalogInputs(const AnalogInputs& inputs) { inputs_ = inputs; }

  int currentGear() const { return gearbox_.currentGear(); }
  int targetGear() const { return gearbox_.targetGear(); }
  void forceGear(int gear) { gearbox_.forceGear(gear, data_.gears); }
  void startGearChange(int gear) { gearbox_.startGearChange(gear, data_.gears); }
  bool useAutoGears() const { return gearbox_.useAutoGears(); }
  void setUseAutoGears(bool on) { gearbox_.setUseAutoGears(on); }

  float engineOmega() const { return engineOmega_; }
  // The throttle the engine ran with in the last sub-step: the driver's accelerator, except during
  // an automatic gear change (closed, or opened by the box to match speeds on a change down).
  float engineThrottle() const { return engineThrottle_; }
  // Velocity along the chassis forward axis (+z of the chassis frame).
  static float forwardSpeed(const ChassisState& chassis);
  // Sum over all wheels of the vertical component of the suspension force after the last update.
  float totalSuspensionForce() const;

 private:
  // Per-wheel values of one sub-step that the later stages need.
  struct Contact {
    bool touching = false;
    float rawJounce = 0.0f;
    glm::vec3 normal{0.0f};
    glm::vec3 point{0.0f};  // tyre contact point, world
    float tyreTorque = 0.0f;
    float tyreTorqueSlope = 0.0f;
  };
  // One sub-step's view of every wheel: its contact and its spring force before clamping.
  struct Wheels {
    std::array<Contact, kMaxWheels> contacts{};
    WheelArray springForce{};
  };
  // The predicted chassis as one sub-step sees it.
  struct Body {
    glm::mat3 rotation{1.0f};
    glm::mat3 invInertia{1.0f};
    float invMass = 1.0f;
    float g = 0.0f;  // gravity's magnitude
  };
  // What the wheels push the chassis with, summed wheel by wheel.
  struct Push {
    glm::vec3 force{0.0f};
    glm::vec3 torque{0.0f};
  };

  // One sub-step of length h on the predicted chassis; adds the vehicle's velocity change to total.
  // Its stages in order follow.
  void subStep(float h, const glm::vec3& gravity, ChassisState& predicted, const std::vector<WheelHit>& hits,
               VelocityChange& total);
  // The gearbox for h; the throttle (cut while an automatic change runs) and the gear ratio.
  float gearboxAndThrottle(float h, float& ratio);
  // The throttle during an automatic change: closed, or opened to match speeds on a change down.
  float downshiftThrottle() const;
  // Steer angles: the front pair with Ackermann, every other wheel by its own maximum.
  void steerWheels();
  // Jounce against each wheel's contact plane, spring and damper about the rest load, anti-roll bars.
  Wheels suspension(const ChassisState& pred, const Body& body, const std::vector<WheelHit>& hits);
  void wheelSuspension(int i, const ChassisState& pred, const Body& body, const WheelHit& hit, Contact& c,
                       float& springForce);
  // Suspension along the contact normal and tyre forces in the contact plane, wheel by wheel.
  Push wheelForces(const ChassisState& pred, const Body& body, const std::vector<WheelHit>& hits,
                   Wheels& wheels);
  void tyreForce(int i, const ChassisState& pred, const Body& body, float friction, float suspensionForce,
                 Contact& c, Push& push);
  // Engine, clutch and differential on wheels 0–3, free wheels beyond, then brakes.
  void driveLine(float h, float throttle, float ratio, const Wheels& wheels);
  // The chassis: the vehicle's impulse, then gravity, then the travel limit; then it moves.
  void integrate(float h, const glm::vec3& gravity, const Body& body, const Push& push, const Wheels& wheels,
                 ChassisState& pred, VelocityChange& total) const;
  void updateWheelPoses();

  VehicleModelData data_;
  std::vector<WheelState> wheels_;
  std::vector<float> restLoads_;
  AnalogInputs inputs_;
  Gearbox gearbox_;
  float engineOmega_ = 0.0f;
  float engineThrottle_ = 0.0f;
};

}  // namespace vehicle
