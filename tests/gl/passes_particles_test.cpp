// Snow read back: one instanced draw covers the whole pool, living flakes face the camera and show,
// dead ones vanish.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <memory>

#include "passes/particle_system.h"
#include "render/gl_state.h"
#include "render/shader.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

constexpr int kSize = 64;

// Instanced draws counted by wrapping GLEW's function pointer.
int instancedDraws = 0;
int instancesDrawn = 0;
PFNGLDRAWARRAYSINSTANCEDPROC realDrawArraysInstanced = nullptr;

void GLAPIENTRY countDrawArraysInstanced(GLenum mode, GLint first, GLsizei count, GLsizei instances) {
  ++instancedDraws;
  instancesDrawn += instances;
  realDrawArraysInstanced(mode, first, count, instances);
}

class Snow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(kSize, kSize), nullptr);
    program_ = std::make_shared<Shader>("../assets/shader/particles.vert", "../assets/shader/particles.frag");
    ASSERT_NE(program_->program(), 0u);
    flake_ = test::makeTempDir("ruvelo-snow") + "/flake.png";
    const std::vector<std::uint8_t> white(8 * 8 * 4, 255);
    ASSERT_TRUE(test::writePng(flake_, white, 8, 8));
    gl_state::setEnabled(GL_DEPTH_TEST, false);  // the composite leaves depth testing off before the snow
    gl_state::setEnabled(GL_CULL_FACE, false);
    gl_state::setEnabled(GL_BLEND, true);
    gl_state::setBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    realDrawArraysInstanced = __glewDrawArraysInstanced;
    __glewDrawArraysInstanced = countDrawArraysInstanced;
  }
  void TearDown() override {
    if (realDrawArraysInstanced != nullptr) __glewDrawArraysInstanced = realDrawArraysInstanced;
  }

  static void clear() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  static int brightPixels() {
    const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(0, 0, kSize, kSize);
    int count = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) count += rgba[i] > 128 ? 1 : 0;
    return count;
  }

  std::shared_ptr<Shader> program_;
  std::string flake_;
};

TEST_F(Snow, OneInstancedDrawOfTheFlakesInSight) {
  ParticleSystem snow(*program_, 2000, flake_);
  const glm::mat4 view = glm::lookAt(glm::vec3(0, 15, 20), glm::vec3(0, 10, 0), glm::vec3(0, 1, 0));
  const glm::mat4 projection = glm::perspective(glm::radians(45.0f), 1.0f, 0.1f, 1500.0f);
  // The first flakes (at the origin, out of sight) die; then a full pool around the point looked at.
  snow.update(0, {0, 0, 0}, {0, 0, 0}, 1.0f);
  snow.update(2000, {0, 10, 0}, {1, 0, 0}, 0.0f);
  clear();
  instancedDraws = instancesDrawn = 0;
  for (int frame = 0; frame < 3; ++frame) {
    snow.update(7, {0, 10, 0}, {1, 0, 0}, 1.0f / 60.0f);
    snow.draw(view, projection);
  }
  EXPECT_EQ(instancedDraws, 3);
  // The camera stands in the pool's box: some flakes are in sight, and many are not.
  EXPECT_GT(instancesDrawn, 3 * 200);
  EXPECT_LT(instancesDrawn, 3 * 1500);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Snow, LivingFlakesFaceTheCameraAndDeadOnesVanish) {
  ParticleSystem snow(*program_, 50, flake_);
  // The initial pool: 50 flakes of size 0.1 at the origin, alive for one second. Seen from an
  // oblique camera through a 0.4-unit-wide window, a camera-facing flake is a 16-pixel square.
  const glm::mat4 view = glm::lookAt(glm::vec3(3, 4, 5), glm::vec3(0), glm::vec3(0, 1, 0));
  const glm::mat4 projection = glm::ortho(-0.2f, 0.2f, -0.2f, 0.2f, 0.1f, 100.0f);
  clear();
  snow.draw(view, projection);
  const int lit = brightPixels();
  EXPECT_GE(lit, 14 * 14);
  EXPECT_LE(lit, 18 * 18);

  // With the flakes' centre 0.03 right of the window, their left 0.02 still reaches in: that strip
  // is drawn, not culled with the centre.
  clear();
  snow.draw(view, glm::ortho(-0.43f, -0.03f, -0.2f, 0.2f, 0.1f, 100.0f));
  EXPECT_GE(brightPixels(), 2 * 14);
  EXPECT_LE(brightPixels(), 4 * 18);
  clear();
  snow.draw(view, glm::ortho(-0.48f, -0.08f, -0.2f, 0.2f, 0.1f, 100.0f));
  EXPECT_EQ(brightPixels(), 0);

  snow.update(0, {0, 0, 0}, {0, 0, 0}, 1.0f);  // every flake dies
  clear();
  snow.draw(view, projection);
  EXPECT_EQ(brightPixels(), 0) << "dead flakes are still drawn";
}

}  // namespace
}  // namespace ruvelo
