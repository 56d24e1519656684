// The level as the game collides with it: the collision model's triangles in world coordinates
// (translate(0, 0, 200) × scale(2)), probed with rays where the game puts the vehicle and the items.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <assimp/Importer.hpp>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "level/level_layout.h"
#include "tools/assetgen/level_mesh.h"

namespace ra = ruvelo::assets;

namespace {

struct Triangle {
  glm::vec3 a, b, c;
};

struct Hit {
  float distance;
  glm::vec3 point;
  glm::vec3 normal;  // geometric, facing the ray's origin side or not
};

std::vector<Triangle> loadWorldTriangles(const std::string& file) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(std::string(RUVELO_ASSET_DIR) + "/model/" + file,
                                           aiProcess_Triangulate | aiProcess_FlipUVs);
  std::vector<Triangle> out;
  if (!scene) return out;
  auto world = [](const aiVector3D& v) { return glm::vec3(2.0f * v.x, 2.0f * v.y, 200.0f + 2.0f * v.z); };
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const unsigned* i = mesh->mFaces[f].mIndices;
      out.push_back(
          {world(mesh->mVertices[i[0]]), world(mesh->mVertices[i[1]]), world(mesh->mVertices[i[2]])});
    }
  }
  return out;
}

// Möller–Trumbore, both sides; the nearest hit in front of the origin.
std::optional<Hit> castRay(const std::vector<Triangle>& triangles, glm::vec3 origin, glm::vec3 dir) {
  std::optional<Hit> best;
  for (const Triangle& t : triangles) {
    const glm::vec3 e1 = t.b - t.a, e2 = t.c - t.a;
    const glm::vec3 p = glm::cross(dir, e2);
    const float det = glm::dot(e1, p);
    if (std::fabs(det) < 1e-9f) continue;
    const float inv = 1.0f / det;
    const glm::vec3 s = origin - t.a;
    const float u = glm::dot(s, p) * inv;
    if (u < -1e-6f || u > 1.0f + 1e-6f) continue;
    const glm::vec3 q = glm::cross(s, e1);
    const float v = glm::dot(dir, q) * inv;
    if (v < -1e-6f || u + v > 1.0f + 1e-6f) continue;
    const float d = glm::dot(e2, q) * inv;
    if (d <= 1e-4f || (best && d >= best->distance)) continue;
    best = Hit{d, origin + dir * d, glm::normalize(glm::cross(e1, e2))};
  }
  return best;
}

const glm::vec3 kDown(0.0f, -1.0f, 0.0f), kUp(0.0f, 1.0f, 0.0f);

// Height of the first surface met coming down from high above (x, z), or nothing.
std::optional<float> surfaceBelow(const std::vector<Triangle>& tris, float x, float z, float from = 200.0f) {
  const auto hit = castRay(tris, {x, from, z}, kDown);
  if (!hit) return std::nullopt;
  return hit->point.y;
}

class LevelCollision : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    collision_ = new std::vector<Triangle>(loadWorldTriangles("level1PhysXFinal.obj"));
    render_ = new std::vector<Triangle>(loadWorldTriangles("level1RenderFinal2.obj"));
  }
  static void TearDownTestSuite() {
    delete collision_;
    delete render_;
  }
  void SetUp() override {
    ASSERT_FALSE(collision_->empty());
    ASSERT_FALSE(render_->empty());
  }
  static std::vector<Triangle>* collision_;
  static std::vector<Triangle>* render_;
};

std::vector<Triangle>* LevelCollision::collision_ = nullptr;
std::vector<Triangle>* LevelCollision::render_ = nullptr;

// The centre lines of the main road and of every loop road, as pieces driven in order.
std::vector<std::pair<glm::vec2, glm::vec2>> routePieces(const ra::LevelLayout& layout) {
  std::vector<std::pair<glm::vec2, glm::vec2>> out = {
      {layout.spine.front().from, layout.nodes[layout.spineEndNode].centre}};
  for (const ra::RoadLink& link : layout.links)
    out.emplace_back(layout.nodes[link.from].centre, layout.nodes[link.to].centre);
  return out;
}

}  // namespace

