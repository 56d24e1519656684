#include "passes/hud.h"

#include "passes/text_renderer.h"

namespace ruvelo {

glm::vec3 hudColour() {
  return glm::vec3(220.0f, 20.0f, 60.0f) / 255.0f;
}

std::array<TextLine, 5> hudLines(const HudTexts& texts) {
  const glm::vec3 colour = hudColour();
  return {TextLine{"FPS: " + texts.fps, 0.92f, 0.95f, 0.5f, colour},
          TextLine{"Power Left: " + texts.power + "%", 0.01f, 0.01f, 1.0f, colour},
          TextLine{"Packets delivered: " + texts.packets + "/3", 0.62f, 0.01f, 1.0f, colour},
          TextLine{"Time Left: " + texts.timeLeft, 0.4f, 0.95f, 0.75f, colour},
          TextLine{"Objects drawn: " + texts.objectsDrawn, 0.01f, 0.95f, 0.5f, colour}};
}

TextLine endScreenLine(const std::string& text) {
  return TextLine{text, 0.4f, 0.5f, 2.0f, glm::vec3(1.0f, 1.0f, 0.0f)};
}

TextLine endScreenDetailLine(const std::string& text) {
  return TextLine{text, 0.3f, 0.38f, 0.6f, glm::vec3(1.0f)};
}

void drawTextLine(const TextRenderer& renderer, const Shader& textProgram, const TextLine& line) {
  renderer.renderText(line.text, textProgram, line.x, line.y, line.scale, line.colour);
}

void drawHud(const TextRenderer& renderer, const Shader& textProgram, const HudTexts& texts) {
  for (const TextLine& line : hudLines(texts)) drawTextLine(renderer, textProgram, line);
}

}  // namespace ruvelo
