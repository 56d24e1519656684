// What the HUD shows and where: the five crimson lines of the playing screen, the drive gauge (speed,
// gear, engine-speed bar), the minimap, the delivery time against the best run, and the result
// screen's lines. Everything is laid out as lines and shapes for the renderer's overlay; one scale
// fits the whole HUD into small windows.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "game/game.h"
#include "passes/hud.h"

namespace ruvelo {

// The formatted values of the HUD's five lines (without their labels).
struct HudTexts {
  std::string fps;           // e.g. "60"
  std::string power;         // e.g. "100"
  std::string packets;       // e.g. "0"
  std::string timeLeft;      // e.g. "153.00"
  std::string objectsDrawn;  // e.g. "17"
};

// The HUD values (the timer shown truncated to hundredths; the game keeps the exact time).
HudTexts hudTexts(const GameState& game, const std::string& fpsText, int objectsDrawn);

// (220, 20, 60) / 255.
glm::vec3 hudColour();

// The five HUD lines in drawing order: FPS, power, packets, time left, objects drawn. `scale`
// multiplies every line's scale (1 in a window where the lines as designed fit; see hudScale).
std::array<TextLine, 5> hudLines(const HudTexts& texts, float scale = 1.0f);

// A delivery's time against the best run's same delivery: "−1.24 s" (faster) or "+0.50 s" (slower
// or the same, to the hundredth), each in its own colour.
struct DeliveryDelta {
  std::string text;
  glm::vec3 colour{1.0f};
};
DeliveryDelta deliveryDelta(double runSeconds, double bestSeconds);
glm::vec3 fasterColour();
glm::vec3 slowerColour();

// What the drive part of the HUD shows in one frame.
struct DriveView {
  float speed = 0.0f;        // m/s
  int gear = 1;              // reverse 0, neutral 1, first 2, …
  float engineShare = 0.0f;  // engine speed as a share of its top, 0..1
  glm::vec3 position{0.0f};  // the vehicle, world
  glm::vec3 forward{0.0f, 0.0f, 1.0f};
  std::optional<glm::vec3> ghost;
  const std::array<Item, kItemCount>* items = nullptr;  // the ones still visible are marked
  std::optional<DeliveryDelta> delta;                   // shown for a while after a delivery
  bool goal = false;    // the goal under the timer (the first seconds of a run, when no delta shows)
  bool minimap = true;  // off while the pause screen shows its large map
};

// "R", "N", "1" … from the drive model's gear number.
std::string gearText(int gear);

// The places of the drive elements in a window at a HUD scale, in pixels (origin bottom-left).
struct DriveLayout {
  glm::vec2 barMin{0.0f}, barMax{0.0f};  // the engine-speed bar
  glm::vec2 speedPen{0.0f};
  glm::vec2 gearPen{0.0f};
  float textScale = 0.75f;
  glm::vec2 mapMin{0.0f}, mapMax{0.0f};  // the minimap, never taller than 0.4 of the window
  glm::vec2 deltaPen{0.0f};
};
DriveLayout driveLayout(int width, int height, float scale);

// The overlay of the five lines, and that of the drive elements.
Overlay fixedHud(const HudTexts& texts, float scale);
Overlay driveHud(const DriveView& view, int width, int height, float scale);
// The pause screen's map: half the window's height, by its right edge, with a legend of its marks.
Overlay pauseMap(const DriveView& view, int width, int height, float scale);

// Every HUD element's box at its widest (the five lines with their widest values, each drive
// element over all it can show), for the fit and its tests.
struct HudBox {
  std::string name;
  TextBox box;
};
std::vector<HudBox> hudBoxes(const GlyphTable& glyphs, int width, int height, float scale);

// The share of the width and of the height that the nearest line keeps from the window's edges in
// the designed layout at 1600 x 900.
glm::vec2 hudMargins(const GlyphTable& glyphs);

// The HUD's scale for a window: 1 when every element as designed lies inside the window by the
// margins and none overlaps another; else the largest scale below 1 at which they do, found to
// 1/1024. Elements keep their anchors as fractions of the window.
float hudScale(const GlyphTable& glyphs, int windowWidth, int windowHeight);

// The result screen: the result ("5 Stars" or "0 Stars") large and yellow, the line under it (why
// the run was lost, or the time left and the best; none when ""), and the keys that answer there;
// all shrunk by `scale` (see resultScale).
Overlay resultOverlay(const std::string& result, const std::string& detail, float scale);
// The largest scale up to 1 at which every line `layout` gives lies inside the window by the HUD's
// margins, no two overlapping (as hudScale does for the HUD).
float fittingScale(const GlyphTable& glyphs, int windowWidth, int windowHeight,
                   const std::function<Overlay(float scale)>& layout);
// The result screen's scale: as hudScale, for its own lines.
float resultScale(const GlyphTable& glyphs, int windowWidth, int windowHeight);
TextLine endScreenLine(const std::string& text, float scale = 1.0f);
extern const char* const kResultKeysText;
// What a run asks, shown under the timer at its start.
extern const char* const kGoalText;
// After a delivery's time against the best run's: "−0.55 s vs best".
extern const char* const kVersusBest;

}  // namespace ruvelo
