#include "platform/regular_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace ruvelo {

std::string regularFileProblem(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return errno == ENOENT ? "no such file" : std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return "a directory";
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  return "";
}

bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& contents, std::string& why) {
  why = regularFileProblem(path);
  if (!why.empty()) return false;
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && static_cast<unsigned long long>(info.st_size) > maxBytes) {
    why = "larger than " + std::to_string(maxBytes) + " bytes";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    why = "cannot be opened";
    return false;
  }
  contents.clear();
  // Room for the size it has now, so the string is not regrown (and briefly held twice) as it fills.
  contents.reserve(static_cast<std::size_t>(info.st_size) + 1);
  char buffer[64 * 1024];
  while (file) {
    file.read(buffer, sizeof(buffer));
    contents.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (contents.size() > maxBytes) {
      why = "larger than " + std::to_string(maxBytes) + " bytes";
      contents.clear();
      return false;
    }
  }
  if (file.bad()) {
    why = "cannot be read";
    contents.clear();
    return false;
  }
  return true;
}

}  // namespace ruvelo
