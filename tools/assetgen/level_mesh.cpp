#include "tools/assetgen/level_mesh.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace ruvelo::assets {

namespace {

struct SurfaceStyle {
  const char* material;
  const char* texture;
  float tileU;  // metres per texture repeat along
  float tileV;  // metres per repeat up (sides) or across (tops)
};

SurfaceStyle style(Surface s) {
  switch (s) {
    case Surface::Road:
      return {"road", "road.png", kRoadWidth, 16.0f};
    case Surface::Asphalt:
      return {"asphalt", "asphalt.png", 8.0f, 8.0f};
    case Surface::Kerb:
      return {"kerb", "kerb.png", 2.0f, 1.0f};
    case Surface::Concrete:
      return {"concrete", "concrete.png", 4.0f, 4.0f};
    case Surface::Barrier:
      return {"barrier", "barrier.png", 4.0f, 1.0f};
    case Surface::FacadeA:
      return {"facade_a", "facade_a.png", 8.0f, 8.0f};
    case Surface::FacadeB:
      return {"facade_b", "facade_b.png", 8.0f, 8.0f};
    case Surface::FacadeC:
      return {"facade_c", "facade_c.png", 8.0f, 8.0f};
    case Surface::Roof:
      return {"roof", "roof.png", 8.0f, 8.0f};
    case Surface::Grass:
      return {"verge", "grass.png", 4.0f, 4.0f};  // the green plane's 4 m tiles, so verge and plane match
  }
  throw std::logic_error("unknown surface");
}

constexpr const char* kCollisionMaterial = "collision";
// Width of the kerb stripes painted along the top of an embankment.
constexpr float kKerbBand = 1.0f;
constexpr float kPi = 3.14159265f;

void addAllMaterials(MeshBuilder& builder) {
  for (Surface s : {Surface::Road, Surface::Asphalt, Surface::Kerb, Surface::Concrete, Surface::Barrier,
                    Surface::FacadeA, Surface::FacadeB, Surface::FacadeC, Surface::Roof, Surface::Grass}) {
    const SurfaceStyle st = style(s);
    builder.addMaterial({st.material, st.texture, glm::vec3(0.8f)});
  }
}

glm::vec3 planeNormal(const HeightPlane& plane) {
  return glm::normalize(glm::vec3(-plane.gradient.x, 1.0f, -plane.gradient.y));
}

std::vector<glm::vec2> rectangle(glm::vec4 r) {
  return {{r.x, r.y}, {r.z, r.y}, {r.z, r.w}, {r.x, r.w}};
}

std::vector<glm::vec2> octagon(glm::vec2 c, float half, float cut) {
  // Edges: 0 east, 1 north-east, 2 north (+z), 3 north-west, 4 west, 5 south-west, 6 south, 7 south-east.
  return {c + glm::vec2(half, -half + cut),  c + glm::vec2(half, half - cut),
          c + glm::vec2(half - cut, half),   c + glm::vec2(-half + cut, half),
          c + glm::vec2(-half, half - cut),  c + glm::vec2(-half, -half + cut),
          c + glm::vec2(-half + cut, -half), c + glm::vec2(half - cut, -half)};
}

std::vector<glm::vec2> regularPolygon(glm::vec2 c, float radius, int sides) {
  std::vector<glm::vec2> out;
  const float start = sides == 4 ? 0.785398163f : 0.0f;  // squares axis-aligned
  for (int i = 0; i < sides; ++i) {
    const float a = start + 6.28318531f * static_cast<float>(i) / static_cast<float>(sides);
    out.push_back(c + radius * glm::vec2(std::cos(a), std::sin(a)));
  }
  return out;
}

Solid blockSolid(const Block& b) {
  Solid s;
  s.footprint = rectangle({b.min.x, b.min.z, b.max.x, b.max.z});
  s.top = HeightPlane::flat(b.max.y);
  s.bottom = HeightPlane::flat(b.min.y);
  s.topSurface = b.top;
  s.sideSurface = b.side;
  s.bottomSurface = b.side;
  s.withBottom = b.min.y > kSlabTop + 1e-3f;
  s.collides = b.collides;
  return s;
}

// A rectangle along a straight road piece from `a` to `b`, offset sideways by [left, right] from the
// centre line (positive to the +x side of a road running towards +z).
std::vector<glm::vec2> strip(glm::vec2 a, glm::vec2 b, float left, float right) {
  const glm::vec2 dir = glm::normalize(b - a);
  const glm::vec2 side(dir.y, -dir.x);
  // Counter-clockwise seen from above is fixed later by the builder's winding check.
  return {a + side * left, b + side * left, b + side * right, a + side * right};
}

HeightPlane slopeBetween(glm::vec2 a, glm::vec2 b, float ha, float hb) {
  const glm::vec2 d = b - a;
  const float len2 = glm::dot(d, d);
  return {a, ha, d * ((hb - ha) / len2)};
}

void addRoadSpine(std::vector<Solid>& out, const LevelLayout& layout) {
  const float half = kRoadWidth * 0.5f;
  const auto& spine = layout.spine;
  for (std::size_t i = 0; i < spine.size(); ++i) {
    const SpinePiece& p = spine[i];
    Solid s;
    s.footprint = strip(p.from, p.to, -half, half);  // edges: 0 side, 1 end (to), 2 side, 3 start (from)
    s.top = slopeBetween(p.from, p.to, p.heightFrom, p.heightTo);
    s.bottom = p.elevated ? HeightPlane{s.top.origin, s.top.height - kDeckThickness, s.top.gradient}
                          : HeightPlane::flat(kSlabTop);
    s.topSurface = Surface::Road;
    const bool tall = std::fmax(p.heightFrom, p.heightTo) > kRoadTop + 0.01f;
    s.sideSurface = tall ? Surface::Concrete : Surface::Kerb;
    s.bottomSurface = Surface::Concrete;
    s.withBottom = p.elevated;
    s.roadMapping = true;
    s.along = glm::normalize(p.to - p.from);
    s.roadOrigin = spine.front().from;
    // An end face is left out only where the neighbour's end face covers it completely.
    auto covered = [&](const SpinePiece& other) { return p.elevated || !other.elevated; };
    const bool endOpen = (i + 1 < spine.size()) ? covered(spine[i + 1]) : true;  // the last joins a pad
    const bool startOpen = i > 0 && covered(spine[i - 1]);
    s.openSides = {false, endOpen, false, startOpen};
    // Flat ground pieces get embankments on their sides, and on a start that nothing continues. Next to
    // a walled ramp the embankments wrap round the corner instead of ending in a vertical face.
    auto ground = [](const SpinePiece& q) {
      return !q.elevated && !q.sideWalls && q.heightFrom == kRoadTop && q.heightTo == kRoadTop;
    };
    if (ground(p)) {
      const bool startFree = i == 0;
      s.shoulders = {true, false, true, startFree};
      s.roundedEnds = {false, i + 1 < spine.size() && !ground(spine[i + 1]), false,
                       i > 0 && !ground(spine[i - 1])};
      s.openSides = {true, endOpen, true, startOpen || startFree};
    }
    out.push_back(s);

    if (!p.sideWalls) continue;
    for (float sign : {-1.0f, 1.0f}) {
      Solid w;
      const float outer = sign * half, inner = sign * (half - kWallThickness);
      w.footprint = strip(p.from, p.to, std::fmin(outer, inner), std::fmax(outer, inner));
      w.bottom = s.top;
      w.top = HeightPlane{s.top.origin, s.top.height + kWallHeight, s.top.gradient};
      w.topSurface = Surface::Concrete;
      w.sideSurface = Surface::Barrier;
      const bool prevWalls = i > 0 && spine[i - 1].sideWalls;
      const bool nextWalls = i + 1 < spine.size() && spine[i + 1].sideWalls;
      w.openSides = {false, nextWalls, false, prevWalls};
      out.push_back(w);
    }
  }
}

void addRoadNetwork(std::vector<Solid>& out, const LevelLayout& layout) {
  const float half = kRoadWidth * 0.5f;
  // Which pad sides have a road attached: 0 east (+x), 2 north (+z), 4 west, 6 south.
  std::vector<std::vector<bool>> padOpen(layout.nodes.size(), std::vector<bool>(8, false));
  auto attach = [&](int node, glm::vec2 towards) {
    const glm::vec2 d = towards - layout.nodes[node].centre;
    int side = 0;
    if (std::fabs(d.x) >= std::fabs(d.y))
      side = d.x > 0.0f ? 0 : 4;
    else
      side = d.y > 0.0f ? 2 : 6;
    padOpen[node][side] = true;
  };
  for (const RoadLink& link : layout.links) {
    const glm::vec2 a = layout.nodes[link.from].centre, b = layout.nodes[link.to].centre;
    if (a.x != b.x && a.y != b.y) throw std::logic_error("road links must be axis-aligned");
    attach(link.from, b);
    attach(link.to, a);
    const glm::vec2 dir = glm::normalize(b - a);
    Solid s;
    s.footprint = strip(a + dir * kPadHalfSize, b - dir * kPadHalfSize, -half, half);
    s.top = HeightPlane::flat(kRoadTop);
    s.bottom = HeightPlane::flat(kSlabTop);
    s.topSurface = Surface::Road;
    s.sideSurface = Surface::Kerb;
    s.roadMapping = true;
    s.along = dir;
    s.roadOrigin = a;
    s.openSides = {true, true, true, true};
    s.shoulders = {true, false, true, false};
    out.push_back(s);
  }
  if (!layout.spine.empty()) attach(layout.spineEndNode, layout.spine.back().from);
  for (std::size_t n = 0; n < layout.nodes.size(); ++n) {
    Solid pad;
    pad.footprint = octagon(layout.nodes[n].centre, kPadHalfSize, kPadCut);
    pad.top = HeightPlane::flat(kRoadTop);
    pad.bottom = HeightPlane::flat(kSlabTop);
    pad.topSurface = Surface::Asphalt;
    pad.sideSurface = Surface::Kerb;
    pad.openSides = std::vector<bool>(8, true);
    pad.shoulders = padOpen[n];
    pad.shoulders.flip();
    out.push_back(pad);
  }
}

// One wall piece per edge of the boundary polygon, standing outside it on the slab.
void addBoundary(std::vector<Solid>& out, const std::vector<glm::vec2>& boundary) {
  const std::size_t n = boundary.size();
  if (n < 3) return;
  glm::vec2 centroid(0.0f);
  for (const glm::vec2& p : boundary) centroid += p;
  centroid /= static_cast<float>(n);
  for (std::size_t i = 0; i < n; ++i) {
    const glm::vec2 a = boundary[i], b = boundary[(i + 1) % n];
    const glm::vec2 dir = glm::normalize(b - a);
    const glm::vec2 side(dir.y, -dir.x);  // strip()'s positive offset
    const bool outwardPositive = glm::dot(side, (a + b) * 0.5f - centroid) > 0.0f;
    Solid s;
    s.footprint =
        outwardPositive ? strip(a, b, 0.0f, kBoundaryThickness) : strip(a, b, -kBoundaryThickness, 0.0f);
    s.top = HeightPlane::flat(kSlabTop + kBoundaryHeight);
    s.bottom = HeightPlane::flat(kSlabTop);
    s.topSurface = Surface::Concrete;
    s.sideSurface = Surface::Barrier;
    out.push_back(s);
  }
}

// Unit direction of an angle measured from +x towards +z.
glm::vec2 direction(float angle) {
  return {std::cos(angle), std::sin(angle)};
}

glm::vec3 upwardNormal(const std::vector<glm::vec3>& points) {
  // Newell's method: robust for any convex polygon.
  glm::vec3 n(0.0f);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const glm::vec3 a = points[i], b = points[(i + 1) % points.size()];
    n += glm::vec3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
  }
  n = glm::normalize(n);
  return n.y < 0.0f ? -n : n;
}

