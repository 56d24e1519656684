#include "input/input.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <ostream>

namespace ruvelo {
namespace {

void toggle(bool& value, const char* message, std::ostream& out) {
  value = !value;
  out << message << (value ? 1 : 0) << std::endl;
}

}  // namespace

KeyEffect onKeyEvent(AppState& state, int key, int action, std::ostream& out) {
  if (action != GLFW_RELEASE) return KeyEffect::None;
  switch (key) {
    case GLFW_KEY_ESCAPE:
      return KeyEffect::Close;
    case GLFW_KEY_F1:  // the passes draw with the toggles as they stand
      state.wireframe = !state.wireframe;
      break;
    case GLFW_KEY_F2:
      state.cullFaces = !state.cullFaces;
      break;
    case GLFW_KEY_F3:
      toggle(state.debugMode, "DebugMode: ", out);
      break;
    case GLFW_KEY_F4:
      toggle(state.winLoseCondition, "Win/lose Condition: ", out);
      break;
    case GLFW_KEY_F5: {
      // Added in double precision, stored as float; only the key that crosses a bound clamps.
      state.brightness = static_cast<float>(static_cast<double>(state.brightness) + 0.1);
      if (state.brightness >= 2.0f) state.brightness = 2.0f;
      break;
    }
    case GLFW_KEY_F6: {
      state.brightness = static_cast<float>(static_cast<double>(state.brightness) - 0.1);
      if (state.brightness <= 0.5f) state.brightness = 0.5f;
      break;
    }
    case GLFW_KEY_F7:
      toggle(state.snow, "Snow: ", out);
      break;
    case GLFW_KEY_F8:
      toggle(state.viewFrustum, "ViewFrustum: ", out);
      break;
    case GLFW_KEY_F9:
      state.showHud = !state.showHud;
      break;
    case GLFW_KEY_G:
      toggle(state.showGhost, "Ghost: ", out);
      break;
    case GLFW_KEY_M:
      toggle(state.sound, "Sound: ", out);
      break;
    default:
      break;
  }
  return KeyEffect::None;
}

bool isFixedKey(int key) {
  return key == GLFW_KEY_ESCAPE || (key >= GLFW_KEY_F1 && key <= GLFW_KEY_F25) || key == GLFW_KEY_M ||
         key == GLFW_KEY_G;
}

void toggleReverseCamera(AppState& state, std::ostream& out) {
  toggle(state.reverseMode, "Reverse Mode Switched: ", out);
}

void onCursorEvent(AppState& state, double x, double y, bool leftButtonHeld) {
  if (leftButtonHeld) {
    Camera& camera = state.camera;
    camera.yaw += static_cast<float>((x - state.lastCursorX) * 0.2);
    camera.pitch += static_cast<float>((state.lastCursorY - y) * 0.2);
    camera.pitch = std::clamp(camera.pitch, -89.0f, 89.0f);
    camera.updateVectors();
  }
  state.lastCursorX = x;
  state.lastCursorY = y;
}

void onScrollEvent(AppState& state, double yOffset) {
  float& zoom = state.camera.zoom;
  if (zoom >= 30.0f && zoom <= 85.0f) {
    zoom -= static_cast<float>(yOffset);
  } else if (zoom < 30.0f) {
    zoom = 30.0f;
  } else {
    zoom = 85.0f;
  }
}

void moveFreeCamera(Camera& camera, const FreeCameraKeys& keys, float dt) {
  const float d = dt * camera.movementSpeed;
  if (keys.forward) camera.position += camera.front * d;
  if (keys.back) camera.position -= camera.front * d;
  if (keys.left) camera.position -= camera.right * d;
  if (keys.right) camera.position += camera.right * d;
  if (keys.up) camera.position += camera.up * d;
  if (keys.down) camera.position -= camera.up * d;
}

}  // namespace ruvelo
