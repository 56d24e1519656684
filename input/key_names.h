// Key names as input scripts and controls.txt spell them: GLFW's names without the GLFW_KEY_ prefix
// ("W", "F3", "SPACE", "LEFT_SHIFT"). One table both ways.
#pragma once

#include <string>

namespace ruvelo {

// The GLFW key code for a name; -1 if unknown.
int keyCodeFromName(const std::string& name);

// The name of a key code ("W", "F3", "UP"); "key N" for a code without a name.
std::string keyName(int code);

}  // namespace ruvelo
