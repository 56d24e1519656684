// The options screen, opened from the pause screen: the player's options (volume, ghost, render
// scale, window samples, brightness, snow, HUD, camera view, field of view) and the driving controls, moved
// through with the arrows or the d-pad, changed with left and right or Enter/A, left with Escape/B. Plain
// logic over the options store and the controls; the App draws its overlay and hands it the menu's events.
#pragma once

#include <string>

#include "input/controls.h"
#include "input/input.h"
#include "passes/hud.h"
#include "platform/settings.h"

namespace ruvelo {

class OptionsScreen {
 public:
  // The rows: the options first, then one per driving action.
  static constexpr int kOptionRows = 9;
  static constexpr int kRows = kOptionRows + kDrivingActionCount + 1;  // and reverse_camera

  enum class Result { Stay, Close };

  // A move, a change or leaving. Changes go to `settings` as the player's; a chosen control row
  // waits for a binding (capturing() is then true).
  Result onMenu(MenuKey key, Settings& settings);
  // The new key or button for the chosen control: taken when no other action has it, else the
  // clash is said on the screen and the controls stay as they were. True when `controls` changed.
  bool onCaptured(const Binding& binding, Controls& controls);
  bool capturing() const { return capturing_; }
  int row() const { return row_; }

  // The screen's lines at `scale` (hud_layout's fitting scale), the chosen one marked.
  Overlay overlay(const Settings& settings, const Controls& controls, float scale) const;

 private:
  void change(Settings& settings, int direction);

  int row_ = 0;
  bool capturing_ = false;
  std::string message_;  // under the rows: a clash, or what the row waits for
};

// The driving action a control row binds.
Action controlRowAction(int row);

}  // namespace ruvelo
