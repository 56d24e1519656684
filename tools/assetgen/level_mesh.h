// Turns the level layout into the render and collision models. Both are built in world coordinates
// from one list of solids and then written in the level's model frame.
#pragma once

#include <vector>

#include <glm/glm.hpp>

#include "level/level_layout.h"
#include "tools/assetgen/mesh_data.h"

namespace ruvelo::assets {

using namespace ruvelo::level;  // the layout the generator turns into files

// y = height + dot(gradient, p − origin) over the ground position p = (x, z).
struct HeightPlane {
  glm::vec2 origin{0.0f};
  float height = 0.0f;
  glm::vec2 gradient{0.0f};

  float at(glm::vec2 p) const { return height + glm::dot(gradient, p - origin); }
  static HeightPlane flat(float y) { return {{0.0f, 0.0f}, y, {0.0f, 0.0f}}; }
};

// A convex footprint extruded vertically between two planes. Side faces are vertical; a side can
// be left open where a neighbouring solid covers it.
struct Solid {
  std::vector<glm::vec2> footprint;  // (x, z), counter-clockwise seen from above
  HeightPlane top;
  HeightPlane bottom;
  Surface topSurface = Surface::Concrete;
  Surface sideSurface = Surface::Concrete;
  Surface bottomSurface = Surface::Concrete;
  bool withBottom = false;      // solids on the slab have no underside
  std::vector<bool> openSides;  // per edge i → i+1; empty = all closed
  bool roadMapping = false;     // top texture runs along `along` with u across the road width
  glm::vec2 along{0.0f, 1.0f};
  glm::vec2 roadOrigin{0.0f};  // a point on the road's centre line
  bool collides = true;
  // Road edges that meet the slab through an embankment (kShoulderWidth wide) instead of a side face.
  std::vector<bool> shoulders;
  // Open edges towards a walled ramp: the shoulders beside them end in a rounded slope.
  std::vector<bool> roundedEnds;
};

// One planar face of an embankment, in world coordinates.
struct SlopeFace {
  std::vector<glm::vec3> points;  // a convex polygon
  std::vector<glm::vec2> uvs;
  Surface surface = Surface::Grass;
};

// Every solid of the level, in world coordinates.
std::vector<Solid> levelSolids(const LevelLayout& layout);

// The embankments of the solids' shouldered edges: a kerb band, then grass down to the slab, with
// fans around outer corners. Neighbouring embankments overlap where roads meet pads; the higher one
// is the surface there.
std::vector<SlopeFace> shoulderFaces(const std::vector<Solid>& solids);

// Appends the faces of one solid (world coordinates, texture coordinates in metres per surface tile).
// `materialOverride` puts every face into one material (the collision model's).
void addSolid(MeshBuilder& builder, const Solid& solid, const char* materialOverride = nullptr);

// The models, still in world coordinates.
ModelData buildLevelRenderWorld(const LevelLayout& layout);
ModelData buildLevelCollisionWorld(const LevelLayout& layout);

// The same, in the level's model frame (inverse of translate(0, 0, 200) × scale(2)), as written.
ModelData buildLevelRenderModel(const LevelLayout& layout);
ModelData buildLevelCollisionModel(const LevelLayout& layout);

}  // namespace ruvelo::assets
