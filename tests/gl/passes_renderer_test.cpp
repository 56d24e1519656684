// The renderer's passes each apply the GL state they declare: a frame drawn after the state was
// left deliberately wrong is the same picture, and the debug toggles are what change it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <glm/gtc/matrix_transform.hpp>

#include "passes/renderer.h"
#include "render/gl_state.h"
#include "support/gl_context.h"
#include "support/level_sun.h"

namespace ruvelo {
namespace {

constexpr int kSize = 256;

class RendererFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(kSize, kSize), nullptr);
    renderer_ = Renderer::load(kSize, kSize, test::levelSun());
    ASSERT_NE(renderer_, nullptr);
    const AssetHandle coneAsset =
        renderer_->loadModel({"../assets/model/Cone.fbx", MaterialKind::Environment});
    renderer_->createTargets();
    camera_.setPerspective(45.0f, 1.0f, 0.1f, 1500.0f);
    camera_.updateFreeView();
    // One cone 20 ahead of the camera, casting and culled like the game's.
    DrawItem cone;
    cone.asset = coneAsset;
    cone.matrix = glm::scale(glm::translate(glm::mat4(1.0f), camera_.position + glm::vec3(0, -3, -20)),
                             glm::vec3(3.5f));
    cone.centre = glm::vec3(cone.matrix[3]);
    cone.flags = kCastsShadow | kCulled | kCounted;
    list_.items = {cone};
    list_.frustum = Frustum(camera_.viewMatrix, camera_.projectionMatrix);
  }

  // Everything a pass could inherit, wrong: state, depth function and viewport.
  static void scramble() {
    gl_state::setPolygonMode(GL_POINT);
    gl_state::setCullFaceMode(GL_FRONT);
    gl_state::setEnabled(GL_CULL_FACE, true);
    gl_state::setEnabled(GL_DEPTH_TEST, true);
    gl_state::setEnabled(GL_BLEND, true);
    gl_state::setDepthFunc(GL_GREATER);
    glViewport(7, 9, 11, 13);
  }

  // The game's frame; with `wrongState`, the state scrambled before every pass.
  std::vector<std::uint8_t> frame(bool wrongState = false, bool hud = true) {
    const auto before = [wrongState] {
      if (wrongState) scramble();
    };
    before();
    renderer_->shadowPass(list_, true);
    renderer_->beginScene();
    before();
    drawn_ = renderer_->litPass(list_, camera_, 1.0f);
    before();
    renderer_->sky(camera_);
    before();
    renderer_->translucentPass(list_, camera_, 1.0f);
    before();
    renderer_->edgePass();
    before();
    renderer_->composite(glm::ivec2(kSize));
    before();
    if (hud) {
      Overlay overlay;
      overlay.shapes.push_back(FlatShape{{1.0f, 0.5f, 0.0f}, 0.7f, {{2, 2}, {20, 2}, {2, 20}}});
      overlay.lines.push_back(TextLine{"Time 153", 0.1f, 0.8f, 0.5f, glm::vec3(220, 20, 60) / 255.0f});
      renderer_->overlay(overlay);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    return test::readPixelsRGBA(0, 0, kSize, kSize);
  }

  std::unique_ptr<Renderer> renderer_;
  Camera camera_;
  DrawList list_;
  int drawn_ = 0;
};

TEST_F(RendererFrame, PassesDrawTheSamePictureFromAnyLeftoverState) {
  const std::vector<std::uint8_t> reference = frame();
  EXPECT_EQ(drawn_, 1);

  // A frame of another scene first, so that a pass drawing nothing would show what it left.
  const DrawList scene = list_;
  list_.items[0].matrix = glm::translate(list_.items[0].matrix, glm::vec3(2, 0, 0));
  list_.items[0].centre = glm::vec3(list_.items[0].matrix[3]);
  ASSERT_FALSE(frame() == reference);
  list_ = scene;
  const std::vector<std::uint8_t> again = frame(true);
  EXPECT_EQ(drawn_, 1);
  EXPECT_TRUE(again == reference) << "a pass drew with state another left";
  EXPECT_TRUE(gl_state::queryDriver() == gl_state::raster());

  // The toggles are the passes' input: wireframe changes the picture, and switching it back restores it.
  renderer_->setToggles({true, true});
  EXPECT_FALSE(frame() == reference);
  renderer_->setToggles({false, true});
  EXPECT_TRUE(frame() == reference);
}

