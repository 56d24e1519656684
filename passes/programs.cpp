#include "passes/programs.h"

#include <string>

#include "platform/data_folder.h"

namespace ruvelo {
namespace {

std::unique_ptr<Shader> program(const char* name, const std::string& defines = "") {
  const std::string base = dataPath(std::string("shader/") + name);
  return std::make_unique<Shader>(base + ".vert", base + ".frag", defines);
}

// A fragment program drawn with another program's vertex shader.
std::unique_ptr<Shader> programOf(const char* vertexName, const char* fragmentName) {
  return std::make_unique<Shader>(dataPath(std::string("shader/") + vertexName + ".vert"),
                                  dataPath(std::string("shader/") + fragmentName + ".frag"), "");
}

}  // namespace

Programs loadPrograms() {
  Programs p;
  p.phongPhong = program("phongPhong");
  p.phong = program("phong");
  p.phongEnvironment = program("phongEnvironment");
  p.text = program("text");
  p.cubeMapShader = program("cubeMapShader");
  p.simpleDepthShader = program("simpleDepthShader");
  p.particles = program("particles");
  p.edgeDetect = program("edgeDetect");
  p.quad = program("quad");
  p.edgeInk = program("edgeDetect", "#define INK\n");
  p.upscale = programOf("quad", "upscale");
  return p;
}

}  // namespace ruvelo
