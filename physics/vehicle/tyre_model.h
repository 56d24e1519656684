// The tyre: slips to forces. Linear longitudinal, lateral and camber forces from the slips, then
// the combined force limited smoothly by friction × load.
#pragma once

#include "physics/vehicle/vehicle_data.h"

#include <array>

namespace vehicle {

// Value of a three-point piecewise-linear graph: flat before the first and after the last point.
float evaluateGraph(const std::array<GraphPoint, 3>& graph, float x);

// The load the tyre works with, from its raw load and its rest load (both N, rest load > 0).
float filterTyreLoad(const TyreLoadFilterData& filter, float load, float restLoad);

// Lateral stiffness in N/rad at the given (filtered) load: rises with load and levels off at
// latStiffY × restLoad once load ≥ latStiffX × restLoad.
float lateralStiffness(const TyreData& tyre, float load, float restLoad);

struct TyreInput {
  float load = 0.0f;        // filtered load, N
  float restLoad = 1.0f;    // N
  float friction = 1.0f;    // surface table value for this tyre type
  float longSpeed = 0.0f;   // contact-point velocity along the tyre's forward direction, m/s
  float latSpeed = 0.0f;    // along its lateral direction
  float wheelOmega = 0.0f;  // rad/s, positive rolling forward
  float radius = 0.5f;
  float camber = 0.0f;    // rad
  float gravity = 10.0f;  // |g|
  float minLongSlipDenominator = 4.0f;
  float minLatSlipDenominator = 1.0f;
};

struct TyreOutput {
  float longSlip = 0.0f;
  float latSlip = 0.0f;      // rad
  float friction = 0.0f;     // table × slip graph
  float longForce = 0.0f;    // N along forward
  float latForce = 0.0f;     // N along lateral
  float wheelTorque = 0.0f;  // reaction on the wheel, N·m
  // d(wheelTorque)/d(wheelOmega) of the force law as applied (≤ 0): lets the wheel solve treat the
  // tyre's pull on the wheel implicitly, which keeps it stable at long time steps.
  float torqueSlope = 0.0f;
};

TyreOutput computeTyreForces(const TyreData& tyre, const TyreInput& in);

}  // namespace vehicle