glm::vec2 grassUv(glm::vec3 p) {
  return {p.x / 4.0f, p.z / 4.0f};
}

// Height of an embankment `d` metres out from a road edge at `top`.
float embankmentHeight(float top, float d) {
  return top + (kSlabTop - top) * (d / kShoulderWidth);
}

// The embankment along one road edge a → b, going out along `normal`.
void addEdgeShoulder(std::vector<SlopeFace>& out, glm::vec2 a, glm::vec2 b, float ta, float tb,
                     glm::vec2 normal) {
  const float length = glm::length(b - a);
  auto at = [&](glm::vec2 p, float top, float d) {
    const glm::vec2 q = p + normal * d;
    return glm::vec3(q.x, embankmentHeight(top, d), q.y);
  };
  const glm::vec3 ia = at(a, ta, 0.0f), ib = at(b, tb, 0.0f);
  const glm::vec3 ka = at(a, ta, kKerbBand), kb = at(b, tb, kKerbBand);
  const glm::vec3 oa = at(a, ta, kShoulderWidth), ob = at(b, tb, kShoulderWidth);
  const float u = length / style(Surface::Kerb).tileU;
  out.push_back({{ia, ib, kb, ka}, {{0.0f, 0.0f}, {u, 0.0f}, {u, 1.0f}, {0.0f, 1.0f}}, Surface::Kerb});
  out.push_back({{ka, kb, ob, oa}, {grassUv(ka), grassUv(kb), grassUv(ob), grassUv(oa)}, Surface::Grass});
}

