#include "platform/window.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace ruvelo {

void onGlfwError(int code, const char* description) {
  std::cout << "GLFW error " << code << ": " << (description ? description : "") << std::endl;
}

bool initGlfw() {
  // Mesa's drivers can take GL commands on a thread of their own, so the game's thread only queues
  // them; the driver reads this when the display is opened. A value the user set wins. Mesa would
  // announce the override on every start; "silent" stops that and, in a release driver, nothing
  // else (it prints its other messages only when MESA_DEBUG asks for them).
  if (std::getenv("mesa_glthread") == nullptr) {
    setenv("mesa_glthread", "true", 0);
    setenv("MESA_DEBUG", "silent", 0);
  }
  glfwSetErrorCallback(onGlfwError);
  return glfwInit() == GLFW_TRUE;
}

GLFWwindow* openWindow(const Settings& settings) {
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
  glfwWindowHint(GLFW_REFRESH_RATE, settings.refresh_rate());
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  glfwWindowHint(GLFW_SAMPLES, settings.windowSamples());
  // The window's class is the menu entry's id (packaging/org.ruvelo.ruvelo.desktop), so that docks
  // and task bars match the window to the entry and its icon.
  glfwWindowHintString(GLFW_X11_CLASS_NAME, "org.ruvelo.ruvelo");
  glfwWindowHintString(GLFW_X11_INSTANCE_NAME, "org.ruvelo.ruvelo");
  GLFWmonitor* monitor = settings.fullscreen() ? glfwGetPrimaryMonitor() : nullptr;
  return glfwCreateWindow(settings.width(), settings.height(), "Ruvelo", monitor, nullptr);
}

bool initGlew(GLFWwindow* window) {
  glfwMakeContextCurrent(window);
  glewExperimental = GL_TRUE;
  const bool ok = glewInit() == GLEW_OK;
  glGetError();  // GLEW's probing of a core context leaves GL_INVALID_ENUM behind
  return ok;
}

void pauseIfInteractive() {
  if (isatty(STDIN_FILENO) == 0) return;
  std::cout << "Press Enter to continue . . ." << std::flush;
  std::string ignored;
  std::getline(std::cin, ignored);
}

}  // namespace ruvelo
