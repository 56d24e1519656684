// Tags the contact callbacks use to recognise the vehicle and its wheels: a VehicleActorTag hangs on
// the vehicle body (btCollisionObject user pointer), a WheelShapeTag on each wheel shape.
#pragma once

#include <cstdint>

struct VehicleActorTag {
  void* vehicle = nullptr;  // the game's vehicle; null on every other object
};

struct WheelShapeTag {
  bool isWheel = false;
  uint32_t wheelId = 0xFFFFFFFF;
};