// A fan of embankment round the corner `v`, sweeping from direction `from` to `to` the short way.
void addCornerShoulder(std::vector<SlopeFace>& out, glm::vec2 v, float top, glm::vec2 from, glm::vec2 to) {
  const float start = std::atan2(from.y, from.x);
  float sweep = std::atan2(to.y, to.x) - start;
  if (sweep > kPi) sweep -= 2.0f * kPi;
  if (sweep < -kPi) sweep += 2.0f * kPi;
  if (std::fabs(sweep) < 1e-3f) return;
  const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (kPi / 8.0f))));
  auto at = [&](float angle, float d) {
    const glm::vec2 q = v + direction(angle) * d;
    return glm::vec3(q.x, embankmentHeight(top, d), q.y);
  };
  const glm::vec3 apex(v.x, top, v.y);
  const float kerbU = kKerbBand * std::fabs(sweep) / steps / style(Surface::Kerb).tileU;
  for (int k = 0; k < steps; ++k) {
    const float a0 = start + sweep * static_cast<float>(k) / steps;
    const float a1 = start + sweep * static_cast<float>(k + 1) / steps;
    const glm::vec3 k0 = at(a0, kKerbBand), k1 = at(a1, kKerbBand);
    const glm::vec3 o0 = at(a0, kShoulderWidth), o1 = at(a1, kShoulderWidth);
    out.push_back({{apex, k0, k1}, {{0.5f * kerbU, 0.0f}, {0.0f, 1.0f}, {kerbU, 1.0f}}, Surface::Kerb});
    out.push_back({{k0, k1, o1, o0}, {grassUv(k0), grassUv(k1), grassUv(o1), grassUv(o0)}, Surface::Grass});
  }
}

}  // namespace

