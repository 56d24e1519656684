// The shadow map read back through the real depth and phong programs: an occluder between the
// light and a plane darkens the plane where its shadow falls, and the lit programs get their units.
#include <gtest/gtest.h>

#include <fstream>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>

#include "passes/shadow_map.h"
#include "render/camera.h"
#include "render/gl_handles.h"
#include "render/gl_state.h"
#include "render/light.h"
#include "render/model.h"
#include "support/gl_context.h"
#include "support/level_sun.h"

namespace ruvelo {
namespace {

constexpr int kSize = 64;

std::shared_ptr<Shader> program(const std::string& name) {
  return std::make_shared<Shader>("../assets/shader/" + name + ".vert", "../assets/shader/" + name + ".frag");
}

// One upward-facing square of half-size `half` at height `y`.
std::string writeSquareObj(const std::string& dir, const std::string& name, float half, float y) {
  const std::string path = dir + "/" + name + ".obj";
  std::ofstream obj(path);
  obj << "v " << -half << ' ' << y << ' ' << -half << "\nv " << -half << ' ' << y << ' ' << half << "\nv "
      << half << ' ' << y << ' ' << half << "\nv " << half << ' ' << y << ' ' << -half << "\n"
      << "vn 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\nf 1/1/1 3/1/1 4/1/1\n";
  return path;
}

class ShadowPass : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(kSize, kSize), nullptr);
    gl_state::setEnabled(GL_DEPTH_TEST, true);
    gl_state::setEnabled(GL_CULL_FACE, false);
    gl_state::setEnabled(GL_BLEND, false);
    phong_ = program("phong");
    depth_ = program("simpleDepthShader");
    ASSERT_NE(phong_->program(), 0u);
    ASSERT_NE(depth_->program(), 0u);
    dir_ = test::makeTempDir("ruvelo-shadow");
    material_ = std::make_unique<Material>(*phong_, glm::vec3(1.0f), glm::vec3(0.3f, 1.0f, 0.0f), 10.0f);
    ground_ = std::make_unique<Model>(writeSquareObj(dir_, "ground", 100.0f, 0.0f), glm::mat4(1.0f),
                                      *material_, textures_);
    slab_ = std::make_unique<Model>(writeSquareObj(dir_, "slab", 5.0f, 30.0f), glm::mat4(1.0f), *material_,
                                    textures_);
    ASSERT_FALSE(ground_->asset().meshes().empty());
    ASSERT_FALSE(slab_->asset().meshes().empty());

    // Straight down on the ground: screen x = world x, screen y = −world z, 120 units across.
    camera_.position = glm::vec3(0.0f, 200.0f, 0.0f);
    camera_.viewMatrix = glm::lookAt(camera_.position, glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f));
    camera_.projectionMatrix = glm::ortho(-60.0f, 60.0f, -60.0f, 60.0f, 1.0f, 400.0f);

    white_ = GlTexture::generate();
    const unsigned char pixel[4] = {255, 255, 255, 255};
    glBindTexture(GL_TEXTURE_2D, white_.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  }

  // Depth pass with the given casters, then the lit ground and slab into the window.
  void render(ShadowMap& map, const ShadowCasters& casters) {
    map.renderDepthPass(*depth_, casters);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], map.size());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setCameraAndLightUniforms(makeSceneLight(test::levelSun()).get(), *phong_, camera_, 1.0f);
    map.bindForPhong(*phong_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, white_.get());
    ground_->draw();
    slab_->draw();
  }

  // Brightness of the ground at world (x, 0, z).
  float groundAt(float x, float z) {
    const int px = static_cast<int>((x + 60.0f) / 120.0f * kSize);
    const int py = static_cast<int>((-z + 60.0f) / 120.0f * kSize);
    const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(px, py, 1, 1);
    return (rgba[0] + rgba[1] + rgba[2]) / (3.0f * 255.0f);
  }

  std::string dir_;
  std::shared_ptr<Shader> phong_;
  std::shared_ptr<Shader> depth_;
  std::unique_ptr<Material> material_;
  TextureCache textures_;
  std::unique_ptr<Model> ground_;
  std::unique_ptr<Model> slab_;
  Camera camera_;
  GlTexture white_;
};

ShadowCaster casterOf(const Model& model, int key, bool sloped = false) {
  return {key, &model.asset(), model.modelMatrix(), sloped};
}

TEST_F(ShadowPass, OccluderDarkensThePlaneAlongTheLightDirection) {
  ShadowMap map(test::levelSun(), 1024);
  render(map, {casterOf(*ground_, 0), casterOf(*slab_, 1)});
  // The light comes along (−1, −1, −1): the slab 30 above the origin shades the ground at (−30, −30).
  const float shadowed = groundAt(-30.0f, -30.0f);
  const float litBeside = groundAt(30.0f, -30.0f);
  const float litOpposite = groundAt(30.0f, 30.0f);
  EXPECT_GT(litBeside, 0.5f);
  EXPECT_NEAR(litOpposite, litBeside, 0.03f);
  EXPECT_LT(shadowed, 0.6f * litBeside) << "shadowed " << shadowed << " lit " << litBeside;

  // Without the slab among the casters the same spot is lit: the darkening comes from the map.
  render(map, {casterOf(*ground_, 0, true)});
  EXPECT_NEAR(groundAt(-30.0f, -30.0f), litBeside, 0.03f);
}

