// Screen overlays (the HUD, the result screen): lines of text and flat shapes that the caller lays
// out, drawn over what the window holds. Nothing here knows what the lines say.
#pragma once

#include <glm/glm.hpp>
#include <string>
#include <vector>

#include "passes/text_renderer.h"

namespace ruvelo {

class Shader;

// One line of screen text: position as fractions of the window, scale of the 48 px font.
struct TextLine {
  std::string text;
  float x = 0.0f;
  float y = 0.0f;
  float scale = 1.0f;
  glm::vec3 colour{1.0f};
};

// What one overlay draws: the shapes first, then the lines over them.
struct Overlay {
  std::vector<FlatShape> shapes;
  std::vector<TextLine> lines;
};

// The pixels a line's glyphs cover in a window of the given size (origin bottom-left, y up), their
// outlines left out; an empty box at the pen when nothing is drawn.
struct TextBox {
  glm::vec2 min{0.0f};
  glm::vec2 max{0.0f};
};
TextBox lineBox(const TextLine& line, const GlyphTable& glyphs, int windowWidth, int windowHeight);

void drawTextLine(const TextRenderer& renderer, const Shader& textProgram, const TextLine& line);
void drawOverlay(const TextRenderer& renderer, const Shader& textProgram, const Overlay& overlay);

}  // namespace ruvelo
