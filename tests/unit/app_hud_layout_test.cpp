// The HUD in windows of every size, laid out with the game's own font (FreeType only, no GL): as
// designed where it fits, else shrunk just enough that every element is inside the window by the
// designed margins and none overlaps another; and what the drive elements and the result screen say.
#include <gtest/gtest.h>

#include <sstream>
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

// Every element inside the window by the margins, none overlapping another, the minimap no taller
// than 0.4 of the window; also the five lines with everyday values.
void expectFits(int width, int height, float scale) {
  const glm::vec2 window(static_cast<float>(width), static_cast<float>(height));
  const glm::vec2 margin = hudMargins(gameGlyphs()) * window;
  const std::vector<HudBox> boxes = hudBoxes(gameGlyphs(), width, height, scale);
  ASSERT_EQ(boxes.size(), 10u);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const TextBox& box = boxes[i].box;
    SCOPED_TRACE(boxes[i].name + " at " + std::to_string(width) + "x" + std::to_string(height));
    EXPECT_LT(box.min.x, box.max.x) << "the element draws something";
    EXPECT_GE(box.min.x, margin.x);
    EXPECT_GE(box.min.y, margin.y);
    EXPECT_LE(box.max.x, window.x - margin.x);
    EXPECT_LE(box.max.y, window.y - margin.y);
    for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlap(box, boxes[j].box)) << boxes[j].name;
    if (boxes[i].name == "minimap") {
      EXPECT_LE(box.max.y - box.min.y, window.y * 0.4f + 1e-3f);
    }
  }
  const std::array<TextLine, 5> usual = hudLines({"60", "87", "0", "12.34", "15"}, scale);
  for (std::size_t i = 0; i < usual.size(); ++i) {
    const TextBox box = lineBox(usual[i], gameGlyphs(), width, height);
    EXPECT_TRUE(box.min.x >= margin.x && box.max.x <= window.x - margin.x) << usual[i].text;
  }
}

TEST(HudFit, TheDesignedLayoutStaysWhereItFits) {
  EXPECT_EQ(hudScale(gameGlyphs(), 1600, 900), 1.0f);
  EXPECT_EQ(hudScale(gameGlyphs(), 1920, 1080), 1.0f);
  EXPECT_EQ(hudScale(gameGlyphs(), 3840, 2160), 1.0f);
  // The margins are those of the designed lines: some line keeps each of them exactly.
  const glm::vec2 margins = hudMargins(gameGlyphs());
  EXPECT_GT(margins.x, 0.005f);
  EXPECT_GT(margins.y, 0.003f);
  expectFits(1600, 900, 1.0f);
}

