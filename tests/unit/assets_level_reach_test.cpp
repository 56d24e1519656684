// Where a vehicle can go in the level, from the collision model the game loads: the model is rasterised
// into a layered grid of 1 m cells over the green plane (a cell holds every surface a vehicle fits on,
// the slab included), moves between neighbouring cells are allowed when the climb is small and no face
// stands in the way, and a flood fill from the start road finds everything reachable. Every reachable
// place must lead back to a road, and the driving line must run on reachable road.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "level/level_layout.h"
#include "level/route.h"
#include "support/obj_reader.h"

namespace rl = ruvelo::level;

namespace {

constexpr float kCell = 1.0f;
// Cell centres sit a quarter metre off the whole and half metres the level is designed on, so no
// centre lies exactly on a wall face or a road edge.
constexpr float kOffset = 0.25f;
constexpr float kMinX = -300.0f, kMaxX = 300.0f, kMinZ = -800.0f, kMaxZ = 800.0f;
constexpr float kHeadroom = 3.0f;        // wheels and chassis: up to the actor + 1 over a surface 2 below it
constexpr float kMaxSurfaceDeg = 15.0f;  // steeper faces are obstacles, not ground
constexpr float kMaxStep = 0.25f;        // climb between neighbouring cells: half the wheel radius
// Heights above the ground where a face blocks a move: wheels (first) and chassis.
constexpr std::array<float, 4> kBlockingHeights = {0.4f, 1.2f, 2.0f, 2.9f};
// Faces at chassis height next to a cell leave no room for a 2.5 m wide vehicle there.
constexpr std::array<float, 3> kBodyHeights = {1.2f, 2.0f, 2.9f};
constexpr float kBin = 8.0f;

struct Triangle {
  glm::vec3 a, b, c;
};

struct Layer {
  float height;
  float slopeDeg;
  float ceiling;  // the next face above
};

class LevelGrid {
 public:
  explicit LevelGrid(std::vector<Triangle> triangles) : tris_(std::move(triangles)) {
    binsX_ = static_cast<int>(std::ceil((kMaxX - kMinX) / kBin));
    binsZ_ = static_cast<int>(std::ceil((kMaxZ - kMinZ) / kBin));
    bins_.resize(static_cast<size_t>(binsX_ * binsZ_));
    for (uint32_t t = 0; t < tris_.size(); ++t) {
      const Triangle& tr = tris_[t];
      const glm::vec3 lo = glm::min(tr.a, glm::min(tr.b, tr.c)) - glm::vec3(kCell);
      const glm::vec3 hi = glm::max(tr.a, glm::max(tr.b, tr.c)) + glm::vec3(kCell);
      for (int bz = binZ(lo.z); bz <= binZ(hi.z); ++bz)
        for (int bx = binX(lo.x); bx <= binX(hi.x); ++bx) bins_[bz * binsX_ + bx].push_back(t);
    }
    cellsX_ = static_cast<int>((kMaxX - kMinX) / kCell);
    cellsZ_ = static_cast<int>((kMaxZ - kMinZ) / kCell);
    firstLayer_.reserve(static_cast<size_t>(cellsX_) * cellsZ_ + 1);
    for (int iz = 0; iz < cellsZ_; ++iz) {
      for (int ix = 0; ix < cellsX_; ++ix) {
        firstLayer_.push_back(static_cast<uint32_t>(layers_.size()));
        addLayers(centre(ix, iz));
      }
    }
    firstLayer_.push_back(static_cast<uint32_t>(layers_.size()));
    cramped_.resize(layers_.size());
    for (uint32_t cell = 0; cell + 1 < firstLayer_.size(); ++cell)
      for (uint32_t n = firstLayer_[cell]; n < firstLayer_[cell + 1]; ++n) cramped_[n] = isCramped(cell, n);
  }

