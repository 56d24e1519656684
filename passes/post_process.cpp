#include "passes/post_process.h"

#include "passes/render_scale.h"
#include "render/gl_state.h"
#include "render/shader.h"

namespace ruvelo {

namespace {

GlTexture makeTexture(int width, int height, GLenum format, GLenum type, GLint filter) {
  GlTexture texture = GlTexture::generate();
  glBindTexture(GL_TEXTURE_2D, texture.get());
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, type, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  return texture;
}

// Two counter-clockwise triangles covering clip space: (x, y, u, v).
constexpr float kQuadVertices[] = {-1.0f, 1.0f,  0.0f, 1.0f, -1.0f, -1.0f, 0.0f, 0.0f,
                                   1.0f,  -1.0f, 1.0f, 0.0f, -1.0f, 1.0f,  0.0f, 1.0f,
                                   1.0f,  -1.0f, 1.0f, 0.0f, 1.0f,  1.0f,  1.0f, 1.0f};
static_assert(sizeof(kQuadVertices) == 96, "six vertices of four floats");

}  // namespace

PostProcess::PostProcess(int width, int height, const Shader& edgeProgram, const Shader& quadProgram,
                         const Shader& edgeInkProgram, const Shader& upscaleProgram)
    : width_(width),
      height_(height),
      sceneWidth_(width),
      sceneHeight_(height),
      edgeProgram_(&edgeProgram),
      quadProgram_(&quadProgram),
      edgeInkProgram_(&edgeInkProgram),
      upscaleProgram_(&upscaleProgram) {
  sceneColour_ = makeTexture(width, height, GL_RGB, GL_UNSIGNED_BYTE, GL_LINEAR);
  sceneDepth_ = makeTexture(width, height, GL_DEPTH_COMPONENT, GL_FLOAT, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  // The edge strength is one value per pixel: one byte instead of three.
  edgeTexture_ = makeTexture(width, height, GL_RED, GL_UNSIGNED_BYTE, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  // The edge pass gathers neighbours past the borders; clamped, as the operator expects, while the
  // depth texture itself keeps its repeat wrap.
  depthEdgeSampler_ = GlSampler::generate();
  glSamplerParameteri(depthEdgeSampler_.get(), GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glSamplerParameteri(depthEdgeSampler_.get(), GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glSamplerParameteri(depthEdgeSampler_.get(), GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(depthEdgeSampler_.get(), GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

  sceneFramebuffer_ = GlFramebuffer::generate();
  glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer_.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, sceneColour_.get(), 0);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, sceneDepth_.get(), 0);
  const GLenum drawBuffers[] = {GL_COLOR_ATTACHMENT0};
  glDrawBuffers(1, drawBuffers);

  edgeFramebuffer_ = GlFramebuffer::generate();
  glBindFramebuffer(GL_FRAMEBUFFER, edgeFramebuffer_.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, edgeTexture_.get(), 0);
  inkedFramebuffer_ = GlFramebuffer::generate();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  quadArray_ = GlVertexArray::generate();
  quadBuffer_ = GlBuffer::generate();
  glBindVertexArray(quadArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, quadBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, sizeof(kQuadVertices), kQuadVertices, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float),
                        reinterpret_cast<const void*>(2 * sizeof(float)));
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void PostProcess::setScale(float scale) {
  scale_ = scale;
  sceneWidth_ = scale >= 1.0f ? width_ : scaledSize(width_, scale);
  sceneHeight_ = scale >= 1.0f ? height_ : scaledSize(height_, scale);
  if (!scaled() || (inkedWidth_ == sceneWidth_ && inkedHeight_ == sceneHeight_)) return;
  inkedWidth_ = sceneWidth_;
  inkedHeight_ = sceneHeight_;
  // Between frames: the texture and framebuffer bindings other passes may hold are put back.
  GLint texture = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  inkedColour_ = makeTexture(inkedWidth_, inkedHeight_, GL_RGB, GL_UNSIGNED_BYTE, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  glBindFramebuffer(GL_FRAMEBUFFER, inkedFramebuffer_.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, inkedColour_.get(), 0);
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(bound));
}

void PostProcess::bindScene() const {
  glBindFramebuffer(GL_FRAMEBUFFER, sceneFramebuffer_.get());
  glViewport(0, 0, sceneWidth_, sceneHeight_);
}

void PostProcess::beginScene() const {
  bindScene();
  // A clear ignores the viewport: the scissor keeps it to the part that is drawn.
  const bool part = scaled();
  if (part) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, sceneWidth_, sceneHeight_);
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (part) glDisable(GL_SCISSOR_TEST);
}

void PostProcess::edgePass() const {
  const Shader& program = scaled() ? *edgeInkProgram_ : *edgeProgram_;
  glBindFramebuffer(GL_FRAMEBUFFER, scaled() ? inkedFramebuffer_.get() : edgeFramebuffer_.get());
  glViewport(0, 0, sceneWidth_, sceneHeight_);
  program.use();
  glUniform2f(program.uniformLocation("lastTexel"), static_cast<float>(sceneWidth_ - 1),
              static_cast<float>(sceneHeight_ - 1));
  if (scaled()) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, sceneColour_.get());
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, sceneDepth_.get());
  glBindSampler(1, depthEdgeSampler_.get());
  drawQuad();
  glBindSampler(1, 0);
}

void PostProcess::composite(const glm::ivec2& windowSize) const {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
  if (!coversWindow(windowSize)) glClear(GL_COLOR_BUFFER_BIT);
  if (scaled()) {
    upscaleProgram_->use();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, inkedColour_.get());
    drawQuad();
    return;
  }
  quadProgram_->use();
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, sceneColour_.get());
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, edgeTexture_.get());
  drawQuad();
}

void PostProcess::dimWindow(float factor) const {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
  // Whatever the quad's colour, the window keeps `factor` of its own.
  quadProgram_->use();
  glBlendColor(factor, factor, factor, 1.0f);
  glBlendFunc(GL_ZERO, GL_CONSTANT_COLOR);
  drawQuad();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void PostProcess::texturedQuad() const {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
  upscaleProgram_->use();
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, sceneColour_.get());
  drawQuad();
}

bool PostProcess::coversWindow(const glm::ivec2& windowSize) const {
  const gl_state::Raster& state = gl_state::raster();
  if (state.polygonMode != GL_FILL) return false;
  // The quad's triangles are counter-clockwise: culling back faces keeps them. Any other culling
  // counts as not covering, since a clear is always safe.
  if (state.cullFace && (state.cullFaceMode != GL_BACK || state.frontFace != GL_CCW)) return false;
  return windowSize.x == width_ && windowSize.y == height_;
}

void PostProcess::drawQuad() const {
  glBindVertexArray(quadArray_.get());
  glDrawArrays(GL_TRIANGLES, 0, 6);
  glBindVertexArray(0);
}

}  // namespace ruvelo
