// The edge post-process read back: a depth step becomes a dark outline in the composite, a sloping
// ground does not, and the composite replaces what the window held.
#include <gtest/gtest.h>

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>

#include "passes/post_process.h"
#include "render/gl_handles.h"
#include "render/gl_state.h"
#include "render/shader.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

constexpr int kSize = 64;

std::shared_ptr<Shader> program(const std::string& name) {
  return std::make_shared<Shader>("../assets/shader/" + name + ".vert", "../assets/shader/" + name + ".frag");
}

class PostProcessPass : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(kSize, kSize), nullptr);
    edge_ = program("edgeDetect");
    quad_ = program("quad");
    edgeInk_ = std::make_shared<Shader>("../assets/shader/edgeDetect.vert",
                                        "../assets/shader/edgeDetect.frag", "#define INK\n");
    upscale_ = std::make_shared<Shader>("../assets/shader/quad.vert", "../assets/shader/upscale.frag");
    ASSERT_NE(edge_->program(), 0u);
    ASSERT_NE(quad_->program(), 0u);
    ASSERT_NE(edgeInk_->program(), 0u);
    ASSERT_NE(upscale_->program(), 0u);
    gl_state::setEnabled(GL_DEPTH_TEST, true);
    gl_state::setEnabled(GL_CULL_FACE, true);
    gl_state::setEnabled(GL_BLEND, true);
    gl_state::setBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }

  // Scene colour grey; the left half of the scene a nearby surface (depth 0.3, about 0.14 units
  // away), the right half empty (depth 1, the far plane).
  static void drawDepthStep() {
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, kSize / 2, kSize);
    glClearDepth(0.3);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glDisable(GL_SCISSOR_TEST);
  }

  // What the renderer's edge and composite passes draw with: no depth test, no blending.
  static void quadPassState() {
    gl_state::setEnabled(GL_DEPTH_TEST, false);
    gl_state::setEnabled(GL_BLEND, false);
  }

  static float grey(const std::vector<std::uint8_t>& rgba, int x, int y) {
    const size_t i = (static_cast<size_t>(y) * kSize + x) * 4;
    return (rgba[i] + rgba[i + 1] + rgba[i + 2]) / (3.0f * 255.0f);
  }

  std::shared_ptr<Shader> edge_;
  std::shared_ptr<Shader> quad_;
  std::shared_ptr<Shader> edgeInk_;
  std::shared_ptr<Shader> upscale_;
};

TEST_F(PostProcessPass, DepthStepBecomesAnOutlineAndFlatAreasKeepTheirColour) {
  const PostProcess post(kSize, kSize, *edge_, *quad_, *edgeInk_, *upscale_);
  // Old window content that the composite must replace, not blend with.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  post.beginScene();
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), post.sceneFramebuffer());
  drawDepthStep();
  quadPassState();
  post.edgePass();
  post.composite(glm::ivec2(kSize));

  const std::vector<std::uint8_t> image = test::readPixelsRGBA(0, 0, kSize, kSize);
  for (int y = 4; y < kSize - 4; y += 8) {
    EXPECT_LT(std::min(grey(image, 31, y), grey(image, 32, y)), 0.15f) << "no outline at row " << y;
    for (int x : {4, 20, 44, 60}) {
      EXPECT_NEAR(grey(image, x, y), 0.5f, 0.02f) << "at " << x << "," << y;
      const size_t i = (static_cast<size_t>(y) * kSize + x) * 4;
      EXPECT_NEAR(image[i], image[i + 1], 2) << "old red window content shows at " << x << "," << y;
    }
  }
}

