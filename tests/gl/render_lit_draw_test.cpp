// Lit draws read back: a textured box under phong, in and out of shadow; the sky reflection of
// phongEnvironment; the finish-line program's colour and chequer.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <glm/gtc/matrix_transform.hpp>
#include <memory>

#include "render/camera.h"
#include "render/geometry.h"
#include "render/gl_handles.h"
#include "render/gl_state.h"
#include "render/light.h"
#include "render/mesh.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

constexpr int kSize = 64;

std::shared_ptr<Shader> program(const std::string& name) {
  return std::make_shared<Shader>("../assets/shader/" + name + ".vert", "../assets/shader/" + name + ".frag");
}

std::vector<Vertex> interleave(const Geometry& g) {
  std::vector<Vertex> vertices;
  for (size_t i = 0; i < g.positions.size(); ++i)
    vertices.push_back({g.positions[i], g.normals[i], g.texCoords[i]});
  return vertices;
}

GlTexture solidTexture(unsigned char r, unsigned char g, unsigned char b) {
  GlTexture texture = GlTexture::generate();
  const unsigned char pixels[16] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  glGenerateMipmap(GL_TEXTURE_2D);
  return texture;
}

// A shadow map in the game's settings whose stored depth is 0 everywhere: every point inside it
// is behind an occluder.
GlTexture occludedShadowMap() {
  GlTexture texture = GlTexture::generate();
  const float depths[16] = {};
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 4, 4, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depths);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
  return texture;
}

GlTexture solidCubeMap(unsigned char r, unsigned char g, unsigned char b) {
  GlTexture texture = GlTexture::generate();
  const unsigned char pixel[3] = {r, g, b};
  glBindTexture(GL_TEXTURE_CUBE_MAP, texture.get());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (GLenum face = 0; face < 6; ++face) {
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, pixel);
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return texture;
}

class LitDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(kSize, kSize), nullptr);
    framebuffer_ = GlFramebuffer::generate();
    colour_ = GlRenderbuffer::generate();
    depth_ = GlRenderbuffer::generate();
    glBindRenderbuffer(GL_RENDERBUFFER, colour_.get());
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_.get());
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kSize, kSize);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_.get());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_.get());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_.get());
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, kSize, kSize);
    gl_state::setEnabled(GL_DEPTH_TEST, true);
    gl_state::setEnabled(GL_CULL_FACE, true);

    // Looking straight at a box face that faces the light head-on.
    camera_.position = glm::vec3(0, 0, 3);
    camera_.setPerspective(45.0f, 1.0f, 0.1f, 100.0f);
    camera_.updateFreeView();
    light_ = std::make_unique<Light>(glm::vec3(1.0f), glm::vec3(0, 0, -1));
  }
  void TearDown() override { glBindFramebuffer(GL_FRAMEBUFFER, 0); }

  void clear() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }

  glm::vec3 pixel(int x, int y) {
    const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(x, y, 1, 1);
    return glm::vec3(rgba[0], rgba[1], rgba[2]) / 255.0f;
  }
  glm::vec3 centre() { return pixel(kSize / 2, kSize / 2); }

  void save(const std::string& name) {
    std::filesystem::create_directories(RUVELO_BUILD_DIR "/test-output");
    test::writePng(RUVELO_BUILD_DIR "/test-output/" + name, test::readPixelsRGBA(0, 0, kSize, kSize), kSize,
                   kSize);
  }

  GlFramebuffer framebuffer_;
  GlRenderbuffer colour_;
  GlRenderbuffer depth_;
  Camera camera_;
  std::unique_ptr<Light> light_;
};

void expectColour(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 4.0f / 255.0f) {
  EXPECT_NEAR(actual.r, expected.r, tolerance);
  EXPECT_NEAR(actual.g, expected.g, tolerance);
  EXPECT_NEAR(actual.b, expected.b, tolerance);
}

// Light and view along the face normal: ambient (sideways normal: 0.875 of the sky ambient),
// full diffuse and a full highlight.
glm::vec3 facingLight(const glm::vec3& albedo, const glm::vec3& k, float shadowed) {
  return k.x * 0.875f * albedo + (1.0f - shadowed) * (k.y * albedo + glm::vec3(k.z));
}

