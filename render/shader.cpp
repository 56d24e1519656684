#include "render/shader.h"

#include <fstream>
#include <glm/gtc/type_ptr.hpp>
#include <iostream>
#include <vector>

namespace ruvelo {
namespace {

// Appends every line of `stream` followed by "\n"; a stream that failed to open gives "".
std::string readLines(std::ifstream& stream) {
  std::string source;
  std::string line;
  while (std::getline(stream, line)) {
    source += line;
    source += "\n";
  }
  return source;
}

// A source counts as read when the file opened and reading stopped at its end, not on an error (a
// directory opens but cannot be read).
bool readable(const std::ifstream& stream) {
  return stream.eof() && !stream.bad();
}

// `path` names the source file in the failure message; `readable` says whether it could be read.
GLuint compileStage(GLenum type, const std::string& source, const std::string& path, bool readable) {
  const GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint status = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
  if (status == GL_TRUE) return shader;

  GLint logLength = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
  std::vector<char> log(static_cast<size_t>(logLength) + 1, '\0');
  if (logLength > 0) glGetShaderInfoLog(shader, logLength, nullptr, log.data());
  const char* kind = type == GL_VERTEX_SHADER ? "vertex" : "fragment";
  std::cout << "Failed to compile " << kind << " shader!" << std::endl;
  std::cout << log.data() << std::endl;
  std::cout << "  in " << path << (readable ? "" : " (cannot be read)") << std::endl;
  glDeleteShader(shader);
  return 0;
}

// `defines` after the first line of `source` (its #version); none when it is empty.
std::string withDefines(const std::string& source, const std::string& defines) {
  if (defines.empty()) return source;
  const size_t lineEnd = source.find('\n');
  if (lineEnd == std::string::npos) return source + "\n" + defines;
  return source.substr(0, lineEnd + 1) + defines + source.substr(lineEnd + 1);
}

}  // namespace

Shader::Shader(const std::string& vertexPath, const std::string& fragmentPath)
    : Shader(vertexPath, fragmentPath, std::string()) {}

Shader::Shader(const std::string& vertexPath, const std::string& fragmentPath, const std::string& defines)
    : vertexPath_(vertexPath), fragmentPath_(fragmentPath) {
  std::ifstream vertexFile(vertexPath);
  std::ifstream fragmentFile(fragmentPath);
  const std::string vertexSource = readLines(vertexFile);
  const std::string fragmentSource = withDefines(readLines(fragmentFile), defines);

  GlProgram owned = GlProgram::generate();
  const GLuint program = owned.get();
  const GLuint vertexShader = compileStage(GL_VERTEX_SHADER, vertexSource, vertexPath, readable(vertexFile));
  const GLuint fragmentShader =
      compileStage(GL_FRAGMENT_SHADER, fragmentSource, fragmentPath, readable(fragmentFile));
  // A failed stage is 0 and is not attached (attaching 0 is a GL error). Some drivers link a
  // program from the remaining stage alone, so a missing stage counts as a failed link here.
  if (vertexShader != 0) glAttachShader(program, vertexShader);
  if (fragmentShader != 0) glAttachShader(program, fragmentShader);
  glLinkProgram(program);
  GLint status = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (vertexShader != 0) glDeleteShader(vertexShader);
  if (fragmentShader != 0) glDeleteShader(fragmentShader);
  if (status == GL_TRUE && vertexShader != 0 && fragmentShader != 0) {
    program_ = std::move(owned);
    return;
  }

  GLint logLength = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &logLength);
  std::vector<char> log(static_cast<size_t>(logLength) + 1, '\0');
  if (logLength > 0) glGetProgramInfoLog(program, logLength, nullptr, log.data());
  std::string linkLog = log.data();
  if (linkLog.empty()) {
    linkLog = vertexShader == 0 ? "error: no compiled vertex shader" : "error: no compiled fragment shader";
  }
  std::cout << "Failed to Link Shader Program!" << std::endl;
  std::cout << linkLog << std::endl;
  std::cout << "  in " << vertexPath << " and " << fragmentPath << std::endl;
}

void Shader::use() const {
  glUseProgram(program_.get());
}

GLint Shader::uniformLocation(const std::string& name) const {
  const auto found = uniformLocations_.find(name);
  if (found != uniformLocations_.end()) return found->second;
  const GLint location = glGetUniformLocation(program_.get(), name.c_str());
  uniformLocations_.emplace(name, location);
  return location;
}

void Shader::setInt(const std::string& name, const int& value) const {
  glUniform1i(uniformLocation(name), value);
}

void Shader::setMat4(const std::string& name, const glm::mat4& value) const {
  glUniformMatrix4fv(uniformLocation(name), 1, GL_FALSE, glm::value_ptr(value));
}

}  // namespace ruvelo
