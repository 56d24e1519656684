// The GL state mirror: whatever sequence of changes goes through its setters, it holds what GL
// holds, and syncFromDriver recovers it after a change made behind its back.
#include <gtest/gtest.h>

#include <random>

#include "render/gl_state.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

TEST(GlStateMirror, HoldsWhatGlHoldsThroughAnySequenceOfChanges) {
  ASSERT_NE(test::makeGlContext(), nullptr);
  const gl_state::Raster before = gl_state::raster();
  const GLenum polygonModes[] = {GL_FILL, GL_LINE, GL_POINT};
  const GLenum cullModes[] = {GL_BACK, GL_FRONT, GL_FRONT_AND_BACK};
  const GLenum depthFuncs[] = {GL_LESS, GL_LEQUAL, GL_ALWAYS, GL_GREATER};
  const GLenum blendFactors[] = {
      GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA, GL_ONE, GL_ZERO};
  const GLenum caps[] = {GL_CULL_FACE, GL_DEPTH_TEST, GL_BLEND};
  std::mt19937 random(7);
  for (int step = 0; step < 200; ++step) {
    const unsigned pick = random() % 3;
    switch (random() % 6) {
      case 0:
        gl_state::setPolygonMode(polygonModes[pick]);
        break;
      case 1:
        gl_state::setCullFaceMode(cullModes[pick]);
        break;
      case 2:
        gl_state::setDepthFunc(depthFuncs[random() % 4]);
        break;
      case 3:
        gl_state::setBlendFunc(blendFactors[random() % 6], blendFactors[random() % 6]);
        break;
      case 4:
        gl_state::setDepthMask(random() % 2 == 0);
        break;
      default:
        gl_state::setEnabled(caps[pick], random() % 2 == 0);
        break;
    }
    ASSERT_TRUE(gl_state::queryDriver() == gl_state::raster()) << "after step " << step;
  }

  // A change that bypasses the setters is not seen until the mirror is read again from GL.
  gl_state::setEnabled(GL_BLEND, true);
  glDisable(GL_BLEND);
  EXPECT_TRUE(gl_state::raster().blend);
  gl_state::syncFromDriver();
  EXPECT_FALSE(gl_state::raster().blend);
  EXPECT_TRUE(gl_state::queryDriver() == gl_state::raster());

  // Leave the shared context as the test found it.
  gl_state::setPolygonMode(before.polygonMode);
  gl_state::setCullFaceMode(before.cullFaceMode);
  gl_state::setDepthFunc(before.depthFunc);
  gl_state::setEnabled(GL_CULL_FACE, before.cullFace);
  gl_state::setEnabled(GL_DEPTH_TEST, before.depthTest);
  gl_state::setBlendFunc(before.blendSource, before.blendDestination);
  gl_state::setDepthMask(before.depthMask);
  gl_state::setEnabled(GL_BLEND, before.blend);
}

TEST(GlStateMirror, ApplyReachesTheDeclaredStateFromAnyStart) {
  ASSERT_NE(test::makeGlContext(), nullptr);
  const GLenum polygonModes[] = {GL_FILL, GL_LINE, GL_POINT};
  const GLenum cullModes[] = {GL_BACK, GL_FRONT, GL_FRONT_AND_BACK};
  const GLenum depthFuncs[] = {GL_LESS, GL_LEQUAL, GL_ALWAYS, GL_GREATER};
  const GLenum blendFactors[] = {
      GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA, GL_ONE, GL_ZERO};
  std::mt19937 random(11);
  const auto randomRaster = [&] {
    gl_state::Raster r;
    r.polygonMode = polygonModes[random() % 3];
    r.cullFaceMode = cullModes[random() % 3];
    r.depthFunc = depthFuncs[random() % 4];
    r.cullFace = random() % 2 == 0;
    r.depthTest = random() % 2 == 0;
    r.blend = random() % 2 == 0;
    r.blendSource = blendFactors[random() % 6];
    r.blendDestination = blendFactors[random() % 6];
    r.depthMask = random() % 2 == 0;
    r.frontFace = gl_state::raster().frontFace;
    return r;
  };
  for (int round = 0; round < 50; ++round) {
    gl_state::apply(randomRaster());  // whatever an earlier pass left
    const gl_state::Raster declared = randomRaster();
    gl_state::apply(declared);
    ASSERT_TRUE(gl_state::queryDriver() == declared) << "round " << round;
    ASSERT_TRUE(gl_state::raster() == declared) << "round " << round;
  }
}

}  // namespace
}  // namespace ruvelo
