#include "passes/hud.h"

#include "passes/text_renderer.h"

namespace ruvelo {

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

TextBox lineBox(const TextLine& line, const GlyphTable& glyphs, int windowWidth, int windowHeight) {
  const glm::vec2 pen = textPen(line.x, line.y, windowWidth, windowHeight);
  TextBox box{pen, pen};
  bool first = true;
  for (const GlyphQuad& quad : layoutText(line.text, glyphs, pen, line.scale)) {
    // Vertices 0 and 2 are the quad's top-left and bottom-right corners.
    const glm::vec2 topLeft(quad.vertices[0], quad.vertices[1]);
    const glm::vec2 bottomRight(quad.vertices[8], quad.vertices[9]);
    const glm::vec2 lo(topLeft.x, bottomRight.y), hi(bottomRight.x, topLeft.y);
    box.min = first ? lo : glm::min(box.min, lo);
    box.max = first ? hi : glm::max(box.max, hi);
    first = false;
  }
  return box;
}

namespace {

bool hudFits(const GlyphTable& glyphs, int width, int height, float scale) {
  // The widest each value gets in play, so the scale never changes with what is shown.
  const HudTexts widest{"8888", "100", "3", "153.00", "888"};
  const std::array<TextLine, 5> lines = hudLines(widest, scale);
  std::array<TextBox, 5> boxes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    boxes[i] = lineBox(lines[i], glyphs, width, height);
    if (boxes[i].min.x < 0.0f || boxes[i].min.y < 0.0f || boxes[i].max.x > static_cast<float>(width) ||
        boxes[i].max.y > static_cast<float>(height))
      return false;
    for (std::size_t j = 0; j < i; ++j) {
      const bool apart = boxes[i].max.x <= boxes[j].min.x || boxes[j].max.x <= boxes[i].min.x ||
                         boxes[i].max.y <= boxes[j].min.y || boxes[j].max.y <= boxes[i].min.y;
      if (!apart) return false;
    }
  }
  return true;
}

}  // namespace

float hudScale(const GlyphTable& glyphs, int windowWidth, int windowHeight) {
  if (hudFits(glyphs, windowWidth, windowHeight, 1.0f)) return 1.0f;
  // Fitting only gets easier as the lines shrink about their fixed pens: bisect the largest scale.
  int fits = 0, fails = 1024;
  while (fails - fits > 1) {
    const int mid = (fits + fails) / 2;
    (hudFits(glyphs, windowWidth, windowHeight, static_cast<float>(mid) / 1024.0f) ? fits : fails) = mid;
  }
  return static_cast<float>(fits) / 1024.0f;
}

TextLine endScreenLine(const std::string& text) {
  return TextLine{text, 0.4f, 0.5f, 2.0f, glm::vec3(1.0f, 1.0f, 0.0f)};
}

TextLine endScreenDetailLine(const std::string& text, float scale) {
  return TextLine{text, 0.3f, 0.38f, 0.6f * scale, glm::vec3(1.0f)};
}

void drawTextLine(const TextRenderer& renderer, const Shader& textProgram, const TextLine& line) {
  renderer.renderText(line.text, textProgram, line.x, line.y, line.scale, line.colour);
}

void drawHud(const TextRenderer& renderer, const Shader& textProgram, const HudTexts& texts, float scale) {
  for (const TextLine& line : hudLines(texts, scale)) drawTextLine(renderer, textProgram, line);
}

}  // namespace ruvelo
