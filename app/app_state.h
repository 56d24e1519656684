// The program-wide values that outlive a run: window size, brightness, frame timing, the toggles, the
// recovery flag and the camera. Owned by main; GLFW callbacks reach it through the window's user pointer.
#pragma once

#include <string>

#include "render/camera.h"

namespace ruvelo {

struct AppState {
  int width = 200;
  int height = 200;
  float brightness = 1.0f;

  float deltaTime = 0.0f;
  float lastFrame = 0.0f;
  float fpsAccumulator = 0.0f;
  std::string fpsText = "60";
  int objectsDrawn = 0;

  // Toggles, with their start values.
  bool reverseMode = false;
  bool wireframe = false;
  bool cullFaces = true;
  bool debugMode = false;
  bool winLoseCondition = true;
  bool snow = true;
  bool viewFrustum = true;
  bool showHud = true;
  bool showGhost = true;  // the best run's vehicle
  bool sound = true;
  // The render scale: automatic, or this fixed share of each window axis (F10 cycles them).
  bool renderScaleAuto = false;
  float renderScale = 1.0f;

  // Set by the recovery key, cleared by W, S, A and D; the follow camera then looks along +z.
  bool unflipped = false;

  // Mouse look: the last cursor position.
  double lastCursorX = 0.0;
  double lastCursorY = 0.0;

  Camera camera;
};

}  // namespace ruvelo
