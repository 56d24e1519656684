// The changed-only shadow pass against a whole redraw, texel for texel, over the game's own models
// and the events that change the map: spinning batteries, a pushed cone coming to rest, a collected
// battery, a reached zone, a cone crossing the map's edge, wireframe on and off; with rectangles
// straddling the borders of the tiles the map is drawn in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "passes/shadow_map.h"
#include "render/gl_state.h"
#include "render/model.h"
#include "support/gl_context.h"
#include "support/level_sun.h"

namespace ruvelo {
namespace {

constexpr const char* kModels = "../assets/model/";

// Depth of rows [y, y + height) of the map, whole width.
std::vector<float> readRows(const ShadowMap& map, int y, int height) {
  std::vector<float> depth(static_cast<size_t>(map.size()) * height);
  glBindFramebuffer(GL_FRAMEBUFFER, map.framebuffer());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, y, map.size(), height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return depth;
}

std::vector<float> readRect(const ShadowMap& map, const TexelRect& r) {
  std::vector<float> depth(static_cast<size_t>(r.area()));
  glBindFramebuffer(GL_FRAMEBUFFER, map.framebuffer());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return depth;
}

// Texels that differ, and how many of them are not the cleared value in the reference: a check that
// compares two empty maps proves nothing.
struct Difference {
  long differing = 0;
  long covered = 0;
};
Difference compare(const std::vector<float>& actual, const std::vector<float>& expected) {
  Difference d;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (std::memcmp(&actual[i], &expected[i], sizeof(float)) != 0) ++d.differing;
    if (expected[i] < 1.0f) ++d.covered;
  }
  return d;
}

// The game's casters, loaded from the built asset tree and placed as the game places them.
class ShadowScene : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(64, 64), nullptr);
    gl_state::setEnabled(GL_DEPTH_TEST, true);
    gl_state::setDepthFunc(GL_LESS);
    gl_state::setEnabled(GL_CULL_FACE, true);  // the game's default; the depth pass draws with it
    gl_state::setPolygonMode(GL_FILL);
    depth_ = std::make_shared<Shader>("../assets/shader/simpleDepthShader.vert",
                                      "../assets/shader/simpleDepthShader.frag");
    ASSERT_NE(depth_->program(), 0u);
    // The depth pass uses no material; the models still need one.
    material_.emplace(*depth_, glm::vec3(1.0f), glm::vec3(1.0f), 1.0f);
    const Material& none = *material_;
    const glm::mat4 identity(1.0f);
    level_.emplace(std::string(kModels) + "level1RenderFinal2.obj",
                   glm::scale(glm::translate(identity, glm::vec3(0, 0, 200)), glm::vec3(2.0f)), none,
                   textures_);
    ground_.emplace(std::string(kModels) + "greenPlane.obj",
                    glm::scale(glm::translate(identity, glm::vec3(0, 0.5f, 0)), glm::vec3(300, 1, 800)), none,
                    textures_);
    const glm::vec3 batteryAt[5] = {
        {0, 17.5f, 173}, {-190, 3.5f, 214}, {0, 17.5f, -100}, {-165, 3.5f, 315}, {148, 3.5f, 273}};
    // Copies share one asset, as in the game: the bookkeeping must tell them apart.
    const auto battery = loadModelAsset(std::string(kModels) + "Battery.fbx", none, textures_);
    for (int i = 0; i < 5; ++i) {
      batteryMatrix_[i] = glm::scale(glm::translate(identity, batteryAt[i]), glm::vec3(3.0f));
      batteries_[i].emplace(battery, batteryMatrix_[i]);
    }
    const glm::vec3 coneAt[5] = {
        {-190, 3.25f, 150}, {150, 3.25f, 100}, {50, 3.25f, 100}, {0, 3.25f, 150}, {-100, 3.25f, 275}};
    const auto cone = loadModelAsset(std::string(kModels) + "Cone.fbx", none, textures_);
    for (int i = 0; i < 5; ++i) {
      cones_[i].emplace(cone, identity);
      placeCone(i, coneAt[i], 0.0f);
    }
    const glm::vec3 zoneAt[3] = {{146, 15, 230}, {-160, 15, 218}, {-129, 15, 353}};
    const auto gate = loadModelAsset(std::string(kModels) + "FinishLine.obj", none, textures_);
    for (int i = 0; i < 3; ++i) {
      glm::mat4 m = glm::translate(identity, zoneAt[i]);
      if (i > 0) m = glm::rotate(m, 1.5707963f, glm::vec3(0, 1, 0));
      zones_[i].emplace(gate, glm::scale(m, glm::vec3(2.0f, 2.4f, 2.0f)));
    }
    ASSERT_FALSE(level_->asset().meshes().empty());
    ASSERT_FALSE(battery->meshes().empty());
    ASSERT_FALSE(cone->meshes().empty());
    ASSERT_FALSE(gate->meshes().empty());
  }

  void TearDown() override {
    gl_state::setPolygonMode(GL_FILL);
    gl_state::setEnabled(GL_CULL_FACE, false);
  }

  // A cone standing at `p`, tipped by `tip` radians about x, as the game builds its matrix.
  void placeCone(int i, const glm::vec3& p, float tip) {
    const glm::mat4 m = glm::translate(glm::mat4(1.0f), p + glm::vec3(0, 1.5f, 0)) *
                        glm::scale(glm::mat4(1.0f), glm::vec3(3.5f)) *
                        glm::rotate(glm::mat4(1.0f), tip, glm::vec3(1, 0, 0));
    cones_[i]->setModelMatrix(m);
  }

  // One frame of the game's spin for every battery still there.
  void spin(float dt) {
    for (int i = 0; i < 5; ++i) {
      if (!batteryVisible_[i]) continue;
      // The game's spin: 45 degrees per second about the model's own z axis.
      batteryMatrix_[i] =
          glm::rotate(batteryMatrix_[i], glm::radians(45.0f) * dt, glm::vec3(0.0f, 0.0f, 1.0f));
      batteries_[i]->setModelMatrix(batteryMatrix_[i]);
    }
  }

  // The game's casters in its order, each under its own key: gates, cones, ground, batteries, level.
  ShadowCasters casters() const {
    ShadowCasters c;
    const auto add = [&c](const Model& m, int key, bool sloped = false) {
      c.push_back({key, &m.asset(), m.modelMatrix(), sloped});
    };
    for (int i = 0; i < 3; ++i)
      if (zoneVisible_[i]) add(*zones_[i], i);
    for (int i = 0; i < 5; ++i) add(*cones_[i], 10 + i);
    add(*ground_, 20);
    for (int i = 0; i < 5; ++i)
      if (batteryVisible_[i]) add(*batteries_[i], 30 + i);
    add(*level_, 40, true);
    return c;
  }

  std::shared_ptr<Shader> depth_;
  std::optional<Material> material_;
  TextureCache textures_;
  std::optional<Model> level_, ground_;
  std::optional<Model> batteries_[5], cones_[5], zones_[3];
  glm::mat4 batteryMatrix_[5];
  bool batteryVisible_[5] = {true, true, true, true, true};
  bool zoneVisible_[3] = {true, true, true};
};