// Across a shadow's edge the ground goes from shadowed to lit once, without stepping back, through
// values between the two over about one map texel: the filter weighs the four texels around each
// point by its place between their centres.
TEST_F(ShadowPass, ShadowEdgeFadesOnceOverAboutOneTexel) {
  // 128 texels over the light's 800 units: one texel is 6.25 units, about 3 to 6 pixels here.
  ShadowMap map(test::levelSun(), 128);
  Model wide(writeSquareObj(dir_, "wide", 20.0f, 30.0f), glm::mat4(1.0f), *material_, textures_);
  render(map, {casterOf(*ground_, 0), casterOf(wide, 1)});
  // Its shadow covers x and z in [-50, 10]. The row at z = -35 runs from x = -30 (shadowed) to x = 52
  // (lit), crossing the shadow's edge at x = 10.
  const int row = static_cast<int>((35.0f + 60.0f) / 120.0f * kSize);
  const int first = static_cast<int>((-30.0f + 60.0f) / 120.0f * kSize);
  const int last = static_cast<int>((52.0f + 60.0f) / 120.0f * kSize);
  const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(first, row, last - first + 1, 1);
  std::vector<float> level;
  std::string trace;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    level.push_back((rgba[i] + rgba[i + 1] + rgba[i + 2]) / (3.0f * 255.0f));
    trace += std::to_string(level.back()) + " ";
  }
  const float shadowed = level.front();
  const float lit = level.back();
  ASSERT_LT(shadowed, 0.6f * lit) << trace;
  int between = 0;
  for (size_t i = 0; i < level.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(level[i], level[i - 1] - 0.02f) << "pixel " << i << ": " << trace;
    }
    const float part = (level[i] - shadowed) / (lit - shadowed);
    if (part > 0.15f && part < 0.85f) ++between;
  }
  EXPECT_GE(between, 1) << "a hard step: " << trace;
  EXPECT_LE(between, 8) << "wider than about two texels: " << trace;
}

TEST_F(ShadowPass, MapIsADepthOnlyTargetOfTheGivenSize) {
  ShadowMap map(test::levelSun(), 512);
  glBindTexture(GL_TEXTURE_2D, map.texture());
  GLint width = 0;
  GLint minFilter = 0;
  GLint wrap = 0;
  GLint compare = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, &compare);
  EXPECT_EQ(width, 512);
  // The lit programs sample it through a linear comparison sampler.
  EXPECT_EQ(minFilter, GL_LINEAR);
  EXPECT_EQ(compare, GL_COMPARE_REF_TO_TEXTURE);
  EXPECT_EQ(wrap, GL_REPEAT);
  glBindFramebuffer(GL_FRAMEBUFFER, map.framebuffer());
  GLint drawBuffer = -1;
  glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
  EXPECT_EQ(drawBuffer, GL_NONE);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

TEST_F(ShadowPass, LitProgramsGetTheirShadowAndCubeMapUnits) {
  ShadowMap map(test::levelSun(), 64);
  GlTexture cube = GlTexture::generate();
  glBindTexture(GL_TEXTURE_CUBE_MAP, cube.get());
  struct Case {
    const char* name;
    int shadowUnit;
    int cubeUnit;
  };
  for (const Case& c : {Case{"phongEnvironment", 2, 3}, Case{"phongPhong", 0, 1}}) {
    auto lit = program(c.name);
    ASSERT_NE(lit->program(), 0u) << c.name;
    if (c.shadowUnit == 2) {
      map.bindForPhongEnvironment(*lit, cube.get());
    } else {
      map.bindForPhongPhong(*lit, cube.get());
    }
    GLint value = -1;
    glGetUniformiv(lit->program(), lit->uniformLocation("shadowMap"), &value);
    EXPECT_EQ(value, c.shadowUnit) << c.name;
    glGetUniformiv(lit->program(), lit->uniformLocation("cubemap"), &value);
    EXPECT_EQ(value, c.cubeUnit) << c.name;
    glm::mat4 lightSpace(0.0f);
    glGetUniformfv(lit->program(), lit->uniformLocation("lightSpaceMatrix"), &lightSpace[0][0]);
    EXPECT_EQ(lightSpace, lightSpaceMatrix(test::levelSun())) << c.name;

    GLint bound = 0;
    glActiveTexture(GL_TEXTURE0 + c.shadowUnit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), map.texture()) << c.name;
    glActiveTexture(GL_TEXTURE0 + c.cubeUnit);
    glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), cube.get()) << c.name;
  }
  glActiveTexture(GL_TEXTURE0);
}

}  // namespace
}  // namespace ruvelo
