#include "app/game.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "app/app_state.h"
#include "app/frame_stats.h"
#include "app/game_rules.h"
#include "app/input.h"
#include "app/scripted_input.h"
#include "app/settings.h"
#include "app/window.h"

namespace ruvelo {
namespace {

constexpr const char* kSettingsPath = "../assets/settings.txt";

// Terminates GLFW on every path out of the run.
struct GlfwSession {
  ~GlfwSession() { glfwTerminate(); }
};

// What the GLFW callbacks reach through the window's user pointer.
struct CallbackContext {
  AppState* state = nullptr;
  GLFWwindow* window = nullptr;
};

void applyKeyEffect(GLFWwindow* window, KeyEffect effect) {
  switch (effect) {
    case KeyEffect::Close:
      glfwSetWindowShouldClose(window, GLFW_TRUE);
      break;
    case KeyEffect::PolygonLine:
      glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
      break;
    case KeyEffect::PolygonFill:
      glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      break;
    case KeyEffect::EnableCulling:
      glEnable(GL_CULL_FACE);
      break;
    case KeyEffect::DisableCulling:
      glDisable(GL_CULL_FACE);
      break;
    case KeyEffect::None:
      break;
  }
}

void handleKey(GLFWwindow* window, int key, int action) {
  auto* context = static_cast<CallbackContext*>(glfwGetWindowUserPointer(window));
  applyKeyEffect(window, onKeyEvent(*context->state, key, action, std::cout));
}

void onKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/) {
  handleKey(window, key, action);
}

void onCursorPos(GLFWwindow* window, double x, double y) {
  auto* context = static_cast<CallbackContext*>(glfwGetWindowUserPointer(window));
  onCursorEvent(*context->state, x, y, glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS);
}

void onScroll(GLFWwindow* window, double /*xOffset*/, double yOffset) {
  auto* context = static_cast<CallbackContext*>(glfwGetWindowUserPointer(window));
  onScrollEvent(*context->state, yOffset);
}

int startupFailure(const char* what) {
  std::cout << "ERROR: " << what << std::endl;
  glfwTerminate();
  pauseIfInteractive();
  return 1;
}

}  // namespace

int runGame(const DevFlags& flags) {
  AppState state;  // the FPS text starts at "60", its accumulator at 0

  Settings settings;
  const SettingsResult read = readSettings(kSettingsPath, settings.width, settings.height,
                                           settings.refresh_rate, settings.fullscreen, settings.brightness);
  if (read.status == SettingsStatus::FileMissing) {
    std::cerr << read.message;
    return 1;
  }
  if (read.status == SettingsStatus::BadValue) {
    std::cerr << read.message << std::endl;
    return 1;
  }
  state.width = settings.width;
  state.height = settings.height;
  state.brightness = settings.brightness;

  if (!initGlfw()) return startupFailure("Window creation failed");
  GlfwSession glfwSession;
  GLFWwindow* window = openWindow(settings);
  if (window == nullptr) return startupFailure("Window creation failed");
  if (!initGlew(window)) return startupFailure("Initialising GLEW failed");

  CallbackContext context{&state, window};
  glfwSetWindowUserPointer(window, &context);
  glfwSetKeyCallback(window, onKey);
  glfwSetCursorPosCallback(window, onCursorPos);
  glfwSetScrollCallback(window, onScroll);
  setInitialGlState();

  // Start-up continues here: glyph table, text projection, skybox, programs, materials and light,
  // camera perspective, models, physics, items, framebuffers, snow.

  GameState game;
  ScriptedInput script(flags.input);
  std::vector<double> frameTimes;
  long frame = 0;

  // The frame clock starts with the loop, so the first frame measures one frame, not the loading.
  state.lastFrame = static_cast<float>(glfwGetTime());
  while (!glfwWindowShouldClose(window)) {
    ++frame;
    const auto cpuStart = std::chrono::steady_clock::now();
    glEnable(GL_DEPTH_TEST);
    const double now = glfwGetTime();
    state.deltaTime = flags.fixedDt > 0.0f ? flags.fixedDt : static_cast<float>(now - state.lastFrame);
    state.lastFrame = static_cast<float>(now);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glfwPollEvents();
    script.deliver(frame, [&](int key, int action) { handleKey(window, key, action); });

    refreshFps(state.fpsAccumulator, state.fpsText, state.deltaTime);

    for (const Screenshot& shot : flags.screenshots) {
      if (shot.frame == frame && !writeBackBufferPng(shot.path, state.width, state.height))
        std::cout << "Screenshot failed: " << shot.path << std::endl;
    }
    glfwSwapBuffers(window);
    frameTimes.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - cpuStart).count());

    if (flags.logState) {
      std::printf("state frame=%ld phase=%s time=%.2f power=%.2f packets=%d\n", frame,
                  game.phase == GamePhase::Playing ? "Playing" : game.phase == GamePhase::Won ? "Won" : "Lost",
                  game.timeLeft, game.power, game.packetsDelivered);
      std::fflush(stdout);
    }
    if (flags.frames > 0 && frame >= flags.frames) glfwSetWindowShouldClose(window, GLFW_TRUE);
  }

  if (flags.bench) {
    const FrameStats stats = computeFrameStats(frameTimes);
    std::printf("bench frames=%zu\n", stats.count);
    std::printf("bench frame_ms min=%.3f median=%.3f p95=%.3f max=%.3f\n", stats.min, stats.median, stats.p95,
                stats.max);
  }
  return 0;
}

}  // namespace ruvelo