TEST_F(ShadowScene, ChangedOnlyPassEqualsAWholeRedrawThroughEveryEvent) {
  constexpr int kSize = 2048;
  // Tiles far smaller than the game's, and not dividing the map, so rectangles straddle tile borders
  // and the last row and column of tiles are partial.
  constexpr int kTile = 300;
  ShadowMap incremental(test::levelSun(), kSize, kTile), reference(test::levelSun(), kSize, kTile);
  int frame = 0;
  long partialFrames = 0;
  long straddling = 0;
  // Draws the frame both ways and compares the whole maps; `expectPartial` says which path the
  // changed-only pass must have taken, so the comparison cannot pass by always redrawing everything.
  auto frameMatches = [&](const std::string& what, bool expectPartial) {
    ++frame;
    incremental.renderChangedDepthPass(*depth_, casters());
    reference.renderDepthPass(*depth_, casters());
    EXPECT_EQ(!incremental.lastUpdate().full, expectPartial) << what << " (frame " << frame << ")";
    if (!incremental.lastUpdate().full) ++partialFrames;
    for (const TexelRect& r : incremental.lastUpdate().rects)
      if (r.x0 / kTile != (r.x1 - 1) / kTile || r.y0 / kTile != (r.y1 - 1) / kTile) ++straddling;
    const Difference d = compare(readRows(incremental, 0, kSize), readRows(reference, 0, kSize));
    EXPECT_EQ(d.differing, 0) << what << " (frame " << frame << ")";
    EXPECT_GT(d.covered, 10000) << what;  // wireframe covers far less than filled casters
  };

  frameMatches("first frame", false);
  frameMatches("nothing moved", true);
  EXPECT_TRUE(incremental.lastUpdate().rects.empty());

  for (int i = 0; i < 12; ++i) {
    spin(0.7f);
    frameMatches("batteries spinning", true);
  }
  EXPECT_EQ(incremental.lastUpdate().rects.size(), 5u) << "one rectangle per spinning battery";

  // Cone 1 is shoved along x, tipping over, then lies still while the batteries keep turning.
  for (int i = 1; i <= 8; ++i) {
    spin(0.05f);
    placeCone(1, glm::vec3(150.0f + 2.5f * i, 3.25f, 100.0f - 0.7f * i), 0.2f * i);
    frameMatches("cone pushed", true);
  }
  spin(0.05f);
  frameMatches("cone at rest", true);
  EXPECT_EQ(incremental.lastUpdate().rects.size(), 5u) << "a cone at rest redraws nothing";

  batteryVisible_[2] = false;
  spin(0.05f);
  frameMatches("battery collected", true);
  zoneVisible_[1] = false;
  spin(0.05f);
  frameMatches("zone reached", true);
  frameMatches("zone reached, next frame", true);

  // Light-space x is (world x − world z) / √2: the map's edge (x = 400) lies at x − z ≈ 565.7.
  for (int i = 0; i < 8; ++i) {
    const float along = 268.0f + 5.0f * i;
    placeCone(3, glm::vec3(along, 3.25f, -along), 0.0f);
    spin(0.05f);
    frameMatches("cone across the map's edge", true);
  }

  // Wireframe changes every caster's coverage: the first frame in and out of it redraws everything.
  gl_state::setPolygonMode(GL_LINE);
  spin(0.05f);
  frameMatches("wireframe on", false);
  spin(0.05f);
  frameMatches("wireframe, spinning", true);
  gl_state::setPolygonMode(GL_FILL);
  spin(0.05f);
  frameMatches("wireframe off", false);

  // Moving the ground touches most of the map: cheaper and safer to draw it whole.
  ground_->setModelMatrix(
      glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(0, 0.6f, 0)), glm::vec3(300, 1, 800)));
  frameMatches("ground moved", false);
  EXPECT_GT(partialFrames, 30);
  EXPECT_GT(straddling, 0) << "no rectangle crossed a tile border";
}

