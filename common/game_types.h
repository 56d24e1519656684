// Plain values the game's parts hand each other: item ids and kinds, poses, vehicle readings, the
// driver's command and what it did, and contacts between bodies. No library type appears here, so
// physics, sound, input, the rules and the app all speak them.
#pragma once

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <cstdint>
#include <vector>

#include "level/level_layout.h"

namespace ruvelo {

constexpr int kBatteryCount = level::kBatteryCount;
constexpr int kZoneCount = level::kZoneCount;
constexpr int kConeCount = level::kConeCount;

enum class ItemKind { Battery, Zone };

// Items are numbered batteries first (0 to 4), then zones (5 to 7).
constexpr int kItemCount = kBatteryCount + kZoneCount;
constexpr int batteryItem(int battery) {
  return battery;
}
constexpr int zoneItem(int zone) {
  return kBatteryCount + zone;
}
constexpr ItemKind itemKind(int item) {
  return item < kBatteryCount ? ItemKind::Battery : ItemKind::Zone;
}

// A trigger recorded by a vehicle step: which item, and its kind.
struct ItemEvent {
  int item = 0;
  ItemKind kind = ItemKind::Battery;
};

struct Pose {
  glm::vec3 position{0.0f};
  glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
};

// What the vehicle reports to the debugger stream.
struct WheelReading {
  float jounce = 0.0f;
  bool inAir = false;
  float omega = 0.0f;
  float load = 0.0f;
};
// The steering geometry: metres between the axles, and the wheel angle at full steer control.
struct SteeringGeometry {
  float wheelBase = 0.0f;
  float maxWheelSteer = 0.0f;
};

struct VehicleReading {
  float speed = 0.0f;
  int gear = 0;
  std::vector<WheelReading> wheels;
};

// What the sound reads of the vehicle each frame: the engine, the driver's throttle, the throttle
// the engine actually ran with, the gear, each corner wheel's slip, and how fast the body slides
// along what it touches.
struct VehicleSoundReading {
  float engineOmega = 0.0f;  // rad/s
  float throttle = 0.0f;     // 0..1, the driver's accelerator
  // 0..1, what the engine received in the last step: the accelerator, but closed during an
  // automatic gear change, or opened by the box to match speeds on a change down.
  float engineThrottle = 0.0f;
  int gear = 0;
  struct Wheel {
    float longSlip = 0.0f;
    float latSlip = 0.0f;    // rad
    float slipSpeed = 0.0f;  // m/s, the tread over the ground
    bool inAir = true;
  };
  Wheel wheels[4];
  float scrapeSpeed = 0.0f;  // m/s
};

// What the driver asks for this frame (the app maps keys and a gamepad onto it). The flags are
// keys, held or not; the amounts are a gamepad's analog controls after its dead zone and curve. A
// held flag counts as the full amount.
struct DriveCommand {
  bool forward = false;
  bool turnLeft = false;  // the driver's left: towards +x while facing +z
  bool reverse = false;
  bool turnRight = false;  // towards -x
  bool brake = false;
  bool recover = false;        // at rest: lift by 2 m and face +z
  float forwardAmount = 0.0f;  // [0, 1]
  float reverseAmount = 0.0f;  // [0, 1]
  float steerAmount = 0.0f;    // [-1, 1], positive towards +x (as turnLeft)
  float brakeAmount = 0.0f;    // [0, 1]

  // Whether the driver asks for anything at all.
  bool any() const {
    return forward || turnLeft || reverse || turnRight || brake || recover || forwardAmount > 0.0f ||
           reverseAmount > 0.0f || steerAmount != 0.0f || brakeAmount > 0.0f;
  }
};

// What the game needs back: how much it accelerated forwards or in reverse (both drain power, in
// proportion; a key is 1), and whether the recovery flag is cleared and/or set (apply the clear
// first, then the set).
struct DriveResult {
  bool accelerateHeld = false;
  bool reverseHeld = false;
  float accelerateAmount = 0.0f;
  float reverseAmount = 0.0f;
  bool unflippedCleared = false;
  bool unflippedSet = false;
};

// Two bodies that came into contact in the last step: which pair (the same number whenever the same
// two bodies meet) and how much their relative velocity changed along the contact, m/s. The physics
// reports them; the sound turns them into knocks and crashes.
struct ContactImpact {
  uint64_t pair = 0;
  float speedChange = 0.0f;
};

}  // namespace ruvelo
