// The vehicle's part of the physics debugger stream.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include "common/game_types.h"

namespace ruvelo {

// The vehicle's state as one JSON object: speed, gear and each wheel's jounce, contact, spin and
// load; a reading gone bad (not finite) is written as null.
nlohmann::ordered_json vehicleJson(const ruvelo::VehicleReading& vehicle);

}  // namespace ruvelo