// The map drawn in triangle runs against the casters drawn whole, tile by tile through the same grid
// and viewports, after a whole pass and after changed-only ones: skipping the runs off a part must
// not lose a texel.
TEST_F(ShadowScene, EveryTileHoldsItsCastersDrawnWhole) {
  constexpr int kSize = 2048;
  constexpr int kTile = 300;
  ShadowMap map(test::levelSun(), kSize, kTile);
  // A map one tile in size: only its depth target is used, to draw the expected tiles on.
  const ShadowMap tileTarget(test::levelSun(), kTile);

  auto mapMatchesWholeCasters = [&](const std::string& what) {
    const ShadowCasters c = casters();
    depth_->use();
    depth_->setMat4("projMatrix", lightProjection(test::levelSun()));
    depth_->setMat4("viewMatrix", lightView(test::levelSun()));
    Difference total;
    for (int y0 = 0; y0 < kSize; y0 += kTile) {
      for (int x0 = 0; x0 < kSize; x0 += kTile) {
        const TexelRect tile{x0, y0, std::min(x0 + kTile, kSize), std::min(y0 + kTile, kSize)};
        glBindFramebuffer(GL_FRAMEBUFFER, tileTarget.framebuffer());
        glViewport(-x0, -y0, kSize, kSize);
        glClear(GL_DEPTH_BUFFER_BIT);
        glEnable(GL_POLYGON_OFFSET_FILL);
        for (const ShadowCaster& caster : c) {
          glPolygonOffset(caster.sloped ? 3.5f : 2.0f, 1.0f);
          caster.asset->drawWithProgram(*depth_, caster.matrix);
        }
        glDisable(GL_POLYGON_OFFSET_FILL);
        const std::vector<float> expected = readRect(tileTarget, {0, 0, tile.x1 - x0, tile.y1 - y0});
        const Difference d = compare(readRect(map, tile), expected);
        total.differing += d.differing;
        total.covered += d.covered;
      }
    }
    EXPECT_EQ(total.differing, 0) << what;
    EXPECT_GT(total.covered, 100000) << what;
  };

  map.renderChangedDepthPass(*depth_, casters());
  ASSERT_TRUE(map.lastUpdate().full);
  mapMatchesWholeCasters("whole pass");
  for (int i = 0; i < 3; ++i) {
    spin(0.7f);
    placeCone(2, glm::vec3(50.0f + 4.0f * i, 3.25f, 100.0f), 0.3f * i);
    map.renderChangedDepthPass(*depth_, casters());
    ASSERT_FALSE(map.lastUpdate().full);
  }
  mapMatchesWholeCasters("after changed-only passes");
}

