#include "platform/platform.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <iostream>

#include "platform/window.h"

namespace ruvelo {
namespace {

// The keys the free camera polls (debug mode); the driving keys are the player's controls.
constexpr int kFreeCameraKeys[] = {GLFW_KEY_W, GLFW_KEY_A,     GLFW_KEY_S,
                                   GLFW_KEY_D, GLFW_KEY_SPACE, GLFW_KEY_LEFT_SHIFT};

Platform& platformOf(GLFWwindow* window) {
  return *static_cast<Platform*>(glfwGetWindowUserPointer(window));
}

void onKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/) {
  InputEvent event;
  event.type = InputEvent::Type::Key;
  event.key = key;
  event.action = action;
  platformOf(window).record(event);
}

void onCursorPos(GLFWwindow* window, double x, double y) {
  InputEvent event;
  event.type = InputEvent::Type::Cursor;
  event.x = x;
  event.y = y;
  event.leftButton = platformOf(window).leftButtonHeld();
  platformOf(window).record(event);
}

void onScroll(GLFWwindow* window, double /*xOffset*/, double yOffset) {
  InputEvent event;
  event.type = InputEvent::Type::Scroll;
  event.y = yOffset;
  platformOf(window).record(event);
}

void onFramebufferSize(GLFWwindow* window, int width, int height) {
  platformOf(window).setFramebufferSize({width, height});
}

}  // namespace

bool InputFrame::held(int key) const {
  return std::find(held_.begin(), held_.end(), key) != held_.end();
}

void InputFrame::setHeld(int key, bool held) {
  const auto at = std::find(held_.begin(), held_.end(), key);
  if (held && at == held_.end()) held_.push_back(key);
  if (!held && at != held_.end()) held_.erase(at);
}

std::unique_ptr<Platform> Platform::open(const Settings& settings, std::vector<ScriptedKey> script,
                                         const Controls& controls, std::string& error) {
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
  std::unique_ptr<Platform> platform(new Platform(window, std::move(script), controls));
  glfwSetWindowUserPointer(window, platform.get());
  glfwSetKeyCallback(window, onKey);
  glfwSetCursorPosCallback(window, onCursorPos);
  glfwSetScrollCallback(window, onScroll);
  // Asking the window system for the size every frame is a round trip to the X server: keep it.
  glm::ivec2 size(0);
  glfwGetFramebufferSize(window, &size.x, &size.y);
  platform->setFramebufferSize(size);
  glfwSetFramebufferSizeCallback(window, onFramebufferSize);
  setInitialGlState();
  gamepads::start(std::cout);
  if (platform->script_.hasGamepad()) std::cout << "Gamepad connected: input script" << std::endl;
  return platform;
}

Platform::Platform(GLFWwindow* window, std::vector<ScriptedKey> script, const Controls& controls)
    : window_(window), script_(std::move(script)), controls_(controls), polledKeys_(controls.boundKeys()) {
  for (int key : kFreeCameraKeys)
    if (std::find(polledKeys_.begin(), polledKeys_.end(), key) == polledKeys_.end())
      polledKeys_.push_back(key);
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

InputFrame Platform::poll(long frame, bool withScript) {
  pending_.clear();
  glfwPollEvents();
  if (withScript) {
    script_.deliver(frame, [this](int key, int action) {
      InputEvent event;
      event.type = InputEvent::Type::Key;
      event.key = key;
      event.action = action;
      pending_.push_back(event);
    });
  }
  const GamepadState* pad = gamepad();
  InputFrame input;
  input.events = withReverseCamera(std::move(pending_), pad);
  pending_.clear();
  for (int key : polledKeys_)
    input.setHeld(key, glfwGetKey(window_, key) == GLFW_PRESS || script_.isHeld(key));
  input.drive = mapDriving(
      controls_, [&input](int key) { return input.held(key); }, pad);
  return input;
}

const GamepadState* Platform::gamepad() {
  if (script_.hasGamepad()) return &script_.gamepad();
  return gamepads::poll(gamepad_) ? &gamepad_ : nullptr;
}

std::vector<InputEvent> Platform::withReverseCamera(std::vector<InputEvent> events, const GamepadState* pad) {
  InputEvent reverseCamera;
  reverseCamera.type = InputEvent::Type::ReverseCamera;
  std::vector<InputEvent> out;
  out.reserve(events.size() + 1);
  for (const InputEvent& event : events) {
    out.push_back(event);
    if (event.type == InputEvent::Type::Key && event.action == GLFW_RELEASE &&
        controls_.keyBoundTo(Action::ReverseCamera, event.key))
      out.push_back(reverseCamera);
  }
  const bool padHeld = padPressed(controls_, Action::ReverseCamera, pad);
  if (padCameraHeld_ && !padHeld) out.push_back(reverseCamera);
  padCameraHeld_ = padHeld;
  return out;
}

void Platform::apply(KeyEffect effect) {
  switch (effect) {
    case KeyEffect::Close:
      requestClose();
      break;
    case KeyEffect::None:
      break;
  }
}

void Platform::swapBuffers() {
  glfwSwapBuffers(window_);
}

}  // namespace ruvelo
