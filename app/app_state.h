// The program-wide values that outlive a run and are not options: the window's drawing size, frame
// timing and the FPS text, the developer toggles (never saved), the recovery flag and the camera.
// Owned by App; the player's options live in Settings.
#pragma once

#include <string>

#include "render/camera.h"

namespace ruvelo {

struct AppState {
  int width = 200;
  int height = 200;

  float deltaTime = 0.0f;
  float lastFrame = 0.0f;
  float fpsAccumulator = 0.0f;
  std::string fpsText = "60";
  int objectsDrawn = 0;

  // The developer toggles, with their start values.
  bool reverseMode = false;
  bool wireframe = false;
  bool cullFaces = true;
  bool debugMode = false;
  bool winLoseCondition = true;
  bool viewFrustum = true;

  // Set by the recovery key, cleared by W, S, A and D; the follow camera then looks along +z.
  bool unflipped = false;

  // Mouse look: the last cursor position.
  double lastCursorX = 0.0;
  double lastCursorY = 0.0;

  Camera camera;
};

}  // namespace ruvelo
