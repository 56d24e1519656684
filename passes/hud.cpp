#include "passes/hud.h"

#include "passes/text_renderer.h"

namespace ruvelo {

TextBox lineBox(const TextLine& line, const GlyphTable& glyphs, int windowWidth, int windowHeight) {
  const glm::vec2 pen = textPen(line.x, line.y, windowWidth, windowHeight);
  TextBox box{pen, pen};
  bool first = true;
  for (const GlyphQuad& quad : layoutText(line.text, glyphs, pen, line.scale, false)) {
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

void drawTextLine(const TextRenderer& renderer, const Shader& textProgram, const TextLine& line) {
  renderer.renderText(line.text, textProgram, line.x, line.y, line.scale, line.colour);
}

void drawOverlay(const TextRenderer& renderer, const Shader& textProgram, const Overlay& overlay) {
  renderer.renderShapes(overlay.shapes, textProgram);
  for (const TextLine& line : overlay.lines) drawTextLine(renderer, textProgram, line);
}

}  // namespace ruvelo