std::vector<SlopeFace> shoulderFaces(const std::vector<Solid>& solids) {
  std::vector<SlopeFace> out;
  for (const Solid& s : solids) {
    const std::vector<glm::vec2>& fp = s.footprint;
    const std::size_t n = fp.size();
    auto flag = [n](const std::vector<bool>& flags, std::size_t edge) {
      return edge % n < flags.size() && flags[edge % n];
    };
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) any = any || flag(s.shoulders, i);
    if (!any) continue;
    glm::vec2 centroid(0.0f);
    for (const glm::vec2& p : fp) centroid += p;
    centroid /= static_cast<float>(n);
    std::vector<glm::vec2> normals(n), dirs(n);
    for (std::size_t i = 0; i < n; ++i) {
      const glm::vec2 a = fp[i], b = fp[(i + 1) % n];
      dirs[i] = glm::normalize(b - a);
      glm::vec2 out2(dirs[i].y, -dirs[i].x);
      if (glm::dot(out2, (a + b) * 0.5f - centroid) < 0.0f) out2 = -out2;
      normals[i] = out2;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const glm::vec2 a = fp[i], b = fp[(i + 1) % n];
      if (flag(s.shoulders, i)) addEdgeShoulder(out, a, b, s.top.at(a), s.top.at(b), normals[i]);
      // The corner at the end of edge i, where edge i + 1 begins.
      const std::size_t next = (i + 1) % n;
      const float top = s.top.at(b);
      if (flag(s.shoulders, i) && flag(s.shoulders, next)) {
        addCornerShoulder(out, b, top, normals[i], normals[next]);
      } else if (flag(s.shoulders, i) && flag(s.roundedEnds, next)) {
        addCornerShoulder(out, b, top, normals[i], dirs[i]);
      } else if (flag(s.roundedEnds, i) && flag(s.shoulders, next)) {
        addCornerShoulder(out, b, top, -dirs[next], normals[next]);
      }
    }
  }
  return out;
}

