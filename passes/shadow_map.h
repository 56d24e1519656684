// The directional light's shadow map: the depth texture and its framebuffer, the light matrices,
// the depth pass over the shadow casters, and the shadow/cube-map bindings of the lit programs.
#pragma once

#include <GL/glew.h>

#include <glm/glm.hpp>
#include <memory>
#include <vector>

#include "render/gl_handles.h"
#include "render/gl_state.h"
#include "render/light.h"

namespace ruvelo {

class ModelAsset;
class Shader;

// The game's shadow-map resolution (texels per side).
constexpr int kShadowMapSize = 10048;
// Side of the tiles the map is drawn in (see ShadowMap).
constexpr int kShadowTileSize = 2048;

// The sun's orthographic projection: x and y in ±halfExtent, depth nearPlane to farPlane.
glm::mat4 lightProjection(const Sun& sun);
// Look-at from the sun's eye along its direction, up (0, 1, 0).
glm::mat4 lightView(const Sun& sun);
// lightProjection() × lightView().
glm::mat4 lightSpaceMatrix(const Sun& sun);

// One thing that casts a shadow: its asset where it stands now, and the key that names it from
// frame to frame (the changed-only pass tells moved casters from new ones by it). A sloped caster
// (the level) is drawn with a stronger depth offset.
struct ShadowCaster {
  int key = 0;
  const ModelAsset* asset = nullptr;
  glm::mat4 matrix{1.0f};
  bool sloped = false;
};
// In drawing order; each key at most once.
using ShadowCasters = std::vector<ShadowCaster>;

// A rectangle of shadow-map texels: columns [x0, x1), rows [y0, y1).
struct TexelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x1 <= x0 || y1 <= y0; }
  long long area() const { return empty() ? 0 : static_cast<long long>(x1 - x0) * (y1 - y0); }
};
bool overlaps(const TexelRect& a, const TexelRect& b);
// The smallest rectangle holding both (an empty one adds nothing).
TexelRect unite(const TexelRect& a, const TexelRect& b);

// Every texel `asset` at `matrix` can cover in a size × size map: its local bounds under the matrix,
// through the light, padded by two texels and clamped to the map (empty when off it).
TexelRect casterTexels(const ModelAsset& asset, const glm::mat4& matrix, int size, const Sun& sun);

// What the last depth pass did: the whole map, or only these rectangles (cleared and redrawn).
struct ShadowUpdate {
  bool full = true;
  std::vector<TexelRect> rects;
};

// The map is drawn in tiles of a fixed grid, each through a small tile target and copied into the
// map. A software rasteriser pays for every tile of a target each time it draws into it, whatever is
// drawn: a few changed texels drawn straight into the 10048² map cost a frame about 6 ms, through
// the tile target next to nothing. Each texel is always rasterised with its own tile's viewport, for
// the whole map as for a changed rectangle: a moved viewport rounds positions differently, and this
// is what keeps a changed-only pass exactly equal to a whole one.
class ShadowMap {
 public:
  // A size × size GL_DEPTH_COMPONENT float map (linear depth comparison, repeat), its depth-only
  // framebuffer, and the tile target (tileSize², at most the map's size), drawn from `sun`.
  explicit ShadowMap(const Sun& sun, int size = kShadowMapSize, int tileSize = kShadowTileSize);

  // Sets "projMatrix"/"viewMatrix" on the depth program, then clears the map and draws the casters
  // with polygon offset (2, 1), sloped ones with (3.5, 1), tile by tile. Leaves the tile framebuffer
  // bound and the viewport moved: the caller binds its next target and viewport.
  void renderDepthPass(const Shader& depthProgram, const ShadowCasters& casters);

  // The same result texel for texel, redrawing only where a caster moved, turned, appeared or
  // vanished since the last pass: the union of its old and new rectangles is cleared under a
  // scissor and every caster touching it is drawn again, in the same order and with the same
  // offsets. Falls back to the whole map on the first pass, after clearOnly(), when the raster state
  // changed (polygon mode, culling, depth test) or when the changes are too many or too large.
  void renderChangedDepthPass(const Shader& depthProgram, const ShadowCasters& casters);

  // Binds the map's framebuffer at the map's size and clears it, drawing nothing (the benchmark
  // floor of a frame). The next changed-only pass draws the whole map.
  void clearOnly();

  const ShadowUpdate& lastUpdate() const { return lastUpdate_; }

  // Lit-pass bindings; each makes `program` current. phong: map on unit 2. phongEnvironment: map on
  // unit 2, cube map on 3. phongPhong: map on unit 0, cube map on 1.
  void bindForPhong(const Shader& program) const;
  void bindForPhongEnvironment(const Shader& program, GLuint cubeMap) const;
  void bindForPhongPhong(const Shader& program, GLuint cubeMap) const;

  int size() const { return size_; }
  GLuint texture() const { return texture_.get(); }
  GLuint framebuffer() const { return framebuffer_.get(); }

 private:
  // One caster as it was drawn: its key, asset, offset factor, matrix and texels, the whole model's
  // and each triangle run's (in the asset's order; shared with the next frame while the caster stays).
  struct DrawnCaster {
    int key = 0;
    const ModelAsset* asset = nullptr;
    float offsetFactor = 0.0f;
    glm::mat4 matrix{1.0f};
    TexelRect rect;
    std::shared_ptr<const std::vector<TexelRect>> runRects;
  };
  // GL state that changes what a draw rasterises; a change means the whole map is redrawn.
  struct RasterState {
    gl_state::Raster raster;
    GLuint program = 0;
    bool operator==(const RasterState& o) const;
  };

  static RasterState currentRasterState(const Shader& depthProgram);
  std::vector<DrawnCaster> describe(const ShadowCasters& casters) const;
  // The rectangles to redraw, merged; false when the bookkeeping cannot vouch for a partial redraw.
  bool changedRects(const std::vector<DrawnCaster>& now, std::vector<TexelRect>& rects) const;
  // Clears `regions` of the map and draws the casters touching them, tile by tile through the tile
  // target, with the depth program's light matrices set.
  void drawRegions(const Shader& depthProgram, const std::vector<DrawnCaster>& casters,
                   const std::vector<TexelRect>& regions) const;
  // A part of one tile: where it lies on the tile target and in the map.
  struct TileCopy {
    TexelRect onTarget;
    TexelRect inMap;
  };
  // Clears `part` of `tile` on the tile target and draws the triangle runs touching it; the tile
  // target bound, scissor and polygon offset on.
  void drawTilePart(const Shader& depthProgram, const std::vector<DrawnCaster>& casters,
                    const TexelRect& tile, const TileCopy& part) const;
  // Copies each part from the tile target into the map, and empties the list.
  void copyIntoMap(std::vector<TileCopy>& copies) const;
  // Draws the caster's triangle runs whose texels meet `part`.
  static void drawRunsTouching(const Shader& depthProgram, const DrawnCaster& caster, const TexelRect& part);
  void bindUnits(const Shader& program, int shadowUnit, int cubeUnit, GLuint cubeMap) const;

  Sun sun_;
  int size_;
  int tileSize_;
  GlTexture texture_;
  GlFramebuffer framebuffer_;
  GlTexture tileTexture_;
  GlFramebuffer tileFramebuffer_;
  // What the map holds: valid_ once a whole pass has been drawn and nothing else wrote to it since.
  bool valid_ = false;
  RasterState drawnState_;
  std::vector<DrawnCaster> drawn_;
  ShadowUpdate lastUpdate_;
};

}  // namespace ruvelo