TEST_F(LitDraw, TexturedBoxIsLitOutsideTheShadowMapAndDarkInsideIt) {
  auto phong = program("phong");
  ASSERT_NE(phong->program(), 0u);
  const Material material(*phong, glm::vec3(1.0f), glm::vec3(0.3f, 1.0f, 0.5f), 10.0f);
  auto texture = std::make_shared<const GlTexture>(solidTexture(26, 51, 77));
  Mesh box(interleave(boxGeometry(1, 1, 1)), boxGeometry(1, 1, 1).indices,
           {Texture{texture, "texture_diffuse", "solid"}}, material);
  GlTexture shadowMap = occludedShadowMap();
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, shadowMap.get());
  glActiveTexture(GL_TEXTURE0);

  const glm::vec3 albedo = glm::vec3(26, 51, 77) / 255.0f;
  const glm::vec3 k(0.3f, 1.0f, 0.5f);
  struct Case {
    const char* what;
    glm::mat4 lightSpace;
    float shadowed;
  };
  const Case cases[] = {
      {"inside the map, behind the occluder", glm::mat4(1.0f), 1.0f},
      {"beside the map (no repeat)", glm::translate(glm::mat4(1.0f), glm::vec3(5, 0, 0)), 0.0f},
      {"beyond the far plane", glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 5)), 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clear();
    setCameraAndLightUniforms(light_.get(), *phong, camera_, 1.0f);
    phong->setInt("shadowMap", 2);
    phong->setMat4("lightSpaceMatrix", c.lightSpace);
    box.draw(glm::mat4(1.0f));
    expectColour(centre(), facingLight(albedo, k, c.shadowed));
    EXPECT_EQ(pixel(1, 1), glm::vec3(0.0f));  // background untouched
  }
  save("render_lit_box.png");

  // The brightness factor scales the light.
  clear();
  setCameraAndLightUniforms(light_.get(), *phong, camera_, 0.5f);
  phong->setMat4("lightSpaceMatrix", glm::translate(glm::mat4(1.0f), glm::vec3(5, 0, 0)));
  box.draw(glm::mat4(1.0f));
  expectColour(centre(), 0.5f * facingLight(albedo, k, 0.0f));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LitDraw, EnvironmentProgramMixesInTheSky) {
  auto phongEnvironment = program("phongEnvironment");
  ASSERT_NE(phongEnvironment->program(), 0u);
  const Material material(*phongEnvironment, glm::vec3(1.0f), glm::vec3(0.3f, 1.0f, 0.5f), 10.0f);
  auto texture = std::make_shared<const GlTexture>(solidTexture(26, 51, 77));
  Mesh box(interleave(boxGeometry(1, 1, 1)), boxGeometry(1, 1, 1).indices,
           {Texture{texture, "texture_diffuse", "solid"}}, material);
  GlTexture shadowMap = occludedShadowMap();
  GlTexture sky = solidCubeMap(255, 0, 0);
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, shadowMap.get());
  glActiveTexture(GL_TEXTURE3);
  glBindTexture(GL_TEXTURE_CUBE_MAP, sky.get());
  glActiveTexture(GL_TEXTURE0);

  clear();
  setCameraAndLightUniforms(light_.get(), *phongEnvironment, camera_, 1.0f);
  phongEnvironment->setInt("shadowMap", 2);
  phongEnvironment->setInt("cubemap", 3);
  phongEnvironment->setMat4("lightSpaceMatrix", glm::translate(glm::mat4(1.0f), glm::vec3(5, 0, 0)));
  box.draw(glm::mat4(1.0f));
  // Head-on the surface reflects 12 % of the sky, plus that share of the highlight.
  const glm::vec3 lit = facingLight(glm::vec3(26, 51, 77) / 255.0f, glm::vec3(0.3f, 1.0f, 0.5f), 0.0f);
  expectColour(centre(), glm::mix(lit, glm::vec3(1, 0, 0), 0.12f) + glm::vec3(0.5f * 0.12f));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LitDraw, FinishLineProgramDrawsItsMaterialColourInAChequer) {
  auto phongPhong = program("phongPhong");
  ASSERT_NE(phongPhong->program(), 0u);
  const Material blue(*phongPhong, glm::vec3(0, 0, 1), glm::vec3(0.1f, 0.7f, 0.1f), 10.0f);
  // A wide untextured slab; the camera centre sits inside one chequer square.
  Mesh slab(boxGeometry(4, 1, 1), blue);
  const glm::mat4 slabMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(0.75f, 0, 0));
  camera_.position = glm::vec3(0.75f, 0, 3);
  camera_.updateFreeView();
  GlTexture shadowMap = occludedShadowMap();
  GlTexture sky = solidCubeMap(255, 0, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, shadowMap.get());
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_CUBE_MAP, sky.get());
  glActiveTexture(GL_TEXTURE0);

  clear();
  setCameraAndLightUniforms(light_.get(), *phongPhong, camera_, 1.0f);
  phongPhong->setInt("shadowMap", 0);
  phongPhong->setInt("cubemap", 1);
  phongPhong->setMat4("lightSpaceMatrix", glm::translate(glm::mat4(1.0f), glm::vec3(5, 0, 0)));
  slab.draw(slabMatrix);
  const glm::vec3 lit = facingLight(glm::vec3(0, 0, 1), glm::vec3(0.1f, 0.7f, 0.1f), 0.0f);
  expectColour(centre(), glm::mix(lit, glm::vec3(1, 0, 0), 0.12f) + glm::vec3(0.1f * 0.12f));
  // Near the right edge the next square is the light one.
  const glm::vec3 lightSquare = pixel(kSize - 4, kSize / 2);
  EXPECT_GT(lightSquare.g, centre().g + 0.4f);
  save("render_finish_line.png");
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace ruvelo
