#include "platform/platform.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "platform/window.h"

namespace ruvelo {
namespace {

Platform& platformOf(GLFWwindow* window) {
  return *static_cast<Platform*>(glfwGetWindowUserPointer(window));
}

void onKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/) {
  WindowEvent event;
  event.type = WindowEvent::Type::Key;
  event.key = key;
  event.action = action;
  platformOf(window).record(event);
}

void onCursorPos(GLFWwindow* window, double x, double y) {
  WindowEvent event;
  event.type = WindowEvent::Type::Cursor;
  event.x = x;
  event.y = y;
  event.leftButton = platformOf(window).leftButtonHeld();
  platformOf(window).record(event);
}

void onScroll(GLFWwindow* window, double /*xOffset*/, double yOffset) {
  WindowEvent event;
  event.type = WindowEvent::Type::Scroll;
  event.y = yOffset;
  platformOf(window).record(event);
}

void recordFocusLost(GLFWwindow* window) {
  WindowEvent event;
  event.type = WindowEvent::Type::FocusLost;
  platformOf(window).record(event);
}

void onFocus(GLFWwindow* window, int focused) {
  if (!focused) recordFocusLost(window);
}

void onIconify(GLFWwindow* window, int iconified) {
  if (iconified) recordFocusLost(window);
}

void onFramebufferSize(GLFWwindow* window, int width, int height) {
  platformOf(window).setFramebufferSize({width, height});
}

// The OpenGL version of a context made with the driver's defaults in a hidden window, or "".
std::string offeredGlVersion() {
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  GLFWwindow* probe = glfwCreateWindow(64, 64, "Ruvelo", nullptr, nullptr);
  if (probe == nullptr) return "";
  glfwMakeContextCurrent(probe);
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  std::string text = version != nullptr ? version : "";
  glfwMakeContextCurrent(nullptr);
  glfwDestroyWindow(probe);
  return text;
}

}  // namespace

std::unique_ptr<Platform> Platform::open(const Settings& settings, std::string& error) {
  if (!initGlfw()) {
    error = "Window creation failed";
    return nullptr;
  }
  GLFWwindow* window = openWindow(settings);
  if (window == nullptr) {
    // The usual cause is a driver without OpenGL 4.3: say so, and what the driver offers instead.
    const char* why = nullptr;
    glfwGetError(&why);
    const std::string glfwSaid = why != nullptr && *why != '\0' ? why : "no reason given";
    const std::string offered = offeredGlVersion();
    error = "Window creation failed\nRuvelo needs OpenGL 4.3 (core profile); ";
    error += offered.empty() ? "the driver said: " + glfwSaid : "this machine offers OpenGL " + offered;
    return nullptr;
  }
  if (!initGlew(window)) {
    error = "Initialising GLEW failed";
    return nullptr;
  }
  std::unique_ptr<Platform> platform(new Platform(window));
  glfwSetWindowUserPointer(window, platform.get());
  glfwSetKeyCallback(window, onKey);
  glfwSetCursorPosCallback(window, onCursorPos);
  glfwSetScrollCallback(window, onScroll);
  glfwSetWindowFocusCallback(window, onFocus);
  glfwSetWindowIconifyCallback(window, onIconify);
  // Asking the window system for the size every frame is a round trip to the X server: keep it.
  glm::ivec2 size(0);
  glfwGetFramebufferSize(window, &size.x, &size.y);
  platform->setFramebufferSize(size);
  glfwSetFramebufferSizeCallback(window, onFramebufferSize);
  return platform;
}

Platform::~Platform() {
  glfwTerminate();
}

void Platform::terminate() {
  glfwTerminate();
}

double Platform::time() const {
  return glfwGetTime();
}

bool Platform::shouldClose() const {
  return glfwWindowShouldClose(window_) != 0;
}

void Platform::requestClose() {
  glfwSetWindowShouldClose(window_, GLFW_TRUE);
}

bool Platform::leftButtonHeld() const {
  return glfwGetMouseButton(window_, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
}

std::vector<WindowEvent> Platform::pollEvents() {
  pending_.clear();
  glfwPollEvents();
  std::vector<WindowEvent> events;
  events.swap(pending_);
  return events;
}

bool Platform::keyHeld(int key) const {
  return glfwGetKey(window_, key) == GLFW_PRESS;
}

void Platform::swapBuffers() {
  glfwSwapBuffers(window_);
}

}  // namespace ruvelo
