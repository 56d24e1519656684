// Text read back with the real font and text program: crimson pixels inside the laid-out glyph
// boxes and nowhere else; bytes without a glyph draw nothing; a missing font is reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "passes/hud.h"
#include "passes/text_renderer.h"
#include "render/gl_state.h"
#include "render/shader.h"
#include "support/gl_context.h"

namespace ruvelo {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 64;

class TextDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(test::makeGlContext(kWidth, kHeight), nullptr);
    program_ = std::make_shared<Shader>("../assets/shader/text.vert", "../assets/shader/text.frag");
    ASSERT_NE(program_->program(), 0u);
    gl_state::setEnabled(GL_DEPTH_TEST, false);
    gl_state::setEnabled(GL_CULL_FACE, true);
    gl_state::setEnabled(GL_BLEND, true);
    gl_state::setBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  std::shared_ptr<Shader> program_;
};

TEST_F(TextDraw, GlyphTableHoldsAsciiAtFortyEightPixels) {
  const TextRenderer text(kWidth, kHeight);
  ASSERT_TRUE(text.loaded());
  // ASCII, and the middle dot and minus sign the HUD writes (the game's font has both).
  EXPECT_EQ(text.glyphs().size(), 128u + kExtraGlyphs.size());
  for (char32_t code : kExtraGlyphs) EXPECT_GT(text.glyphs().at(code).size.x, 0) << int(code);
  const Character& capital = text.glyphs().at('H');
  EXPECT_NE(capital.texture, 0u);
  EXPECT_GT(capital.size.y, 20);
  EXPECT_LE(capital.size.y, 48);
  const Character& space = text.glyphs().at(' ');
  EXPECT_EQ(space.size, glm::ivec2(0, 0));
  EXPECT_GT(space.advance >> 6, 0u);

  // Every bitmap lies in the one atlas, exactly its size, inside it, and apart from the others by at
  // least the one-texel border that filtering reads.
  glBindTexture(GL_TEXTURE_2D, capital.texture);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  const glm::vec2 atlas(static_cast<float>(width), static_cast<float>(height));
  std::vector<std::pair<glm::ivec2, glm::ivec2>> boxes;  // texel ranges [lo, hi)
  for (const auto& [code, glyph] : text.glyphs()) {
    if (glyph.size.x == 0 || glyph.size.y == 0) continue;
    EXPECT_EQ(glyph.texture, capital.texture) << "code " << int(code);
    const glm::ivec2 lo(glm::round(glyph.uvMin * atlas)), hi(glm::round(glyph.uvMax * atlas));
    EXPECT_EQ(hi - lo, glyph.size) << "code " << int(code);
    EXPECT_TRUE(lo.x >= 1 && lo.y >= 1 && hi.x < width && hi.y < height) << "code " << int(code);
    for (const auto& [otherLo, otherHi] : boxes) {
      const bool apart =
          lo.x >= otherHi.x + 2 || otherLo.x >= hi.x + 2 || lo.y >= otherHi.y + 2 || otherLo.y >= hi.y + 2;
      EXPECT_TRUE(apart) << "code " << int(code) << " touches an earlier glyph";
    }
    boxes.emplace_back(lo, hi);
  }
  EXPECT_GT(boxes.size(), 90u);
}

