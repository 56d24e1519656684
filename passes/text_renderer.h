// Bitmap-font text: every ASCII glyph of one TrueType font (and the few others the HUD writes)
// rasterised once into one shared atlas texture, then one textured quad per character in window
// pixels (origin bottom-left), a string's quads in one draw. Flat-coloured 2D shapes draw with the
// same program.
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
  // Whether the atlas holds an outline for the glyph (its distance to the glyph in the second
  // channel, with room around the bitmap), and the size of one atlas texel in u and v.
  bool outline = false;
  glm::vec2 texelUv{0.0f, 0.0f};
};

// Glyphs by code point: 0..127 and kExtraGlyphs. Text is UTF-8; a byte that starts no sequence of
// a known glyph draws nothing.
using GlyphTable = std::map<char32_t, Character>;

// Beyond ASCII, rasterised when the font has them: the middle dot and the minus sign.
constexpr std::array<char32_t, 2> kExtraGlyphs{U'\u00B7', U'\u2212'};

constexpr unsigned kGlyphPixelHeight = 48;

// Every glyph is drawn with a black outline, so text stays legible over any background: this many
// texels of the 48 px glyphs wide (it scales with the text), but never under kOutlineMinPixels on
// screen, nor over kOutlineMaxTexels (how far the atlas keeps each glyph's distance).
constexpr float kOutlineTexels = 4.0f;
constexpr float kOutlineMinPixels = 2.5f;
constexpr int kOutlineMaxTexels = 10;

// The outline's width in atlas texels for text drawn at `scale`.
float outlineTexels(float scale);

// One glyph's rasterised coverage, rows top first.
struct GlyphBitmap {
  char32_t code;
  glm::ivec2 size;
  std::vector<unsigned char> pixels;
};

// Rasterises codes 0..127 and kExtraGlyphs of the font at kGlyphPixelHeight into `glyphs` (no textures yet)
// and the bitmaps of those that have one. Needs no GL. False, with FreeType's message printed, when the font
// cannot be loaded.
bool rasteriseFont(const std::string& fontPath, GlyphTable& glyphs, std::vector<GlyphBitmap>& bitmaps);

// One character's quad: six (x, y, u, v) vertices and the glyph texture.
struct GlyphQuad {
  std::array<float, 24> vertices{};
  GLuint texture = 0;
};

// Pen start in pixels for (x, y) given as fractions of the window size.
glm::vec2 textPen(float x, float y, int windowWidth, int windowHeight);

// The two triangles of `glyph` at `pen`, grown by its outline when `withOutline`; the bitmap's first
// row (uvMin.y) at the top of the quad.
std::array<float, 24> glyphQuadVertices(const Character& glyph, const glm::vec2& pen, float scale,
                                        bool withOutline = true);

// The quads of `text` (UTF-8) from `pen` on. A code without an entry, and a byte that is no part of
// a well-formed sequence, draws nothing and does not move the pen; an empty bitmap (the space) only
// advances it.
// `withOutline` false gives the glyphs' own boxes, as the layout measures them.
std::vector<GlyphQuad> layoutText(const std::string& text, const GlyphTable& glyphs, glm::vec2 pen,
                                  float scale, bool withOutline = true);

// A flat-coloured shape in window pixels: triangles, three corners each, in one colour and opacity.
struct FlatShape {
  glm::vec3 colour{1.0f};
  float opacity = 1.0f;
  std::vector<glm::vec2> triangles;
};

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

  // Draws the shapes in their order with the text program: the coverage comes from a ramp texture
  // instead of a glyph, so each shape's opacity is its texel.
  void renderShapes(const std::vector<FlatShape>& shapes, const Shader& program) const;

  const GlyphTable& glyphs() const { return glyphs_; }

 private:
  bool loadGlyphs(const std::string& fontPath);
  // Packs the rasterised bitmaps into one two-channel texture (coverage, outline) and points every
  // glyph with a bitmap at it.
  void buildAtlas(const std::vector<GlyphBitmap>& bitmaps);

  int windowWidth_;
  int windowHeight_;
  bool loaded_ = false;
  GlyphTable glyphs_;
  GlTexture atlas_;  // every glyph's coverage and outline, released with the renderer
  GlTexture ramp_;   // 256 x 1 coverage texels 0..255: a shape's opacity
  glm::mat4 projection_{1.0f};
  GlVertexArray vertexArray_;
  GlBuffer vertexBuffer_;
};

}  // namespace ruvelo
