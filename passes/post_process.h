// The edge post-process: the lit scene goes into an off-screen target whose depth becomes an edge
// image, and the composite draws colour darkened along those edges into the window. At a render
// scale below 1 the scene fills only the lower-left part of its target; the edge pass then writes
// the scene colour already darkened into a texture of the scene's size, and the composite is one
// plain bilinear upscale of it: the window-sized pass costs little more than a textured quad.
#pragma once

#include <GL/glew.h>

#include <glm/glm.hpp>

#include "render/gl_handles.h"

namespace ruvelo {

class Shader;

class PostProcess {
 public:
  // Targets of width × height (the settings' window size), the screen quad, and the edgeDetect and
  // quad programs used by edgePass() and composite() at a scale of 1 (edgeInk and upscale below).
  PostProcess(int width, int height, const Shader& edgeProgram, const Shader& quadProgram,
              const Shader& edgeInkProgram, const Shader& upscaleProgram);

  // The share of each axis the scene is drawn at, 0.35 to 1 (see render_scale.h); the scene target
  // keeps its size (only the viewport changes), the inked image takes the scene's size.
  void setScale(float scale);
  float scale() const { return scale_; }
  int sceneWidth() const { return sceneWidth_; }
  int sceneHeight() const { return sceneHeight_; }

  // Binds the scene target and sets the viewport to the scene's size; beginScene clears that part.
  void bindScene() const;
  void beginScene() const;
  // Draws the edge image from the scene depth (unit 1, read clamped at the borders) into the edge
  // target; the edge image has one channel. At a scale below 1, the scene colour darkened along the
  // edges into the inked image instead.
  void edgePass() const;
  // Binds the default framebuffer at the targets' size and draws scene colour (unit 0) with the
  // edges (unit 1) over it, or below scale 1 the inked image scaled up (unit 0). Clears the
  // window's colour first unless the quad is about to write every
  // pixel of a window of `windowSize` (see coversWindow). Both quad passes draw with the GL state as
  // it is: their programs write alpha 1, so they are meant to run with blending and depth testing off.
  void composite(const glm::ivec2& windowSize) const;
  // The window's colour multiplied by `factor` (a paused scene drawn dimmed); blending must be on.
  void dimWindow(float factor) const;
  // One window-sized quad textured from the scene colour, one texel per pixel: the least a frame
  // that writes every window pixel costs (the bench's textured-quad floor). Blending and depth
  // testing off, as for the composite.
  void texturedQuad() const;

  int width() const { return width_; }
  int height() const { return height_; }
  GLuint sceneFramebuffer() const { return sceneFramebuffer_.get(); }
  GLuint sceneColour() const { return sceneColour_.get(); }
  GLuint sceneDepth() const { return sceneDepth_.get(); }
  GLuint edgeFramebuffer() const { return edgeFramebuffer_.get(); }
  GLuint edgeTexture() const { return edgeTexture_.get(); }

 private:
  // True when the composite writes every pixel of a window of `windowSize`: filled triangles, not
  // culled away, and a window exactly the targets' size. Otherwise (wireframe, the quad culled, a
  // larger full-screen window) part of the window would keep what it held.
  bool coversWindow(const glm::ivec2& windowSize) const;
  bool scaled() const { return sceneWidth_ != width_ || sceneHeight_ != height_; }
  void drawQuad() const;

  int width_;
  int height_;
  float scale_ = 1.0f;
  int sceneWidth_;
  int sceneHeight_;
  const Shader* edgeProgram_;
  const Shader* quadProgram_;
  const Shader* edgeInkProgram_;
  const Shader* upscaleProgram_;
  GlFramebuffer sceneFramebuffer_;
  GlTexture sceneColour_;
  GlTexture sceneDepth_;
  GlFramebuffer edgeFramebuffer_;
  GlTexture edgeTexture_;
  // The inked scene at a scale below 1, exactly the scene's size (so the upscale's clamp to its
  // border is the drawn part's border); (re)made when that size changes.
  GlFramebuffer inkedFramebuffer_;
  GlTexture inkedColour_;
  int inkedWidth_ = 0;
  int inkedHeight_ = 0;
  GlSampler depthEdgeSampler_;
  GlVertexArray quadArray_;
  GlBuffer quadBuffer_;
};

}  // namespace ruvelo
