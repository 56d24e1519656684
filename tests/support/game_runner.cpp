#include "support/game_runner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace ruvelo::test {
namespace {

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Links every entry of `from` into `to`, recursing into folders so single files can be hidden.
void linkTree(const fs::path& from, const fs::path& to) {
  fs::create_directories(to);
  for (const auto& entry : fs::directory_iterator(from)) {
    const fs::path target = to / entry.path().filename();
    if (entry.is_directory()) {
      linkTree(entry.path(), target);
    } else if (entry.path().filename() != "settings.txt") {
      fs::create_symlink(entry.path(), target);
    }
  }
}

// A machine without a sound device starts standard error with "Sound off: why"; it is kept apart.
void takeSoundOffLine(GameRun& run) {
  if (run.err.rfind("Sound off: ", 0) != 0) return;
  const auto end = run.err.find('\n');
  run.soundOff = run.err.substr(0, end);
  run.err.erase(0, end == std::string::npos ? std::string::npos : end + 1);
}

}  // namespace

GameFolder::GameFolder(const std::string& settings) : root_(makeTempDir("ruvelo-e2e")) {
  fs::create_directories(root_ + "/bin");
  linkTree(RUVELO_ASSET_DIR, root_ + "/assets");
  writeSettings(settings);
}

GameRun GameFolder::run(const std::vector<std::string>& args, int timeoutSeconds) const {
  return runWithStreams(args,
                        "</dev/null >" + quote(root_ + "/stdout.txt") + " 2>" + quote(root_ + "/stderr.txt"),
                        timeoutSeconds);
}

std::string gamePreload() {
  const char* preload = std::getenv("RUVELO_GAME_LD_PRELOAD");
  return preload && *preload ? "LD_PRELOAD=" + quote(preload) + " " : "";
}

GameRun GameFolder::runWithStreams(const std::vector<std::string>& args, const std::string& streams,
                                   int timeoutSeconds) const {
  std::string environment = gamePreload();
  // The folder's own data, and the player's folders inside it, never the real player's (nor their
  // gamepad mappings; HOME too, for anything that falls back to it).
  environment += "RUVELO_DATA_DIR=../assets HOME=" + quote(root_ + "/home") +
                 " XDG_CONFIG_HOME=" + quote(root_ + "/config") + " XDG_DATA_HOME=" + quote(root_ + "/data") +
                 " XDG_STATE_HOME=" + quote(root_ + "/state") + " SDL_GAMECONTROLLERCONFIG= ";
  std::string command = "cd " + quote(root_ + "/bin") + " && " + environment + "timeout " +
                        std::to_string(timeoutSeconds) + " " + quote(RUVELO_GAME_BIN);
  for (const auto& a : args) command += " " + quote(a);
  command += " " + streams;
  // What the streams leave out is read as empty: stale files from an earlier run are removed first.
  fs::remove(root_ + "/stdout.txt");
  fs::remove(root_ + "/stderr.txt");
  return runGameCommand(command, root_ + "/stdout.txt", root_ + "/stderr.txt");
}

GameRun runGameCommand(const std::string& command, const std::string& outPath, const std::string& errPath) {
  const int raw = std::system(command.c_str());
  GameRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.out = readWholeFile(outPath);
  run.err = readWholeFile(errPath);
  takeSoundOffLine(run);
  return run;
}

void GameFolder::writeSettings(const std::string& text) const {
  std::ofstream(root_ + "/assets/settings.txt", std::ios::binary) << text;
}

void GameFolder::removeSettings() const {
  fs::remove(root_ + "/assets/settings.txt");
}

std::string GameFolder::writeFile(const std::string& relative, const std::string& text) const {
  const std::string full = path(relative);
  fs::create_directories(fs::path(full).parent_path());
  std::ofstream(full, std::ios::binary) << text;
  return full;
}

void GameFolder::hideAsset(const std::string& relative) const {
  fs::remove(root_ + "/assets/" + relative);
}

std::vector<std::string> stateText(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("state ", 0) == 0) lines.push_back(line);
  return lines;
}

std::vector<std::vector<std::pair<std::string, std::string>>> stateLines(const std::string& out) {
  std::vector<std::vector<std::pair<std::string, std::string>>> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("state ", 0) != 0) continue;
    std::istringstream words(line.substr(6));
    std::vector<std::pair<std::string, std::string>> fields;
    std::string word;
    while (words >> word) {
      const auto eq = word.find('=');
      if (eq != std::string::npos) fields.emplace_back(word.substr(0, eq), word.substr(eq + 1));
    }
    lines.push_back(fields);
  }
  return lines;
}

std::string field(const std::vector<std::pair<std::string, std::string>>& line, const std::string& key) {
  for (const auto& [k, v] : line)
    if (k == key) return v;
  return "";
}

int countLines(const std::string& out, const std::string& text) {
  int count = 0;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) count += line == text;
  return count;
}

}  // namespace ruvelo::test
