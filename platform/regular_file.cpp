#include "platform/regular_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace ruvelo {
namespace {

// The first part of `path` that exists but is not a folder, or "" (for "Not a directory").
std::string fileInThePath(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    struct stat info {};
    if (stat(part.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) return part;
  }
  return "";
}

}  // namespace

std::string regularFileProblem(const std::string& path, bool* missing) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (missing) *missing = error == ENOENT;
    if (error == ENOENT) return "no such file";
    const std::string file = error == ENOTDIR ? fileInThePath(path) : "";
    return file.empty() ? std::strerror(error) : file + " is not a folder";
  }
  if (missing) *missing = false;
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

void dropByteOrderMark(std::string& text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      out += c;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
    out += escaped;
  }
  return out;
}

std::string quotedText(std::string_view text) {
  if (text.size() <= kMaxQuotedBytes) return "\"" + printable(text) + "\"";
  // Cut before a UTF-8 continuation byte, never inside a character.
  std::size_t cut = kMaxQuotedBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return "\"" + printable(text.substr(0, cut)) + "\"... (" + std::to_string(text.size()) + " bytes)";
}

}  // namespace ruvelo
