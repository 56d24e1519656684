// One GL program built from a vertex and a fragment source file, with a cache of uniform
// locations. One owner (the renderer holds the game's programs); never copied.
#pragma once

#include <GL/glew.h>

#include <glm/glm.hpp>
#include <string>
#include <unordered_map>

#include "render/gl_handles.h"

namespace ruvelo {

class Shader {
 public:
  // Reads both files (a missing file gives an empty source), compiles and links. Failures print
  // the compile or link message, the driver's log and an "  in <file>" line naming the source
  // (both for a link); the program handle is then 0.
  Shader(const std::string& vertexPath, const std::string& fragmentPath);
  // The same, with `defines` (lines such as "#define NAME\n") put after the fragment source's first
  // line, its #version: one file gives several variants of a program.
  Shader(const std::string& vertexPath, const std::string& fragmentPath, const std::string& defines);

  Shader(const Shader&) = delete;
  Shader& operator=(const Shader&) = delete;

  // glUseProgram with this program.
  void use() const;

  // Location of a uniform; asks GL once per name (an absent name is cached as -1).
  GLint uniformLocation(const std::string& name) const;

  // Setters on the current program; the caller makes this program current first.
  void setInt(const std::string& name, const int& value) const;
  void setMat4(const std::string& name, const glm::mat4& value) const;

  GLuint program() const { return program_.get(); }
  const std::string& vertexPath() const { return vertexPath_; }
  const std::string& fragmentPath() const { return fragmentPath_; }

 private:
  std::string vertexPath_;
  std::string fragmentPath_;
  GlProgram program_;
  mutable std::unordered_map<std::string, GLint> uniformLocations_;
};

}  // namespace ruvelo
