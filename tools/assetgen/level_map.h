// A top-down map of the level for reviewers: roads with their embankments, deck and ramps,
// buildings, the driving line with arrows, batteries, zones, cones and the start, north (+z) up. It is a true
// view from above, so +x points left.
#pragma once

#include "level/level_layout.h"
#include "tools/assetgen/image.h"

namespace ruvelo::assets {

using namespace ruvelo::level;  // the layout the generator turns into files

// One pixel per metre over x −300..300 and z −520..440.
Image makeLevelMap(const LevelLayout& layout);

// Pixel of a world ground position on the map (may lie outside the image).
glm::ivec2 levelMapPixel(glm::vec2 worldXZ);

}  // namespace ruvelo::assets
