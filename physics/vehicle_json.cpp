#include "physics/vehicle_json.h"

#include <nlohmann/json.hpp>

namespace ruvelo {

nlohmann::ordered_json vehicleJson(const ruvelo::VehicleReading& vehicle) {
  nlohmann::ordered_json wheels = nlohmann::ordered_json::array();
  for (const ruvelo::WheelReading& wheel : vehicle.wheels)
    wheels.push_back(
        {{"jounce", wheel.jounce}, {"inAir", wheel.inAir}, {"omega", wheel.omega}, {"load", wheel.load}});
  return {{"speed", vehicle.speed}, {"gear", vehicle.gear}, {"wheels", std::move(wheels)}};
}
}  // namespace ruvelo