TEST_F(TextDraw, HudLineDrawsCrimsonInsideItsGlyphBoxesOnly) {
  const TextRenderer text(kWidth, kHeight);
  ASSERT_TRUE(text.loaded());
  program_->use();
  program_->setMat4("projMatrix", text.projection());
  const TextLine line{"Power 87%", 0.05f, 0.3f, 0.5f, glm::vec3(220.0f, 20.0f, 60.0f) / 255.0f};
  drawTextLine(text, *program_, line);

  // Bounding box of the laid-out quads, one pixel of slack for filtering.
  glm::vec2 low(1e9f), high(-1e9f);
  for (const GlyphQuad& quad :
       layoutText(line.text, text.glyphs(), textPen(line.x, line.y, kWidth, kHeight), line.scale)) {
    for (int v = 0; v < 6; ++v) {
      low = glm::min(low, glm::vec2(quad.vertices[v * 4], quad.vertices[v * 4 + 1]));
      high = glm::max(high, glm::vec2(quad.vertices[v * 4], quad.vertices[v * 4 + 1]));
    }
  }
  low -= 1.0f;
  high += 1.0f;

  const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(0, 0, kWidth, kHeight);
  int inside = 0;
  int outside = 0;
  int strongest = 0;
  size_t strongestAt = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
      if (rgba[i] == 0 && rgba[i + 1] == 0 && rgba[i + 2] == 0) continue;
      const bool inBox = x + 0.5f >= low.x && x + 0.5f <= high.x && y + 0.5f >= low.y && y + 0.5f <= high.y;
      (inBox ? inside : outside) += 1;
      if (rgba[i] > strongest) {
        strongest = rgba[i];
        strongestAt = i;
      }
    }
  }
  EXPECT_GT(inside, 60);
  EXPECT_EQ(outside, 0);
  // Fully covered pixels carry the HUD colour (220, 20, 60); partly covered ones a darker crimson.
  EXPECT_NEAR(rgba[strongestAt], 220, 6);
  EXPECT_NEAR(rgba[strongestAt + 1], 20, 6);
  EXPECT_NEAR(rgba[strongestAt + 2], 60, 6);
}

// Shapes draw with the text program: each triangle in its colour at its opacity, nothing elsewhere.
TEST_F(TextDraw, ShapesFillTheirTrianglesInTheirColourAndOpacity) {
  const TextRenderer text(kWidth, kHeight);
  ASSERT_TRUE(text.loaded());
  program_->use();
  program_->setMat4("projMatrix", text.projection());
  FlatShape opaque{{1.0f, 0.5f, 0.0f}, 1.0f, {}};
  opaque.triangles = {{10, 10}, {40, 10}, {40, 30}, {10, 10}, {40, 30}, {10, 30}};
  FlatShape half{{0.0f, 0.0f, 1.0f}, 0.5f, {{60, 10}, {90, 10}, {60, 40}}};
  text.renderShapes({opaque, half}, *program_);
  const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(0, 0, kWidth, kHeight);
  const auto at = [&](int x, int y) { return &rgba[(static_cast<size_t>(y) * kWidth + x) * 4]; };
  EXPECT_EQ(at(25, 20)[0], 255);
  EXPECT_NEAR(at(25, 20)[1], 128, 1);
  EXPECT_EQ(at(25, 20)[2], 0);
  EXPECT_NEAR(at(65, 15)[2], 128, 2);  // half of the blue over black
  int lit = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) lit += rgba[i] + rgba[i + 1] + rgba[i + 2] > 0 ? 1 : 0;
  EXPECT_NEAR(lit, 30 * 20 + 30 * 30 / 2, 40);
}

TEST_F(TextDraw, BytesWithoutGlyphsDrawNothingAndAddNoEntries) {
  const TextRenderer text(kWidth, kHeight);
  ASSERT_TRUE(text.loaded());
  program_->use();
  program_->setMat4("projMatrix", text.projection());
  const size_t before = text.glyphs().size();
  text.renderText(std::string("\x80\xC3\xA9\xFF", 4), *program_, 0.1f, 0.3f, 1.0f, glm::vec3(1.0f));
  EXPECT_EQ(text.glyphs().size(), before);
  const std::vector<std::uint8_t> rgba = test::readPixelsRGBA(0, 0, kWidth, kHeight);
  int drawn = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) drawn += rgba[i] + rgba[i + 1] + rgba[i + 2] > 0 ? 1 : 0;
  EXPECT_EQ(drawn, 0);
}

TEST_F(TextDraw, MissingFontIsReportedAndLeavesTheRendererUnloaded) {
  testing::internal::CaptureStdout();
  const TextRenderer text(kWidth, kHeight, "../assets/fonts/no-such-font.ttf");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ERROR::FREETYPE: Failed to load font\n  in ../assets/fonts/no-such-font.ttf\n");
  EXPECT_FALSE(text.loaded());
  EXPECT_TRUE(text.glyphs().empty());
  text.renderText("still safe", *program_, 0.1f, 0.3f, 1.0f, glm::vec3(1.0f));  // draws nothing, no crash
}

}  // namespace
}  // namespace ruvelo