std::vector<Solid> levelSolids(const LevelLayout& layout) {
  std::vector<Solid> out;
  addRoadSpine(out, layout);
  addRoadNetwork(out, layout);
  for (const Column& c : layout.columns) {
    Solid s;
    s.footprint = regularPolygon(c.centre, c.radius, c.sides);
    s.top = HeightPlane::flat(c.top);
    s.bottom = HeightPlane::flat(c.bottom);
    s.topSurface = Surface::Concrete;
    s.sideSurface = c.side;
    s.bottomSurface = Surface::Concrete;
    s.withBottom = c.bottom > kSlabTop + 1e-3f;
    s.collides = c.collides;
    out.push_back(s);
  }
  for (const Building& b : layout.buildings) {
    static const Surface facades[3] = {Surface::FacadeA, Surface::FacadeB, Surface::FacadeC};
    Block block{{b.centre.x - b.halfSize.x, kSlabTop, b.centre.y - b.halfSize.y},
                {b.centre.x + b.halfSize.x, kSlabTop + b.height, b.centre.y + b.halfSize.y},
                facades[((b.facade % 3) + 3) % 3],
                Surface::Roof};
    out.push_back(blockSolid(block));
  }
  for (const Block& b : layout.blocks) out.push_back(blockSolid(b));
  addBoundary(out, layout.boundary);
  return out;
}

