// The player's own folders (XDG base directories, each with a "ruvelo" subfolder) and the one way
// the game writes a file there: to a temporary name beside it, flushed, then renamed over it, so a
// crash or a full disk never leaves a half-written file under the real name.
#pragma once

#include <string>

namespace ruvelo {

// $XDG_CONFIG_HOME/ruvelo, or ~/.config/ruvelo when the variable is unset, empty or not absolute.
std::string userConfigDir();
// $XDG_DATA_HOME/ruvelo, or ~/.local/share/ruvelo.
std::string userDataDir();
// $XDG_STATE_HOME/ruvelo, or ~/.local/state/ruvelo.
std::string userStateDir();

// The folder for `variable` (an XDG_*_HOME name) with "ruvelo" appended; `fallback` is relative to
// $HOME. "" when neither the variable nor HOME gives an absolute path.
std::string xdgDir(const char* variable, const char* fallback);

// Creates `dir` and its missing parents (mode 0755). False with `why` on failure.
bool makeDirs(const std::string& dir, std::string& why);

// Writes `contents` to `path` atomically: `path`.tmp-PID, written, flushed and fsync'd, then renamed
// over `path`. The parent folder is created when missing. On any failure the temporary file is
// removed, `path` is left as it was, and `why` says what failed.
bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& why);

}  // namespace ruvelo
