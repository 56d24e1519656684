// The level as data, in world coordinates (metres, y up): the road network, the elevated deck with its
// ramps, decoration, and the item positions the game fixes. level_mesh turns it into models.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <glm/glm.hpp>

namespace ruvelo::level {

constexpr float kSlabTop = 0.5f;                          // the base slab and the green plane
constexpr glm::vec2 kGreenPlaneHalfSize{300.0f, 800.0f};  // the green plane spans ±x, ±z around the origin
constexpr float kRoadTop = 1.3f;   // raised roads lift the vehicle's actor clear of the off-road height
constexpr float kDeckTop = 15.5f;  // the elevated deck carrying batteries 1 and 3
constexpr float kDeckThickness = 1.0f;
constexpr float kRoadWidth = 16.0f;
constexpr float kPadHalfSize = 14.0f;  // junction pads: octagons wider than the roads so turns have room
constexpr float kPadCut = 6.0f;        // corner cut of a pad; the flat sides equal the road width
// Roads, pads and the ground ends of the main road meet the slab with an embankment this wide instead of
// a vertical side, so a vehicle that left a road can climb back anywhere: atan(0.8 / 6) ≈ 7.6°.
constexpr float kShoulderWidth = 6.0f;
// Side walls on the ramps and the deck: taller than the chassis stands (its box reaches 3 m above the
// surface under the wheels) and above where the suspension rays start (1.3 m), so the body meets the
// wall and no wheel finds a top it could climb.
constexpr float kWallHeight = 3.5f;
constexpr float kWallThickness = 0.5f;
// The level's edge: a wall round it that no vehicle passes or climbs, inside the green plane (so the
// ground is drawn out to it) and inside the shadow map's volume.
constexpr float kBoundaryHeight = 5.0f;  // above the slab
constexpr float kBoundaryThickness = 2.0f;

// Where the level stands: world = translate(kLevelPosition) × scale(kLevelScale) × model, for the
// drawn model and the collision mesh alike.
constexpr glm::vec3 kLevelPosition{0.0f, 0.0f, 200.0f};
constexpr float kLevelScale = 2.0f;
glm::vec3 levelWorldToModel(glm::vec3 world);
glm::vec3 levelModelToWorld(glm::vec3 model);

enum class Surface { Road, Asphalt, Kerb, Concrete, Barrier, FacadeA, FacadeB, FacadeC, Roof, Grass };

// A junction pad (octagon at road height) centred on a node of the network.
struct RoadNode {
  std::string name;
  glm::vec2 centre;  // (x, z)
};

// A ground road between two nodes; the nodes share x or z.
struct RoadLink {
  int from;
  int to;
};

// One straight piece of the main road from the start over the deck, with its end heights.
struct SpinePiece {
  glm::vec2 from;
  glm::vec2 to;
  float heightFrom;
  float heightTo;
  bool elevated;  // a deck slab on pillars instead of an embankment down to the slab
  bool sideWalls;
};

// An axis-aligned box standing on or above the ground.
struct Block {
  glm::vec3 min;
  glm::vec3 max;
  Surface side;
  Surface top;
  bool collides = true;  // false: out of reach (roof units, antenna), drawn only
};

// A vertical prism with a regular polygon footprint (pillars, the tower).
struct Column {
  glm::vec2 centre;
  float radius;
  float bottom;
  float top;
  int sides;
  Surface side;
  bool collides = true;
};

struct Building {
  glm::vec2 centre;
  glm::vec2 halfSize;
  float height;  // above the slab
  int facade;    // 0..2
};

// The vehicle's actor rests this far above the surface under its wheels (wheel centres 1.5 below it,
// radius 0.5). At or below kOffRoadHeight it is off the roads and power drains ten times as fast:
// the slab is off-road, every road lifts the vehicle clear of it.
constexpr float kActorRideHeight = 2.0f;
constexpr float kOffRoadHeight = 2.6f;
static_assert(kSlabTop + kActorRideHeight < kOffRoadHeight && kOffRoadHeight < kRoadTop + kActorRideHeight,
              "the slab must be off-road and the roads on it");

// The level's collision mesh, in the data folder's model/ folder; never drawn.
constexpr const char* kCollisionModelFile = "level1PhysXFinal.obj";

// The sun the shadow map is drawn from: an orthographic view from kSunEye along kSunDirection (up
// +y), kSunHalfExtent to every side, depths kSunNear to kSunFar.
constexpr glm::vec3 kSunEye{300.0f, 300.0f, 300.0f};
constexpr glm::vec3 kSunDirection{-1.0f, -1.0f, -1.0f};
constexpr float kSunHalfExtent = 400.0f;
constexpr float kSunNear = 1.0f;
constexpr float kSunFar = 1000.5f;

// How many of each item the level holds.
constexpr int kBatteryCount = 5;
constexpr int kZoneCount = 3;
constexpr int kConeCount = 5;

// The items' fixed world positions.
struct LevelItems {
  glm::vec3 start{0.0f, kRoadTop + kActorRideHeight, -450.0f};  // on the start road, facing +z
  std::array<glm::vec3, kBatteryCount> batteries{};             // batteries 1..5
  std::array<glm::vec3, kZoneCount> zones{};                    // zones 1..3 (trigger box centres)
  std::array<bool, kZoneCount> zoneRotated{};                   // turned a quarter about y
  std::array<glm::vec3, kZoneCount> zoneGates{};  // where the finish-line gates stand, on the ground
  std::array<glm::vec3, kConeCount> cones{};
};

constexpr glm::vec3 kZoneHalfExtents{10.0f, 15.0f, 2.0f};
constexpr float kBatteryHalfExtent = 2.0f;

struct LevelLayout {
  std::vector<RoadNode> nodes;
  std::vector<RoadLink> links;
  std::vector<SpinePiece> spine;  // in driving order from the start; the last piece ends at spineEndNode
  int spineEndNode = 0;
  std::vector<Building> buildings;
  std::vector<Block> blocks;    // landmarks, walls, roof units
  std::vector<Column> columns;  // deck pillars, tower
  // The inside faces of the edge wall as a convex polygon (x, z), counter-clockwise seen from above;
  // the wall stands outside it.
  std::vector<glm::vec2> boundary;
  LevelItems items;
};

const LevelLayout& levelLayout();

// World-space rectangle (min x, min z, max x, max z) that a road link or spine piece covers.
glm::vec4 linkFootprint(const LevelLayout& layout, const RoadLink& link);
glm::vec4 spineFootprint(const SpinePiece& piece);
glm::vec4 nodeFootprint(const RoadNode& node);  // the pad's bounding square

// Inside the green plane, and inside the sun's square across its direction (what the shadow map covers).
bool insideGreenPlane(glm::vec3 world);
bool insideShadowVolume(glm::vec3 world);

}  // namespace ruvelo::level
