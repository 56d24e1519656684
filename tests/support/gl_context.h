// A real OpenGL 4.3 core context for GL tests: one hidden GLFW window per test process.
#pragma once

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ruvelo::test {

// Creates (once per process) a hidden window of the given size with a 4.3 core context, makes it
// current and initialises GLEW. Later calls return the same window (resized). Fails the calling
// test with a fatal assertion when there is no display or no context.
GLFWwindow* makeGlContext(int width = 256, int height = 256);

// RGBA bytes of the currently bound read framebuffer, rows bottom to top.
std::vector<std::uint8_t> readPixelsRGBA(int x, int y, int width, int height);

// Writes RGBA pixels (rows bottom to top, as read from GL) to a PNG, flipped to top-down.
bool writePng(const std::string& path, const std::vector<std::uint8_t>& rgba, int width, int height);

}  // namespace ruvelo::test
