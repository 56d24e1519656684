#include "passes/shadow_map.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "render/model.h"
#include "render/shader.h"

namespace ruvelo {

namespace {
constexpr float kCasterOffset = 2.0f;
constexpr float kLevelOffset = 3.5f;
// A caster's rectangle is widened by this many texels on every side: rounding between our bounds
// and the rasteriser, and wireframe lines, stay inside it.
constexpr int kRectPadding = 2;
// Beyond these a partial redraw costs about what the whole map does, so the whole map is drawn.
constexpr std::size_t kMaxRects = 32;
constexpr long long kMaxAreaDivisor = 4;  // at most a quarter of the map

// Merges rectangles that overlap until none do; drops empty ones.
std::vector<TexelRect> mergeOverlapping(std::vector<TexelRect> rects) {
  rects.erase(std::remove_if(rects.begin(), rects.end(), [](const TexelRect& r) { return r.empty(); }),
              rects.end());
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::size_t i = 0; i < rects.size() && !merged; ++i) {
      for (std::size_t j = i + 1; j < rects.size(); ++j) {
        if (!overlaps(rects[i], rects[j])) continue;
        rects[i] = unite(rects[i], rects[j]);
        rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
        merged = true;
        break;
      }
    }
  }
  return rects;
}
}  // namespace

