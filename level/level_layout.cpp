#include "level/level_layout.h"

#include <cmath>

namespace ruvelo::level {

glm::vec3 levelWorldToModel(glm::vec3 world) {
  return (world - kLevelPosition) * (1.0f / kLevelScale);
}
glm::vec3 levelModelToWorld(glm::vec3 model) {
  return model * kLevelScale + kLevelPosition;
}

namespace {

LevelLayout buildLayout() {
  LevelLayout l;
  l.items.batteries = {glm::vec3(0.0f, 17.5f, 173.0f), glm::vec3(-190.0f, 3.5f, 214.0f),
                       glm::vec3(0.0f, 17.5f, -100.0f), glm::vec3(-165.0f, 3.5f, 315.0f),
                       glm::vec3(148.0f, 3.5f, 273.0f)};
  l.items.zones = {glm::vec3(146.0f, 15.0f, 230.0f), glm::vec3(-160.0f, 15.0f, 218.0f),
                   glm::vec3(-129.0f, 15.0f, 353.0f)};
  l.items.zoneRotated = {false, true, true};
  l.items.zoneGates = {glm::vec3(146.3f, 0.0f, 230.0f), glm::vec3(-160.0f, 0.0f, 219.0f),
                       glm::vec3(-130.0f, 0.0f, 354.5f)};
  l.items.cones = {glm::vec3(-190.0f, 3.25f, 150.0f), glm::vec3(150.0f, 3.25f, 100.0f),
                   glm::vec3(50.0f, 3.25f, 100.0f), glm::vec3(0.0f, 3.25f, 150.0f),
                   glm::vec3(-100.0f, 3.25f, 275.0f)};

  // Junctions. The roads through the gates are centred on the gate posts' midpoints (the finish line
  // models stand 1.5 m and 1 m off their trigger boxes), which keeps the posts beside the road.
  l.nodes = {
      {"north", {0.0f, 354.0f}},               // 0: foot of the deck's north ramp
      {"zone3 west", {-165.0f, 354.0f}},       // 1
      {"battery4 south", {-165.0f, 275.0f}},   // 2
      {"cone corner", {-100.0f, 275.0f}},      // 3
      {"zone2 east", {-100.0f, 218.5f}},       // 4
      {"battery2 corner", {-190.0f, 218.5f}},  // 5
      {"south west", {-190.0f, 100.0f}},       // 6
      {"south east", {146.0f, 100.0f}},        // 7
      {"north east", {146.0f, 354.0f}},        // 8
  };
  // One loop: north → zone 3 → battery 4 → cone → zone 2 / battery 2 → under the deck → zone 1 /
  // battery 5 → back to the north junction.
  l.links = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 0}};

  // Start road, ramp up (6.7°), deck, ramp down, and the approach to the north junction.
  l.spine = {
      {{0.0f, -490.0f}, {0.0f, -300.0f}, kRoadTop, kRoadTop, false, false},
      {{0.0f, -300.0f}, {0.0f, -180.0f}, kRoadTop, kDeckTop, false, true},
      {{0.0f, -180.0f}, {0.0f, 200.0f}, kDeckTop, kDeckTop, true, true},
      {{0.0f, 200.0f}, {0.0f, 320.0f}, kDeckTop, kRoadTop, false, true},
      {{0.0f, 320.0f}, {0.0f, 340.0f}, kRoadTop, kRoadTop, false, false},
  };
  l.spineEndNode = 0;

  // Pillars at the deck's edges every 40 m, clear of the road that passes under it at z = 100.
  for (float z = -160.0f; z <= 160.0f; z += 40.0f) {
    if (std::fabs(z - 100.0f) < 12.0f) continue;
    for (float x : {-6.0f, 6.0f}) {
      l.columns.push_back({{x, z}, 1.1f, kSlabTop, kDeckTop - kDeckThickness, 4, Surface::Concrete});
    }
  }
  // Landmark: a lookout tower west of the deck, with an antenna out of reach.
  l.columns.push_back({{-60.0f, -40.0f}, 3.0f, kSlabTop, 60.0f, 8, Surface::Concrete});
  l.columns.push_back({{-60.0f, -40.0f}, 8.0f, 48.0f, 56.0f, 8, Surface::FacadeC});
  l.columns.push_back({{-60.0f, -40.0f}, 0.4f, 60.0f, 78.0f, 4, Surface::Barrier, false});