  size_t cellCount() const { return firstLayer_.size() - 1; }
  size_t nodeCount() const { return layers_.size(); }
  const Layer& layer(uint32_t node) const { return layers_[node]; }
  bool cramped(uint32_t node) const { return cramped_[node]; }
  glm::vec2 nodeCentre(uint32_t node) const {
    const uint32_t cell = cellOf(node);
    return centre(static_cast<int>(cell) % cellsX_, static_cast<int>(cell) / cellsX_);
  }

  // The node in the cell holding p whose height is nearest `near`, or -1.
  long nodeAt(glm::vec2 p, float near) const {
    const int ix = static_cast<int>(std::floor((p.x - kMinX) / kCell));
    const int iz = static_cast<int>(std::floor((p.y - kMinZ) / kCell));
    if (ix < 0 || iz < 0 || ix >= cellsX_ || iz >= cellsZ_) return -1;
    const uint32_t cell = static_cast<uint32_t>(iz * cellsX_ + ix);
    long best = -1;
    for (uint32_t n = firstLayer_[cell]; n < firstLayer_[cell + 1]; ++n) {
      if (best < 0 || std::fabs(layers_[n].height - near) < std::fabs(layers_[best].height - near))
        best = static_cast<long>(n);
    }
    return best;
  }

  // Every node reachable from `seeds`, following moves forwards (or backwards: who can reach a seed).
  std::vector<bool> flood(const std::vector<uint32_t>& seeds, bool backwards) const {
    std::vector<bool> seen(layers_.size(), false);
    std::deque<uint32_t> queue;
    for (uint32_t s : seeds) {
      if (!seen[s]) queue.push_back(s);
      seen[s] = true;
    }
    while (!queue.empty()) {
      const uint32_t node = queue.front();
      queue.pop_front();
      const uint32_t cell = cellOf(node);
      for (long other : neighbourCells(cell)) {
        for (uint32_t n = firstLayer_[other]; n < firstLayer_[other + 1]; ++n) {
          if (seen[n]) continue;
          const bool move = backwards ? canMove(static_cast<uint32_t>(other), n, cell, node)
                                      : canMove(cell, node, static_cast<uint32_t>(other), n);
          if (move) {
            seen[n] = true;
            queue.push_back(n);
          }
        }
      }
    }
    return seen;
  }

 private:
  int binX(float x) const { return std::clamp(static_cast<int>((x - kMinX) / kBin), 0, binsX_ - 1); }
  int binZ(float z) const { return std::clamp(static_cast<int>((z - kMinZ) / kBin), 0, binsZ_ - 1); }
  const std::vector<uint32_t>& binAt(glm::vec2 p) const { return bins_[binZ(p.y) * binsX_ + binX(p.x)]; }
  glm::vec2 centre(int ix, int iz) const {
    return {kMinX + kOffset + static_cast<float>(ix) * kCell,
            kMinZ + kOffset + static_cast<float>(iz) * kCell};
  }
  uint32_t cellOf(uint32_t node) const {
    return static_cast<uint32_t>(std::upper_bound(firstLayer_.begin(), firstLayer_.end(), node) -
                                 firstLayer_.begin() - 1);
  }
  std::vector<long> neighbourCells(uint32_t cell) const {
    const int ix = static_cast<int>(cell) % cellsX_, iz = static_cast<int>(cell) / cellsX_;
    std::vector<long> out;
    if (ix > 0) out.push_back(cell - 1);
    if (ix + 1 < cellsX_) out.push_back(cell + 1);
    if (iz > 0) out.push_back(static_cast<long>(cell) - cellsX_);
    if (iz + 1 < cellsZ_) out.push_back(static_cast<long>(cell) + cellsX_);
    return out;
  }

