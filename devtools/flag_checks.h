// Combinations of developer flags that cannot do what they say, refused before the game starts.
#pragma once

#include <string>

#include "devtools/dev_flags.h"

namespace ruvelo {

// One line naming the flag that is refused and why, or "" when the flags can run as given: flags
// that --bench-floor's clear-only frames would silently ignore.
std::string refusedFlags(const DevFlags& flags);

}  // namespace ruvelo