  // Landmark: an arch over the start road, its posts beyond the shoulders so the verge stays open.
  l.blocks.push_back(
      {{-17.0f, kSlabTop, -421.0f}, {-15.0f, 12.5f, -419.0f}, Surface::Barrier, Surface::Concrete});
  l.blocks.push_back(
      {{15.0f, kSlabTop, -421.0f}, {17.0f, 12.5f, -419.0f}, Surface::Barrier, Surface::Concrete});
  l.blocks.push_back(
      {{-18.0f, 10.0f, -421.5f}, {18.0f, 12.5f, -418.5f}, Surface::Barrier, Surface::Concrete});
  // End wall behind the start road's embankment, and a few boundary walls.
  l.blocks.push_back(
      {{-16.0f, kSlabTop, -504.0f}, {16.0f, 2.5f, -502.0f}, Surface::Barrier, Surface::Concrete});
  l.blocks.push_back(
      {{-216.0f, kSlabTop, 90.0f}, {-215.0f, 2.5f, 200.0f}, Surface::Barrier, Surface::Concrete});
  l.blocks.push_back(
      {{170.0f, kSlabTop, 90.0f}, {171.0f, 2.5f, 330.0f}, Surface::Barrier, Surface::Concrete});
  l.blocks.push_back(
      {{-150.0f, kSlabTop, 120.0f}, {-20.0f, 2.5f, 121.0f}, Surface::Barrier, Surface::Concrete});

  // The edge of the level: the green plane's long sides, cut diagonally at the south-east and north-west
  // corners where the shadow map's volume ends (|x - z| <= 565 with the wall's thickness).
  l.boundary = {{-290.0f, -530.0f}, {32.0f, -530.0f},  {290.0f, -272.0f},
                {290.0f, 440.0f},   {-122.0f, 440.0f}, {-290.0f, 272.0f}};

  l.buildings = {
      // south west
      {{-40.0f, -380.0f}, {12.0f, 15.0f}, 18.0f, 0},
      {{-75.0f, -330.0f}, {15.0f, 12.0f}, 26.0f, 1},
      {{-45.0f, -280.0f}, {10.0f, 10.0f}, 14.0f, 2},
      {{-110.0f, -260.0f}, {18.0f, 14.0f}, 34.0f, 0},
      {{-50.0f, -200.0f}, {12.0f, 18.0f}, 22.0f, 1},
      {{-140.0f, -170.0f}, {14.0f, 14.0f}, 40.0f, 2},
      {{-60.0f, -120.0f}, {14.0f, 10.0f}, 16.0f, 0},
      {{-180.0f, -90.0f}, {16.0f, 12.0f}, 28.0f, 1},
      {{-120.0f, -60.0f}, {12.0f, 12.0f}, 20.0f, 2},
      {{-40.0f, 30.0f}, {12.0f, 14.0f}, 24.0f, 0},
      {{-200.0f, 20.0f}, {14.0f, 14.0f}, 30.0f, 2},
      {{-110.0f, 40.0f}, {16.0f, 10.0f}, 18.0f, 1},
      // south east
      {{45.0f, -350.0f}, {12.0f, 16.0f}, 20.0f, 1},
      {{90.0f, -280.0f}, {14.0f, 14.0f}, 30.0f, 2},
      {{160.0f, -230.0f}, {18.0f, 12.0f}, 24.0f, 0},
      {{50.0f, -200.0f}, {12.0f, 12.0f}, 16.0f, 0},
      {{110.0f, -150.0f}, {16.0f, 20.0f}, 45.0f, 2},
      {{200.0f, -120.0f}, {14.0f, 14.0f}, 22.0f, 1},
      {{45.0f, -90.0f}, {10.0f, 14.0f}, 18.0f, 1},
      {{140.0f, -40.0f}, {20.0f, 14.0f}, 26.0f, 0},
      {{50.0f, 10.0f}, {14.0f, 12.0f}, 32.0f, 2},
      {{220.0f, 20.0f}, {16.0f, 18.0f}, 20.0f, 2},
      {{120.0f, 50.0f}, {12.0f, 12.0f}, 14.0f, 1},
      // inside the loop
      {{45.0f, 150.0f}, {12.0f, 12.0f}, 22.0f, 0},
      {{95.0f, 170.0f}, {14.0f, 16.0f}, 30.0f, 1},
      {{40.0f, 250.0f}, {14.0f, 14.0f}, 18.0f, 2},
      {{100.0f, 260.0f}, {12.0f, 18.0f}, 26.0f, 0},
      {{60.0f, 315.0f}, {16.0f, 10.0f}, 16.0f, 1},
      {{-45.0f, 160.0f}, {12.0f, 14.0f}, 20.0f, 2},
      {{-50.0f, 240.0f}, {14.0f, 14.0f}, 28.0f, 0},
      {{-45.0f, 315.0f}, {12.0f, 10.0f}, 15.0f, 1},
      {{-140.0f, 160.0f}, {16.0f, 14.0f}, 24.0f, 1},
      {{-80.0f, 165.0f}, {12.0f, 12.0f}, 16.0f, 0},
      {{-132.0f, 314.0f}, {10.0f, 10.0f}, 12.0f, 2},
      // west
      {{-240.0f, 140.0f}, {14.0f, 20.0f}, 22.0f, 0},
      {{-245.0f, 220.0f}, {16.0f, 14.0f}, 30.0f, 2},
      {{-235.0f, 280.0f}, {10.0f, 12.0f}, 18.0f, 1},
      // north of the loop
      {{-60.0f, 395.0f}, {20.0f, 12.0f}, 20.0f, 0},
      {{40.0f, 395.0f}, {16.0f, 12.0f}, 26.0f, 1},
      {{110.0f, 400.0f}, {14.0f, 14.0f}, 18.0f, 2},
      // east
      {{200.0f, 140.0f}, {14.0f, 18.0f}, 26.0f, 1},
      {{230.0f, 230.0f}, {16.0f, 16.0f}, 34.0f, 0},
      {{195.0f, 310.0f}, {14.0f, 14.0f}, 20.0f, 2},
  };
  // Roof units on every other building: detail out of the vehicle's reach.
  for (std::size_t i = 0; i < l.buildings.size(); i += 2) {
    const Building& b = l.buildings[i];
    const float top = kSlabTop + b.height;
    const glm::vec2 c = b.centre + glm::vec2(b.halfSize.x * 0.3f, -b.halfSize.y * 0.25f);
    l.blocks.push_back({{c.x - 3.0f, top, c.y - 2.0f},
                        {c.x + 3.0f, top + 2.5f, c.y + 2.0f},
                        Surface::Concrete,
                        Surface::Roof,
                        false});
  }
  return l;
}

}  // namespace

