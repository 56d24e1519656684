// Text pen and quad arithmetic, with a hand-made glyph table (no GL).
#include <gtest/gtest.h>

#include "passes/text_renderer.h"

namespace ruvelo {
namespace {

GlyphTable testGlyphs() {
  GlyphTable glyphs;
  Character a;
  a.texture = 7;
  a.size = {20, 30};
  a.bearing = {2, 28};
  a.advance = (25 << 6) + 37;  // the fraction below one pixel is dropped
  glyphs['A'] = a;
  Character space;
  space.texture = 8;
  space.advance = 12 << 6;
  glyphs[' '] = space;
  return glyphs;
}

TEST(TextLayout, PenStartsAtTheFractionOfTheWindow) {
  const glm::vec2 pen = textPen(0.92f, 0.95f, 1920, 1080);
  EXPECT_FLOAT_EQ(pen.x, 1766.4f);
  EXPECT_FLOAT_EQ(pen.y, 1026.0f);
  EXPECT_EQ(textPen(0.0f, 0.0f, 800, 600), glm::vec2(0.0f));
}

TEST(TextLayout, GlyphQuadHangsFromTheBaselineWithTheBitmapTopAtVZero) {
  const std::array<float, 24> v = glyphQuadVertices(testGlyphs()['A'], {100.0f, 50.0f}, 0.5f);
  // left 101, bottom 50 − (30 − 28)·0.5 = 49, w 10, h 15.
  const std::array<float, 24> expected = {101, 64, 0, 0, 101, 49, 0, 1, 111, 49, 1, 1,
                                          101, 64, 0, 0, 111, 49, 1, 1, 111, 64, 1, 0};
  for (size_t i = 0; i < v.size(); ++i) EXPECT_FLOAT_EQ(v[i], expected[i]) << "value " << i;
}

TEST(TextLayout, SpaceOnlyAdvancesAndAdvanceIsWholePixelsTimesScale) {
  const GlyphTable glyphs = testGlyphs();
  const std::vector<GlyphQuad> quads = layoutText("A A", glyphs, {100.0f, 50.0f}, 0.5f);
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_EQ(quads[0].texture, 7u);
  EXPECT_FLOAT_EQ(quads[0].vertices[0], 101.0f);
  // Pen after "A " = 100 + 25·0.5 + 12·0.5 = 118.5, so the second A's left edge is 119.5.
  EXPECT_FLOAT_EQ(quads[1].vertices[0], 119.5f);
}

TEST(TextLayout, BytesWithoutAGlyphDrawNothingAndKeepThePen) {
  const GlyphTable glyphs = testGlyphs();
  const std::string withHighBytes = std::string("A") + '\xC3' + '\xA9' + '\x80' + '\xFF' + '\x07' + "A";
  const std::vector<GlyphQuad> quads = layoutText(withHighBytes, glyphs, {0.0f, 0.0f}, 1.0f);
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[1].vertices[0], 25.0f + 2.0f);
  EXPECT_EQ(glyphs.size(), 2u);
  EXPECT_TRUE(layoutText("", glyphs, {0.0f, 0.0f}, 1.0f).empty());
}

}  // namespace
}  // namespace ruvelo