// Where the composite cannot write (a window larger than the targets, wireframe, its quad culled)
// the window shows the clear colour, never the previous frame.
TEST_F(PostProcessPass, WhatTheCompositeCannotCoverIsClearedNotLeftOver) {
  auto oldFrameThenComposite = [&](const PostProcess& post) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    post.beginScene();
    drawDepthStep();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    // The passes decide from the mirrored GL state, so each must leave it what GL holds.
    quadPassState();
    post.edgePass();
    EXPECT_TRUE(gl_state::queryDriver() == gl_state::raster()) << "the edge pass changed state unmirrored";
    post.composite(glm::ivec2(kSize));
    EXPECT_TRUE(gl_state::queryDriver() == gl_state::raster()) << "the composite changed state unmirrored";
    return test::readPixelsRGBA(0, 0, kSize, kSize);
  };
  auto pixel = [](const std::vector<std::uint8_t>& rgba, int x, int y) {
    const size_t i = (static_cast<size_t>(y) * kSize + x) * 4;
    return glm::ivec3(rgba[i], rgba[i + 1], rgba[i + 2]);
  };

  const PostProcess small(kSize / 2, kSize / 2, *edge_, *quad_, *edgeInk_, *upscale_);
  std::vector<std::uint8_t> image = oldFrameThenComposite(small);
  EXPECT_EQ(pixel(image, 48, 48), glm::ivec3(0)) << "outside the targets' size";
  EXPECT_EQ(pixel(image, 8, 40), glm::ivec3(0)) << "above the targets' size";
  EXPECT_NEAR(pixel(image, 8, 8).x, 128, 3) << "the scene inside it";

  const PostProcess post(kSize, kSize, *edge_, *quad_, *edgeInk_, *upscale_);
  gl_state::setPolygonMode(GL_LINE);
  image = oldFrameThenComposite(post);
  gl_state::setPolygonMode(GL_FILL);
  EXPECT_EQ(pixel(image, 16, 16), glm::ivec3(0)) << "between the wireframe quad's lines";

  gl_state::setCullFaceMode(GL_FRONT);
  image = oldFrameThenComposite(post);
  gl_state::setCullFaceMode(GL_BACK);
  EXPECT_EQ(pixel(image, 16, 16), glm::ivec3(0)) << "the quad culled";

  image = oldFrameThenComposite(post);
  EXPECT_NEAR(pixel(image, 16, 16).x, 128, 3) << "filled and the window's size: the scene everywhere";
}

TEST_F(PostProcessPass, SlopingGroundGivesNoOutline) {
  const PostProcess post(kSize, kSize, *edge_, *quad_, *edgeInk_, *upscale_);
  auto depthOnly = program("simpleDepthShader");
  ASSERT_NE(depthOnly->program(), 0u);
  // A ground square y = 0 of half-size 3000, counter-clockwise seen from above.
  const float s = 3000.0f;
  const float ground[] = {-s, 0, -s, -s, 0, s, s, 0, s, -s, 0, -s, s, 0, s, s, 0, -s};
  GlVertexArray vao = GlVertexArray::generate();
  GlBuffer vbo = GlBuffer::generate();
  glBindVertexArray(vao.get());
  glBindBuffer(GL_ARRAY_BUFFER, vbo.get());
  glBufferData(GL_ARRAY_BUFFER, sizeof(ground), ground, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);

  // A driver's eye 2 units above the ground looking slightly down: the ground recedes from the
  // bottom of the image to the far plane.
  gl_state::setEnabled(GL_DEPTH_TEST, true);
  post.beginScene();
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  depthOnly->use();
  depthOnly->setMat4("projMatrix", glm::perspective(glm::radians(45.0f), 1.0f, 0.1f, 1500.0f));
  depthOnly->setMat4("viewMatrix", glm::lookAt(glm::vec3(0, 2, 0), glm::vec3(0, 0, -30), glm::vec3(0, 1, 0)));
  depthOnly->setMat4("modelMatrix", glm::mat4(1.0f));
  glDrawArrays(GL_TRIANGLES, 0, 6);
  glBindVertexArray(0);
  quadPassState();
  post.edgePass();

  glBindFramebuffer(GL_READ_FRAMEBUFFER, post.edgeFramebuffer());
  const std::vector<std::uint8_t> edges = test::readPixelsRGBA(0, 0, kSize, kSize);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  // Check that the ground really covers the lower part, then that none of it is outlined.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, post.sceneFramebuffer());
  float depth = 1.0f;
  glReadPixels(kSize / 2, 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  ASSERT_LT(depth, 0.999f);
  int outlined = 0;
  for (int y = 0; y < kSize / 2; ++y) {
    for (int x = 0; x < kSize; ++x) outlined += edges[(static_cast<size_t>(y) * kSize + x) * 4] > 25 ? 1 : 0;
  }
  EXPECT_EQ(outlined, 0);
}

}  // namespace
}  // namespace ruvelo
