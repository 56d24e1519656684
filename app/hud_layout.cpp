#include "app/hud_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "level/level_layout.h"

namespace ruvelo {
namespace {

// The window the HUD was designed in: at it, and above, the five lines keep their designed places.
constexpr int kDesignWidth = 1600;
constexpr int kDesignHeight = 900;

// Drive gauge, anchored at a fraction of the window above the power line; offsets in design pixels.
constexpr glm::vec2 kGaugeAnchor{0.01f, 0.085f};
constexpr float kBarLength = 210.0f;
constexpr float kBarThickness = 8.0f;
constexpr float kTextAboveBar = 16.0f;
constexpr float kGearOffset = 180.0f;
constexpr float kGaugeTextScale = 0.75f;
// Minimap: right edge and bottom as fractions of the window; its height in design pixels, at most a
// fifth of the window's.
constexpr float kMapRight = 0.98f;
constexpr float kMapBottom = 0.085f;
constexpr float kMapHeight = 176.0f;
constexpr float kMapMaxShare = 0.2f;
// The delivery delta, under the timer.
constexpr glm::vec2 kDeltaAnchor{0.4f, 0.87f};
constexpr float kDeltaScale = 0.75f;

const glm::vec3 kGaugeTextColour{0.96f, 0.96f, 0.92f};
const glm::vec3 kGearColour{1.0f, 0.78f, 0.25f};

HudTexts widestTexts() {
  return {"8888", "100", "3", "153.00", "888"};
}

TextLine lineAt(std::string text, glm::vec2 pen, int width, int height, float scale, glm::vec3 colour) {
  return {std::move(text), pen.x / static_cast<float>(width), pen.y / static_cast<float>(height), scale,
          colour};
}

void addRect(FlatShape& shape, glm::vec2 lo, glm::vec2 hi) {
  shape.triangles.insert(shape.triangles.end(), {lo, {hi.x, lo.y}, hi, lo, hi, {lo.x, hi.y}});
}

// Where the level's bounds land on the minimap: +z up, +x to the left, as the level map is drawn.
struct MapFrame {
  glm::vec2 worldMin, worldMax, mapMin, mapMax;
  glm::vec2 at(float x, float z) const {
    const float u = (worldMax.x - x) / (worldMax.x - worldMin.x);
    const float v = (z - worldMin.y) / (worldMax.y - worldMin.y);
    return mapMin + glm::vec2(u, v) * (mapMax - mapMin);
  }
  // A mark's place, kept on the map (with the mark's reach) when what it marks is beyond it.
  glm::vec2 markAt(float x, float z, float reach) const {
    return glm::clamp(at(x, z), mapMin + reach, mapMax - reach);
  }
  void addFootprint(FlatShape& shape, const glm::vec4& r) const {
    const glm::vec2 a = at(r.x, r.y), b = at(r.z, r.w);
    addRect(shape, glm::min(a, b), glm::max(a, b));
  }
};

// What the minimap shows of the level: the roads and the deck with a border, as (min x, min z) and
// (max x, max z).
std::pair<glm::vec2, glm::vec2> computeMapBounds() {
  constexpr float kBorder = 20.0f;
  const level::LevelLayout& layout = level::levelLayout();
  glm::vec2 lo(1e9f), hi(-1e9f);
  const auto take = [&](const glm::vec4& r) {
    lo = glm::min(lo, glm::vec2(r.x, r.y));
    hi = glm::max(hi, glm::vec2(r.z, r.w));
  };
  for (const level::RoadNode& node : layout.nodes) take(level::nodeFootprint(node));
  for (const level::SpinePiece& piece : layout.spine) take(level::spineFootprint(piece));
  return {lo - kBorder, hi + kBorder};
}

const std::pair<glm::vec2, glm::vec2>& mapBounds() {
  static const std::pair<glm::vec2, glm::vec2> bounds = computeMapBounds();
  return bounds;
}

// A triangle turned counter-clockwise on screen, so culling never drops it.
void addTriangle(FlatShape& shape, glm::vec2 a, glm::vec2 b, glm::vec2 c) {
  const glm::vec2 ab = b - a, ac = c - a;
  if (ab.x * ac.y - ab.y * ac.x < 0.0f) std::swap(b, c);
  shape.triangles.insert(shape.triangles.end(), {a, b, c});
}

std::vector<FlatShape> minimapShapes(const DriveView& view, const DriveLayout& at, float scale) {
  const level::LevelLayout& layout = level::levelLayout();
  const auto [worldMin, worldMax] = mapBounds();
  const MapFrame frame{worldMin, worldMax, at.mapMin, at.mapMax};

  FlatShape ground{{0.04f, 0.07f, 0.05f}, 0.55f, {}};
  addRect(ground, at.mapMin, at.mapMax);
  FlatShape roads{{0.55f, 0.56f, 0.6f}, 0.95f, {}};
  for (const level::RoadNode& node : layout.nodes) frame.addFootprint(roads, level::nodeFootprint(node));
  for (const level::RoadLink& link : layout.links)
    frame.addFootprint(roads, level::linkFootprint(layout, link));
  FlatShape deck{{0.88f, 0.88f, 0.93f}, 1.0f, {}};
  for (const level::SpinePiece& piece : layout.spine)
    frame.addFootprint(piece.elevated ? deck : roads, level::spineFootprint(piece));

  FlatShape gates{{1.0f, 0.85f, 0.1f}, 1.0f, {}};
  FlatShape batteries{{0.3f, 0.95f, 0.4f}, 1.0f, {}};
  if (view.items != nullptr) {
    for (const Item& item : *view.items) {
      if (!item.visible) continue;
      const float half = (item.kind == ItemKind::Zone ? 4.0f : 2.5f) * scale;
      const glm::vec2 p = frame.markAt(item.centre.x, item.centre.z, half);
      addRect(item.kind == ItemKind::Zone ? gates : batteries, p - half, p + half);
    }
  }
  FlatShape ghost{{0.92f, 0.92f, 1.0f}, 0.7f, {}};
  if (view.ghost) {
    const glm::vec2 p = frame.markAt(view.ghost->x, view.ghost->z, 2.5f * scale);
    addRect(ghost, p - 2.5f * scale, p + 2.5f * scale);
  }
  // The vehicle: an arrow along its heading as seen on the map (x mirrored).
  FlatShape arrow{{0.2f, 0.9f, 1.0f}, 1.0f, {}};
  glm::vec2 heading(-view.forward.x, view.forward.z);
  heading = glm::length(heading) > 1e-4f ? glm::normalize(heading) : glm::vec2(0.0f, 1.0f);
  const glm::vec2 side(heading.y, -heading.x);
  const glm::vec2 p = frame.markAt(view.position.x, view.position.z, 9.0f * scale);
  addTriangle(arrow, p + heading * 9.0f * scale, p - heading * 5.0f * scale + side * 5.5f * scale,
              p - heading * 5.0f * scale - side * 5.5f * scale);
  return {ground, roads, deck, gates, batteries, ghost, arrow};
}

}  // namespace

HudTexts hudTexts(const GameState& game, const std::string& fpsText, int objectsDrawn) {
  return {fpsText, powerText(game.power), std::to_string(game.packetsDelivered), timeLeftText(game.timeLeft),
          std::to_string(objectsDrawn)};
}

glm::vec3 hudColour() {
  return glm::vec3(220.0f, 20.0f, 60.0f) / 255.0f;
}

std::array<TextLine, 5> hudLines(const HudTexts& texts, float scale) {
  const glm::vec3 colour = hudColour();
  return {TextLine{"FPS: " + texts.fps, 0.92f, 0.95f, 0.5f * scale, colour},
          TextLine{"Power Left: " + texts.power + "%", 0.01f, 0.01f, 1.0f * scale, colour},
          TextLine{"Packets delivered: " + texts.packets + "/3", 0.62f, 0.01f, 1.0f * scale, colour},
          TextLine{"Time Left: " + texts.timeLeft, 0.4f, 0.95f, 0.75f * scale, colour},
          TextLine{"Objects drawn: " + texts.objectsDrawn, 0.01f, 0.95f, 0.5f * scale, colour}};
}

glm::vec3 fasterColour() {
  return {0.25f, 0.9f, 0.35f};
}

glm::vec3 slowerColour() {
  return {1.0f, 0.55f, 0.15f};
}

DeliveryDelta deliveryDelta(double runSeconds, double bestSeconds) {
  // Whole hundredths, as the timer shows them.
  const long hundredths = std::lround((runSeconds - bestSeconds) * 100.0);
  char number[48];
  std::snprintf(number, sizeof number, "%ld.%02ld s", std::labs(hundredths) / 100,
                std::labs(hundredths) % 100);
  if (hundredths < 0) return {"\u2212" + std::string(number), fasterColour()};
  return {"+" + std::string(number), slowerColour()};
}

std::string gearText(int gear) {
  if (gear <= 0) return "R";
  if (gear == 1) return "N";
  return std::to_string(gear - 1);
}

DriveLayout driveLayout(int width, int height, float scale) {
  const glm::vec2 window(static_cast<float>(width), static_cast<float>(height));
  DriveLayout at;
  const glm::vec2 gauge = kGaugeAnchor * window;
  at.barMin = gauge;
  at.barMax = gauge + glm::vec2(kBarLength, kBarThickness) * scale;
  at.speedPen = gauge + glm::vec2(0.0f, kTextAboveBar) * scale;
  at.gearPen = gauge + glm::vec2(kGearOffset, kTextAboveBar) * scale;
  at.textScale = kGaugeTextScale * scale;
  const auto [worldMin, worldMax] = mapBounds();
  const float mapHeight = std::min(kMapHeight * scale, kMapMaxShare * window.y);
  const float mapWidth = mapHeight * (worldMax.x - worldMin.x) / (worldMax.y - worldMin.y);
  at.mapMax = glm::vec2(kMapRight * window.x, kMapBottom * window.y + mapHeight);
  at.mapMin = glm::vec2(at.mapMax.x - mapWidth, kMapBottom * window.y);
  at.deltaPen = kDeltaAnchor * window;
  return at;
}

Overlay fixedHud(const HudTexts& texts, float scale) {
  Overlay overlay;
  for (const TextLine& line : hudLines(texts, scale)) overlay.lines.push_back(line);
  return overlay;
}

Overlay driveHud(const DriveView& view, int width, int height, float scale) {
  const DriveLayout at = driveLayout(width, height, scale);
  Overlay overlay;
  overlay.shapes = minimapShapes(view, at, scale);
  FlatShape barBack{{0.05f, 0.05f, 0.07f}, 0.6f, {}};
  addRect(barBack, at.barMin, at.barMax);
  const float share = std::clamp(view.engineShare, 0.0f, 1.0f);
  FlatShape barFill{share > 0.85f ? hudColour() : kGearColour, 1.0f, {}};
  if (share > 0.0f)
    addRect(barFill, at.barMin, {at.barMin.x + (at.barMax.x - at.barMin.x) * share, at.barMax.y});
  overlay.shapes.push_back(barBack);
  overlay.shapes.push_back(barFill);

  const int kmh = static_cast<int>(std::lround(std::fabs(view.speed) * 3.6f));
  overlay.lines.push_back(
      lineAt(std::to_string(kmh) + " km/h", at.speedPen, width, height, at.textScale, kGaugeTextColour));
  overlay.lines.push_back(lineAt(gearText(view.gear), at.gearPen, width, height, at.textScale, kGearColour));
  if (view.delta)
    overlay.lines.push_back(
        lineAt(view.delta->text, at.deltaPen, width, height, kDeltaScale * scale, view.delta->colour));
  return overlay;
}

std::vector<HudBox> hudBoxes(const GlyphTable& glyphs, int width, int height, float scale) {
  std::vector<HudBox> boxes;
  const char* names[] = {"fps", "power", "packets", "time", "objects"};
  const std::array<TextLine, 5> lines = hudLines(widestTexts(), scale);
  for (std::size_t i = 0; i < lines.size(); ++i)
    boxes.push_back({names[i], lineBox(lines[i], glyphs, width, height)});

  const DriveLayout at = driveLayout(width, height, scale);
  const auto unionBox = [&](const std::vector<std::string>& texts, glm::vec2 pen, float textScale) {
    TextBox all{pen, pen};
    for (const std::string& text : texts) {
      const TextBox box = lineBox(lineAt(text, pen, width, height, textScale, {}), glyphs, width, height);
      all.min = glm::min(all.min, box.min);
      all.max = glm::max(all.max, box.max);
    }
    return all;
  };
  boxes.push_back({"engine bar", TextBox{at.barMin, at.barMax}});
  boxes.push_back({"speed", unionBox({"888 km/h"}, at.speedPen, at.textScale)});
  boxes.push_back({"gear", unionBox({"R", "N", "1", "2", "3", "4", "5"}, at.gearPen, at.textScale)});
  boxes.push_back({"minimap", TextBox{at.mapMin, at.mapMax}});
  boxes.push_back({"delta", unionBox({"\u221288.88 s", "+88.88 s"}, at.deltaPen, kDeltaScale * scale)});
  return boxes;
}

glm::vec2 hudMargins(const GlyphTable& glyphs) {
  glm::vec2 share(1.0f);
  const glm::vec2 window(kDesignWidth, kDesignHeight);
  for (const TextLine& line : hudLines(widestTexts())) {
    const TextBox box = lineBox(line, glyphs, kDesignWidth, kDesignHeight);
    share = glm::min(share, glm::min(box.min, window - box.max) / window);
  }
  return share;
}

namespace {

// Every box inside the window by the margins (shares of its size), none overlapping another.
bool boxesFit(const std::vector<HudBox>& boxes, int width, int height, glm::vec2 margins) {
  const glm::vec2 window(static_cast<float>(width), static_cast<float>(height));
  const glm::vec2 lo = margins * window, hi = window - margins * window;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const TextBox& a = boxes[i].box;
    if (a.min.x < lo.x || a.min.y < lo.y || a.max.x > hi.x || a.max.y > hi.y) return false;
    for (std::size_t j = 0; j < i; ++j) {
      const TextBox& b = boxes[j].box;
      const bool apart = a.max.x <= b.min.x || b.max.x <= a.min.x || a.max.y <= b.min.y || b.max.y <= a.min.y;
      if (!apart) return false;
    }
  }
  return true;
}

// 1 when `fits(1)`; else the largest scale below 1 that fits, to 1/1024, for layouts that only get
// easier to fit as they shrink towards their anchors.
float largestFittingScale(const std::function<bool(float)>& fits) {
  if (fits(1.0f)) return 1.0f;
  int fitting = 0, failing = 1024;
  while (failing - fitting > 1) {
    const int mid = (fitting + failing) / 2;
    (fits(static_cast<float>(mid) / 1024.0f) ? fitting : failing) = mid;
  }
  return static_cast<float>(fitting) / 1024.0f;
}

}  // namespace

