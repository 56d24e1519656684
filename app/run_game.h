// One run of the game: start-up in its fixed order, the frame loop and teardown.
#pragma once

#include "app/dev_flags.h"

namespace ruvelo {

// Runs the game from the working directory (assets under ../assets/). Returns the process status:
// 0 after a normal close, 1 when settings, GLFW, the window or GLEW fail, -1 when the font fails.
int runGame(const DevFlags& flags);

}  // namespace ruvelo
