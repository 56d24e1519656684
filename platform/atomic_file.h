// The one way the game writes a file (recordings, the best result, --record, --audio-out): the
// target is either left as it was or replaced whole, never half-written, never written through a link.
//
// A regular target (or one not there yet) is written to a temporary file created beside it under a
// random name (.NAME.tmp-PID-RANDOM, O_EXCL and O_NOFOLLOW, mode 0666 less the umask), synced, renamed
// over the target, and the folder synced. Bytes the file does not take (a full disk) stay in memory
// and are written at the end, after the bytes that did reach the file, so nothing is lost or doubled.
// A target that is a device or a FIFO is written directly, never replaced; a FIFO nobody reads is
// waited for a few seconds at most (less once a stop signal came), then given up with a reason. A
// symbolic link as the target, and an existing target without write permission, are refused.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ruvelo {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // an uncommitted temporary file is removed; the target stays as it was
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Starts writing `path` (the folder is created when missing). False with `why` ("... is a
  // symbolic link", "... is not writable", "cannot create ...") when the target cannot be written.
  bool open(const std::string& path, std::string& why);
  bool isOpen() const { return fd_ >= 0 || direct_; }

  // Appends bytes. What the file does not take now is kept in memory and written by commit().
  void append(const void* data, std::size_t size);
  void append(const std::string& bytes) { append(bytes.data(), bytes.size()); }
  // Replaces `size` bytes at `offset`, all already appended (a header completed at the end).
  void patch(std::size_t offset, const void* data, std::size_t size);
  // Everything appended so far; false when the written part cannot be read back.
  bool contents(std::string& out) const;
  std::uint64_t size() const { return written_ + pending_.size(); }
  // Whether some bytes wait in memory because the file would not take them.
  bool behind() const { return !pending_.empty() && fd_ >= 0; }

  // Writes what is left, syncs and puts the file in place. False with `why` when any step fails; the
  // target is then left as it was (a device or FIFO may have taken part of the bytes).
  bool commit(std::string& why);
  // The first half of commit(): everything written and synced, the target not yet replaced. Files
  // that must change together are all prepared before any is committed, so a full disk leaves
  // every one as it was. (A device or FIFO has nothing to prepare.)
  bool prepare(std::string& why);
  // Gives up: the temporary file is removed.
  void abandon();

  const std::string& path() const { return path_; }

 private:
  bool writePending();

  std::string path_, temp_;
  int fd_ = -1;
  bool direct_ = false;    // a device or FIFO: every byte is kept and written at commit()
  bool prepared_ = false;  // written, synced and closed: commit() only renames
  std::uint64_t written_ = 0;
  std::string pending_;
  // Changes to bytes already in the file, written at commit().
  std::vector<std::pair<std::uint64_t, std::string>> patches_;
  int lastErrno_ = 0;
};

// `contents` into `path` through an AtomicFile. False with `why` on any failure.
bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& why);

// Removes the temporary files of `path` (.NAME.tmp-PID-RANDOM, and NAME.tmp-PID of older versions)
// left by processes that no longer run. Returns how many were removed.
int removeStaleTemporaries(const std::string& path);

// For tests: every write the writer makes goes through `write` (pwrite's arguments and result)
// while it is set; an empty function restores the system call.
void setFileWriteForTests(std::function<ssize_t(int fd, const void* data, std::size_t size, off_t at)> write);

}  // namespace ruvelo
