// Finding the game's data folder wherever the game is started from. A folder counts only when it
// holds the marker file the asset build writes, so a stray "assets" folder is never taken for ours.
#pragma once

#include <string>

namespace ruvelo {

// The marker's file name and the line it starts with.
inline constexpr const char* kDataMarkerFile = "ruvelo-data.txt";
inline constexpr const char* kDataMarkerLine = "ruvelo game data";

// "" when `dir` is a data folder, else why not ("no such folder", "no ruvelo-data.txt in it", ...).
std::string dataFolderProblem(const std::string& dir);

// Where to look, in order of preference.
struct DataSearch {
  std::string flagDir;     // --data-dir; "" when not given
  std::string envDir;      // RUVELO_DATA_DIR; "" when unset or empty
  std::string exeDir;      // the folder of the running executable; "" when unknown
  std::string installRel;  // the installed data folder relative to exeDir ("../share/ruvelo")
};

struct DataLocation {
  bool ok = false;
  std::string folder;   // the folder to read from, as the game names it in messages
  std::string message;  // one line when !ok
};

// --data-dir, then RUVELO_DATA_DIR, then ../assets beside the executable's folder (the build tree),
// then the installed folder. A folder named by the flag or the variable is the player's choice: when
// it is not a data folder the search stops there instead of quietly taking another. A folder found
// beside the executable is named "../assets" when that is the same folder seen from the working
// directory, as every message has named it from build/bin; otherwise by its full path.
DataLocation findDataFolder(const DataSearch& search);

// The search for this process: `flagDir`, the environment, /proc/self/exe and the install layout
// the build was configured with.
DataSearch thisProcessDataSearch(const std::string& flagDir);

}  // namespace ruvelo