float hudScale(const GlyphTable& glyphs, int windowWidth, int windowHeight) {
  const glm::vec2 margins = hudMargins(glyphs);
  return largestFittingScale([&](float scale) {
    return boxesFit(hudBoxes(glyphs, windowWidth, windowHeight, scale), windowWidth, windowHeight, margins);
  });
}

float resultScale(const GlyphTable& glyphs, int windowWidth, int windowHeight) {
  const glm::vec2 margins = hudMargins(glyphs);
  return largestFittingScale([&](float scale) {
    // The small lines at their widest; the result itself is drawn as designed.
    const Overlay overlay = resultOverlay("", "Time left 153.00 s, best 153.00 s", scale);
    std::vector<HudBox> boxes;
    for (std::size_t i = 1; i < overlay.lines.size(); ++i)
      boxes.push_back({overlay.lines[i].text, lineBox(overlay.lines[i], glyphs, windowWidth, windowHeight)});
    return boxesFit(boxes, windowWidth, windowHeight, margins);
  });
}

const char* const kResultKeysText = "Enter: play again \u00B7 Escape: quit";

TextLine endScreenLine(const std::string& text) {
  return TextLine{text, 0.4f, 0.5f, 2.0f, glm::vec3(1.0f, 1.0f, 0.0f)};
}

Overlay resultOverlay(const std::string& result, const std::string& detail, float scale) {
  Overlay overlay;
  overlay.lines.push_back(endScreenLine(result));
  if (!detail.empty()) overlay.lines.push_back(TextLine{detail, 0.3f, 0.38f, 0.6f * scale, glm::vec3(1.0f)});
  overlay.lines.push_back(TextLine{kResultKeysText, 0.3f, 0.3f, 0.5f * scale, glm::vec3(0.85f)});
  return overlay;
}

}  // namespace ruvelo
