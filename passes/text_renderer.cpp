#include "passes/text_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <glm/gtc/matrix_transform.hpp>
#include <iostream>

#include "render/image_file.h"
#include "render/shader.h"

namespace ruvelo {
namespace {
// The glyph atlas's width in texels (wider only if one glyph needs it).
constexpr int kAtlasWidth = 512;
constexpr int kRampTexels = 256;
}  // namespace

glm::vec2 textPen(float x, float y, int windowWidth, int windowHeight) {
  return {static_cast<float>(windowWidth) * x, static_cast<float>(windowHeight) * y};
}

float outlineTexels(float scale) {
  const float wanted = scale > 0.0f ? std::max(kOutlineTexels, kOutlineMinPixels / scale) : kOutlineTexels;
  return std::min(wanted, static_cast<float>(kOutlineMaxTexels));
}

std::array<float, 24> glyphQuadVertices(const Character& glyph, const glm::vec2& pen, float scale,
                                        bool withOutline) {
  // The quad grows by the outline and a texel for its soft edge.
  const float padTexels = glyph.outline && withOutline ? outlineTexels(scale) + 1.0f : 0.0f;
  const float pad = padTexels * scale;
  const float left = pen.x + static_cast<float>(glyph.bearing.x) * scale - pad;
  const float bottom = pen.y - static_cast<float>(glyph.size.y - glyph.bearing.y) * scale - pad;
  const float w = static_cast<float>(glyph.size.x) * scale + 2.0f * pad;
  const float h = static_cast<float>(glyph.size.y) * scale + 2.0f * pad;
  const glm::vec2 lo = glyph.uvMin - glyph.texelUv * padTexels, hi = glyph.uvMax + glyph.texelUv * padTexels;
  return {left, bottom + h, lo.x, lo.y, left,     bottom, lo.x, hi.y, left + w, bottom,     hi.x, hi.y,
          left, bottom + h, lo.x, lo.y, left + w, bottom, hi.x, hi.y, left + w, bottom + h, hi.x, lo.y};
}

namespace {

// The code point of the UTF-8 sequence at text[i] and its length; 0 with length 1 for a byte that
// starts no well-formed sequence of up to three bytes (all the glyph table can hold).
std::pair<char32_t, std::size_t> decodeUtf8(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  const auto continuation = [&](std::size_t k) { return k < text.size() && (byte(k) & 0xC0) == 0x80; };
  if ((lead & 0xE0) == 0xC0 && lead >= 0xC2 && continuation(i + 1))
    return {static_cast<char32_t>(((lead & 0x1F) << 6) | (byte(i + 1) & 0x3F)), 2};
  if ((lead & 0xF0) == 0xE0 && continuation(i + 1) && continuation(i + 2)) {
    const char32_t code =
        static_cast<char32_t>(((lead & 0x0F) << 12) | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F));
    if (code >= 0x800) return {code, 3};
  }
  return {0, 0};
}

}  // namespace

std::vector<GlyphQuad> layoutText(const std::string& text, const GlyphTable& glyphs, glm::vec2 pen,
                                  float scale, bool withOutline) {
  std::vector<GlyphQuad> quads;
  quads.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto [code, length] = decodeUtf8(text, i);
    i += length == 0 ? 1 : length;
    if (length == 0) continue;
    const auto found = glyphs.find(code);
    if (found == glyphs.end()) continue;
    const Character& glyph = found->second;
    if (glyph.size.x > 0 && glyph.size.y > 0) {
      quads.push_back({glyphQuadVertices(glyph, pen, scale, withOutline), glyph.texture});
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

  // Read texel by texel (nearest), so a shape's opacity is exactly its texel's value.
  std::array<unsigned char, kRampTexels> ramp;
  for (int i = 0; i < kRampTexels; ++i) ramp[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
  ramp_ = GlTexture::generate();
  glBindTexture(GL_TEXTURE_2D, ramp_.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, kRampTexels, 1, 0, GL_RED, GL_UNSIGNED_BYTE, ramp.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
}

bool TextRenderer::loadGlyphs(const std::string& fontPath) {
  std::vector<GlyphBitmap> bitmaps;
  if (!rasteriseFont(fontPath, glyphs_, bitmaps)) return false;
  buildAtlas(bitmaps);
  return true;
}

bool rasteriseFont(const std::string& fontPath, GlyphTable& glyphs, std::vector<GlyphBitmap>& bitmaps) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) {
    std::cout << "ERROR::FREETYPE: Could not init FreeType Library" << std::endl;
    return false;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) {
    std::cout << "ERROR::FREETYPE: Failed to load font" << std::endl;
    std::cout << "  in " << fontPath << std::endl;
    FT_Done_FreeType(library);
    return false;
  }
  FT_Set_Pixel_Sizes(face, 0, kGlyphPixelHeight);

  std::vector<char32_t> codes;
  for (char32_t code = 0; code < 128; ++code) codes.push_back(code);
  // The extra glyphs only where the font has them: a missing one draws as nothing.
  for (char32_t code : kExtraGlyphs)
    if (FT_Get_Char_Index(face, code) != 0) codes.push_back(code);
  for (char32_t code : codes) {
    if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) {
      std::cout << "ERROR::FREETYTPE: Failed to load Glyph" << std::endl;
      continue;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    // The atlas takes one byte per texel, rows top first: any other bitmap is a glyph that failed.
    const bool greyDownward = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.pitch >= 0 &&
                              static_cast<unsigned>(bitmap.pitch) >= bitmap.width;
    if (bitmap.width > 0 && bitmap.rows > 0 && !greyDownward) {
      std::cout << "ERROR::FREETYTPE: Failed to load Glyph" << std::endl;
      continue;
    }
    Character glyph;
    glyph.size = {static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows)};
    glyph.bearing = {slot->bitmap_left, slot->bitmap_top};
    glyph.advance = static_cast<unsigned>(slot->advance.x);
    glyphs[code] = glyph;
    if (glyph.size.x <= 0 || glyph.size.y <= 0) continue;
    // Rows are `pitch` bytes apart, top row first.
    GlyphBitmap copy{code, glyph.size, {}};
    copy.pixels.reserve(static_cast<size_t>(glyph.size.x) * static_cast<size_t>(glyph.size.y));
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const unsigned char* start = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
      copy.pixels.insert(copy.pixels.end(), start, start + bitmap.width);
    }
    bitmaps.push_back(std::move(copy));
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return true;
}

