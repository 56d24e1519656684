// What App keeps between frames that is neither an option nor part of a run: the window's drawing
// size, the developer toggles and the frame clock. The player's options live in Settings, the
// camera in the run's CameraRig.
#pragma once

#include <string>

namespace ruvelo {

// The window's drawing size, which every screen lays out by.
struct AppState {
  int width = 200;
  int height = 200;
};

// The developer toggles (F1-F4, F8), with their start values; never kept for the next start.
struct DebugToggles {
  bool wireframe = false;
  bool cullFaces = true;
  bool debugMode = false;
  bool winLoseCondition = true;
  bool viewFrustum = true;
};

// The frame's time step, the time the last frame started, and the FPS text with its accumulator.
struct FrameClock {
  float deltaTime = 0.0f;
  float lastFrame = 0.0f;
  float fpsAccumulator = 0.0f;
  std::string fpsText = "60";
};

}  // namespace ruvelo
