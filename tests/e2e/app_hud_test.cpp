// The drive part of the HUD on screen: the speed readout changes from standing to driving, and the
// minimap's arrow moves up the map as the vehicle drives north up the start road. Pictures of the
// same run with the HUD shown and hidden (F9) tell the HUD's own pixels from the scene's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/hud_layout.h"
#include "passes/text_renderer.h"
#include "support/game_runner.h"
#include "support/image.h"

namespace ruvelo::test {
namespace {

constexpr int kWidth = 960, kHeight = 540;

bool differs(const Image& a, const Image& b, int x, int y) {
  const std::uint8_t* p = a.at(x, y);
  const std::uint8_t* q = b.at(x, y);
  return std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) >= 60;
}

// The arrow's colour, drawn opaque.
bool arrowColour(const std::uint8_t* p) {
  return p[0] < 110 && p[1] > 190 && p[2] > 210;
}

TEST(Hud, SpeedChangesAndTheMapArrowMovesWhileDriving) {
  GameFolder folder("width=960\nheight=540\nrefresh_rate=60\nfullscreen=false\n");
  // Quarter-second frames: 10 s of driving in 40.
  const long kStanding = 1, kDriving = 41;
  Image shots[2][2];  // [hidden][driving]
  for (int hidden = 0; hidden < 2; ++hidden) {
    const std::string script = folder.writeFile(
        "keys.txt", std::string("1 F7 release\n2 W press\n") + (hidden ? "1 F9 release\n" : ""));
    std::vector<std::string> args = {"--frames", std::to_string(kDriving), "--fixed-dt", "0.25", "--input",
                                     script};
    for (int driving = 0; driving < 2; ++driving) {
      args.push_back("--screenshot");
      args.push_back(std::to_string(driving ? kDriving : kStanding) + ":" +
                     folder.path("shot" + std::to_string(hidden) + std::to_string(driving) + ".png"));
    }
    const GameRun run = folder.run(args);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (int driving = 0; driving < 2; ++driving) {
      shots[hidden][driving] =
          loadPng(folder.path("shot" + std::to_string(hidden) + std::to_string(driving) + ".png"));
      ASSERT_EQ(shots[hidden][driving].width, kWidth);
    }
  }
  GlyphTable glyphs;
  std::vector<GlyphBitmap> bitmaps;
  ASSERT_TRUE(rasteriseFont(std::string(RUVELO_ASSET_DIR) + "/fonts/Itim-Regular.ttf", glyphs, bitmaps));
  const float scale = hudScale(glyphs, kWidth, kHeight);
  TextBox speed{}, map{};
  for (const HudBox& element : hudBoxes(glyphs, kWidth, kHeight, scale)) {
    if (element.name == "speed") speed = element.box;
    if (element.name == "minimap") map = element.box;
  }
  ASSERT_GT(speed.max.x, speed.min.x);
  // Window pixels (y up) to image rows.
  const auto rows = [](const TextBox& box) {
    return std::pair{kHeight - static_cast<int>(box.max.y) - 1, kHeight - static_cast<int>(box.min.y)};
  };

  // The speed's own pixels (shown against hidden) at rest and at speed: F9 hides them, and they
  // differ, as "0 km/h" and a two-digit speed do.
  const auto [speedTop, speedBottom] = rows(speed);
  int standingText = 0, drivingText = 0, changed = 0;
  for (int y = speedTop; y < speedBottom; ++y) {
    for (int x = static_cast<int>(speed.min.x); x < static_cast<int>(speed.max.x) + 1; ++x) {
      const bool a = differs(shots[0][0], shots[1][0], x, y);
      const bool b = differs(shots[0][1], shots[1][1], x, y);
      standingText += a;
      drivingText += b;
      changed += a != b;
    }
  }
  EXPECT_GT(standingText, 100) << "the speed is drawn, and F9 hides it";
  EXPECT_GT(drivingText, standingText) << "more digits at speed";
  EXPECT_GT(changed, 150) << "the digits changed";

  // The arrow: its pixels inside the map, their centre higher up the map after driving north.
  const auto [mapTop, mapBottom] = rows(map);
  glm::vec2 centre[2];
  for (int driving = 0; driving < 2; ++driving) {
    glm::vec2 sum(0.0f);
    int count = 0;
    for (int y = mapTop; y < mapBottom; ++y)
      for (int x = static_cast<int>(map.min.x); x <= static_cast<int>(map.max.x); ++x)
        if (arrowColour(shots[0][driving].at(x, y))) {
          sum += glm::vec2(x, y);
          ++count;
        }
    ASSERT_GT(count, 15) << "the arrow is on the map";
    centre[driving] = sum / static_cast<float>(count);
    EXPECT_EQ(
        countPixels(shots[1][driving], static_cast<int>(map.min.x), mapTop, static_cast<int>(map.max.x) + 1,
                    mapBottom, [](int r, int g, int b) { return r < 110 && g > 190 && b > 210; }),
        0)
        << "F9 hides the map";
  }
  EXPECT_LT(centre[1].y, centre[0].y - 8.0f) << "up the map, northwards";
  EXPECT_NEAR(centre[1].x, centre[0].x, 3.0f) << "along the straight start road";
}

// WCAG's relative luminance of an sRGB pixel, and the contrast ratio of two.
double luminance(const std::uint8_t* p) {
  const auto linear = [](std::uint8_t c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2]);
}
double contrast(double a, double b) {
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The crimson lines stay legible over whatever the drive puts behind them (the kerb's red and white
// runs into both bottom corners on every straight road): every pixel of a glyph's full colour
// against every pixel right around it that is not the glyph's own colour faded towards black (its
// anti-aliased edge over the outline) stands at least 3:1, WCAG's figure for large text.
TEST(Hud, CrimsonLinesStandOutFromWhatIsAroundThemThroughTheDrive) {
#ifdef RUVELO_SANITIZED
  GTEST_SKIP() << "long drives run in the normal build";
#endif
  constexpr int w = 1280, h = 720;
  GameFolder folder("width=1280\nheight=720\nrefresh_rate=60\nfullscreen=false\n");
  std::vector<std::string> args = {"--frames", "560", "--fixed-dt", "0.05", "--autopilot"};
  for (int frame = 60; frame <= 560; frame += 50)
    args.insert(args.end(),
                {"--screenshot", std::to_string(frame) + ":" + folder.path(std::to_string(frame) + ".png")});
  const GameRun run = folder.run(args, 600);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  const auto glyph = [](const std::uint8_t* p) {
    return std::abs(p[0] - 220) <= 6 && std::abs(p[1] - 20) <= 6 && std::abs(p[2] - 60) <= 6;
  };
  // The glyph's colour times k (0.15 < k <= 1), as its edge blends it over the black outline.
  const auto glyphEdge = [](const std::uint8_t* p) {
    const double k = p[0] / 220.0;
    return k > 0.15 && std::abs(p[1] - 20.0 * k) <= 10 && std::abs(p[2] - 60.0 * k) <= 10;
  };
  double lowest = 1e9;
  int glyphPixels = 0;
  std::string worst;  // where the lowest contrast is, for a person to look at
  for (int frame = 60; frame <= 560; frame += 50) {
    const Image shot = loadPng(folder.path(std::to_string(frame) + ".png"));
    ASSERT_EQ(shot.width, w);
    // The five lines: a band at the top and one at the bottom (below the drive gauge's bar).
    for (const auto& [y0, y1] : {std::pair{0, h * 8 / 100}, {h * 925 / 1000, h}}) {
      for (int y = std::max(y0, 2); y < std::min(y1, h - 2); ++y) {
        for (int x = 2; x < w - 2; ++x) {
          if (!glyph(shot.at(x, y))) continue;
          ++glyphPixels;
          const double own = luminance(shot.at(x, y));
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
              const std::uint8_t* q = shot.at(x + dx, y + dy);
              if (glyph(q) || glyphEdge(q)) continue;
              const double c = contrast(own, luminance(q));
              if (c >= lowest) continue;
              lowest = c;
              worst = "frame " + std::to_string(frame) + " at " + std::to_string(x + dx) + "," +
                      std::to_string(y + dy) + ": " + std::to_string(q[0]) + " " + std::to_string(q[1]) +
                      " " + std::to_string(q[2]);
            }
        }
      }
    }
  }
  EXPECT_GT(glyphPixels, 20000) << "the lines are drawn";
  EXPECT_GE(lowest, 3.0) << "lowest contrast between a glyph and what is around it, " << worst;
  std::printf("lowest contrast %.2f over %d glyph pixels\n", lowest, glyphPixels);
}

}  // namespace
}  // namespace ruvelo::test
