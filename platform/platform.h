// The GLFW session of one run: the window with its GL context, the input callbacks, the gamepads
// and the input script. poll() gathers one frame of input from the keyboard, the mouse, the first
// gamepad and the script, mapped through the player's controls; the game applies it. Ends the GLFW
// session when destroyed.
#pragma once

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "input/controls.h"
#include "devtools/dev_flags.h"
#include "input/gamepad.h"
#include "input/input.h"
#include "input/scripted_input.h"
#include "platform/settings.h"

struct GLFWwindow;

namespace ruvelo {

// One input event, in the order it arrived. ReverseCamera follows the release of a key, or of a
// gamepad input, bound to reverse_camera.
struct InputEvent {
  enum class Type { Key, Cursor, Scroll, ReverseCamera };
  Type type = Type::Key;
  int key = 0;
  int action = 0;  // GLFW_PRESS, GLFW_RELEASE or GLFW_REPEAT
  double x = 0.0;  // cursor position, or the scroll's vertical offset in x
  double y = 0.0;
  bool leftButton = false;  // the left mouse button held at the cursor event
};

// What one poll gathered: the events, the polled keys held when it ended (from the keyboard or the
// script; the free camera reads them), and the driving command they and the gamepad make through
// the player's controls, which the driving step of the next frame reads.
class InputFrame {
 public:
  std::vector<InputEvent> events;
  DriveCommand drive;
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
                                        const Controls& controls, std::string& error);
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
  explicit Platform(GLFWwindow* window, std::vector<ScriptedKey> script, const Controls& controls);
  // This frame's gamepad: the script's when it has gamepad lines, else the first connected one.
  const GamepadState* gamepad();
  // The events with a ReverseCamera after each release of an input bound to it.
  std::vector<InputEvent> withReverseCamera(std::vector<InputEvent> events, const GamepadState* pad);

  GLFWwindow* window_;
  ScriptedInput script_;
  Controls controls_;
  std::vector<int> polledKeys_;  // the bound keys and the free camera's
  GamepadState gamepad_;
  bool padCameraHeld_ = false;
  std::vector<InputEvent> pending_;
  glm::ivec2 framebufferSize_{0, 0};
};

}  // namespace ruvelo
