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

// A switch among the options turned over as the player's change, with its message.
void toggle(Settings& settings, Option option, const char* message, std::ostream& out) {
  settings.change(option, settings.on(option) ? 0.0 : 1.0);
  out << message << (settings.on(option) ? 1 : 0) << std::endl;
}

// 1.0, 0.75, 0.5, auto, and round again; a scale between the listed ones goes to the next below it.
void cycleRenderScale(Settings& settings, std::ostream& out) {
  const RenderScaleSetting now = settings.renderScale();
  const double next = now.automatic       ? 1.0
                      : now.value > 0.75f ? 0.75
                      : now.value > 0.5f  ? 0.5
                                          : kRenderScaleAuto;
  settings.change(Option::RenderScale, next);
  out << "Render scale: "
      << (next == kRenderScaleAuto ? "auto"
          : next == 1.0            ? "1.0"
          : next == 0.75           ? "0.75"
                                   : "0.5")
      << std::endl;
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

bool applyToggle(DebugToggles& state, Settings& settings, Action action, std::ostream& out) {
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
    case Action::Darker: {
      // Added in double precision, stored as float; only the key that crosses a bound clamps.
      const bool up = action == Action::Brighter;
      float brightness = static_cast<float>(static_cast<double>(settings.brightness()) + (up ? 0.1 : -0.1));
      if (up && brightness >= 2.0f) brightness = 2.0f;
      if (!up && brightness <= 0.5f) brightness = 0.5f;
      settings.change(Option::Brightness, brightness);
      printBrightness(settings.brightness(), out);
      break;
    }
    case Action::ToggleSnow:
      toggle(settings, Option::Snow, "Snow: ", out);
      break;
    case Action::ToggleFrustum:
      toggle(state.viewFrustum, "ViewFrustum: ", out);
      break;
    case Action::ToggleHud:
      toggle(settings, Option::Hud, "HUD: ", out);
      break;
    case Action::RenderScale:
      cycleRenderScale(settings, out);
      break;
    case Action::ToggleGhost:
      toggle(settings, Option::Ghost, "Ghost: ", out);
      break;
    case Action::Mute:
      toggle(settings, Option::Sound, "Sound: ", out);
      break;
    default:
      return false;
  }
  return true;
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
