// The driving line through the level, built from the same layout that builds the level's models: from
// the start up the deck (batteries 3 and 1), the north junction, zone 3, battery 4, zone 2, battery 2,
// under the deck and through zone 1. The autopilot follows it and the map draws it.
#pragma once

#include <vector>

#include <glm/glm.hpp>

#include "level/level_layout.h"

namespace ruvelo::level {

// Corner radius of the line on a junction pad: the arc stays on the pad and passes a cone standing on
// the pad's centre with room to spare.
constexpr float kRouteCornerRadius = 12.0f;
// Spacing of the route's points along the line, in metres.
constexpr float kRouteSpacing = 2.0f;
// Batteries this close to the rounded line are driven through (their boxes are only ±2 wide).
constexpr float kRouteBatteryReach = 8.0f;
// Closest the line passes a cone's starting position (centre to centre).
constexpr float kRouteConeClearance = 6.0f;

// The route's corners in driving order, in world (x, z): road centre lines and pad centres.
std::vector<glm::vec2> routeCorners(const LevelLayout& layout);

// The driving line in world (x, z): the corners joined by straights and rounded by arcs of
// kRouteCornerRadius, sampled every kRouteSpacing metres, bent through the batteries beside it and around the
// cones.
std::vector<glm::vec2> drivingLine(const LevelLayout& layout);

// One lap of the ring road from the driving line's end back to it, shaped like the driving line: what
// an autopilot drives after the route, round and round, when the game does not end (soak runs).
std::vector<glm::vec2> ringLap(const LevelLayout& layout);

}  // namespace ruvelo::level