TEST_F(LevelCollision, StartAndGroundBatteriesStandOnRoadsAndHighBatteriesOnTheDeck) {
  const ra::LevelItems& items = ra::levelLayout().items;
  const auto start = castRay(*collision_, {items.start.x, 100.0f, items.start.z}, kDown);
  ASSERT_TRUE(start);
  EXPECT_NEAR(start->point.y, ra::kRoadTop, 0.02f);
  EXPECT_GT(std::fabs(start->normal.y), 0.99f);
  // The vehicle's actor rests about 2 above the road, where the game places it.
  EXPECT_NEAR(items.start.y - start->point.y, 2.0f, 0.05f);

  for (std::size_t i = 0; i < items.batteries.size(); ++i) {
    SCOPED_TRACE("battery " + std::to_string(i + 1));
    const glm::vec3 b = items.batteries[i];
    const auto below = surfaceBelow(*collision_, b.x, b.z);
    ASSERT_TRUE(below);
    const bool high = b.y > 10.0f;
    EXPECT_NEAR(*below, high ? ra::kDeckTop : ra::kRoadTop, 0.02f);
    // A vehicle on that surface (actor 2 above it, chassis ±1) passes through the ±2 trigger box.
    EXPECT_LE(std::fabs((*below + 2.0f) - b.y), ra::kBatteryHalfExtent - 1.0f + 0.05f);
  }
}

TEST_F(LevelCollision, EachGateSpansItsRoadAndItsPostsStandBesideIt) {
  const ra::LevelItems& items = ra::levelLayout().items;
  // The finish-line models' placements as the game draws them (posts 9.2..9.8 m either side).
  const glm::vec3 gatePositions[3] = {
      {146.3f, 0.0f, 230.0f}, {-160.0f, 0.0f, 219.0f}, {-130.0f, 0.0f, 354.5f}};
  for (int z = 0; z < 3; ++z) {
    SCOPED_TRACE("zone " + std::to_string(z + 1));
    const glm::vec3 c = items.zones[z];
    // The gate's long axis runs across the road: x for an unturned zone, z for a turned one.
    const glm::vec2 across = items.zoneRotated[z] ? glm::vec2(0.0f, 1.0f) : glm::vec2(1.0f, 0.0f);
    const glm::vec2 alongRoad(across.y, across.x);
    int covered = 0;
    for (float s = -ra::kZoneHalfExtents.x; s <= ra::kZoneHalfExtents.x; s += 0.5f) {
      for (float a : {-1.5f, 0.0f, 1.5f}) {
        const glm::vec2 p = glm::vec2(c.x, c.z) + across * s + alongRoad * a;
        const auto hit = castRay(*collision_, {p.x, c.y + ra::kZoneHalfExtents.y, p.y}, kDown);
        // Nothing inside the box but the road (or the bare slab, which is not part of the model).
        if (!hit) continue;
        EXPECT_LE(hit->point.y, ra::kRoadTop + 0.01f);
        if (std::fabs(hit->point.y - ra::kRoadTop) < 0.01f) ++covered;
      }
    }
    // At least the road's 16 m of the gate's 20 m are road.
    EXPECT_GE(covered, 3 * 32);
    const glm::vec3 g = gatePositions[z];
    for (float post : {-9.5f, 9.5f}) {
      const glm::vec2 p = glm::vec2(g.x, g.z) + across * post;
      const auto below = surfaceBelow(*collision_, p.x, p.y);
      EXPECT_FALSE(below && *below > ra::kRoadTop - 0.1f)
          << "a post stands on the road at " << p.x << ", " << p.y;
    }
  }
}

