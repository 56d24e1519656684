// The player's own folders (XDG base directories, each with a "ruvelo" subfolder). Files in them are
// written through AtomicFile (platform/atomic_file.h).
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

// "" when the state and data folders are known; else the line (without "ruvelo: ") saying what is
// not kept and why: "no run or best result is kept: HOME is not set and neither XDG_STATE_HOME
// nor XDG_DATA_HOME names an absolute folder". Values it quotes show control characters as \xNN.
std::string unkeptFilesLine();

// Creates `dir` and its missing parents (mode 0755). False with `why` on failure.
bool makeDirs(const std::string& dir, std::string& why);

}  // namespace ruvelo
