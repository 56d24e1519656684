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

void onFramebufferSize(GLFWwindow* window, int width, int height) {
  platformOf(window).setFramebufferSize({width, height});
}

}  // namespace

std::unique_ptr<Platform> Platform::open(const Settings& settings, std::string& error) {
  if (!initGlfw()) {
    error = "Window creation failed";
    return nullptr;
  }
  GLFWwindow* window = openWindow(settings);
  if (window == nullptr) {
    error = "Window creation failed";
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
