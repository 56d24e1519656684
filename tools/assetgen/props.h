// The models other than the level: the van, its wheels, the cone, the battery, the finish-line gate
// and the green ground plane. Sizes follow the matrices the game draws them with.
#pragma once

#include "tools/assetgen/mesh_data.h"

namespace ruvelo::assets {

// Drawn at the actor's pose × translate(0, −0.4, 0): the body spans actor y −1.0..0.95, i.e. model
// y −0.6..1.35, x ±1.2 and z ±2.5, front towards +z, just above the wheel tops (actor y −1.0).
ModelData buildCarModel();

// Radius 0.5, width 0.4, axle along x, centred on the origin; the rim faces −x (left) or +x (right).
ModelData buildWheelModel(bool left);

// Base on model y = −1.0, 1.15 high, base plate half-width 0.55 (scaled 3.5 into its ±2 box).
ModelData buildConeModel();

// An upright cell within ±0.6 of its own z axis, so it stays inside its box however it spins.
ModelData buildBatteryModel();

// Two posts and a banner, ±4.9 wide, 12.5 high, thin in z; untextured.
ModelData buildFinishLineModel();

// The ±1 quad at y = 0, normal up, grass tiling every 4 m once scaled to 600 × 1600.
ModelData buildGreenPlaneModel();

}  // namespace ruvelo::assets
