// Glyph layout of arbitrary bytes (HUD text is built from game values, end screens from fixed
// words, but nothing stops a byte above 127): never a crash, one quad at most per byte, the pen
// only moves right, and every vertex stays finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "passes/text_renderer.h"

namespace {

// A table like the loaded font's: codes 0..127, some with empty bitmaps (the space), sizes and
// bearings in the font's range, some negative bearings.
ruvelo::GlyphTable makeGlyphs() {
  ruvelo::GlyphTable glyphs;
  for (int code = 0; code < 128; ++code) {
    ruvelo::Character c;
    c.texture = static_cast<GLuint>(code + 1);
    const bool empty = code == ' ' || code % 17 == 0;
    c.size = empty ? glm::ivec2(0, 0) : glm::ivec2(10 + code % 30, 12 + code % 36);
    c.bearing = glm::ivec2(code % 7 - 2, 30 - code % 40);
    c.advance = static_cast<unsigned>((20 + code % 25) * 64);
    glyphs[static_cast<char>(code)] = c;
  }
  return glyphs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ruvelo::GlyphTable glyphs = makeGlyphs();
  if (size < 2) return 0;
  // The first two bytes pick the scale and the start, as the HUD's lines do (0.5 to 2 at fractions
  // of the window).
  const float scale = 0.25f + static_cast<float>(data[0]) / 64.0f;
  const glm::vec2 pen = ruvelo::textPen(static_cast<float>(data[1]) / 255.0f, 0.5f, 1920, 1080);
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::vector<ruvelo::GlyphQuad> quads = ruvelo::layoutText(text, glyphs, pen, scale);
  if (quads.size() > text.size()) __builtin_trap();
  float lastLeft = -1.0e30f;
  for (const ruvelo::GlyphQuad& quad : quads) {
    for (float v : quad.vertices)
      if (!std::isfinite(v)) __builtin_trap();
    if (quad.texture == 0 || quad.texture > 128) __builtin_trap();
    // Left edges follow the pen, which only moves right; a bearing can shift a glyph by a few px.
    const float left = quad.vertices[0];
    if (left < lastLeft - 8.0f * scale) __builtin_trap();
    lastLeft = left;
  }
  return 0;
}
