// Runs the built game as a player would, from a temporary working folder beside a copy of the
// run-time assets (linked, not copied) with a test settings file. The player's config, data and
// state folders are <folder>/config/ruvelo, data/ruvelo and state/ruvelo.
#pragma once

#include <string>
#include <vector>

namespace ruvelo::test {

struct GameRun {
  int status = -1;  // exit status (255 for main's -1); 124 when it timed out
  std::string out;  // standard output
  std::string err;  // standard error, less the line below
  // A machine without a sound device (as under CI) starts with the line "Sound off: why" on standard
  // error; it is kept here, so the checks of what else the game says hold with and without sound.
  std::string soundOff;
};

// Runs a shell command that starts the game with its standard output and error sent to `outPath`
// and `errPath`, and reads the run back: the exit status (128 + signal when killed), both streams,
// the no-device sound line set apart.
GameRun runGameCommand(const std::string& command, const std::string& outPath, const std::string& errPath);

// "LD_PRELOAD=... " for a shell command that starts the game, or "". The sanitizer run preloads the
// GL driver so that leaks inside it are still attributed to it (and suppressed) after GLFW's
// shutdown unloads it.
std::string gamePreload();

class GameFolder {
 public:
  // A small windowed game by default.
  explicit GameFolder(
      const std::string& settings = "width=320\nheight=240\nrefresh_rate=60\nfullscreen=false\n");

  // Runs build/bin/ruvelo with `args` from <folder>/bin, with HOME and the XDG folders inside the
  // folder, so no run touches the real home.
  GameRun run(const std::vector<std::string>& args, int timeoutSeconds = 300) const;
  // The same with the shell redirections `streams` instead of the usual ones (standard input from
  // /dev/null, standard output and error to the folder's stdout.txt and stderr.txt, read back).
  GameRun runWithStreams(const std::vector<std::string>& args, const std::string& streams,
                         int timeoutSeconds = 300) const;

  void writeSettings(const std::string& text) const;
  void removeSettings() const;
  // Writes a file under the folder (e.g. an input script); returns its absolute path.
  std::string writeFile(const std::string& relative, const std::string& text) const;
  std::string path(const std::string& relative) const { return root_ + "/" + relative; }
  // The game's own data and state folders ($XDG_DATA_HOME/ruvelo, $XDG_STATE_HOME/ruvelo).
  std::string dataDir() const { return root_ + "/data/ruvelo"; }
  std::string stateDir() const { return root_ + "/state/ruvelo"; }
  // Replaces the linked asset `relative` (under assets/) by nothing, so the game cannot find it.
  void hideAsset(const std::string& relative) const;

 private:
  std::string root_;
};

// The "state ..." lines of --log-state as key=value maps, in frame order.
std::vector<std::vector<std::pair<std::string, std::string>>> stateLines(const std::string& out);
// The "state ..." lines of --log-state as they were printed, in frame order.
std::vector<std::string> stateText(const std::string& out);
// How many lines of `out` are exactly `text`.
int countLines(const std::string& out, const std::string& text);
// One field of a parsed state line ("" when absent).
std::string field(const std::vector<std::pair<std::string, std::string>>& line, const std::string& key);

}  // namespace ruvelo::test
