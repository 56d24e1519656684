#include "support/gl_context.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <filesystem>

#include "render/gl_state.h"

namespace ruvelo::test {
namespace {

GLFWwindow* createWindow(int width, int height) {
  if (std::getenv("DISPLAY") == nullptr) {
    ADD_FAILURE() << "GL tests need a display: run them under Xvfb (scripts/test does)";
    return nullptr;
  }
  if (!glfwInit()) {
    const char* why = nullptr;
    glfwGetError(&why);
    ADD_FAILURE() << "glfwInit failed: " << (why != nullptr ? why : "no reason given");
    return nullptr;
  }
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  GLFWwindow* window = glfwCreateWindow(width, height, "ruvelo-test", nullptr, nullptr);
  if (window == nullptr) {
    ADD_FAILURE() << "could not create a 4.3 core window";
    return nullptr;
  }
  glfwMakeContextCurrent(window);
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) {
    ADD_FAILURE() << "glewInit failed";
    return nullptr;
  }
  glGetError();  // GLEW's probing may leave GL_INVALID_ENUM behind
  return window;
}

}  // namespace

GLFWwindow* makeGlContext(int width, int height) {
  static GLFWwindow* window = createWindow(width, height);
  if (window != nullptr) {
    glfwSetWindowSize(window, width, height);
    glfwMakeContextCurrent(window);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    // The context is shared by every test in the process: whatever the last test left set is
    // what the passes now see.
    gl_state::syncFromDriver();
  }
  return window;
}

std::vector<std::uint8_t> readPixelsRGBA(int x, int y, int width, int height) {
  std::vector<std::uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

bool writePng(const std::string& path, const std::vector<std::uint8_t>& rgba, int width, int height) {
  stbi_flip_vertically_on_write(1);
  const bool ok = stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
  stbi_flip_vertically_on_write(0);
  return ok;
}

}  // namespace ruvelo::test
