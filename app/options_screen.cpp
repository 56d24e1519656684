#include "app/options_screen.h"

#include "app/camera_rig.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ruvelo {
namespace {

const Option kRowOption[OptionsScreen::kOptionRows] = {
    Option::Volume,        Option::Ghost,      Option::RenderScale,
    Option::WindowSamples, Option::Brightness, Option::Snow,
    Option::Hud,           Option::CameraView, Option::Fov};
const char* const kRowName[OptionsScreen::kOptionRows] = {
    "Volume", "Ghost", "Render scale", "Window samples", "Brightness",
    "Snow",   "HUD",   "Camera",       "Field of view"};

// A tenth up or down within [low, high], kept to tenths so steps never drift.
double stepTenth(double value, int direction, double low, double high) {
  return std::clamp(std::round(value * 10.0 + direction) / 10.0, low, high);
}

// The next of `values` (in order) after `value` in `direction`, round again at the ends.
double nextOf(const std::vector<double>& values, double value, int direction) {
  auto at = std::find(values.begin(), values.end(), value);
  int i = at == values.end() ? 0 : static_cast<int>(at - values.begin());
  const int n = static_cast<int>(values.size());
  return values[static_cast<std::size_t>(((i + direction) % n + n) % n)];
}

std::string valueText(Option option, const Settings& settings) {
  const double v = settings.value(option);
  char text[32];
  switch (option) {
    case Option::Volume:
    case Option::Brightness:
      std::snprintf(text, sizeof text, "%.1f", v);
      return text;
    case Option::RenderScale:
      return v == kRenderScaleAuto ? "auto" : settingValueText(option, v);
    case Option::WindowSamples:
      return settingValueText(option, v) + " (at the next start)";
    case Option::CameraView:
      return cameraViewName(static_cast<int>(v));
    case Option::Fov:
      return settingValueText(option, v) + " degrees";
    default:
      return v != 0.0 ? "on" : "off";
  }
}

std::string bindingList(const std::vector<Binding>& list) {
  std::string text;
  for (const Binding& b : list) text += (text.empty() ? "" : ", ") + bindingName(b);
  return text;
}

}  // namespace

Action controlRowAction(int row) {
  return static_cast<Action>(row - OptionsScreen::kOptionRows);
}

OptionsScreen::Result OptionsScreen::onMenu(MenuKey key, Settings& settings) {
  if (capturing_) {  // only Back reaches a screen waiting for a binding
    capturing_ = false;
    message_.clear();
    return Result::Stay;
  }
  switch (key) {
    case MenuKey::Up:
      row_ = (row_ + kRows - 1) % kRows;
      break;
    case MenuKey::Down:
      row_ = (row_ + 1) % kRows;
      break;
    case MenuKey::Left:
    case MenuKey::Right:
      if (row_ < kOptionRows) change(settings, key == MenuKey::Left ? -1 : 1);
      break;
    case MenuKey::Select:
      if (row_ < kOptionRows) {
        change(settings, 1);
      } else {
        capturing_ = true;
        message_ = std::string("Press a key or button for ") + actionName(controlRowAction(row_)) +
                   " (Escape or B: keep it)";
      }
      break;
    case MenuKey::Back:
      return Result::Close;
  }
  if (key != MenuKey::Select) message_.clear();
  return Result::Stay;
}

void OptionsScreen::change(Settings& settings, int direction) {
  const Option option = kRowOption[row_];
  const double v = settings.value(option);
  switch (option) {
    case Option::Volume:
      settings.change(option, stepTenth(v, direction, 0.0, 1.0));
      break;
    case Option::Brightness:
      settings.change(option, stepTenth(v, direction, 0.5, 2.0));
      break;
    case Option::RenderScale:
      settings.change(option, nextOf({kRenderScaleAuto, 1.0, 0.75, 0.5}, v, direction));
      break;
    case Option::WindowSamples:
      settings.change(option, nextOf({0.0, 2.0, 4.0, 8.0}, v, direction));
      break;
    case Option::CameraView:
      settings.change(option, nextOf({0.0, 1.0, 2.0}, v, direction));
      break;
    case Option::Fov:  // five degrees a step
      settings.change(option, std::clamp(std::round(v / 5.0 + direction) * 5.0, 40.0, 90.0));
      break;
    default:
      settings.change(option, v != 0.0 ? 0.0 : 1.0);
      break;
  }
}

bool OptionsScreen::onCaptured(const Binding& binding, Controls& controls) {
  if (!capturing_) return false;
  capturing_ = false;
  const Action action = controlRowAction(row_);
  for (int a = 0; a < kActionCount; ++a) {
    const auto& list = controls.bindings[a];
    if (a == static_cast<int>(action) || std::find(list.begin(), list.end(), binding) == list.end()) continue;
    message_ =
        bindingName(binding) + " is already " + actionName(static_cast<Action>(a)) + ": choose another";
    return false;
  }
  // The new input takes the place of the action's inputs of its kind (keys, or the gamepad's).
  auto& list = controls.bindings[static_cast<int>(action)];
  const bool key = binding.kind == Binding::Kind::Key;
  list.erase(std::remove_if(list.begin(), list.end(),
                            [key](const Binding& b) { return (b.kind == Binding::Kind::Key) == key; }),
             list.end());
  list.insert(list.begin(), binding);
  message_ = std::string(actionName(action)) + ": " + bindingList(list);
  return true;
}

Overlay OptionsScreen::overlay(const Settings& settings, const Controls& controls, float scale) const {
  constexpr float kTop = 0.86f, kStep = 0.052f, kLeft = 0.08f;
  const glm::vec3 chosen(1.0f, 1.0f, 0.0f), plain(1.0f);
  Overlay overlay;
  overlay.lines.push_back(TextLine{"Options", kLeft, 0.92f, 0.8f * scale, chosen});
  for (int i = 0; i < kRows; ++i) {
    const std::string text = i < kOptionRows
                                 ? std::string(kRowName[i]) + ": " + valueText(kRowOption[i], settings)
                                 : std::string(actionName(controlRowAction(i))) + ": " +
                                       bindingList(controls.of(controlRowAction(i)));
    overlay.lines.push_back(TextLine{(i == row_ ? "> " : "  ") + text, kLeft,
                                     kTop - kStep * static_cast<float>(i), 0.45f * scale,
                                     i == row_ ? chosen : plain});
  }
  const float bottom = kTop - kStep * static_cast<float>(kRows);
  if (!message_.empty())
    overlay.lines.push_back(
        TextLine{message_, kLeft, bottom - 0.01f, 0.45f * scale, glm::vec3(1.0f, 0.6f, 0.3f)});
  overlay.lines.push_back(TextLine{"Arrows/d-pad: choose   Left/Right, Enter/A: change   Escape/B: back",
                                   kLeft, bottom - 0.07f, 0.4f * scale, glm::vec3(0.85f)});
  return overlay;
}

}  // namespace ruvelo
