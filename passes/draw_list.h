// What one frame draws, as plain data the app builds and every pass walks: which asset, where, the
// culling centre, and which passes the item takes part in. No GL here: a list can be built and
// checked without a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "passes/frustum.h"

namespace ruvelo {

// A model the renderer loaded, as Renderer::loadModel handed it out; items refer to models by it.
// kNoAsset (or any handle the renderer never gave) draws nothing.
using AssetHandle = int;
constexpr AssetHandle kNoAsset = -1;

// The lit programs an asset's meshes are drawn with.
enum class MaterialKind : uint8_t { White, Blue, Environment };

// One model file to load: its path and its material.
struct AssetFile {
  std::string path;
  MaterialKind material;
};

// What an item takes part in.
enum DrawFlag : unsigned {
  kCastsShadow = 1u << 0,   // drawn into the shadow map
  kSlopedCaster = 1u << 1,  // a large sloped caster: a stronger depth offset keeps it off itself
  kCulled = 1u << 2,        // skipped by the lit pass when its sphere is outside the frustum
  kCounted = 1u << 3,       // counts in the HUD's objects drawn
  kDrawnLast = 1u << 4,     // lit after every other item (the finish lines' program binds its own units)
  // See-through at the item's opacity: left out of the lit pass and drawn by the translucent pass
  // (after the sky), depth-tested against the scene but writing no depth. It casts no shadow and is
  // never counted, whatever its other flags say.
  kTranslucent = 1u << 5,
};

struct DrawItem {
  AssetHandle asset = kNoAsset;
  int key = 0;  // the same item has the same key from frame to frame
  glm::mat4 matrix{1.0f};
  glm::vec3 centre{0.0f};  // of the culling sphere; the radius follows from the asset and the matrix
  unsigned flags = 0;
  int shadowOrder = 0;   // casters are drawn into the shadow map by this rank, then in list order
  float opacity = 1.0f;  // of a translucent item

  bool has(DrawFlag flag) const { return (flags & flag) != 0; }
};

// Items in the lit pass's order.
struct DrawList {
  std::vector<DrawItem> items;
  Frustum frustum;  // of the camera the lit pass culls against
  bool culling = true;
};

}  // namespace ruvelo
