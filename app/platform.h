// The GLFW session of one run: the window with its GL context, the input callbacks, and the input
// script. poll() gathers one frame of input from the keyboard, the mouse and the script; the game
// applies it. Ends the GLFW session when destroyed.
#pragma once

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "app/dev_flags.h"
#include "app/input.h"
#include "app/scripted_input.h"
#include "app/settings.h"

struct GLFWwindow;

namespace ruvelo {

// One input event, in the order it arrived.
struct InputEvent {
  enum class Type { Key, Cursor, Scroll };
  Type type = Type::Key;
  int key = 0;
  int action = 0;  // GLFW_PRESS, GLFW_RELEASE or GLFW_REPEAT
  double x = 0.0;  // cursor position, or the scroll's vertical offset in x
  double y = 0.0;
  bool leftButton = false;  // the left mouse button held at the cursor event
};

// What one poll gathered: the events, and the polled keys held when it ended (from the keyboard or
// the script), which the driving step of the next frame reads.
class InputFrame {
 public:
  std::vector<InputEvent> events;
  bool held(int key) const;
  void setHeld(int key, bool held);

 private:
  std::vector<int> held_;
};

class Platform {
 public:
  // GLFW, the window, GLEW, the callbacks and the GL state at start. Null with `error` set to the
  // start-up message when GLFW, the window or GLEW cannot start; the caller reports it, then calls
  // terminate().
  static std::unique_ptr<Platform> open(const Settings& settings, std::vector<ScriptedKey> script,
                                        std::string& error);
  static void terminate();
  ~Platform();
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  // The GLFW timer in seconds.
  double time() const;
  bool shouldClose() const;
  void requestClose();

  // Window events, then (unless `withScript` is false) the script's events for `frame`.
  InputFrame poll(long frame, bool withScript = true);
  // Carries out what a key asked of the window or the GL state.
  void apply(KeyEffect effect);

  void swapBuffers();
  // The window's framebuffer in pixels (larger than the settings' size in some full-screen modes).
  glm::ivec2 framebufferSize() const { return framebufferSize_; }

  // Called by the GLFW callbacks.
  void record(const InputEvent& event) { pending_.push_back(event); }
  void setFramebufferSize(const glm::ivec2& size) { framebufferSize_ = size; }
  bool leftButtonHeld() const;

 private:
  explicit Platform(GLFWwindow* window, std::vector<ScriptedKey> script);

  GLFWwindow* window_;
  ScriptedInput script_;
  std::vector<InputEvent> pending_;
  glm::ivec2 framebufferSize_{0, 0};
};

}  // namespace ruvelo