TEST_F(LevelCollision, RoadUnderTheDeckLeavesAtLeastSixMetres) {
  int probes = 0;
  for (float x = -8.0f; x <= 8.0f; x += 0.5f) {
    for (float z = 93.0f; z <= 107.0f; z += 1.0f) {
      const auto road = surfaceBelow(*collision_, x, z, 12.0f);
      ASSERT_TRUE(road);
      EXPECT_NEAR(*road, ra::kRoadTop, 0.02f);
      const auto above = castRay(*collision_, {x, *road + 0.01f, z}, kUp);
      ASSERT_TRUE(above) << "no deck over " << x << ", " << z;
      EXPECT_GE(above->distance, 6.0f);
      ++probes;
    }
  }
  EXPECT_GT(probes, 400);
}

TEST_F(LevelCollision, RouteIsContinuousRoadWithHeadroomGentleRampsAndMatchingRenderSurface) {
  int samples = 0;
  float maxSlopeDeg = 0.0f;
  for (const auto& [a, b] : routePieces(ra::levelLayout())) {
    const float length = glm::length(b - a);
    const glm::vec2 dir = (b - a) / length, side(dir.y, -dir.x);
    for (float offset : {-6.0f, 0.0f, 6.0f}) {
      // Follow the surface: each probe starts a little above the last height, so roads under the
      // deck or the arch are found rather than what spans them.
      float last = ra::kRoadTop;
      for (float s = 0.0f; s <= length; s += 1.0f) {
        const glm::vec2 p = a + dir * s + side * offset;
        const auto surface = castRay(*collision_, {p.x, last + 4.0f, p.y}, kDown);
        ASSERT_TRUE(surface) << p.x << ", " << p.y;
        ASSERT_GE(surface->point.y, ra::kRoadTop - 0.01f) << "off the road at " << p.x << ", " << p.y;
        ASSERT_GT(std::fabs(surface->normal.y), 0.98f);
        const float slope = std::atan(std::fabs(surface->point.y - last)) * 57.29578f;  // 1 m steps
        if (s > 0.0f) {
          EXPECT_LE(slope, 8.0f) << "at " << p.x << ", " << p.y;
          maxSlopeDeg = std::fmax(maxSlopeDeg, slope);
        }
        last = surface->point.y;
        // Headroom for the vehicle (about 3 m tall with its wheels).
        const auto above = castRay(*collision_, surface->point + glm::vec3(0.0f, 0.01f, 0.0f), kUp);
        if (above) {
          EXPECT_GE(above->distance, 3.0f) << p.x << ", " << p.y;
        }
        // What is drawn is what is driven on.
        const auto drawn = castRay(*render_, {p.x, surface->point.y + 4.0f, p.y}, kDown);
        ASSERT_TRUE(drawn);
        EXPECT_NEAR(drawn->point.y, surface->point.y, 0.01f) << p.x << ", " << p.y;
        ++samples;
      }
    }
  }
  EXPECT_GT(samples, 6000);
  EXPECT_GT(maxSlopeDeg, 5.0f);  // the ramps are on the route
}

TEST_F(LevelCollision, DeckHasSideWallsAlongItsWholeLength) {
  for (float z = -299.0f; z <= 319.0f; z += 2.0f) {
    const auto deck = surfaceBelow(*collision_, 0.0f, z, 60.0f);
    ASSERT_TRUE(deck);
    if (*deck < ra::kRoadTop + 0.5f) continue;  // ramp foot: nothing to fall from yet
    for (float dir : {-1.0f, 1.0f}) {
      const auto wall = castRay(*collision_, {0.0f, *deck + 0.5f, z}, {dir, 0.0f, 0.0f});
      ASSERT_TRUE(wall) << "open edge at z = " << z;
      EXPECT_LE(wall->distance, ra::kRoadWidth * 0.5f) << "z = " << z;
    }
  }
}

