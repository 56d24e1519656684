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
// Minimap: right edge and bottom as fractions of the window; its height in design pixels, at most
// 0.4 of the window's (the level is long and narrow: its width is under half its height).
constexpr float kMapRight = 0.98f;
constexpr float kMapBottom = 0.085f;
constexpr float kMapHeight = 360.0f;
constexpr float kMapMaxShare = 0.4f;
// The delivery delta, and the goal at the start of a run, under the timer.
constexpr glm::vec2 kDeltaAnchor{0.4f, 0.87f};
constexpr float kDeltaScale = 0.75f;
constexpr float kGoalScale = 0.5f;
// The pause screen's map: as tall as half the window, by its right edge, the legend under it.
constexpr float kPauseMapShare = 0.5f;
constexpr float kLegendScale = 0.5f;

const glm::vec3 kMapGround{0.05f, 0.07f, 0.06f};
const glm::vec3 kGateColour{1.0f, 0.85f, 0.1f};
const glm::vec3 kBatteryColour{0.3f, 0.95f, 0.4f};
const glm::vec3 kGhostColour{1.0f, 0.3f, 0.85f};  // magenta: seen on the white deck and the grey roads
const glm::vec3 kArrowColour{0.2f, 0.9f, 1.0f};
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
// The level lies inside the map by `margin` pixels, so a mark on a road at the level's edge is
// drawn whole where it is, not pushed off the road.
struct MapFrame {
  glm::vec2 worldMin, worldMax, mapMin, mapMax;
  float margin = 0.0f;
  glm::vec2 at(float x, float z) const {
    const float u = (worldMax.x - x) / (worldMax.x - worldMin.x);
    const float v = (z - worldMin.y) / (worldMax.y - worldMin.y);
    return mapMin + margin + glm::vec2(u, v) * (mapMax - mapMin - 2.0f * margin);
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

// A ring of eight sides around `p`, `outer` and `inner` pixels from it.
void addRing(FlatShape& shape, glm::vec2 p, float outer, float inner) {
  constexpr int kSides = 8;
  for (int i = 0; i < kSides; ++i) {
    const float a0 = 6.2831853f * static_cast<float>(i) / kSides;
    const float a1 = 6.2831853f * static_cast<float>(i + 1) / kSides;
    const glm::vec2 d0(std::cos(a0), std::sin(a0)), d1(std::cos(a1), std::sin(a1));
    addTriangle(shape, p + d0 * inner, p + d0 * outer, p + d1 * outer);
    addTriangle(shape, p + d0 * inner, p + d1 * outer, p + d1 * inner);
  }
}

// The marks' half sizes in pixels on a map of the given height: in proportion to it, never smaller
// than a player can pick out (gates 8 px across, batteries 6).
struct MarkSizes {
  float gate, battery, ghost, arrow;
};
MarkSizes markSizes(float mapHeight) {
  const float k = mapHeight / kMapHeight;
  return {std::max(5.0f * k, 4.0f), std::max(3.5f * k, 3.0f), std::max(4.5f * k, 4.0f),
          std::max(10.0f * k, 7.0f)};
}

// The level on an opaque dark ground, so nothing behind the map looks like a mark: roads, the deck,
// the gates and batteries still there, the ghost as a ring and the vehicle as an arrow.
std::vector<FlatShape> minimapShapes(const DriveView& view, glm::vec2 mapMin, glm::vec2 mapMax) {
  const level::LevelLayout& layout = level::levelLayout();
  const auto [worldMin, worldMax] = mapBounds();
  const MarkSizes marks = markSizes(mapMax.y - mapMin.y);
  const MapFrame frame{worldMin, worldMax, mapMin, mapMax, marks.arrow};

  FlatShape ground{kMapGround, 1.0f, {}};
  addRect(ground, mapMin, mapMax);
  FlatShape roads{{0.55f, 0.56f, 0.6f}, 1.0f, {}};
  for (const level::RoadNode& node : layout.nodes) frame.addFootprint(roads, level::nodeFootprint(node));
  for (const level::RoadLink& link : layout.links)
    frame.addFootprint(roads, level::linkFootprint(layout, link));
  FlatShape deck{{0.88f, 0.88f, 0.93f}, 1.0f, {}};
  for (const level::SpinePiece& piece : layout.spine)
    frame.addFootprint(piece.elevated ? deck : roads, level::spineFootprint(piece));

  // Each mark on a black edge of its own, a pixel wide, so it stands out on the roads and the deck.
  FlatShape edges{{0.0f, 0.0f, 0.0f}, 1.0f, {}};
  FlatShape gates{kGateColour, 1.0f, {}};
  FlatShape batteries{kBatteryColour, 1.0f, {}};
  if (view.items != nullptr) {
    for (const Item& item : *view.items) {
      if (!item.visible) continue;
      const bool zone = item.kind == ItemKind::Zone;
      const float half = zone ? marks.gate : marks.battery;
      const glm::vec2 p = frame.markAt(item.centre.x, item.centre.z, half + 1.0f);
      addRect(edges, p - half - 1.0f, p + half + 1.0f);
      addRect(zone ? gates : batteries, p - half, p + half);
    }
  }
  FlatShape ghost{kGhostColour, 1.0f, {}};
  if (view.ghost) {
    const glm::vec2 p = frame.markAt(view.ghost->x, view.ghost->z, marks.ghost + 1.0f);
    addRing(edges, p, marks.ghost + 1.0f, std::max(marks.ghost - 3.5f, 0.5f));
    addRing(ghost, p, marks.ghost, marks.ghost - 2.5f);
  }
  // The vehicle: an arrow along its heading as seen on the map (x mirrored).
  FlatShape arrow{kArrowColour, 1.0f, {}};
  glm::vec2 heading(-view.forward.x, view.forward.z);
  heading = glm::length(heading) > 1e-4f ? glm::normalize(heading) : glm::vec2(0.0f, 1.0f);
  const glm::vec2 side(heading.y, -heading.x);
  const glm::vec2 p = frame.markAt(view.position.x, view.position.z, marks.arrow);
  const float a = marks.arrow;
  addTriangle(arrow, p + heading * a, p - heading * 0.55f * a + side * 0.6f * a,
              p - heading * 0.55f * a - side * 0.6f * a);
  return {ground, roads, deck, edges, gates, batteries, ghost, arrow};
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
  if (view.minimap) overlay.shapes = minimapShapes(view, at.mapMin, at.mapMax);
  // The bar on a dark backing a little larger than itself, legible over the kerb and the snow.
  FlatShape barBack{{0.02f, 0.02f, 0.03f}, 0.85f, {}};
  addRect(barBack, at.barMin - 2.0f, at.barMax + 2.0f);
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
    overlay.lines.push_back(lineAt(view.delta->text + kVersusBest, at.deltaPen, width, height,
                                   kDeltaScale * scale, view.delta->colour));
  else if (view.goal)
    overlay.lines.push_back(
        lineAt(kGoalText, at.deltaPen, width, height, kGoalScale * scale, kGaugeTextColour));
  return overlay;
}

Overlay pauseMap(const DriveView& view, int width, int height, float scale) {
  const glm::vec2 window(static_cast<float>(width), static_cast<float>(height));
  const auto [worldMin, worldMax] = mapBounds();
  const float mapHeight = kPauseMapShare * window.y;
  const float mapWidth = mapHeight * (worldMax.x - worldMin.x) / (worldMax.y - worldMin.y);
  const glm::vec2 mapMax(kMapRight * window.x, 0.5f * (window.y + mapHeight));
  const glm::vec2 mapMin(mapMax.x - mapWidth, mapMax.y - mapHeight);
  Overlay overlay;
  overlay.shapes = minimapShapes(view, mapMin, mapMax);

  // The legend under the map: each mark as the map draws it, and its name.
  const MarkSizes marks = markSizes(kMapHeight * scale);
  const float row = 30.0f * scale;
  FlatShape edges{{0.0f, 0.0f, 0.0f}, 1.0f, {}};
  FlatShape gate{kGateColour, 1.0f, {}}, battery{kBatteryColour, 1.0f, {}}, ghost{kGhostColour, 1.0f, {}};
  FlatShape you{kArrowColour, 1.0f, {}};
  const struct {
    const char* name;
    FlatShape* shape;
    float half;
  } entries[] = {{"Gate", &gate, marks.gate},
                 {"Battery", &battery, marks.battery},
                 {"You", &you, marks.arrow},
                 {"Ghost", &ghost, marks.ghost}};
  for (int i = 0; i < 4; ++i) {
    const glm::vec2 centre(mapMin.x + marks.arrow, mapMin.y - row * (static_cast<float>(i) + 0.9f));
    const float h = entries[i].half;
    if (entries[i].shape == &ghost) {
      addRing(edges, centre, h + 1.0f, std::max(h - 3.5f, 0.5f));
      addRing(ghost, centre, h, h - 2.5f);
    } else if (entries[i].shape == &you) {
      addTriangle(you, centre + glm::vec2(0.0f, h), centre + glm::vec2(0.6f * h, -0.55f * h),
                  centre + glm::vec2(-0.6f * h, -0.55f * h));
    } else {
      addRect(edges, centre - h - 1.0f, centre + h + 1.0f);
      addRect(*entries[i].shape, centre - h, centre + h);
    }
    overlay.lines.push_back(lineAt(entries[i].name, centre + glm::vec2(2.0f * marks.arrow, -0.3f * row),
                                   width, height, kLegendScale * scale, glm::vec3(1.0f)));
  }
  for (FlatShape* shape : {&edges, &gate, &battery, &you, &ghost}) overlay.shapes.push_back(*shape);
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
  // The delta and the goal take turns under the timer.
  TextBox under =
      unionBox({"\u221288.88 s" + std::string(kVersusBest), "+88.88 s" + std::string(kVersusBest)},
               at.deltaPen, kDeltaScale * scale);
  const TextBox goal = unionBox({kGoalText}, at.deltaPen, kGoalScale * scale);
  under.min = glm::min(under.min, goal.min);
  under.max = glm::max(under.max, goal.max);
  boxes.push_back({"delta", under});
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

float fittingScale(const GlyphTable& glyphs, int windowWidth, int windowHeight,
                   const std::function<Overlay(float scale)>& layout) {
  const glm::vec2 margins = hudMargins(glyphs);
  return largestFittingScale([&](float scale) {
    std::vector<HudBox> boxes;
    for (const TextLine& line : layout(scale).lines)
      boxes.push_back({line.text, lineBox(line, glyphs, windowWidth, windowHeight)});
    return boxesFit(boxes, windowWidth, windowHeight, margins);
  });
}

float resultScale(const GlyphTable& glyphs, int windowWidth, int windowHeight) {
  const glm::vec2 margins = hudMargins(glyphs);
  return largestFittingScale([&](float scale) {
    // Every line at its widest.
    const Overlay overlay = resultOverlay("0 Stars", "New best: 153.00 s left (153.00 s better)", scale);
    std::vector<HudBox> boxes;
    for (std::size_t i = 0; i < overlay.lines.size(); ++i)
      boxes.push_back({overlay.lines[i].text, lineBox(overlay.lines[i], glyphs, windowWidth, windowHeight)});
    return boxesFit(boxes, windowWidth, windowHeight, margins);
  });
}

const char* const kResultKeysText = "Enter: play again \u00B7 Escape: quit";
const char* const kGoalText = "Deliver 3 packets to the gates \u00B7 batteries refill power";
const char* const kVersusBest = " vs best";

TextLine endScreenLine(const std::string& text, float scale) {
  return TextLine{text, 0.4f, 0.5f, 2.0f * scale, glm::vec3(1.0f, 1.0f, 0.0f)};
}

Overlay resultOverlay(const std::string& result, const std::string& detail, float scale) {
  Overlay overlay;
  overlay.lines.push_back(endScreenLine(result, scale));
  if (!detail.empty()) overlay.lines.push_back(TextLine{detail, 0.3f, 0.38f, 0.6f * scale, glm::vec3(1.0f)});
  overlay.lines.push_back(TextLine{kResultKeysText, 0.3f, 0.3f, 0.5f * scale, glm::vec3(0.85f)});
  return overlay;
}

}  // namespace ruvelo
