#include "input/key_names.h"

#include <GLFW/glfw3.h>

namespace ruvelo {
namespace {

struct NamedKey {
  const char* name;
  int code;
};

// The keys with word names; letters, digits and F1-F25 follow from their codes.
constexpr NamedKey kNamedKeys[] = {
    {"SPACE", GLFW_KEY_SPACE},
    {"ESCAPE", GLFW_KEY_ESCAPE},
    {"ENTER", GLFW_KEY_ENTER},
    {"TAB", GLFW_KEY_TAB},
    {"BACKSPACE", GLFW_KEY_BACKSPACE},
    {"LEFT", GLFW_KEY_LEFT},
    {"RIGHT", GLFW_KEY_RIGHT},
    {"UP", GLFW_KEY_UP},
    {"DOWN", GLFW_KEY_DOWN},
    {"LEFT_SHIFT", GLFW_KEY_LEFT_SHIFT},
    {"RIGHT_SHIFT", GLFW_KEY_RIGHT_SHIFT},
    {"LEFT_CONTROL", GLFW_KEY_LEFT_CONTROL},
    {"RIGHT_CONTROL", GLFW_KEY_RIGHT_CONTROL},
    {"LEFT_ALT", GLFW_KEY_LEFT_ALT},
    {"RIGHT_ALT", GLFW_KEY_RIGHT_ALT},
};

constexpr int kFunctionKeys = 25;

// F1..F25's number from the text after the F ("3", "12"); 0 when the text is not one written
// plainly ("03", "+3" and " 3" are not).
int functionKeyNumber(const std::string& digits) {
  if (digits.empty() || digits.size() > 2 || digits[0] == '0') return 0;
  int n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n <= kFunctionKeys ? n : 0;
}

}  // namespace

int keyCodeFromName(const std::string& name) {
  if (name.size() == 1) {
    const char c = name[0];
    if (c >= 'A' && c <= 'Z') return GLFW_KEY_A + (c - 'A');
    if (c >= '0' && c <= '9') return GLFW_KEY_0 + (c - '0');
  }
  if (name.size() >= 2 && name[0] == 'F') {
    if (const int n = functionKeyNumber(name.substr(1))) return GLFW_KEY_F1 + n - 1;
  }
  for (const NamedKey& key : kNamedKeys)
    if (name == key.name) return key.code;
  return -1;
}

std::string keyName(int code) {
  for (const NamedKey& key : kNamedKeys)
    if (code == key.code) return key.name;
  if (code >= GLFW_KEY_A && code <= GLFW_KEY_Z)
    return std::string(1, static_cast<char>('A' + (code - GLFW_KEY_A)));
  if (code >= GLFW_KEY_0 && code <= GLFW_KEY_9)
    return std::string(1, static_cast<char>('0' + (code - GLFW_KEY_0)));
  if (code >= GLFW_KEY_F1 && code < GLFW_KEY_F1 + kFunctionKeys)
    return "F" + std::to_string(code - GLFW_KEY_F1 + 1);
  return "key " + std::to_string(code);
}

}  // namespace ruvelo
