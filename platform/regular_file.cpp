#include "platform/regular_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace ruvelo {

std::string regularFileProblem(const std::string& path, bool* missing) {
  struct stat info {};
  const bool found = stat(path.c_str(), &info) == 0;
  const int error = errno;
  if (missing) *missing = !found && error == ENOENT;
  if (!found) return error == ENOENT ? "no such file" : std::strerror(error);
  if (S_ISDIR(info.st_mode)) return "a directory";
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  return "";
}

bool fileMissing(const std::string& path) {
  bool missing = false;
  regularFileProblem(path, &missing);
  return missing;
}

bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& contents, std::string& why,
                     bool* missing) {
  why = regularFileProblem(path, missing);
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