// At the game's own map size, on one map: the rectangles after each changed-only pass and a dense
// grid of rows hold exactly what a whole redraw of the same casters then writes.
TEST_F(ShadowScene, ChangedOnlyPassMatchesAtTheGamesMapSize) {
  ShadowMap map(test::levelSun(), kShadowMapSize);
  map.renderChangedDepthPass(*depth_, casters());
  ASSERT_TRUE(map.lastUpdate().full);
  constexpr int kRowStride = 61;
  for (int step = 0; step < 3; ++step) {
    spin(0.5f);
    placeCone(0, glm::vec3(-190.0f + 3.0f * step, 3.25f, 150.0f), 0.3f * step);
    if (step == 1) batteryVisible_[0] = false;
    map.renderChangedDepthPass(*depth_, casters());
    ASSERT_FALSE(map.lastUpdate().full);
    const std::vector<TexelRect> rects = map.lastUpdate().rects;
    ASSERT_GE(rects.size(), 5u);
    std::vector<std::vector<float>> before;
    for (const TexelRect& r : rects) before.push_back(readRect(map, r));
    std::vector<std::vector<float>> rowsBefore;
    for (int y = 0; y < kShadowMapSize; y += kRowStride) rowsBefore.push_back(readRows(map, y, 1));

    map.renderDepthPass(*depth_, casters());
    for (size_t i = 0; i < rects.size(); ++i) {
      const Difference d = compare(before[i], readRect(map, rects[i]));
      EXPECT_EQ(d.differing, 0) << "step " << step << " rectangle " << i;
      EXPECT_GT(d.covered, 0) << "step " << step << " rectangle " << i;
    }
    Difference rows;
    for (int y = 0, i = 0; y < kShadowMapSize; y += kRowStride, ++i) {
      const Difference d = compare(rowsBefore[static_cast<size_t>(i)], readRows(map, y, 1));
      rows.differing += d.differing;
      rows.covered += d.covered;
    }
    EXPECT_EQ(rows.differing, 0) << "step " << step;
    EXPECT_GT(rows.covered, 0);
  }
}

}  // namespace
}  // namespace ruvelo
