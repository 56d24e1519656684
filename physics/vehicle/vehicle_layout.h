// The game vehicle's layout turned into model data: wheel positions from the chassis box, per-wheel
// wheel, tyre and suspension data, anti-roll bars and the drive data.
#pragma once

#include "physics/vehicle/vehicle_data.h"

#include <glm/glm.hpp>

#include <vector>

namespace vehicle {

// The few numbers the layout is built from.
struct VehicleLayout {
  float chassisMass = 1500.0f;
  glm::vec3 chassisDims{2.5f, 2.0f, 5.0f};         // full width, height, length
  glm::vec3 chassisCMOffset{0.0f, -0.35f, 0.25f};  // centre of mass in the actor frame
  float wheelMass = 20.0f;
  float wheelWidth = 0.4f;
  float wheelRadius = 0.5f;
  float wheelMOI = 2.5f;
  int numWheels = 6;
};

// Wheel centres in the actor frame: 0 front left (−x), 1 front right, 2 rear left, 3 rear right,
// then further left/right pairs spaced evenly from the rear forwards. Fewer than 4 or an odd count
// gives an empty list.
std::vector<glm::vec3> computeWheelCentres(const VehicleLayout& layout);

// The model data for the layout: front steer with Ackermann, handbrake on the rear pair, sprung
// masses that balance the centre of mass, anti-roll bars on the front and rear pairs, LS 4WD drive.
// Empty wheel list when the layout is unusable (bad wheel count, wheels that cannot carry the mass).
VehicleModelData makeVehicleModelData(const VehicleLayout& layout);

}  // namespace vehicle
