// Reading the files the game is pointed at (settings, input scripts) only when they are plain files
// of a sane size: a directory, a device or a pipe is refused instead of read as empty or endless.
#pragma once

#include <cstddef>
#include <string>

namespace ruvelo {

// "" when `path` (links followed) is a regular file, else why not: "no such file", "a directory",
// "not a regular file".
std::string regularFileProblem(const std::string& path);

// Reads all of `path` into `contents` when it is a regular file of at most `maxBytes` and reading
// succeeds; otherwise false and `why` says what is wrong. Never reads more than maxBytes + 1 bytes,
// so a file that grows while being read cannot take unbounded memory.
bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& contents, std::string& why);

}  // namespace ruvelo
