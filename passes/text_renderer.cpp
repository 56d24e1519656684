#include "passes/text_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <glm/gtc/matrix_transform.hpp>
#include <iostream>

#include "render/shader.h"

namespace ruvelo {

glm::vec2 textPen(float x, float y, int windowWidth, int windowHeight) {
  return {static_cast<float>(windowWidth) * x, static_cast<float>(windowHeight) * y};
}

std::array<float, 24> glyphQuadVertices(const Character& glyph, const glm::vec2& pen, float scale) {
  const float left = pen.x + static_cast<float>(glyph.bearing.x) * scale;
  const float bottom = pen.y - static_cast<float>(glyph.size.y - glyph.bearing.y) * scale;
  const float w = static_cast<float>(glyph.size.x) * scale;
  const float h = static_cast<float>(glyph.size.y) * scale;
  return {left, bottom + h, 0.0f, 0.0f, left,     bottom, 0.0f, 1.0f, left + w, bottom,     1.0f, 1.0f,
          left, bottom + h, 0.0f, 0.0f, left + w, bottom, 1.0f, 1.0f, left + w, bottom + h, 1.0f, 0.0f};
}

std::vector<GlyphQuad> layoutText(const std::string& text, const GlyphTable& glyphs, glm::vec2 pen,
                                  float scale) {
  std::vector<GlyphQuad> quads;
  quads.reserve(text.size());
  for (char code : text) {
    const auto found = glyphs.find(code);
    if (found == glyphs.end()) continue;
    const Character& glyph = found->second;
    if (glyph.size.x > 0 && glyph.size.y > 0) {
      quads.push_back({glyphQuadVertices(glyph, pen, scale), glyph.texture});
    }
    pen.x += static_cast<float>(glyph.advance >> 6) * scale;
  }
  return quads;
}

TextRenderer::TextRenderer(int windowWidth, int windowHeight, const std::string& fontPath)
    : windowWidth_(windowWidth), windowHeight_(windowHeight) {
  loaded_ = loadGlyphs(fontPath);
  if (!loaded_) return;

  vertexArray_ = GlVertexArray::generate();
  vertexBuffer_ = GlBuffer::generate();
  glBindVertexArray(vertexArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, 24 * sizeof(float), nullptr, GL_DYNAMIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindVertexArray(0);

  projection_ = glm::ortho(0.0f, static_cast<float>(windowWidth), 0.0f, static_cast<float>(windowHeight));
}

bool TextRenderer::loadGlyphs(const std::string& fontPath) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) {
    std::cout << "ERROR::FREETYPE: Could not init FreeType Library" << std::endl;
    return false;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) {
    std::cout << "ERROR::FREETYPE: Failed to load font" << std::endl;
    FT_Done_FreeType(library);
    return false;
  }
  FT_Set_Pixel_Sizes(face, 0, kGlyphPixelHeight);

  // Glyph bitmaps are tightly packed single bytes.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (unsigned code = 0; code < 128; ++code) {
    if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) {
      std::cout << "ERROR::FREETYTPE: Failed to load Glyph" << std::endl;
      continue;
    }
    const FT_GlyphSlot slot = face->glyph;
    GlTexture texture = GlTexture::generate();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, static_cast<GLsizei>(slot->bitmap.width),
                 static_cast<GLsizei>(slot->bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE, slot->bitmap.buffer);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    Character glyph;
    glyph.texture = texture.get();
    glyphTextures_.push_back(std::move(texture));
    glyph.size = {static_cast<int>(slot->bitmap.width), static_cast<int>(slot->bitmap.rows)};
    glyph.bearing = {slot->bitmap_left, slot->bitmap_top};
    glyph.advance = static_cast<unsigned>(slot->advance.x);
    glyphs_[static_cast<char>(code)] = glyph;
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return true;
}

void TextRenderer::renderText(const std::string& text, const Shader& program, float x, float y, float scale,
                              const glm::vec3& colour) const {
  if (!loaded_) return;
  program.use();
  glUniform3f(program.uniformLocation("textColor"), colour.r, colour.g, colour.b);
  glActiveTexture(GL_TEXTURE0);
  glBindVertexArray(vertexArray_.get());
  for (const GlyphQuad& quad : layoutText(text, glyphs_, textPen(x, y, windowWidth_, windowHeight_), scale)) {
    glBindTexture(GL_TEXTURE_2D, quad.texture);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_.get());
    // Fresh storage first: overwriting the bytes the previous character's draw still reads would
    // make a software driver finish every queued draw (the whole frame) before going on.
    glBufferData(GL_ARRAY_BUFFER, sizeof(quad.vertices), nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(quad.vertices), quad.vertices.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDrawArrays(GL_TRIANGLES, 0, 6);
  }
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace ruvelo
