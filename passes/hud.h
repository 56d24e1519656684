// The heads-up display: the five crimson lines of the playing screen and the yellow result line of
// the end screen, laid out from texts the game has already formatted.
#pragma once

#include <array>
#include <glm/glm.hpp>
#include <string>

#include "passes/text_renderer.h"

namespace ruvelo {

class Shader;

// The formatted values shown by the HUD (without their labels).
struct HudTexts {
  std::string fps;           // e.g. "60"
  std::string power;         // e.g. "100"
  std::string packets;       // e.g. "0"
  std::string timeLeft;      // e.g. "153.00"
  std::string objectsDrawn;  // e.g. "17"
};

// One line of screen text: position as fractions of the window, scale of the 48 px font.
struct TextLine {
  std::string text;
  float x = 0.0f;
  float y = 0.0f;
  float scale = 1.0f;
  glm::vec3 colour{1.0f};
};

// (220, 20, 60) / 255.
glm::vec3 hudColour();

// The five HUD lines in drawing order: FPS, power, packets, time left, objects drawn. `scale`
// multiplies every line's scale (1 in a window where the lines as designed fit; see hudScale).
std::array<TextLine, 5> hudLines(const HudTexts& texts, float scale = 1.0f);

// The pixels a line's glyphs cover in a window of the given size (origin bottom-left, y up).
struct TextBox {
  glm::vec2 min{0.0f};
  glm::vec2 max{0.0f};
};
TextBox lineBox(const TextLine& line, const GlyphTable& glyphs, int windowWidth, int windowHeight);

// The HUD's scale for a window: 1 when the lines as designed, with their widest values (four-digit
// FPS, three-digit power and object counts, the full timer), all lie inside the window and do not
// overlap; else the largest scale below 1 at which they do, found to 1/1024. Lines keep their places
// as fractions of the window.
float hudScale(const GlyphTable& glyphs, int windowWidth, int windowHeight);

// The end screen's line ("5 Stars" or "0 Stars", chosen by the game) at (0.4, 0.5), scale 2, yellow.
TextLine endScreenLine(const std::string& text);

// The smaller line under it (this run's time left and the best), white, shrunk with the HUD's `scale`
// so it stays inside small windows.
TextLine endScreenDetailLine(const std::string& text, float scale);

void drawTextLine(const TextRenderer& renderer, const Shader& textProgram, const TextLine& line);
void drawHud(const TextRenderer& renderer, const Shader& textProgram, const HudTexts& texts, float scale);

}  // namespace ruvelo