TEST_F(LevelCollision, EverythingLiesInsideTheGreenPlaneAndTheShadowVolume) {
  const ra::LevelItems& items = ra::levelLayout().items;
  std::vector<glm::vec3> points = {items.start};
  points.insert(points.end(), items.batteries.begin(), items.batteries.end());
  points.insert(points.end(), items.cones.begin(), items.cones.end());
  for (std::size_t i = 0; i < items.zones.size(); ++i) {
    const glm::vec3 h = items.zoneRotated[i] ? glm::vec3(ra::kZoneHalfExtents.z, ra::kZoneHalfExtents.y,
                                                         ra::kZoneHalfExtents.x)
                                             : ra::kZoneHalfExtents;
    for (float sx : {-1.0f, 1.0f})
      for (float sy : {-1.0f, 1.0f})
        for (float sz : {-1.0f, 1.0f}) points.push_back(items.zones[i] + h * glm::vec3(sx, sy, sz));
  }
  for (const auto* tris : {collision_, render_}) {
    for (const Triangle& t : *tris) points.insert(points.end(), {t.a, t.b, t.c});
  }
  int outside = 0;
  for (const glm::vec3& p : points) {
    if (!ra::insideGreenPlane(p) || !ra::insideShadowVolume(p)) {
      if (++outside < 5) ADD_FAILURE() << "outside: " << p.x << ", " << p.y << ", " << p.z;
    }
  }
  EXPECT_EQ(outside, 0);
  // The shadow volume check itself rejects the corner the design warns about.
  EXPECT_FALSE(ra::insideShadowVolume({100.0f, 1.3f, -470.0f}));
  EXPECT_TRUE(ra::insideShadowVolume({-200.0f, 1.3f, 360.0f}));
}

TEST_F(LevelCollision, ModelsStayWithinTheTriangleBudget) {
  EXPECT_LT(render_->size(), 20000u);
  EXPECT_LT(collision_->size(), render_->size());
}

TEST(LevelLayout, DecorationKeepsClearOfRoadsTheirEmbankmentsAndItems) {
  const ra::LevelLayout& layout = ra::levelLayout();
  // Roads with their embankments: the verge beside a road is open ground to drive back up.
  const glm::vec4 verge(-ra::kShoulderWidth, -ra::kShoulderWidth, ra::kShoulderWidth, ra::kShoulderWidth);
  std::vector<glm::vec4> roads;
  for (const ra::RoadLink& l : layout.links) roads.push_back(ra::linkFootprint(layout, l) + verge);
  for (const ra::RoadNode& n : layout.nodes) roads.push_back(ra::nodeFootprint(n) + verge);
  // Pillars carry the deck, so only the ground pieces of the main road count here.
  for (const ra::SpinePiece& p : layout.spine) {
    if (!p.elevated) roads.push_back(ra::spineFootprint(p) + verge);
  }
  auto overlaps = [](glm::vec4 a, glm::vec4 b, float margin) {
    return a.x < b.z + margin && b.x < a.z + margin && a.y < b.w + margin && b.y < a.w + margin;
  };
  std::vector<glm::vec4> obstacles;
  for (const ra::Building& b : layout.buildings)
    obstacles.emplace_back(b.centre - b.halfSize, b.centre + b.halfSize);
  for (const ra::Block& b : layout.blocks) {
    if (b.min.y < ra::kRoadTop + 4.0f) obstacles.emplace_back(b.min.x, b.min.z, b.max.x, b.max.z);
  }
  for (const ra::Column& c : layout.columns) {
    if (c.bottom < ra::kRoadTop + 4.0f) {
      obstacles.emplace_back(c.centre.x - c.radius, c.centre.y - c.radius, c.centre.x + c.radius,
                             c.centre.y + c.radius);
    }
  }
  for (const glm::vec4& o : obstacles) {
    for (const glm::vec4& r : roads) {
      EXPECT_FALSE(overlaps(o, r, 0.5f)) << "obstacle " << o.x << "," << o.y << " .. " << o.z << "," << o.w;
    }
    const ra::LevelItems& items = layout.items;
    for (const glm::vec3& c : items.cones) {
      EXPECT_FALSE(overlaps(o, {c.x - 2.0f, c.z - 2.0f, c.x + 2.0f, c.z + 2.0f}, 0.5f))
          << "cone " << c.x << "," << c.z;
    }
  }
}