bool overlaps(const TexelRect& a, const TexelRect& b) {
  return !a.empty() && !b.empty() && a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

TexelRect unite(const TexelRect& a, const TexelRect& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

namespace {
// Every texel the box lo..hi can cover in a size × size map through `toClip` (see casterTexels).
TexelRect boxTexels(const glm::mat4& toClip, const glm::vec3& lo, const glm::vec3& hi, int size) {
  float minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (int corner = 0; corner < 8; ++corner) {
    const glm::vec3 local((corner & 1) ? hi.x : lo.x, (corner & 2) ? hi.y : lo.y, (corner & 4) ? hi.z : lo.z);
    const glm::vec4 clip = toClip * glm::vec4(local, 1.0f);
    // The light's projection is orthographic: w stays 1 for any affine model matrix.
    const float x = (clip.x / clip.w * 0.5f + 0.5f) * static_cast<float>(size);
    const float y = (clip.y / clip.w * 0.5f + 0.5f) * static_cast<float>(size);
    // A matrix that is not finite could put the caster anywhere: claim the whole map.
    if (!std::isfinite(x) || !std::isfinite(y)) return {0, 0, size, size};
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
  // Clamp in float first so far-away casters cannot overflow the conversion.
  const float limit = static_cast<float>(size);
  auto clampTexel = [limit](float v) { return static_cast<int>(std::clamp(v, 0.0f, limit)); };
  TexelRect rect;
  rect.x0 = clampTexel(std::floor(minX) - kRectPadding);
  rect.y0 = clampTexel(std::floor(minY) - kRectPadding);
  rect.x1 = clampTexel(std::ceil(maxX) + kRectPadding);
  rect.y1 = clampTexel(std::ceil(maxY) + kRectPadding);
  return rect;
}
}  // namespace

TexelRect casterTexels(const ModelAsset& asset, const glm::mat4& matrix, int size, const Sun& sun) {
  if (asset.meshes().empty()) return {};
  return boxTexels(lightSpaceMatrix(sun) * matrix, asset.localMin(), asset.localMax(), size);
}

glm::mat4 lightProjection(const Sun& sun) {
  const float h = sun.halfExtent;
  return glm::ortho(-h, h, -h, h, sun.nearPlane, sun.farPlane);
}

glm::mat4 lightView(const Sun& sun) {
  return glm::lookAt(sun.eye, sun.eye + sun.direction, glm::vec3(0.0f, 1.0f, 0.0f));
}

glm::mat4 lightSpaceMatrix(const Sun& sun) {
  return lightProjection(sun) * lightView(sun);
}

namespace {
// A size × size depth texture (nearest) and a depth-only framebuffer holding it.
void makeDepthTarget(int size, GlTexture& texture, GlFramebuffer& framebuffer) {
  texture = GlTexture::generate();
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, size, size, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  framebuffer = GlFramebuffer::generate();
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, texture.get(), 0);
  glDrawBuffer(GL_NONE);
  glReadBuffer(GL_NONE);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

TexelRect intersect(const TexelRect& a, const TexelRect& b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

bool contains(const TexelRect& outer, const TexelRect& inner) {
  return outer.x0 <= inner.x0 && outer.y0 <= inner.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1;
}
}  // namespace

ShadowMap::ShadowMap(const Sun& sun, int size, int tileSize)
    : sun_(sun), size_(size), tileSize_(std::clamp(tileSize, 1, size)) {
  makeDepthTarget(size, texture_, framebuffer_);
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  // The lit programs read it through a comparison sampler: the texture unit compares the four texels
  // around a point and blends the results, cheaper than a gather and the same sums in the shader.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  makeDepthTarget(tileSize_, tileTexture_, tileFramebuffer_);
}

void ShadowMap::clearOnly() {
  glViewport(0, 0, size_, size_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_.get());
  glClear(GL_DEPTH_BUFFER_BIT);
  valid_ = false;
}

bool ShadowMap::RasterState::operator==(const RasterState& o) const {
  return raster == o.raster && program == o.program;
}

ShadowMap::RasterState ShadowMap::currentRasterState(const Shader& depthProgram) {
  gl_state::Raster raster = gl_state::raster();
  raster.blend = false;  // a depth-only draw is the same with or without blending
  return RasterState{raster, depthProgram.program()};
}

std::vector<ShadowMap::DrawnCaster> ShadowMap::describe(const ShadowCasters& casters) const {
  std::vector<DrawnCaster> list;
  for (const ShadowCaster& caster : casters) {
    if (caster.asset == nullptr) continue;
    DrawnCaster drawn;
    drawn.key = caster.key;
    drawn.asset = caster.asset;
    // The level is large and sloped: a stronger offset keeps its own surface from self-shadowing.
    drawn.offsetFactor = caster.sloped ? kLevelOffset : kCasterOffset;
    drawn.matrix = caster.matrix;
    drawn.rect = casterTexels(*caster.asset, caster.matrix, size_, sun_);
    const auto before = std::find_if(drawn_.begin(), drawn_.end(), [&](const DrawnCaster& c) {
      return c.key == drawn.key && c.asset == drawn.asset && c.matrix == drawn.matrix;
    });
    if (before != drawn_.end()) {
      drawn.runRects = before->runRects;
    } else {
      const glm::mat4 toClip = lightSpaceMatrix(sun_) * drawn.matrix;
      auto rects = std::make_shared<std::vector<TexelRect>>();
      for (const TriangleRun& run : caster.asset->triangleRuns())
        rects->push_back(boxTexels(toClip, run.localMin, run.localMax, size_));
      drawn.runRects = std::move(rects);
    }
    list.push_back(std::move(drawn));
  }
  return list;
}

bool ShadowMap::changedRects(const std::vector<DrawnCaster>& now, std::vector<TexelRect>& rects) const {
  // An asset drawn under a key that named another asset before counts as a new caster.
  auto find = [](const std::vector<DrawnCaster>& list, const DrawnCaster& caster) {
    return std::find_if(list.begin(), list.end(), [&caster](const DrawnCaster& c) {
      return c.key == caster.key && c.asset == caster.asset;
    });
  };
  std::vector<TexelRect> dirty;
  for (const DrawnCaster& caster : now) {
    const auto before = find(drawn_, caster);
    if (before == drawn_.end()) {
      dirty.push_back(caster.rect);  // appeared
    } else if (before->offsetFactor != caster.offsetFactor || before->matrix != caster.matrix) {
      dirty.push_back(before->rect);  // moved or turned: where it was and where it is
      dirty.push_back(caster.rect);
    }
  }
  for (const DrawnCaster& caster : drawn_)
    if (find(now, caster) == now.end()) dirty.push_back(caster.rect);  // vanished

  rects = mergeOverlapping(std::move(dirty));
  if (rects.size() > kMaxRects) return false;
  long long area = 0;
  for (const TexelRect& rect : rects) area += rect.area();
  return area <= static_cast<long long>(size_) * size_ / kMaxAreaDivisor;
}

void ShadowMap::drawRegions(const Shader& depthProgram, const std::vector<DrawnCaster>& casters,
                            const std::vector<TexelRect>& regions) const {
  depthProgram.use();
  depthProgram.setMat4("projMatrix", lightProjection(sun_));
  depthProgram.setMat4("viewMatrix", lightView(sun_));
  glBindFramebuffer(GL_FRAMEBUFFER, tileFramebuffer_.get());
  glEnable(GL_SCISSOR_TEST);
  glEnable(GL_POLYGON_OFFSET_FILL);
  // A copy out of the tile target makes a software driver finish all that was drawn on it first.
  // Parts are therefore copied only when the next one would be drawn over one of them on the target,
  // and at the end: the few small parts of a changed-only pass share one such wait.
  std::vector<TileCopy> pending;
  const int t = tileSize_;
  for (const TexelRect& region : regions) {
    if (region.empty()) continue;
    for (int ty = region.y0 / t; ty <= (region.y1 - 1) / t; ++ty) {
      for (int tx = region.x0 / t; tx <= (region.x1 - 1) / t; ++tx) {
        const TexelRect tile{tx * t, ty * t, std::min(tx * t + t, size_), std::min(ty * t + t, size_)};
        const TexelRect part = intersect(region, tile);
        if (part.empty()) continue;
        const TileCopy copy{
            TexelRect{part.x0 - tile.x0, part.y0 - tile.y0, part.x1 - tile.x0, part.y1 - tile.y0}, part};
        if (std::any_of(pending.begin(), pending.end(),
                        [&](const TileCopy& p) { return overlaps(p.onTarget, copy.onTarget); }))
          copyIntoMap(pending);
        drawTilePart(depthProgram, casters, tile, copy);
        pending.push_back(copy);
      }
    }
  }
  copyIntoMap(pending);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_SCISSOR_TEST);
}

void ShadowMap::drawTilePart(const Shader& depthProgram, const std::vector<DrawnCaster>& casters,
                             const TexelRect& tile, const TileCopy& part) const {
  // The whole map's viewport, moved so that this tile's texels fall on the tile target.
  glViewport(-tile.x0, -tile.y0, size_, size_);
  const TexelRect& onTarget = part.onTarget;
  glScissor(onTarget.x0, onTarget.y0, onTarget.x1 - onTarget.x0, onTarget.y1 - onTarget.y0);
  glClear(GL_DEPTH_BUFFER_BIT);
  for (const DrawnCaster& caster : casters) {
    if (!overlaps(caster.rect, part.inMap)) continue;
    glPolygonOffset(caster.offsetFactor, 1.0f);
    drawRunsTouching(depthProgram, caster, part.inMap);
  }
}

void ShadowMap::copyIntoMap(std::vector<TileCopy>& copies) const {
  for (const TileCopy& c : copies)
    glCopyImageSubData(tileTexture_.get(), GL_TEXTURE_2D, 0, c.onTarget.x0, c.onTarget.y0, 0, texture_.get(),
                       GL_TEXTURE_2D, 0, c.inMap.x0, c.inMap.y0, 0, c.inMap.x1 - c.inMap.x0,
                       c.inMap.y1 - c.inMap.y0, 1);
  copies.clear();
}

void ShadowMap::drawRunsTouching(const Shader& depthProgram, const DrawnCaster& caster,
                                 const TexelRect& part) {
  // A run off the part writes none of its texels, and with a nearest-wins depth test the texels it
  // does write do not depend on what else is drawn: skipping the others changes nothing. Runs next
  // to each other in one mesh go in one draw.
  const ModelAsset& asset = *caster.asset;
  if (contains(part, caster.rect)) {
    asset.drawWithProgram(depthProgram, caster.matrix);  // every run touches it
    return;
  }
  const std::vector<TriangleRun>& runs = asset.triangleRuns();
  const TriangleRun* pending = nullptr;
  unsigned pendingCount = 0;
  auto flush = [&] {
    if (pending != nullptr)
      asset.drawIndicesWithProgram(depthProgram, caster.matrix, pending->mesh, pending->firstIndex,
                                   pendingCount);
    pending = nullptr;
  };
  for (size_t i = 0; i < runs.size(); ++i) {
    if (!overlaps((*caster.runRects)[i], part)) continue;
    const TriangleRun& run = runs[i];
    if (pending != nullptr && pending->mesh == run.mesh &&
        pending->firstIndex + pendingCount == run.firstIndex) {
      pendingCount += run.indexCount;
      continue;
    }
    flush();
    pending = &run;
    pendingCount = run.indexCount;
  }
  flush();
}

void ShadowMap::renderDepthPass(const Shader& depthProgram, const ShadowCasters& casters) {
  std::vector<DrawnCaster> now = describe(casters);
  drawRegions(depthProgram, now, {TexelRect{0, 0, size_, size_}});
  drawnState_ = currentRasterState(depthProgram);
  drawn_ = std::move(now);
  valid_ = true;
  lastUpdate_ = ShadowUpdate{};
}

void ShadowMap::renderChangedDepthPass(const Shader& depthProgram, const ShadowCasters& casters) {
  std::vector<DrawnCaster> now = describe(casters);
  const RasterState state = currentRasterState(depthProgram);
  std::vector<TexelRect> rects;
  // Only with a nearest-wins depth test does a texel's value not depend on which caster came first.
  const bool orderFree = state.raster.depthFunc == GL_LESS || state.raster.depthFunc == GL_LEQUAL;
  if (!valid_ || !orderFree || !(state == drawnState_) || !changedRects(now, rects)) {
    renderDepthPass(depthProgram, casters);
    return;
  }

  drawRegions(depthProgram, now, rects);
  drawn_ = std::move(now);
  lastUpdate_.full = false;
  lastUpdate_.rects = std::move(rects);
}

void ShadowMap::bindUnits(const Shader& program, int shadowUnit, int cubeUnit, GLuint cubeMap) const {
  program.use();
  program.setInt("shadowMap", shadowUnit);
  program.setMat4("lightSpaceMatrix", lightSpaceMatrix(sun_));
  glActiveTexture(GL_TEXTURE0 + shadowUnit);
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  if (cubeUnit >= 0) {
    program.setInt("cubemap", cubeUnit);
    glActiveTexture(GL_TEXTURE0 + cubeUnit);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMap);
  }
}

void ShadowMap::bindForPhong(const Shader& program) const {
  bindUnits(program, 2, -1, 0);
}

void ShadowMap::bindForPhongEnvironment(const Shader& program, GLuint cubeMap) const {
  bindUnits(program, 2, 3, cubeMap);
}

void ShadowMap::bindForPhongPhong(const Shader& program, GLuint cubeMap) const {
  bindUnits(program, 0, 1, cubeMap);
}

}  // namespace ruvelo