// From 640 x 360 up, in every shape of window: everything fits at the window's scale, and only just
// (a little larger and something no longer would). The packet line no longer touches the right edge
// at 1280 x 720.
TEST(HudFit, EveryWindowShrinksTheHudJustEnoughForEveryElementToFit) {
  for (int width = 640; width <= 2560; width += 97) {
    for (int height = 360; height <= 1600; height += 83) {
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
      const float scale = hudScale(gameGlyphs(), width, height);
      EXPECT_GT(scale, 0.3f) << "still readable";
      expectFits(width, height, scale);
      if (scale == 1.0f) continue;
      const float bigger = scale + 2.0f / 1024.0f;
      const glm::vec2 window(static_cast<float>(width), static_cast<float>(height));
      const glm::vec2 margin = hudMargins(gameGlyphs()) * window;
      const std::vector<HudBox> boxes = hudBoxes(gameGlyphs(), width, height, bigger);
      bool fails = false;
      for (std::size_t i = 0; i < boxes.size(); ++i) {
        const TextBox& b = boxes[i].box;
        fails = fails || b.min.x < margin.x || b.min.y < margin.y || b.max.x > window.x - margin.x ||
                b.max.y > window.y - margin.y;
        for (std::size_t j = 0; j < i; ++j) fails = fails || overlap(b, boxes[j].box);
      }
      EXPECT_TRUE(fails) << "scale " << scale << " could be larger";
    }
  }
  const float scale = hudScale(gameGlyphs(), 1280, 720);
  const TextBox packets = lineBox(hudLines({"", "", "3", "", ""}, scale)[2], gameGlyphs(), 1280, 720);
  EXPECT_LE(packets.max.x, 1280.0f * (1.0f - hudMargins(gameGlyphs()).x));
  EXPECT_LT(packets.max.x, 1270.0f);
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

TEST(Hud, DeliveryDeltaIsSignedToTheHundredthInTheColourOfItsSign) {
  const DeliveryDelta faster = deliveryDelta(30.0, 31.24);
  EXPECT_EQ(faster.text, "\u22121.24 s");
  EXPECT_EQ(faster.colour, fasterColour());
  const DeliveryDelta slower = deliveryDelta(61.5, 61.0);
  EXPECT_EQ(slower.text, "+0.50 s");
  EXPECT_EQ(slower.colour, slowerColour());
  EXPECT_NE(fasterColour(), slowerColour());
  EXPECT_EQ(deliveryDelta(10.0, 10.0).text, "+0.00 s");
  EXPECT_EQ(deliveryDelta(10.004, 10.0).text, "+0.00 s");
  EXPECT_EQ(deliveryDelta(10.0, 10.006).text, "\u22120.01 s");
  EXPECT_EQ(deliveryDelta(140.0, 12.5).text, "+127.50 s");
  // The minus sign is the font's own glyph, not a byte without one.
  EXPECT_EQ(layoutText(faster.text, gameGlyphs(), {0.0f, 0.0f}, 1.0f).size(), 6u);
}

const FlatShape* arrowOf(const Overlay& overlay) {
  for (const FlatShape& shape : overlay.shapes)
    if (shape.triangles.size() == 3) return &shape;
  return nullptr;
}

glm::vec2 tipDirection(const FlatShape& arrow) {
  const glm::vec2 centre = (arrow.triangles[0] + arrow.triangles[1] + arrow.triangles[2]) / 3.0f;
  // The tip is the corner farthest from the centre.
  glm::vec2 tip = arrow.triangles[0];
  for (const glm::vec2& corner : arrow.triangles)
    if (glm::length(corner - centre) > glm::length(tip - centre)) tip = corner;
  return glm::normalize(tip - centre);
}

TEST(Hud, DriveElementsShowSpeedGearAndTheVehicleOnTheMap) {
  Game game;
  DriveView view;
  view.speed = 10.0f;
  view.gear = 3;
  view.items = &game.items();
  view.position = glm::vec3(0.0f, 3.0f, -450.0f);
  const Overlay ahead = driveHud(view, 1600, 900, 1.0f);
  ASSERT_EQ(ahead.lines.size(), 2u);
  EXPECT_EQ(ahead.lines[0].text, "36 km/h");
  EXPECT_EQ(ahead.lines[1].text, "2");
  EXPECT_EQ(gearText(0), "R");
  EXPECT_EQ(gearText(1), "N");
  EXPECT_EQ(gearText(6), "5");

  // Facing +z the arrow points up the map; facing +x it points left (+x is to the left, as on the
  // level map); wherever it is, it stays on the map.
  const DriveLayout at = driveLayout(1600, 900, 1.0f);
  const FlatShape* arrow = arrowOf(ahead);
  ASSERT_NE(arrow, nullptr);
  EXPECT_GT(tipDirection(*arrow).y, 0.99f);
  view.forward = glm::vec3(1.0f, 0.0f, 0.0f);
  view.position = glm::vec3(5000.0f, 3.0f, 5000.0f);
  const Overlay turned = driveHud(view, 1600, 900, 1.0f);
  ASSERT_NE(arrowOf(turned), nullptr);
  EXPECT_LT(tipDirection(*arrowOf(turned)).x, -0.99f);
  for (const FlatShape& shape : turned.shapes)
    for (const glm::vec2& corner : shape.triangles) {
      const bool onMap = glm::all(glm::greaterThanEqual(corner, at.mapMin - 1e-3f)) &&
                         glm::all(glm::lessThanEqual(corner, at.mapMax + 1e-3f));
      const bool onBar = corner.x <= at.barMax.x + 2.0f && corner.y <= at.barMax.y + 2.0f;  // and its backing
      EXPECT_TRUE(onMap || onBar) << corner.x << ", " << corner.y;
    }

  // A delivered gate and a collected battery leave the map: two marks fewer, each six corners and
  // six more of its black edge.
  const auto corners = [](const Overlay& o) {
    std::size_t n = 0;
    for (const FlatShape& shape : o.shapes) n += shape.triangles.size();
    return n;
  };
  std::ostringstream out;
  game.collect({zoneItem(0), ItemKind::Zone}, out);
  game.collect({batteryItem(0), ItemKind::Battery}, out);
  EXPECT_EQ(corners(driveHud(view, 1600, 900, 1.0f)), corners(turned) - 24);
  // Under the timer: the goal at the start of a run, a delivery's delta instead once there is one.
  view.goal = true;
  EXPECT_EQ(driveHud(view, 1600, 900, 1.0f).lines.back().text, kGoalText);
  view.delta = deliveryDelta(1.0, 2.0);
  EXPECT_EQ(driveHud(view, 1600, 900, 1.0f).lines.back().text, "\u22121.00 s vs best");
}

TEST(Hud, ResultScreenNamesItsKeysInTheFontsOwnGlyphs) {
  const Overlay won = resultOverlay("5 Stars", "Time left 48.50 s \u00B7 Best: 50.06 s", 0.5f);
  ASSERT_EQ(won.lines.size(), 3u);
  EXPECT_EQ(won.lines[0].text, "5 Stars");
  EXPECT_FLOAT_EQ(won.lines[1].scale, 0.3f);
  EXPECT_EQ(won.lines[2].text, "Enter: play again \u00B7 Escape: quit");
  // Every character but the spaces draws a glyph: the font has the middle dot.
  const std::string& keys = won.lines[2].text;
  EXPECT_EQ(layoutText(keys, gameGlyphs(), {0.0f, 0.0f}, 1.0f).size(), 27u);
  EXPECT_EQ(resultOverlay("0 Stars", "", 1.0f).lines.size(), 2u);

  // The smaller lines fit any window by their own scale, at least the HUD's (no map or gauge there).
  EXPECT_EQ(resultScale(gameGlyphs(), 1600, 900), 1.0f);
  for (const auto& [w, h] : {std::pair{160, 90}, {320, 240}, {640, 360}, {1280, 720}}) {
    const float scale = resultScale(gameGlyphs(), w, h);
    EXPECT_GE(scale, hudScale(gameGlyphs(), w, h)) << w << "x" << h;
    const Overlay lines = resultOverlay("5 Stars", "New best: 153.00 s left, 153.00 s better", scale);
    const TextBox detail = lineBox(lines.lines[1], gameGlyphs(), w, h);
    const TextBox keysBox = lineBox(lines.lines[2], gameGlyphs(), w, h);
    EXPECT_LE(std::max(detail.max.x, keysBox.max.x), static_cast<float>(w)) << w << "x" << h;
    EXPECT_FALSE(overlap(detail, keysBox)) << w << "x" << h;
  }
}

}  // namespace
}  // namespace ruvelo
