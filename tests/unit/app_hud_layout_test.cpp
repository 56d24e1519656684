// The HUD in windows of every size, laid out with the game's own font (FreeType only, no GL): as
// designed where it fits, else shrunk just enough that every line is inside the window and none
// overlaps another.
#include <gtest/gtest.h>

#include <string>

#include "app/hud_layout.h"
#include "passes/text_renderer.h"

namespace ruvelo {
namespace {

const GlyphTable& gameGlyphs() {
  static const GlyphTable glyphs = [] {
    GlyphTable table;
    std::vector<GlyphBitmap> bitmaps;
    EXPECT_TRUE(rasteriseFont(std::string(RUVELO_ASSET_DIR) + "/fonts/Itim-Regular.ttf", table, bitmaps));
    return table;
  }();
  return glyphs;
}

bool overlap(const TextBox& a, const TextBox& b) {
  return a.min.x < b.max.x && b.min.x < a.max.x && a.min.y < b.max.y && b.min.y < a.max.y;
}

// Every line inside the window, no two overlapping, for the given texts at the window's HUD scale.
void expectFits(int width, int height, const HudTexts& texts) {
  const float scale = hudScale(gameGlyphs(), width, height);
  const std::array<TextLine, 5> lines = hudLines(texts, scale);
  std::array<TextBox, 5> boxes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    boxes[i] = lineBox(lines[i], gameGlyphs(), width, height);
    SCOPED_TRACE(lines[i].text + " at " + std::to_string(width) + "x" + std::to_string(height));
    EXPECT_LT(boxes[i].min.x, boxes[i].max.x) << "the line draws something";
    EXPECT_GE(boxes[i].min.x, 0.0f);
    EXPECT_GE(boxes[i].min.y, 0.0f);
    EXPECT_LE(boxes[i].max.x, static_cast<float>(width));
    EXPECT_LE(boxes[i].max.y, static_cast<float>(height));
    for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlap(boxes[i], boxes[j])) << lines[j].text;
  }
}

TEST(HudFit, TheDesignedLayoutStaysWhereItFits) {
  EXPECT_EQ(hudScale(gameGlyphs(), 1600, 900), 1.0f);
  EXPECT_EQ(hudScale(gameGlyphs(), 1920, 1080), 1.0f);
  EXPECT_EQ(hudScale(gameGlyphs(), 3840, 2160), 1.0f);
}

TEST(HudFit, SmallerWindowsShrinkTheHudJustEnoughForEveryLineToFit) {
  const HudTexts widest{"8888", "100", "3", "153.00", "888"};
  const HudTexts usual{"60", "87", "0", "12.34", "15"};
  float previous = 1.0f;
  for (const auto& [w, h] : {std::pair{1366, 768}, {1280, 720}, {1024, 576}, {800, 600}, {640, 360}}) {
    const float scale = hudScale(gameGlyphs(), w, h);
    EXPECT_LT(scale, 1.0f) << w << "x" << h << ": the designed packet line runs off the right edge";
    EXPECT_LE(scale, previous) << w << "x" << h;
    EXPECT_GT(scale, 0.3f) << w << "x" << h << ": still readable";
    previous = scale;
    expectFits(w, h, widest);
    expectFits(w, h, usual);
    // Just enough: a little larger and something no longer fits.
    const std::array<TextLine, 5> bigger = hudLines(widest, scale + 2.0f / 1024.0f);
    bool outside = false;
    for (const TextLine& line : bigger) {
      const TextBox box = lineBox(line, gameGlyphs(), w, h);
      outside = outside || box.min.y < 0.0f || box.max.x > static_cast<float>(w) ||
                box.max.y > static_cast<float>(h);
    }
    bool overlapping = false;
    for (std::size_t i = 0; i < bigger.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        overlapping = overlapping ||
                      overlap(lineBox(bigger[i], gameGlyphs(), w, h), lineBox(bigger[j], gameGlyphs(), w, h));
    EXPECT_TRUE(outside || overlapping) << w << "x" << h << " scale " << scale;
  }
}

TEST(Hud, LinesComeInOrderWithTheirPlacesScalesAndCrimson) {
  const HudTexts texts{"59", "87", "2", "12.34", "15"};
  const std::array<TextLine, 5> lines = hudLines(texts);
  const TextLine expected[] = {{"FPS: 59", 0.92f, 0.95f, 0.5f, {}},
                               {"Power Left: 87%", 0.01f, 0.01f, 1.0f, {}},
                               {"Packets delivered: 2/3", 0.62f, 0.01f, 1.0f, {}},
                               {"Time Left: 12.34", 0.4f, 0.95f, 0.75f, {}},
                               {"Objects drawn: 15", 0.01f, 0.95f, 0.5f, {}}};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].text, expected[i].text);
    EXPECT_FLOAT_EQ(lines[i].x, expected[i].x) << lines[i].text;
    EXPECT_FLOAT_EQ(lines[i].y, expected[i].y) << lines[i].text;
    EXPECT_FLOAT_EQ(lines[i].scale, expected[i].scale) << lines[i].text;
    EXPECT_NEAR(lines[i].colour.r, 0.8627451f, 1e-6f);
    EXPECT_NEAR(lines[i].colour.g, 0.0784314f, 1e-6f);
    EXPECT_NEAR(lines[i].colour.b, 0.2352941f, 1e-6f);
  }
}

TEST(Hud, EndScreenLineIsLargeYellowAndCentred) {
  const TextLine line = endScreenLine("5 Stars");
  EXPECT_EQ(line.text, "5 Stars");
  EXPECT_FLOAT_EQ(line.x, 0.4f);
  EXPECT_FLOAT_EQ(line.y, 0.5f);
  EXPECT_FLOAT_EQ(line.scale, 2.0f);
  EXPECT_EQ(line.colour, glm::vec3(1.0f, 1.0f, 0.0f));
}

}  // namespace
}  // namespace ruvelo
namespace ruvelo { TEST(Tmp, Print) {
  const glm::vec2 m = hudMargins(gameGlyphs()); printf("margins %f %f\n", m.x, m.y);
  for (auto [w,h] : {std::pair{1600,900},{1280,720},{640,360},{1920,1080},{800,600},{640,1000},{2000,400}}) {
    float s = hudScale(gameGlyphs(), w, h); if (w==1600) s=1; printf("%dx%d scale %f\n", w,h,s);
    for (auto& b : hudBoxes(gameGlyphs(), w, h, s)) printf("  %s %.1f %.1f %.1f %.1f\n", b.name.c_str(), b.box.min.x,b.box.min.y,b.box.max.x,b.box.max.y);
  }
}}