  // Surfaces along the vertical through p: the slab (the physics ground is a half-space at its top)
  // and every gentle face, kept where a vehicle has headroom above it.
  void addLayers(glm::vec2 p) {
    struct Crossing {
      float y;
      float slopeDeg;
    };
    std::vector<Crossing> crossings{{rl::kSlabTop, 0.0f}};
    for (uint32_t t : binAt(p)) {
      const Triangle& tr = tris_[t];
      const glm::vec2 a(tr.a.x, tr.a.z), b(tr.b.x, tr.b.z), c(tr.c.x, tr.c.z);
      const float det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
      if (std::fabs(det) < 1e-6f) continue;  // vertical face
      const float u = ((p.x - a.x) * (c.y - a.y) - (c.x - a.x) * (p.y - a.y)) / det;
      const float v = ((b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y)) / det;
      if (u < -1e-5f || v < -1e-5f || u + v > 1.0f + 1e-5f) continue;
      const glm::vec3 n = glm::normalize(glm::cross(tr.b - tr.a, tr.c - tr.a));
      const float slope = std::acos(std::min(1.0f, std::fabs(n.y))) * 57.29578f;
      crossings.push_back({tr.a.y + u * (tr.b.y - tr.a.y) + v * (tr.c.y - tr.a.y), slope});
    }
    std::sort(crossings.begin(), crossings.end(),
              [](const Crossing& l, const Crossing& r) { return l.y < r.y; });
    for (size_t i = 0; i < crossings.size(); ++i) {
      const Crossing& c = crossings[i];
      if (c.slopeDeg > kMaxSurfaceDeg) continue;
      // The topmost of crossings that meet (shared edges, a slope running out onto the slab).
      if (i + 1 < crossings.size() && crossings[i + 1].y - c.y < 0.05f &&
          crossings[i + 1].slopeDeg <= kMaxSurfaceDeg)
        continue;
      float ceiling = 1e9f;
      for (size_t j = i + 1; j < crossings.size(); ++j) {
        if (crossings[j].y - c.y >= 0.05f) {
          ceiling = crossings[j].y;
          break;
        }
      }
      if (ceiling - c.y >= kHeadroom) layers_.push_back({c.y, c.slopeDeg, ceiling});
    }
  }

  // Does a face cross the horizontal segment from p to q at height y?
  bool blocked(glm::vec2 p, glm::vec2 q, float y) const {
    const glm::vec3 origin(p.x, y, p.y), dir(q.x - p.x, 0.0f, q.y - p.y);
    for (uint32_t t : binAt((p + q) * 0.5f)) {
      const Triangle& tr = tris_[t];
      const glm::vec3 e1 = tr.b - tr.a, e2 = tr.c - tr.a;
      const glm::vec3 h = glm::cross(dir, e2);
      const float det = glm::dot(e1, h);
      if (std::fabs(det) < 1e-9f) continue;
      const glm::vec3 s = origin - tr.a;
      const float u = glm::dot(s, h) / det;
      if (u < 0.0f || u > 1.0f) continue;
      const glm::vec3 qv = glm::cross(s, e1);
      const float v = glm::dot(dir, qv) / det;
      if (v < 0.0f || u + v > 1.0f) continue;
      const float d = glm::dot(e2, qv) / det;
      if (d >= 0.0f && d <= 1.0f) return true;
    }
    return false;
  }

  bool isCramped(uint32_t cell, uint32_t node) const {
    const int ix = static_cast<int>(cell) % cellsX_, iz = static_cast<int>(cell) / cellsX_;
    const glm::vec2 c = centre(ix, iz);
    for (glm::vec2 d : {glm::vec2(kCell, 0), glm::vec2(-kCell, 0), glm::vec2(0, kCell), glm::vec2(0, -kCell)})
      for (float dy : kBodyHeights)
        if (blocked(c, c + d, layers_[node].height + dy)) return true;
    return false;
  }

  bool canMove(uint32_t fromCell, uint32_t from, uint32_t toCell, uint32_t to) const {
    const float h0 = layers_[from].height, h1 = layers_[to].height;
    if (h1 - h0 > kMaxStep || cramped_[from] || cramped_[to]) return false;
    // The vehicle keeps its height through the move, so it must fit under both cells' ceilings: no
    // dropping through a surface onto what lies below it (a little slack for slopes under a roof).
    if (std::min(layers_[from].ceiling, layers_[to].ceiling) < std::max(h0, h1) + kHeadroom - 0.5f)
      return false;
    const glm::vec2 p = centre(static_cast<int>(fromCell) % cellsX_, static_cast<int>(fromCell) / cellsX_);
    const glm::vec2 q = centre(static_cast<int>(toCell) % cellsX_, static_cast<int>(toCell) / cellsX_);
    for (float dy : kBlockingHeights)
      if (blocked(p, q, std::max(h0, h1) + dy)) return false;
    return true;
  }

