// Combinations of developer flags that cannot do what they say, refused before the game starts.
#pragma once

#include <string>

#include "devtools/dev_flags.h"

namespace ruvelo {

// One line naming the flag that is refused and why, or "" when the flags can run as given: flags
// that --bench-floor's clear-only frames would silently ignore, flags a --replay would ignore or
// never act on, and two flags naming the same file (one would overwrite the other, or a file read
// would be replaced).
std::string refusedFlags(const DevFlags& flags);

// Whether `a` and `b` name the same file: the same file when both exist (links followed), else the
// same path once resolved, the parts that do not exist yet included ("nd//x", "nd/../nd/x" and
// "/abs/nd/x" are one file before the folder nd is made).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace ruvelo