TEST_F(RendererFrame, TranslucentItemsBlendOverTheSceneCastNothingAndAreNotCounted) {
  const std::vector<std::uint8_t> opaque = frame();
  const DrawList scene = list_;
  list_.items.clear();
  const std::vector<std::uint8_t> empty = frame();

  // The same cone, see-through: whatever its other flags say, it is drawn over the scene at its
  // opacity, not counted and not drawn into the shadow map.
  list_ = scene;
  list_.items[0].flags |= kTranslucent;
  list_.items[0].opacity = 0.35f;
  const std::vector<std::uint8_t> seeThrough = frame(true);
  EXPECT_EQ(drawn_, 0);
  EXPECT_TRUE(gl_state::queryDriver() == gl_state::raster());
  ASSERT_EQ(seeThrough.size(), opaque.size());
  int between = 0;
  for (size_t i = 0; i < opaque.size(); i += 4) {
    const int o = opaque[i] + opaque[i + 1] + opaque[i + 2], e = empty[i] + empty[i + 1] + empty[i + 2],
              t = seeThrough[i] + seeThrough[i + 1] + seeThrough[i + 2];
    if (std::abs(o - e) > 60 && std::abs(t - e) > 10 && std::abs(t - o) > 10) ++between;
  }
  EXPECT_GT(between, 50) << "the cone's pixels lie between the empty scene and the opaque cone";

  // It left nothing behind: the opaque frame comes back exactly.
  list_ = scene;
  EXPECT_TRUE(frame(true) == opaque);
}

}  // namespace
}  // namespace ruvelo

namespace ruvelo {
namespace {

// At half scale the scene is drawn on a quarter of the pixels and scaled up to the whole window; the
// HUD is drawn over it at the window's own size, its glyph edges where they are at full scale.
TEST_F(RendererFrame, AScaledFrameUpscalesTheSceneAndKeepsTheHudSharp) {
  const std::vector<std::uint8_t> scene = frame(false, false);
  const std::vector<std::uint8_t> full = frame();
  renderer_->setRenderScale(0.5f);
  const std::vector<std::uint8_t> halfScene = frame(false, false);
  const std::vector<std::uint8_t> half = frame();
  renderer_->setRenderScale(1.0f);
  EXPECT_EQ(frame(), full) << "back at 1.0 the frame is the full-scale one";

  // The scene covers the whole window at either scale, the same picture but softer: close on
  // average, different somewhere (the cone's outline).
  double sum = 0.0;
  int differing = 0;
  for (size_t i = 0; i < scene.size(); i += 4) {
    for (size_t c = 0; c < 3; ++c) sum += std::abs(int(scene[i + c]) - int(halfScene[i + c]));
    if (scene[i] != halfScene[i] || scene[i + 1] != halfScene[i + 1] || scene[i + 2] != halfScene[i + 2])
      ++differing;
  }
  EXPECT_LT(sum / (scene.size() / 4 * 3), 4.0) << "the half-scale scene is not the full one scaled up";
  EXPECT_GT(differing, 0) << "nothing was drawn at a lower scale";

  // The HUD's pixels: where it changed the scene. The same pixels at both scales, and where a glyph
  // covers a pixel fully (the text colour exactly) the same colour.
  const glm::ivec3 crimson(220, 20, 60);
  int hudPixels = 0;
  for (size_t i = 0; i < full.size(); i += 4) {
    const bool hudAtFull = !std::equal(&full[i], &full[i + 3], &scene[i]);
    const bool hudAtHalf = !std::equal(&half[i], &half[i + 3], &halfScene[i]);
    const int x = static_cast<int>(i / 4) % kSize, y = static_cast<int>(i / 4) / kSize;
    ASSERT_EQ(hudAtFull, hudAtHalf) << "glyph edge moved at " << x << "," << y;
    if (!hudAtFull) continue;
    ++hudPixels;
    if (glm::ivec3(full[i], full[i + 1], full[i + 2]) == crimson) {
      EXPECT_EQ(glm::ivec3(half[i], half[i + 1], half[i + 2]), crimson) << "at " << x << "," << y;
    }
  }
  EXPECT_GT(hudPixels, 100);
}

}  // namespace
}  // namespace ruvelo