  std::vector<Triangle> tris_;
  int binsX_ = 0, binsZ_ = 0, cellsX_ = 0, cellsZ_ = 0;
  std::vector<std::vector<uint32_t>> bins_;
  std::vector<uint32_t> firstLayer_;  // per cell, its first node; one more at the end
  std::vector<Layer> layers_;
  std::vector<bool> cramped_;
};

std::vector<Triangle> worldTriangles(const std::string& path) {
  ruvelo::test::ObjMesh mesh;
  if (!ruvelo::test::readObj(path, mesh)) return {};
  std::vector<Triangle> out;
  for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
    const auto w = [&](uint32_t k) { return rl::levelModelToWorld(mesh.positions[mesh.indices[i + k]]); };
    out.push_back({w(0), w(1), w(2)});
  }
  return out;
}

bool isRoad(const Layer& l) {
  return l.height >= rl::kRoadTop - 0.02f;
}

class LevelReach : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::vector<Triangle> tris = worldTriangles(ruvelo::test::levelCollisionModelPath());
    if (tris.empty()) return;
    grid_ = new LevelGrid(std::move(tris));
    const rl::LevelItems& items = rl::levelLayout().items;
    const long start = grid_->nodeAt({items.start.x, items.start.z}, items.start.y - 2.0f);
    if (start < 0) return;
    start_ = start;
    reachable_ = new std::vector<bool>(grid_->flood({static_cast<uint32_t>(start)}, false));
  }
  static void TearDownTestSuite() {
    delete reachable_;
    delete grid_;
    reachable_ = nullptr;
    grid_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(grid_) << "no collision model at " << ruvelo::test::levelCollisionModelPath();
    ASSERT_TRUE(reachable_) << "no start node";
  }
  static LevelGrid* grid_;
  static long start_;
  static std::vector<bool>* reachable_;
};

LevelGrid* LevelReach::grid_ = nullptr;
long LevelReach::start_ = -1;
std::vector<bool>* LevelReach::reachable_ = nullptr;

}  // namespace

TEST_F(LevelReach, EveryReachablePlaceLeadsBackToARoad) {
  const LevelGrid& g = *grid_;
  EXPECT_TRUE(isRoad(g.layer(static_cast<uint32_t>(start_)))) << "the start is on a road";
  std::vector<uint32_t> roads;
  const std::vector<glm::vec2>& edge = rl::levelLayout().boundary;
  auto insideEdge = [&](glm::vec2 p) {
    for (size_t i = 0; i < edge.size(); ++i) {
      const glm::vec2 a = edge[i], d = edge[(i + 1) % edge.size()] - a;
      if (d.x * (p.y - a.y) - d.y * (p.x - a.x) < 0.0f) return false;
    }
    return true;
  };
  size_t reachable = 0, offRoad = 0, beyondEdge = 0;
  for (uint32_t n = 0; n < g.nodeCount(); ++n) {
    if (!(*reachable_)[n]) continue;
    ++reachable;
    beyondEdge += !insideEdge(g.nodeCentre(n));
    if (isRoad(g.layer(n)))
      roads.push_back(n);
    else
      ++offRoad;
  }
  const std::vector<bool> leadsBack = g.flood(roads, true);
  size_t stuck = 0;
  std::ostringstream where;
  for (uint32_t n = 0; n < g.nodeCount(); ++n) {
    if ((*reachable_)[n] && !leadsBack[n] && ++stuck <= 5) {
      const glm::vec2 c = g.nodeCentre(n);
      where << " (" << c.x << ", " << g.layer(n).height << ", " << c.y << ")";
    }
  }
  RecordProperty("cells", std::to_string(g.cellCount()));
  RecordProperty("reachable", std::to_string(reachable));
  std::cout << "grid: " << g.cellCount() << " cells, " << g.nodeCount() << " surfaces, " << reachable
            << " reachable (" << roads.size() << " road, " << offRoad << " off-road), " << stuck
            << " with no way back\n";
  EXPECT_EQ(stuck, 0u) << "no way back to a road from" << where.str();
  EXPECT_EQ(beyondEdge, 0u) << "the level's edge wall lets nothing through";
  // The drive is not confined to the roads: most of the slab inside the level's edge can be reached.
  float inside = 0.0f;  // the area within the edge, in 1 m cells
  for (size_t i = 0; i < edge.size(); ++i) {
    const glm::vec2 a = edge[i], b = edge[(i + 1) % edge.size()];
    inside += 0.5f * (a.x * b.y - b.x * a.y);
  }
  EXPECT_GT(inside, 0.25f * static_cast<float>(g.cellCount())) << "counter-clockwise, and not a sliver";
  EXPECT_GT(static_cast<float>(offRoad), 0.5f * inside);
  EXPECT_GT(roads.size(), 15000u);
}

