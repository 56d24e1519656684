// Numbers read from text that must be nothing but the number: no blanks, no plus sign, no trailing
// bytes (an embedded NUL included). Used by the command-line flags and the input scripts.
#pragma once

#include <string>

namespace ruvelo {

// A decimal whole number; false for anything else or one out of `long`'s range.
bool parseWhole(const std::string& text, long& out);
// A finite decimal number; one too small for a float (1e-50) is 0, not out of range.
bool parseWhole(const std::string& text, float& out);

}  // namespace ruvelo
