// Steering: Ackermann correction of the two front wheels' angles.
#pragma once

#include "physics/vehicle/vehicle_data.h"

namespace vehicle {

struct FrontSteer {
  float left = 0.0f;   // wheel at −x (wheel 0)
  float right = 0.0f;  // wheel at +x (wheel 1)
};

// steer is the angle of a virtual centre wheel (positive about +y, turning towards +x). With
// accuracy 1 both wheels' axes meet on the rear axle line, so the inner wheel turns further.
FrontSteer ackermannSteer(const AckermannData& ackermann, float steer);

}  // namespace vehicle
