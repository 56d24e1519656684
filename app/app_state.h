// The program-wide values that outlive a run and are not options: the window's drawing size, frame
// timing and the FPS text, and the developer toggles (never saved). Owned by App; the player's
// options live in Settings, the camera in the run's CameraRig.
#pragma once

#include <string>

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
  bool wireframe = false;
  bool cullFaces = true;
  bool debugMode = false;
  bool winLoseCondition = true;
  bool viewFrustum = true;
};

}  // namespace ruvelo
