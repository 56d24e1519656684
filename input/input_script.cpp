#include "input/input_script.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "input/gamepad.h"
#include "input/key_names.h"
#include "platform/regular_file.h"
#include "platform/whole_number.h"

namespace ruvelo {
namespace {

// The rest of a gamepad line after "FRAME GAMEPAD_AXIS" or "FRAME GAMEPAD_BUTTON": the name and the
// value or action. False with `error` (without the line number) when it does not parse.
bool parseGamepadLine(std::istringstream& words, bool isAxis, ScriptedKey& key, std::string& error) {
  std::string name, valueText, extra;
  const char* form = isAxis ? "expected \"FRAME GAMEPAD_AXIS NAME VALUE\""
                            : "expected \"FRAME GAMEPAD_BUTTON NAME press|release\"";
  if (!(words >> name >> valueText) || (words >> extra)) {
    error = form;
    return false;
  }
  key.kind = isAxis ? ScriptedKey::Kind::GamepadAxis : ScriptedKey::Kind::GamepadButton;
  key.key = isAxis ? gamepadAxisFromName(name) : gamepadButtonFromName(name);
  if (key.key < 0) {
    error = std::string("unknown gamepad ") + (isAxis ? "axis" : "button") + " " + quotedText(name);
    return false;
  }
  if (isAxis) {
    if (!parseWhole(valueText, key.value) || key.value < -1.0f || key.value > 1.0f) {
      error = "expected an axis value in [-1, 1], got " + quotedText(valueText);
      return false;
    }
    return true;
  }
  if (valueText != "press" && valueText != "release") {
    error = "expected press or release, got " + quotedText(valueText);
    return false;
  }
  key.press = valueText == "press";
  return true;
}

}  // namespace

bool parseInputScript(std::istream& in, std::vector<ScriptedKey>& out, std::string& error) {
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string frameText, keyText, actionText, extra;
    if (!(words >> frameText)) continue;  // blank or comment-only line
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    ScriptedKey key;
    if (words >> keyText && (keyText == "GAMEPAD_AXIS" || keyText == "GAMEPAD_BUTTON")) {
      if (!parseGamepadLine(words, keyText == "GAMEPAD_AXIS", key, error)) {
        error = where + error;
        return false;
      }
    } else if (keyText.empty() || !(words >> actionText) || (words >> extra)) {
      error = where + "expected \"FRAME KEY press|release\"";
      return false;
    }
    if (!parseWhole(frameText, key.frame) || key.frame < 1) {
      error = where + "bad frame number " + quotedText(frameText);
      return false;
    }
    if (key.kind != ScriptedKey::Kind::Key) {
      out.push_back(key);
      continue;
    }
    key.key = keyCodeFromName(keyText);
    if (key.key < 0) {
      error = where + "unknown key " + quotedText(keyText);
      return false;
    }
    if (actionText != "press" && actionText != "release") {
      error = where + "expected press or release, got " + quotedText(actionText);
      return false;
    }
    key.press = actionText == "press";
    out.push_back(key);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const ScriptedKey& a, const ScriptedKey& b) { return a.frame < b.frame; });
  return true;
}

bool parseInputScript(const std::string& text, std::vector<ScriptedKey>& out, std::string& error) {
  // A byte-order mark at the start is skipped, as in controls.txt.
  std::string withoutMark = text;
  dropByteOrderMark(withoutMark);
  std::istringstream in(withoutMark);
  return parseInputScript(in, out, error);
}

}  // namespace ruvelo
