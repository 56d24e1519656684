// The GLFW session of the process: the window with its GL context and the window's input callbacks.
// pollEvents() hands over the key, cursor and scroll events that arrived since the last poll; the
// input module turns them into one frame of input. Ends the GLFW session when destroyed.
#pragma once

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "platform/settings.h"

struct GLFWwindow;

namespace ruvelo {

// One event from the window, in the order it arrived. FocusLost: the window lost the focus or was
// iconified.
struct WindowEvent {
  enum class Type { Key, Cursor, Scroll, FocusLost };
  Type type = Type::Key;
  int key = 0;
  int action = 0;  // GLFW_PRESS, GLFW_RELEASE or GLFW_REPEAT
  double x = 0.0;  // cursor position, or the scroll's vertical offset in x
  double y = 0.0;
  bool leftButton = false;  // the left mouse button held at the cursor event
};

class Platform {
 public:
  // GLFW, the window, GLEW and the callbacks. Null with `error` set to the start-up message when
  // GLFW, the window or GLEW cannot start; the caller reports it, then calls terminate().
  static std::unique_ptr<Platform> open(const Settings& settings, std::string& error);
  static void terminate();
  ~Platform();
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  // The GLFW timer in seconds.
  double time() const;
  bool shouldClose() const;
  void requestClose();

  // Processes the window system's events and returns the window's events since the last poll.
  std::vector<WindowEvent> pollEvents();
  // Whether a keyboard key is down now.
  bool keyHeld(int key) const;

  void swapBuffers();
  // The window's framebuffer in pixels (larger than the settings' size in some full-screen modes).
  glm::ivec2 framebufferSize() const { return framebufferSize_; }

  // Called by the GLFW callbacks.
  void record(const WindowEvent& event) { pending_.push_back(event); }
  void setFramebufferSize(const glm::ivec2& size) { framebufferSize_ = size; }
  bool leftButtonHeld() const;

 private:
  explicit Platform(GLFWwindow* window) : window_(window) {}

  GLFWwindow* window_;
  std::vector<WindowEvent> pending_;
  glm::ivec2 framebufferSize_{0, 0};
};

}  // namespace ruvelo
