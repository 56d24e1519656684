// Move-only owners of OpenGL object names: each name is released exactly once, by the owner that
// holds it when it is destroyed or reset.
#pragma once

#include <GL/glew.h>

#include <utility>

namespace ruvelo {

template <typename Kind>
class GlHandle {
 public:
  GlHandle() = default;
  explicit GlHandle(GLuint name) : name_(name) {}
  ~GlHandle() { reset(); }

  GlHandle(const GlHandle&) = delete;
  GlHandle& operator=(const GlHandle&) = delete;
  GlHandle(GlHandle&& other) noexcept : name_(std::exchange(other.name_, 0u)) {}
  GlHandle& operator=(GlHandle&& other) noexcept {
    if (this != &other) {
      reset();
      name_ = std::exchange(other.name_, 0u);
    }
    return *this;
  }

  // Generates one new name of this kind.
  static GlHandle generate() {
    GLuint name = 0;
    Kind::generate(1, &name);
    return GlHandle(name);
  }

  GLuint get() const { return name_; }
  explicit operator bool() const { return name_ != 0; }

  // Gives up ownership without deleting the name.
  GLuint release() { return std::exchange(name_, 0u); }

  // Deletes the held name (if any) and takes ownership of `name`.
  void reset(GLuint name = 0) {
    if (name_ != 0) Kind::destroy(1, &name_);
    name_ = name;
  }

 private:
  GLuint name_ = 0;
};

struct BufferKind {
  static void generate(GLsizei n, GLuint* names) { glGenBuffers(n, names); }
  static void destroy(GLsizei n, const GLuint* names) { glDeleteBuffers(n, names); }
};
struct VertexArrayKind {
  static void generate(GLsizei n, GLuint* names) { glGenVertexArrays(n, names); }
  static void destroy(GLsizei n, const GLuint* names) { glDeleteVertexArrays(n, names); }
};
struct TextureKind {
  static void generate(GLsizei n, GLuint* names) { glGenTextures(n, names); }
  static void destroy(GLsizei n, const GLuint* names) { glDeleteTextures(n, names); }
};
struct FramebufferKind {
  static void generate(GLsizei n, GLuint* names) { glGenFramebuffers(n, names); }
  static void destroy(GLsizei n, const GLuint* names) { glDeleteFramebuffers(n, names); }
};
struct RenderbufferKind {
  static void generate(GLsizei n, GLuint* names) { glGenRenderbuffers(n, names); }
  static void destroy(GLsizei n, const GLuint* names) { glDeleteRenderbuffers(n, names); }
};

struct ProgramKind {
  static void generate(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) names[i] = glCreateProgram();
  }
  static void destroy(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) glDeleteProgram(names[i]);
  }
};
struct SamplerKind {
  static void generate(GLsizei n, GLuint* names) { glGenSamplers(n, names); }
  static void destroy(GLsizei n, const GLuint* names) { glDeleteSamplers(n, names); }
};

using GlBuffer = GlHandle<BufferKind>;
using GlVertexArray = GlHandle<VertexArrayKind>;
using GlTexture = GlHandle<TextureKind>;
using GlFramebuffer = GlHandle<FramebufferKind>;
using GlRenderbuffer = GlHandle<RenderbufferKind>;
using GlProgram = GlHandle<ProgramKind>;
using GlSampler = GlHandle<SamplerKind>;

}  // namespace ruvelo
