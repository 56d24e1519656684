#include "platform/user_dirs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/regular_file.h"

namespace ruvelo {
namespace {

std::string errnoText() {
  return std::strerror(errno);
}

std::string parentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string xdgDir(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return std::string(value) + "/ruvelo";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/" + fallback + "/ruvelo";
  return "";
}

std::string userConfigDir() {
  return xdgDir("XDG_CONFIG_HOME", ".config");
}
std::string userDataDir() {
  return xdgDir("XDG_DATA_HOME", ".local/share");
}
std::string userStateDir() {
  return xdgDir("XDG_STATE_HOME", ".local/state");
}

std::string unkeptFilesLine() {
  const bool state = userStateDir().empty(), data = userDataDir().empty();
  if (!state && !data) return "";
  const char* home = std::getenv("HOME");
  const std::string homeIs = !home             ? "HOME is not set"
                             : home[0] == '\0' ? "HOME is empty"
                                               : "HOME " + quotedText(home) + " is not an absolute path";
  if (state && data)
    return "no run or best result is kept: " + homeIs +
           " and neither XDG_STATE_HOME nor XDG_DATA_HOME names an absolute folder";
  return std::string(state ? "no run is kept: " : "no best result is kept: ") + homeIs + " and " +
         (state ? "XDG_STATE_HOME" : "XDG_DATA_HOME") + " names no absolute folder";
}

bool makeDirs(const std::string& dir, std::string& why) {
  if (dir.empty()) {
    why = "no folder";
    return false;
  }
  struct stat info {};
  if (::stat(dir.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    why = dir + " is not a folder";
    return false;
  }
  const std::string parent = parentOf(dir);
  if (parent != dir && !makeDirs(parent, why)) return false;
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    why = "cannot create " + dir + ": " + errnoText();
    return false;
  }
  return true;
}

}  // namespace ruvelo
