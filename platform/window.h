// The game window: GLFW start-up with the game's hints, GLEW, the GL state at start, screenshots.
#pragma once

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <string>

#include "platform/settings.h"

namespace ruvelo {

// GLFW's error callback: "GLFW error <code>: <description>" on standard output.
void onGlfwError(int code, const char* description);

// Installs the error callback and initialises GLFW. False when GLFW cannot start.
bool initGlfw();

// Hints (4.3 core, debug context, refresh rate, not resizable, 4 samples) and the "Ruvelo" window,
// on the primary monitor when full screen. Null when the window cannot be created.
GLFWwindow* openWindow(const Settings& settings);

// Makes the context current and initialises GLEW in experimental mode. False on failure.
bool initGlew(GLFWwindow* window);

// Clear colour black, depth test, back-face culling, alpha blending.
void setInitialGlState();

// Before a start-up failure exit: waits for Enter when a person is at the terminal, never in scripts.
void pauseIfInteractive();

// Writes the current back buffer (window size) to a PNG file. "" on success, else why not.
std::string writeBackBufferPng(const std::string& path, int width, int height);

}  // namespace ruvelo