TEST_F(LevelReach, DrivingLineRunsOnReachableRoadAllTheWay) {
  const LevelGrid& g = *grid_;
  const std::vector<glm::vec2> line = rl::drivingLine(rl::levelLayout());
  ASSERT_GT(line.size(), 500u);
  // Follow the surface along the line, so the road under the deck and the deck over it are told apart.
  float height = rl::kRoadTop;
  float highest = 0.0f;
  for (size_t i = 0; i < line.size(); ++i) {
    const long node = g.nodeAt(line[i], height);
    ASSERT_GE(node, 0) << "point " << i << " outside the grid";
    const Layer& l = g.layer(static_cast<uint32_t>(node));
    ASSERT_LT(std::fabs(l.height - height), 1.0f) << "point " << i << " (" << line[i].x << ", " << line[i].y
                                                  << ") jumps from " << height << " to " << l.height;
    EXPECT_TRUE(isRoad(l)) << "point " << i << " (" << line[i].x << ", " << line[i].y << ") at " << l.height;
    EXPECT_TRUE((*reachable_)[static_cast<size_t>(node)])
        << "point " << i << " (" << line[i].x << ", " << line[i].y << ") cannot be reached";
    height = l.height;
    highest = std::max(highest, height);
  }
  EXPECT_NEAR(highest, rl::kDeckTop, 0.05f) << "the line climbs onto the deck";
}

TEST_F(LevelReach, GroundAroundTheRoadsIsGentleAndDrawnAsItCollides) {
  const LevelGrid& g = *grid_;
  const std::vector<Triangle> render =
      worldTriangles(std::string(RUVELO_ASSET_DIR) + "/model/level1RenderFinal2.obj");
  ASSERT_FALSE(render.empty());
  const LevelGrid drawn(render);
  float steepest = 0.0f;
  size_t slopes = 0, mismatched = 0;
  for (uint32_t n = 0; n < g.nodeCount(); ++n) {
    if (!(*reachable_)[n]) continue;
    const Layer& l = g.layer(n);
    steepest = std::max(steepest, l.slopeDeg);
    if (l.slopeDeg > 7.0f) ++slopes;  // steeper than the ramps
    const long d = drawn.nodeAt(g.nodeCentre(n), l.height);
    if (d < 0 || std::fabs(drawn.layer(static_cast<uint32_t>(d)).height - l.height) > 0.01f) {
      if (++mismatched <= 5)
        ADD_FAILURE() << "drawn surface differs at " << g.nodeCentre(n).x << ", " << g.nodeCentre(n).y;
    }
  }
  EXPECT_EQ(mismatched, 0u);
  EXPECT_LE(steepest, 12.0f);
  std::cout << slopes << " reachable cells on embankments, steepest " << steepest << " degrees\n";
  EXPECT_GT(slopes, 15000u) << "embankments around the roads";
}
