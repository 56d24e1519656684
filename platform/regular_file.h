// Reading the files the game is pointed at (settings, input scripts) only when they are plain files
// of a sane size: a directory, a device or a pipe is refused instead of read as empty or endless.
// Also the two things every reader of a player's text file needs: a leading byte-order mark skipped,
// and the file's own bytes made printable when a message quotes them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ruvelo {

// "" when `path` (links followed) is a regular file, else why not: "no such file", "a directory",
// "not a regular file", "FOLDER is not a folder" (a part of the path is a file), or the system's
// reason. `missing`, when given, says whether nothing is there at all.
std::string regularFileProblem(const std::string& path, bool* missing = nullptr);

// Whether nothing exists at `path` (links followed): the case callers treat as "not set up".
bool fileMissing(const std::string& path);

// Reads all of `path` into `contents` when it is a regular file of at most `maxBytes` and reading
// succeeds; otherwise false and `why` says what is wrong (`missing`, when given, whether nothing is
// there at all). Never reads more than maxBytes + 1 bytes, so a file that grows while being read
// cannot take unbounded memory.
bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& contents, std::string& why,
                     bool* missing = nullptr);

// Removes a leading UTF-8 byte-order mark, which some editors write at the start of a text file.
void dropByteOrderMark(std::string& text);

// `text` with every control character (below 0x20, and 0x7f) written as \xNN, so that a message
// quoting a file's bytes stays one line and shows what is really there.
std::string printable(std::string_view text);

// `text` made printable, in double quotes: how messages quote what a file says. Longer than
// kMaxQuotedBytes, only its start is quoted, followed by "... (N bytes)", so a message stays short.
inline constexpr std::size_t kMaxQuotedBytes = 80;
std::string quotedText(std::string_view text);

}  // namespace ruvelo