namespace {

// Each texel's distance to the glyph (its texels at least half covered), in texels, as a byte:
// 255 on the glyph, 0 at kOutlineMaxTexels + 1 and beyond. The text shader draws the outline to the
// width it wants from it. `margin` texels of room on every side.
std::vector<unsigned char> distancesOf(const GlyphBitmap& b, int margin) {
  const int w = b.size.x + 2 * margin, h = b.size.y + 2 * margin;
  constexpr float kRange = static_cast<float>(kOutlineMaxTexels + 1);
  std::vector<float> distance(static_cast<size_t>(w) * static_cast<size_t>(h), kRange);
  const auto inside = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < b.size.x && y < b.size.y &&
           b.pixels[static_cast<size_t>(y) * static_cast<size_t>(b.size.x) + static_cast<size_t>(x)] >= 128;
  };
  struct Offset {
    int dx, dy;
    float d;
  };
  std::vector<Offset> disk;
  const int reach = kOutlineMaxTexels + 1;
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx) {
      const float d = std::hypot(static_cast<float>(dx), static_cast<float>(dy));
      if (d < kRange) disk.push_back({dx, dy, d});
    }
  // Only the glyph's own edge texels spread their distance: the others lie behind them.
  for (int y = 0; y < b.size.y; ++y) {
    for (int x = 0; x < b.size.x; ++x) {
      if (!inside(x, y)) continue;
      const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
      float& own = distance[static_cast<size_t>(y + margin) * static_cast<size_t>(w) +
                            static_cast<size_t>(x + margin)];
      own = 0.0f;
      if (!edge) continue;
      for (const Offset& o : disk) {
        float& d = distance[static_cast<size_t>(y + margin + o.dy) * static_cast<size_t>(w) +
                            static_cast<size_t>(x + margin + o.dx)];
        d = std::min(d, o.d);
      }
    }
  }
  std::vector<unsigned char> bytes(distance.size());
  for (size_t i = 0; i < distance.size(); ++i)
    bytes[i] = static_cast<unsigned char>(std::lround(255.0f * (1.0f - distance[i] / kRange)));
  return bytes;
}

}  // namespace

