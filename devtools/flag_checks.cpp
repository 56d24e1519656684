#include "devtools/flag_checks.h"

namespace ruvelo {

std::string refusedFlags(const DevFlags& flags) {
  if (!flags.benchFloor) return "";
  // The floor frames only clear the shadow map and the window: no scene, no game, no script.
  const char* ignored = nullptr;
  if (!flags.screenshots.empty())
    ignored = "--screenshot";
  else if (flags.logState)
    ignored = "--log-state";
  else if (!flags.input.empty())
    ignored = "--input";
  else if (flags.autopilot)
    ignored = "--autopilot";
  else if (flags.fullShadow)
    ignored = "--full-shadow";
  else if (flags.fixedDt > 0.0f)
    ignored = "--fixed-dt";
  if (!ignored) return "";
  return std::string("--bench-floor: cannot be combined with ") + ignored +
         " (its frames only clear the screen)";
}

}  // namespace ruvelo
