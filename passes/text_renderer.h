// Bitmap-font text: every ASCII glyph of one TrueType font rasterised once into one shared atlas
// texture, then one textured quad per character in window pixels (origin bottom-left), a string's
// quads in one draw.
#pragma once

#include <GL/glew.h>

#include <array>
#include <glm/glm.hpp>
#include <map>
#include <string>
#include <vector>

#include "platform/data_folder.h"
#include "render/gl_handles.h"

namespace ruvelo {

class Shader;

// One rasterised glyph.
struct Character {
  GLuint texture = 0;        // owned by the TextRenderer that rasterised it
  glm::ivec2 size{0, 0};     // bitmap width and rows in pixels
  glm::ivec2 bearing{0, 0};  // bitmap left and top relative to the pen, y up
  unsigned advance = 0;      // 26.6 fixed point, as FreeType reports it
  // Where the bitmap lies in its texture: u of its left and right edges, v of its first and last
  // row's outer edges (the whole texture for a glyph of its own).
  glm::vec2 uvMin{0.0f, 0.0f};
  glm::vec2 uvMax{1.0f, 1.0f};
};

// Glyphs by character code (codes 0..127; bytes 128..255 never have an entry).
using GlyphTable = std::map<char, Character>;

constexpr unsigned kGlyphPixelHeight = 48;

// One glyph's rasterised coverage, rows top first.
struct GlyphBitmap {
  char code;
  glm::ivec2 size;
  std::vector<unsigned char> pixels;
};

// Rasterises codes 0..127 of the font at kGlyphPixelHeight into `glyphs` (no textures yet) and the
// bitmaps of those that have one. Needs no GL. False, with FreeType's message printed, when the font
// cannot be loaded.
bool rasteriseFont(const std::string& fontPath, GlyphTable& glyphs, std::vector<GlyphBitmap>& bitmaps);

// One character's quad: six (x, y, u, v) vertices and the glyph texture.
struct GlyphQuad {
  std::array<float, 24> vertices{};
  GLuint texture = 0;
};

// Pen start in pixels for (x, y) given as fractions of the window size.
glm::vec2 textPen(float x, float y, int windowWidth, int windowHeight);

// The two triangles of `glyph` at `pen`; the bitmap's first row (uvMin.y) at the top of the quad.
std::array<float, 24> glyphQuadVertices(const Character& glyph, const glm::vec2& pen, float scale);

// The quads of `text` from `pen` on. A code without an entry draws nothing and does not move the
// pen; an empty bitmap (the space) only advances it.
std::vector<GlyphQuad> layoutText(const std::string& text, const GlyphTable& glyphs, glm::vec2 pen,
                                  float scale);

class TextRenderer {
 public:
  // Loads the glyph table (48 px) and creates the quad buffers and the text projection for a window
  // of the given size. A fatal FreeType error prints its message and leaves loaded() false: the
  // caller ends start-up with −1.
  TextRenderer(int windowWidth, int windowHeight,
               const std::string& fontPath = dataPath("fonts/Itim-Regular.ttf"));

  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  bool loaded() const { return loaded_; }

  // ortho(0, width, 0, height): what the text program's "projMatrix" is set to at start-up.
  const glm::mat4& projection() const { return projection_; }

  // Draws `text` with the text program at (x, y), fractions of the window size; scale multiplies the
  // 48-pixel glyph size; colour is RGB in 0..1.
  void renderText(const std::string& text, const Shader& program, float x, float y, float scale,
                  const glm::vec3& colour) const;

  const GlyphTable& glyphs() const { return glyphs_; }

 private:
  bool loadGlyphs(const std::string& fontPath);
  // Packs the rasterised bitmaps into one texture and points every glyph with a bitmap at it.
  void buildAtlas(const std::vector<GlyphBitmap>& bitmaps);

  int windowWidth_;
  int windowHeight_;
  bool loaded_ = false;
  GlyphTable glyphs_;
  GlTexture atlas_;  // every glyph's bitmap, released with the renderer
  glm::mat4 projection_{1.0f};
  GlVertexArray vertexArray_;
  GlBuffer vertexBuffer_;
};

}  // namespace ruvelo