void TextRenderer::buildAtlas(const std::vector<GlyphBitmap>& bitmaps) {
  // Shelves left to right, top to bottom. Each bitmap has room for its widest outline and one texel
  // more on every side, where its coverage is 0, so linear filtering never reads a neighbour.
  const int margin = kOutlineMaxTexels + 2;
  int width = kAtlasWidth;
  for (const GlyphBitmap& b : bitmaps) width = std::max(width, b.size.x + 2 * margin);
  std::vector<glm::ivec2> origins;
  glm::ivec2 pen(0, 0);
  int shelfHeight = 0;
  for (const GlyphBitmap& b : bitmaps) {
    if (pen.x + b.size.x + 2 * margin > width) {  // a new shelf
      pen = {0, pen.y + shelfHeight};
      shelfHeight = 0;
    }
    origins.push_back(pen + margin);
    pen.x += b.size.x + 2 * margin;
    shelfHeight = std::max(shelfHeight, b.size.y + 2 * margin);
  }
  const int height = std::max(1, pen.y + shelfHeight);
  // Two bytes a texel: the glyph's coverage, then its distance.
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 2, 0);
  const auto texel = [&](int x, int y) {
    return (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 2;
  };
  for (size_t i = 0; i < bitmaps.size(); ++i) {
    const GlyphBitmap& b = bitmaps[i];
    const glm::ivec2 o = origins[i];
    for (int y = 0; y < b.size.y; ++y)
      for (int x = 0; x < b.size.x; ++x)
        pixels[texel(o.x + x, o.y + y)] =
            b.pixels[static_cast<size_t>(y) * static_cast<size_t>(b.size.x) + static_cast<size_t>(x)];
    const std::vector<unsigned char> outline = distancesOf(b, margin);
    const int w = b.size.x + 2 * margin;
    for (int y = 0; y < b.size.y + 2 * margin; ++y)
      for (int x = 0; x < w; ++x)
        pixels[texel(o.x - margin + x, o.y - margin + y) + 1] =
            outline[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
  }

  atlas_ = GlTexture::generate();
  glBindTexture(GL_TEXTURE_2D, atlas_.get());
  // Rows of two-byte texels, tightly packed; the unpack alignment is put back after.
  uploadPixels(GL_TEXTURE_2D, width, height, GL_RG, pixels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  for (auto& entry : glyphs_) entry.second.texture = atlas_.get();
  const glm::vec2 atlasSize(static_cast<float>(width), static_cast<float>(height));
  for (size_t i = 0; i < bitmaps.size(); ++i) {
    Character& glyph = glyphs_[bitmaps[i].code];
    glyph.uvMin = glm::vec2(origins[i]) / atlasSize;
    glyph.uvMax = glm::vec2(origins[i] + bitmaps[i].size) / atlasSize;
    glyph.outline = true;
    glyph.texelUv = 1.0f / atlasSize;
  }
}

void TextRenderer::renderText(const std::string& text, const Shader& program, float x, float y, float scale,
                              const glm::vec3& colour) const {
  if (!loaded_) return;
  program.use();
  glUniform3f(program.uniformLocation("textColor"), colour.r, colour.g, colour.b);
  glUniform1f(program.uniformLocation("outlineTexels"), outlineTexels(scale));
  glActiveTexture(GL_TEXTURE0);
  glBindVertexArray(vertexArray_.get());
  const std::vector<GlyphQuad> quads =
      layoutText(text, glyphs_, textPen(x, y, windowWidth_, windowHeight_), scale);
  std::vector<float> vertices;
  vertices.reserve(quads.size() * 24);
  for (const GlyphQuad& quad : quads)
    vertices.insert(vertices.end(), quad.vertices.begin(), quad.vertices.end());
  if (!vertices.empty()) {
    // Fresh storage each time: overwriting bytes an earlier draw still reads would make a software
    // driver finish every queued draw (the whole frame) before going on.
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_.get());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                 GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
  }
  // One draw for each stretch of characters on one texture: the whole string with the atlas.
  for (size_t first = 0; first < quads.size();) {
    size_t end = first + 1;
    while (end < quads.size() && quads[end].texture == quads[first].texture) ++end;
    glBindTexture(GL_TEXTURE_2D, quads[first].texture);
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(first * 6), static_cast<GLsizei>((end - first) * 6));
    first = end;
  }
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

void TextRenderer::renderShapes(const std::vector<FlatShape>& shapes, const Shader& program) const {
  if (!loaded_) return;
  std::vector<float> vertices;
  for (const FlatShape& shape : shapes) {
    // The centre of the texel whose value is the opacity.
    const float texel = std::round(std::clamp(shape.opacity, 0.0f, 1.0f) * (kRampTexels - 1));
    const float u = (texel + 0.5f) / static_cast<float>(kRampTexels);
    for (const glm::vec2& corner : shape.triangles)
      vertices.insert(vertices.end(), {corner.x, corner.y, u, 0.5f});
  }
  if (vertices.empty()) return;
  program.use();
  glUniform1f(program.uniformLocation("outlineTexels"), -1.0f);  // shapes have no outline
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, ramp_.get());
  glBindVertexArray(vertexArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
               GL_DYNAMIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  const GLint colourAt = program.uniformLocation("textColor");
  GLint first = 0;
  for (const FlatShape& shape : shapes) {
    const auto count = static_cast<GLsizei>(shape.triangles.size());
    if (count == 0) continue;
    glUniform3f(colourAt, shape.colour.r, shape.colour.g, shape.colour.b);
    glDrawArrays(GL_TRIANGLES, first, count);
    first += count;
  }
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace ruvelo
