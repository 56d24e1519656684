#include "tools/assetgen/level_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "level/route.h"

namespace ruvelo::assets {

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 960;
constexpr float kMaxX = 300.0f;
constexpr float kMaxZ = 440.0f;

// 5 × 7 capitals and digits for the labels, one byte per row (low five bits, leftmost = 0x10).
const std::uint8_t* glyph(char c) {
  struct Glyph {
    char c;
    std::uint8_t rows[7];
  };
  static const Glyph glyphs[] = {
      {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
      {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {30, 1, 1, 14, 1, 1, 30}},
      {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
      {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}},
      {'C', {14, 17, 16, 16, 16, 17, 14}}, {'D', {30, 17, 17, 17, 17, 17, 30}},
      {'E', {31, 16, 16, 30, 16, 16, 31}}, {'K', {17, 18, 20, 24, 20, 18, 17}},
      {'M', {17, 27, 21, 21, 17, 17, 17}}, {'P', {30, 17, 17, 30, 16, 16, 16}},
      {'R', {30, 17, 17, 30, 20, 18, 17}}, {'S', {15, 16, 16, 14, 1, 1, 30}},
      {'T', {31, 4, 4, 4, 4, 4, 4}},       {'X', {17, 17, 10, 4, 10, 17, 17}},
      {'Z', {31, 1, 2, 4, 8, 16, 31}},     {'+', {0, 4, 4, 31, 4, 4, 0}},
  };
  for (const Glyph& g : glyphs) {
    if (g.c == c) return g.rows;
  }
  return nullptr;
}

void drawText(Image& image, glm::ivec2 at, const std::string& text, glm::vec3 colour, int scale = 2) {
  int x = at.x;
  for (char c : text) {
    if (const std::uint8_t* rows = glyph(c)) {
      for (int r = 0; r < 7; ++r) {
        for (int col = 0; col < 5; ++col) {
          if (rows[r] & (0x10 >> col))
            image.fillRect(x + col * scale, at.y + r * scale, x + (col + 1) * scale, at.y + (r + 1) * scale,
                           colour);
        }
      }
    }
    x += 6 * scale;
  }
}

// Fills a world rectangle (min x, min z, max x, max z).
void fillWorldRect(Image& image, glm::vec4 r, glm::vec3 colour) {
  const glm::ivec2 a = levelMapPixel({r.z, r.w}), b = levelMapPixel({r.x, r.y});
  image.fillRect(a.x, a.y, b.x + 1, b.y + 1, colour);
}

void fillCircle(Image& image, glm::vec2 world, float radius, glm::vec3 fill, glm::vec3 outline) {
  const glm::ivec2 c = levelMapPixel(world);
  const int r = static_cast<int>(std::ceil(radius)) + 1;
  for (int dy = -r; dy <= r; ++dy) {
    for (int dx = -r; dx <= r; ++dx) {
      const float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
      if (d <= radius - 1.5f)
        image.set(c.x + dx, c.y + dy, fill);
      else if (d <= radius)
        image.set(c.x + dx, c.y + dy, outline);
    }
  }
}

void fillOctagon(Image& image, glm::vec2 centre, float half, float cut, glm::vec3 colour) {
  for (float z = -half; z <= half; z += 0.5f) {
    for (float x = -half; x <= half; x += 0.5f) {
      if (std::fabs(x) + std::fabs(z) <= 2.0f * half - cut) {
        const glm::ivec2 p = levelMapPixel(centre + glm::vec2(x, z));
        image.set(p.x, p.y, colour);
      }
    }
  }
}

// A line of square dots `width` pixels wide between two pixel positions.
void drawLine(Image& image, glm::vec2 a, glm::vec2 b, glm::vec3 colour, int width) {
  const int steps = std::max(1, static_cast<int>(std::ceil(glm::length(b - a) * 2.0f)));
  for (int i = 0; i <= steps; ++i) {
    const glm::vec2 p = a + (b - a) * (static_cast<float>(i) / steps);
    const int x = static_cast<int>(std::floor(p.x)) - width / 2,
              y = static_cast<int>(std::floor(p.y)) - width / 2;
    image.fillRect(x, y, x + width, y + width, colour);
  }
}

glm::vec2 pixelOf(glm::vec2 world) {
  return glm::vec2(levelMapPixel(world)) + glm::vec2(0.5f);
}

// The driving line with an arrow head every `arrowEvery` points, pointing the way it is driven.
void drawRoute(Image& image, const std::vector<glm::vec2>& line, glm::vec3 colour, glm::vec3 edge) {
  constexpr std::size_t kArrowEvery = 30;  // 60 m
  for (int pass = 0; pass < 2; ++pass) {
    const glm::vec3 c = pass == 0 ? edge : colour;
    const int width = pass == 0 ? 5 : 3;
    for (std::size_t i = 1; i < line.size(); ++i)
      drawLine(image, pixelOf(line[i - 1]), pixelOf(line[i]), c, width);
    for (std::size_t i = kArrowEvery; i + 1 < line.size(); i += kArrowEvery) {
      const glm::vec2 tip = pixelOf(line[i]);
      const glm::vec2 dir = glm::normalize(tip - pixelOf(line[i - 1]));
      const glm::vec2 side(-dir.y, dir.x);
      for (float s : {-1.0f, 1.0f}) drawLine(image, tip, tip - dir * 9.0f + side * (6.0f * s), c, width);
    }
  }
}

}  // namespace

glm::ivec2 levelMapPixel(glm::vec2 w) {
  return {static_cast<int>(std::floor(kMaxX - w.x)), static_cast<int>(std::floor(kMaxZ - w.y))};
}

Image makeLevelMap(const LevelLayout& layout) {
  Image image(kWidth, kHeight, 3);
  const glm::vec3 grass(0.36f, 0.55f, 0.28f), road(0.25f, 0.25f, 0.27f), deck(0.55f, 0.6f, 0.72f),
      ramp(0.42f, 0.45f, 0.55f), building(0.62f, 0.52f, 0.45f), buildingEdge(0.35f, 0.28f, 0.24f),
      wall(0.12f, 0.12f, 0.12f), battery(1.0f, 0.85f, 0.1f), zone(0.9f, 0.1f, 0.1f), cone(1.0f, 0.5f, 0.0f),
      start(0.15f, 0.35f, 1.0f), white(1.0f), black(0.0f), embankment(0.5f, 0.66f, 0.38f),
      route(1.0f, 0.25f, 0.85f);
  image.fillRect(0, 0, kWidth, kHeight, grass);

  for (const Building& b : layout.buildings) {
    const glm::vec4 r(b.centre - b.halfSize, b.centre + b.halfSize);
    fillWorldRect(image, r, buildingEdge);
    fillWorldRect(image, r + glm::vec4(1.0f, 1.0f, -1.0f, -1.0f), building);
  }
  for (const Block& b : layout.blocks) {
    if (b.collides) fillWorldRect(image, {b.min.x, b.min.z, b.max.x, b.max.z}, wall);
  }
  // The level's edge (its cut corners; the long sides run along the map's borders).
  for (std::size_t i = 0; i < layout.boundary.size(); ++i)
    drawLine(image, pixelOf(layout.boundary[i]), pixelOf(layout.boundary[(i + 1) % layout.boundary.size()]),
             wall, 3);
  // Embankments first, then the roads on them.
  const glm::vec4 verge(-kShoulderWidth, -kShoulderWidth, kShoulderWidth, kShoulderWidth);
  for (const RoadLink& link : layout.links)
    fillWorldRect(image, linkFootprint(layout, link) + verge, embankment);
  for (const RoadNode& node : layout.nodes)
    fillOctagon(image, node.centre, kPadHalfSize + kShoulderWidth, kPadCut + kShoulderWidth * 0.414f,
                embankment);
  for (const SpinePiece& p : layout.spine) {
    if (!p.elevated && !p.sideWalls) fillWorldRect(image, spineFootprint(p) + verge, embankment);
  }
  for (const RoadLink& link : layout.links) fillWorldRect(image, linkFootprint(layout, link), road);
  for (const RoadNode& node : layout.nodes) fillOctagon(image, node.centre, kPadHalfSize, kPadCut, road);
  for (const SpinePiece& p : layout.spine) {
    const bool sloped = p.heightFrom != p.heightTo;
    fillWorldRect(image, spineFootprint(p), p.elevated ? deck : (sloped ? ramp : road));
  }
  for (const Column& c : layout.columns) {
    if (c.collides) fillCircle(image, c.centre, c.radius + 0.5f, wall, wall);
  }

  // The driving line over everything but the items, so batteries and gates stay readable.
  drawRoute(image, drivingLine(layout), route, black);

  const LevelItems& items = layout.items;
  for (std::size_t i = 0; i < items.zones.size(); ++i) {
    const glm::vec3 z = items.zones[i];
    const glm::vec2 half = items.zoneRotated[i] ? glm::vec2(kZoneHalfExtents.z, kZoneHalfExtents.x)
                                                : glm::vec2(kZoneHalfExtents.x, kZoneHalfExtents.z);
    fillWorldRect(image, {z.x - half.x, z.z - half.y, z.x + half.x, z.z + half.y}, zone);
    const glm::ivec2 p = levelMapPixel({z.x, z.z});
    drawText(image, p + glm::ivec2(14, -18), "Z" + std::to_string(i + 1), zone);
  }
  for (const glm::vec3& c : items.cones) fillCircle(image, {c.x, c.z}, 3.5f, cone, black);
  for (std::size_t i = 0; i < items.batteries.size(); ++i) {
    const glm::vec3 b = items.batteries[i];
    fillCircle(image, {b.x, b.z}, 5.0f, battery, black);
    drawText(image, levelMapPixel({b.x, b.z}) + glm::ivec2(8, 4), "B" + std::to_string(i + 1), white);
  }
  // Start: an arrow pointing along +z (up the map).
  const glm::ivec2 s = levelMapPixel({items.start.x, items.start.z});
  for (int row = 0; row < 16; ++row)
    image.fillRect(s.x - row / 2, s.y - 8 + row, s.x + row / 2 + 1, s.y - 7 + row, start);
  drawText(image, s + glm::ivec2(12, -4), "START", white);
  drawText(image, levelMapPixel({-12.0f, 0.0f}), "DECK", white);
  drawText(image, levelMapPixel({-12.0f, -250.0f}), "RAMP", white);
  drawText(image, levelMapPixel({-12.0f, 270.0f}), "RAMP", white);
  // Orientation: +z up, +x left, drawn from a corner at (50, 60).
  drawText(image, {40, 8}, "+Z", white);
  image.fillRect(50, 26, 53, 61, white);
  drawText(image, {2, 66}, "+X", white);
  image.fillRect(14, 58, 53, 61, white);
  return image;
}

}  // namespace ruvelo::assets