const LevelLayout& levelLayout() {
  static const LevelLayout layout = buildLayout();
  return layout;
}

glm::vec4 nodeFootprint(const RoadNode& node) {
  return {node.centre.x - kPadHalfSize, node.centre.y - kPadHalfSize, node.centre.x + kPadHalfSize,
          node.centre.y + kPadHalfSize};
}

glm::vec4 linkFootprint(const LevelLayout& layout, const RoadLink& link) {
  const glm::vec2 a = layout.nodes[link.from].centre;
  const glm::vec2 b = layout.nodes[link.to].centre;
  const float half = kRoadWidth * 0.5f;
  if (a.y == b.y) {
    return {std::fmin(a.x, b.x) + kPadHalfSize, a.y - half, std::fmax(a.x, b.x) - kPadHalfSize, a.y + half};
  }
  return {a.x - half, std::fmin(a.y, b.y) + kPadHalfSize, a.x + half, std::fmax(a.y, b.y) - kPadHalfSize};
}

glm::vec4 spineFootprint(const SpinePiece& piece) {
  const float half = kRoadWidth * 0.5f;
  const glm::vec2 lo = glm::min(piece.from, piece.to);
  const glm::vec2 hi = glm::max(piece.from, piece.to);
  if (lo.x == hi.x) return {lo.x - half, lo.y, hi.x + half, hi.y};
  return {lo.x, lo.y - half, hi.x, hi.y + half};
}

bool insideGreenPlane(glm::vec3 p) {
  return std::fabs(p.x) <= kGreenPlaneHalfSize.x && std::fabs(p.z) <= kGreenPlaneHalfSize.y;
}

bool insideShadowVolume(glm::vec3 p) {
  // The sun's own axes, as its look-at view builds them.
  const glm::vec3 forward = glm::normalize(kSunDirection);
  const glm::vec3 right = glm::normalize(glm::cross(forward, glm::vec3(0.0f, 1.0f, 0.0f)));
  const glm::vec3 up = glm::cross(right, forward);
  const glm::vec3 offset = p - kSunEye;
  return std::fabs(glm::dot(offset, right)) <= kSunHalfExtent &&
         std::fabs(glm::dot(offset, up)) <= kSunHalfExtent;
}

}  // namespace ruvelo::level
