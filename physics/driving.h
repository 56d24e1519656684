// Driving the vehicle each playing frame: the recorded digital inputs, the vehicle step (smoothing,
// suspension rays, model update, world step), the driving keys, and the drawing matrices of the
// vehicle, its wheels and the cones.
#pragma once

#include "physics/vehicle/input_smoothing.h"

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

class PhysicsWorld;
class Vehicle;

// The five digital inputs, recorded by the keys of one frame and consumed by the next step.
struct DrivingInput {
  bool accelerate = false;
  bool brake = false;
  bool handbrake = false;
  bool steerLeft = false;
  bool steerRight = false;
};

// Rise and fall rates of the key smoothing, and the steer limit against forward speed.
const vehicle::KeySmoothingData& keySmoothing();
const vehicle::SteerVsSpeedTable& steerVsSpeed();

struct DrivingState {
  DrivingInput drivingInput;
  bool vehicleInAir = true;  // the previous step's in-air test; the first step counts as airborne
};

// Longest single vehicle step; longer frames are split into equal steps no longer than this.
constexpr float kMaxVehicleStep = 1.0f / 60.0f;

// The vehicle step for one frame of dt seconds: smoothing of the recorded inputs, clearing them,
// suspension rays, gravity, model update, in-air test (a sleeping body is not in the air), world
// step. Frames longer than kMaxVehicleStep run as several equal steps with the same inputs.
void stepVehicle(PhysicsWorld& world, Vehicle& vehicle, DrivingState& state, float dt);

// The driving keys held this frame, from the window or a script.
struct DrivingKeys {
  bool w = false;
  bool a = false;
  bool s = false;
  bool d = false;
  bool b = false;
  bool space = false;
};

// What the game needs back: which power-draining keys were held, and whether the recovery flag is
// cleared and/or set (apply the clear first, then the set).
struct DrivingKeysResult {
  bool accelerateHeld = false;
  bool reverseHeld = false;
  bool unflippedCleared = false;
  bool unflippedSet = false;
};

// Largest speed at which the recovery key rights the vehicle.
constexpr float kRecoveryMaxSpeed = 0.05f;

// W: forwards (leaves reverse for first gear); A: steer right (towards +x); S: reverse gear and
// accelerate; D: steer left; space: at rest, lift by 2 m and face +z; B: brake.
DrivingKeysResult readDrivingKeys(const DrivingKeys& held, Vehicle& vehicle, DrivingState& state);

// Rotation matrix of a unit quaternion as angle 2·acos(w) about (x, y, z); a zero axis becomes
// 0.0001 rad about +y.
glm::mat4 quatToRotationMatrix(const glm::quat& q);
// The vehicle frame C = translate(p) × rotation(q) from the actor's pose.
glm::mat4 vehicleFrameMatrix(const glm::vec3& position, const glm::quat& rotation);
// The body model's matrix: C × translate(0, −0.4, 0).
glm::mat4 vehicleBodyMatrix(const glm::vec3& position, const glm::quat& rotation);
// A wheel's matrix from the vehicle frame and the wheel's local pose.
glm::mat4 wheelMatrix(const glm::mat4& vehicleFrame, const glm::vec3& localPosition,
                      const glm::quat& localRotation);
// A cone's matrix: translate(p + (0, 1.5, 0)) × scale(3.5) × rotation(q).
glm::mat4 coneMatrix(const glm::vec3& position, const glm::quat& rotation);