void addSolid(MeshBuilder& builder, const Solid& solid, const char* materialOverride) {
  const std::vector<glm::vec2>& fp = solid.footprint;
  const std::size_t n = fp.size();
  glm::vec2 centroid(0.0f);
  for (const glm::vec2& p : fp) centroid += p;
  centroid /= static_cast<float>(n);
  auto material = [&](Surface s) { return materialOverride ? materialOverride : style(s).material; };

  // Top.
  {
    const SurfaceStyle st = style(solid.topSurface);
    std::vector<glm::vec3> points;
    std::vector<glm::vec2> uvs;
    const float slopeStretch = std::sqrt(1.0f + glm::dot(solid.top.gradient, solid.top.gradient));
    for (const glm::vec2& p : fp) {
      points.emplace_back(p.x, solid.top.at(p), p.y);
      if (solid.roadMapping) {
        const glm::vec2 rel = p - solid.roadOrigin;
        const glm::vec2 across(solid.along.y, -solid.along.x);
        uvs.emplace_back(glm::dot(rel, across) / kRoadWidth + 0.5f,
                         glm::dot(rel, solid.along) * slopeStretch / st.tileV);
      } else {
        uvs.emplace_back(p.x / st.tileU, p.y / st.tileV);
      }
    }
    builder.addPolygon(material(solid.topSurface), points, uvs, planeNormal(solid.top));
  }
  // Bottom.
  if (solid.withBottom) {
    const SurfaceStyle st = style(solid.bottomSurface);
    std::vector<glm::vec3> points;
    std::vector<glm::vec2> uvs;
    for (const glm::vec2& p : fp) {
      points.emplace_back(p.x, solid.bottom.at(p), p.y);
      uvs.emplace_back(p.x / st.tileU, p.y / st.tileV);
    }
    builder.addPolygon(material(solid.bottomSurface), points, uvs, -planeNormal(solid.bottom));
  }
  // Sides: u runs around the perimeter, v up from the solid's bottom.
  const SurfaceStyle st = style(solid.sideSurface);
  float perimeter = 0.0f;
  for (std::size_t i = 0; i < n; ++i) {
    const glm::vec2 a = fp[i], b = fp[(i + 1) % n];
    const float length = glm::length(b - a);
    const bool open = i < solid.openSides.size() && solid.openSides[i];
    if (!open && length > 1e-4f) {
      glm::vec2 out2(b.y - a.y, -(b.x - a.x));
      if (glm::dot(out2, (a + b) * 0.5f - centroid) < 0.0f) out2 = -out2;
      const glm::vec3 normal = glm::normalize(glm::vec3(out2.x, 0.0f, out2.y));
      const float ba = solid.bottom.at(a), bb = solid.bottom.at(b);
      const float ta = solid.top.at(a), tb = solid.top.at(b);
      const float u0 = perimeter / st.tileU, u1 = (perimeter + length) / st.tileU;
      const glm::vec3 quad[4] = {{a.x, ba, a.y}, {b.x, bb, b.y}, {b.x, tb, b.y}, {a.x, ta, a.y}};
      const glm::vec2 uv[4] = {
          {u0, 0.0f}, {u1, 0.0f}, {u1, (tb - bb) / st.tileV}, {u0, (ta - ba) / st.tileV}};
      builder.addQuad(material(solid.sideSurface), quad, uv, normal);
    }
    perimeter += length;
  }
}

ModelData buildLevelRenderWorld(const LevelLayout& layout) {
  MeshBuilder builder;
  addAllMaterials(builder);
  const std::vector<Solid> solids = levelSolids(layout);
  for (const Solid& s : solids) addSolid(builder, s);
  for (const SlopeFace& f : shoulderFaces(solids))
    builder.addPolygon(style(f.surface).material, f.points, f.uvs, upwardNormal(f.points));
  return builder.build();
}

ModelData buildLevelCollisionWorld(const LevelLayout& layout) {
  MeshBuilder builder;
  builder.addMaterial({kCollisionMaterial, "concrete.png", glm::vec3(0.8f)});
  const std::vector<Solid> solids = levelSolids(layout);
  for (const Solid& s : solids) {
    if (s.collides) addSolid(builder, s, kCollisionMaterial);
  }
  // The embankments are driven on: the same faces as drawn.
  for (const SlopeFace& f : shoulderFaces(solids))
    builder.addPolygon(kCollisionMaterial, f.points, f.uvs, upwardNormal(f.points));
  return builder.build();
}

ModelData buildLevelRenderModel(const LevelLayout& layout) {
  ModelData m = buildLevelRenderWorld(layout);
  transformPositions(m, levelWorldToModel);
  return m;
}

ModelData buildLevelCollisionModel(const LevelLayout& layout) {
  ModelData m = buildLevelCollisionWorld(layout);
  transformPositions(m, levelWorldToModel);
  return m;
}

}  // namespace ruvelo::assets
