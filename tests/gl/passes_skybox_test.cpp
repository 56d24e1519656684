// The sky read back: it fills only pixels still at the cleared depth, shows the face the camera
// looks at, ignores camera translation, and reports a missing face once.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>
#include <memory>

#include "passes/skybox.h"
#include "render/gl_state.h"
#include "render/shader.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

constexpr int kSize = 64;

// Face colours in upload order +x, −x, +y, −y, +z, −z.
const glm::u8vec3 kFaceColours[6] = {{200, 30, 30},  {30, 200, 30},  {30, 30, 200},
                                     {200, 200, 30}, {30, 200, 200}, {200, 30, 200}};

class SkyboxDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(kSize, kSize), nullptr);
    program_ = std::make_shared<Shader>("../assets/shader/cubeMapShader.vert",
                                        "../assets/shader/cubeMapShader.frag");
    ASSERT_NE(program_->program(), 0u);
    dir_ = test::makeTempDir("ruvelo-sky");
    // Four-channel files: the loader must still upload them as RGB correctly.
    for (int face = 0; face < 6; ++face) {
      std::vector<std::uint8_t> rgba;
      for (int i = 0; i < 8 * 8; ++i) {
        rgba.insert(rgba.end(), {kFaceColours[face].r, kFaceColours[face].g, kFaceColours[face].b, 255});
      }
      faces_[face] = dir_ + "/face" + std::to_string(face) + ".png";
      ASSERT_TRUE(test::writePng(faces_[face], rgba, 8, 8));
    }
    gl_state::setEnabled(GL_DEPTH_TEST, true);
    gl_state::setDepthFunc(GL_LESS);
    gl_state::setEnabled(GL_CULL_FACE, true);
    gl_state::setEnabled(GL_BLEND, false);
    projection_ = glm::perspective(glm::radians(60.0f), 1.0f, 0.1f, 1500.0f);
  }

  // Clears the window black; the left half also gets a nearer depth, as if an object covered it.
  void clearWithObjectOnTheLeft() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, kSize / 2, kSize);
    glClearDepth(0.5);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearDepth(1.0);
  }

  static glm::mat4 lookFrom(const glm::vec3& eye, const glm::vec3& direction) {
    return glm::lookAt(eye, eye + direction, glm::vec3(0.0f, 1.0f, 0.0f));
  }

  static glm::u8vec3 pixel(int x, int y) {
    const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(x, y, 1, 1);
    return {rgba[0], rgba[1], rgba[2]};
  }

  static void expectColour(const glm::u8vec3& actual, const glm::u8vec3& expected) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], 3) << "channel " << i;
  }

  std::shared_ptr<Shader> program_;
  std::string dir_;
  std::array<std::string, 6> faces_;
  glm::mat4 projection_;
};

TEST_F(SkyboxDraw, FillsOnlyClearedPixelsWithTheFaceInView) {
  const Skybox sky(faces_);
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), glm::vec3(0, 0, -1)), projection_);
  expectColour(pixel(48, 32), kFaceColours[5]);  // looking down −z
  expectColour(pixel(16, 32), {0, 0, 0});        // covered by the "object"
  GLint depthFunc = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  EXPECT_EQ(depthFunc, GL_LESS);
  EXPECT_TRUE(gl_state::queryDriver() == gl_state::raster()) << "the sky changed GL state the mirror missed";

  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), glm::vec3(1, 0, 0)), projection_);
  expectColour(pixel(48, 32), kFaceColours[0]);
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), glm::vec3(0, 0, 1)), projection_);
  expectColour(pixel(48, 32), kFaceColours[4]);
}

TEST_F(SkyboxDraw, CameraTranslationDoesNotMoveTheSky) {
  const Skybox sky(faces_);
  const glm::vec3 direction = glm::normalize(glm::vec3(1.0f, 0.3f, -1.0f));  // a corner: three faces
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), direction), projection_);
  const std::vector<std::uint8_t> atOrigin = test::readPixelsRGBA(0, 0, kSize, kSize);
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(5000.0f, 200.0f, -3000.0f), direction), projection_);
  const std::vector<std::uint8_t> faraway = test::readPixelsRGBA(0, 0, kSize, kSize);
  EXPECT_TRUE(atOrigin == faraway) << "the sky moved with the camera";
  // Turning the camera does change it.
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), -direction), projection_);
  EXPECT_FALSE(atOrigin == test::readPixelsRGBA(0, 0, kSize, kSize));
}

TEST_F(SkyboxDraw, MissingFaceIsReportedOnceAndTheOthersStillLoad) {
  std::array<std::string, 6> faces = faces_;
  faces[2] = dir_ + "/no-such-top.jpg";
  testing::internal::CaptureStdout();
  const Skybox sky(faces);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(output,
            "Cubemap texture failed to load at path: " + faces[2] + "\n  in " + faces[2] + ": can't fopen\n");
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), glm::vec3(1, 0, 0)), projection_);
  EXPECT_NE(sky.cubeMap(), 0u);
  GLint width = 0;
  glBindTexture(GL_TEXTURE_CUBE_MAP, sky.cubeMap());
  glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 8);
  glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_Y, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 0);
}

TEST_F(SkyboxDraw, FacesOfAnotherSizeAreReportedAndScaledSoTheWholeSkyStillShows) {
  std::array<std::string, 6> faces = faces_;
  // +x twice the size of the others, −z not square; both keep their own colour.
  auto solid = [&](int face, int width, int height) {
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < width * height; ++i)
      rgba.insert(rgba.end(), {kFaceColours[face].r, kFaceColours[face].g, kFaceColours[face].b, 255});
    faces[face] = dir_ + "/odd" + std::to_string(face) + ".png";
    ASSERT_TRUE(test::writePng(faces[face], rgba, width, height));
  };
  solid(0, 16, 16);
  solid(5, 8, 4);
  testing::internal::CaptureStdout();
  const Skybox sky(faces);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(output, "Cubemap face " + faces[0] +
                        " is 16 x 16, not 8 x 8 like the other faces: scaled to fit\n" + "Cubemap face " +
                        faces[5] + " is 8 x 4, not 8 x 8 like the other faces: scaled to fit\n");
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), glm::vec3(1, 0, 0)), projection_);
  expectColour(pixel(48, 32), kFaceColours[0]);
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), glm::vec3(0, 0, -1)), projection_);
  expectColour(pixel(48, 32), kFaceColours[5]);
  clearWithObjectOnTheLeft();
  sky.draw(*program_, lookFrom(glm::vec3(0.0f), glm::vec3(0, 0, 1)), projection_);
  expectColour(pixel(48, 32), kFaceColours[4]);
}

}  // namespace
}  // namespace ruvelo
