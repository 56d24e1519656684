#include "app/key_handling.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>

namespace ruvelo {
namespace {

void toggle(bool& value, const char* message, std::ostream& out) {
  value = !value;
  out << message << (value ? 1 : 0) << std::endl;
}

// 1.0, 0.75, 0.5, auto, and round again; a scale between the listed ones goes to the next below it.
void cycleRenderScale(AppState& state, std::ostream& out) {
  if (state.renderScaleAuto) {
    state.renderScaleAuto = false;
    state.renderScale = 1.0f;
  } else if (state.renderScale > 0.75f) {
    state.renderScale = 0.75f;
  } else if (state.renderScale > 0.5f) {
    state.renderScale = 0.5f;
  } else {
    state.renderScaleAuto = true;
  }
  out << "Render scale: ";
  if (state.renderScaleAuto)
    out << "auto";
  else
    out << (state.renderScale == 1.0f ? "1.0" : state.renderScale == 0.75f ? "0.75" : "0.5");
  out << std::endl;
}

// "Brightness: 1.1": to the hundredth, without trailing zeros past the first decimal.
void printBrightness(float brightness, std::ostream& out) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(brightness));
  std::string shown = text;
  if (shown.size() > 3 && shown.back() == '0') shown.pop_back();
  out << "Brightness: " << shown << std::endl;
}

}  // namespace

bool applyToggle(AppState& state, Action action, std::ostream& out) {
  switch (action) {
    case Action::ToggleWireframe:  // the passes draw with the toggles as they stand
      toggle(state.wireframe, "Wireframe: ", out);
      break;
    case Action::ToggleCulling:
      toggle(state.cullFaces, "Culling: ", out);
      break;
    case Action::DebugCamera:
      toggle(state.debugMode, "DebugMode: ", out);
      break;
    case Action::ToggleRules:
      toggle(state.winLoseCondition, "Win/lose Condition: ", out);
      break;
    case Action::Brighter:
      // Added in double precision, stored as float; only the key that crosses a bound clamps.
      state.brightness = static_cast<float>(static_cast<double>(state.brightness) + 0.1);
      if (state.brightness >= 2.0f) state.brightness = 2.0f;
      printBrightness(state.brightness, out);
      break;
    case Action::Darker:
      state.brightness = static_cast<float>(static_cast<double>(state.brightness) - 0.1);
      if (state.brightness <= 0.5f) state.brightness = 0.5f;
      printBrightness(state.brightness, out);
      break;
    case Action::ToggleSnow:
      toggle(state.snow, "Snow: ", out);
      break;
    case Action::ToggleFrustum:
      toggle(state.viewFrustum, "ViewFrustum: ", out);
      break;
    case Action::ToggleHud:
      toggle(state.showHud, "HUD: ", out);
      break;
    case Action::RenderScale:
      cycleRenderScale(state, out);
      break;
    case Action::ToggleGhost:
      toggle(state.showGhost, "Ghost: ", out);
      break;
    case Action::Mute:
      toggle(state.sound, "Sound: ", out);
      break;
    case Action::ReverseCamera:
      toggle(state.reverseMode, "Reverse Mode Switched: ", out);
      break;
    default:
      return false;
  }
  return true;
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
