#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/stop_signals.h"
#include "platform/user_dirs.h"

namespace ruvelo {
namespace {

std::function<ssize_t(int, const void*, std::size_t, off_t)>& writeHook() {
  static std::function<ssize_t(int, const void*, std::size_t, off_t)> hook;
  return hook;
}

// One write: at `at`, or at the current position when `at` is -1 (a FIFO or a device).
ssize_t writeOnce(int fd, const void* data, std::size_t size, off_t at) {
  if (writeHook()) return writeHook()(fd, data, size, at);
  return at < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, at);
}

// Writes all of `size` bytes, retrying interrupted and short writes; how many went in. A write that
// takes nothing more ends it with errno set.
std::size_t writeAll(int fd, const char* data, std::size_t size, off_t at) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = writeOnce(fd, data + done, size - done, at < 0 ? -1 : at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::string errnoText(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

std::string parentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string randomHex() {
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // No entropy yet: the clock still makes the name hard to guess ahead of time.
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    for (std::size_t i = 0; i < sizeof bytes; ++i) bytes[i] ^= static_cast<unsigned char>(ticks >> (8 * i));
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

// How long a FIFO may go without a reader, or without taking bytes, before its write is given up.
constexpr std::chrono::milliseconds kPipeWait{5000};

// Opens a FIFO or device for writing without blocking. A FIFO that nobody has open for reading is
// waited for, within kPipeWait (a stop signal cuts it short); -1 with `why` when it cannot be had.
int openDirect(const std::string& path, std::string& why) {
  StoppableWait wait(kPipeWait);
  while (true) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) return fd;
    struct stat info {};
    const bool fifo = ::lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
    if (errno != ENXIO || !fifo) {
      why = "cannot open " + path + ": " + errnoText(errno);
      return -1;
    }
    if (wait.over()) {
      why = "nobody reads " + path +
            (wait.stopped() ? " (the wait was stopped)" : " (waited 5 s for a reader)");
      return -1;
    }
    ::poll(nullptr, 0, 20);
  }
}

// Writes all of `bytes` to a FIFO or device opened without blocking. While it takes nothing it is
// waited for, within kPipeWait of the last bytes it took (a stop signal cuts it short). A reader
// that goes away gives EPIPE, not the signal that would end the game.
bool writeDirect(int fd, const std::string& bytes, const std::string& path, std::string& why) {
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &previous);
  StoppableWait wait(kPipeWait);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = writeOnce(fd, bytes.data() + done, bytes.size() - done, -1);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      wait.progress();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      why = "cannot write " + path + ": " + errnoText(n == 0 ? ENOSPC : errno);
      break;
    }
    if (wait.over()) {
      why = "nobody reads " + path + " (" + std::to_string(done) + " of " + std::to_string(bytes.size()) +
            " bytes taken" + (wait.stopped() ? ", the wait was stopped)" : ", then none for 5 s)");
      break;
    }
    pollfd ready{fd, POLLOUT, 0};
    ::poll(&ready, 1, 20);
  }
  ::sigaction(SIGPIPE, &previous, nullptr);
  return done == bytes.size();
}

void syncFolder(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The PID in a temporary name of `base` (".BASE.tmp-PID-HEX" or "BASE.tmp-PID"), or 0.
long temporaryPid(const std::string& name, const std::string& base) {
  std::string rest;
  bool random = false;
  const std::string current = "." + base + ".tmp-", older = base + ".tmp-";
  if (name.rfind(current, 0) == 0) {
    rest = name.substr(current.size());
    random = true;
  } else if (name.rfind(older, 0) == 0) {
    rest = name.substr(older.size());
  } else {
    return 0;
  }
  std::size_t digits = 0;
  while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
  if (digits == 0 || digits > 9) return 0;
  const std::string tail = rest.substr(digits);
  if (random ? (tail.size() < 2 || tail[0] != '-' ||
                tail.find_first_not_of("0123456789abcdef", 1) != std::string::npos)
             : !tail.empty())
    return 0;
  return std::strtol(rest.substr(0, digits).c_str(), nullptr, 10);
}

}  // namespace

void setFileWriteForTests(std::function<ssize_t(int, const void*, std::size_t, off_t)> write) {
  writeHook() = std::move(write);
}

AtomicFile::~AtomicFile() {
  abandon();
}

bool AtomicFile::open(const std::string& path, std::string& why) {
  abandon();
  path_ = path;
  written_ = 0;
  pending_.clear();
  patches_.clear();
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (S_ISLNK(info.st_mode)) {
      why = path + " is a symbolic link (not followed)";
      return false;
    }
    if (S_ISDIR(info.st_mode) || S_ISSOCK(info.st_mode)) {
      why = path + (S_ISDIR(info.st_mode) ? " is a folder" : " is a socket");
      return false;
    }
    // Marked read-only by its owner: refused even where the permissions would let us through.
    if (::access(path.c_str(), W_OK) != 0 || (info.st_mode & 0222) == 0) {
      why = path + " is not writable";
      return false;
    }
    if (!S_ISREG(info.st_mode)) {
      direct_ = true;
      return true;
    }
  } else if (errno != ENOENT) {
    why = "cannot reach " + path + ": " + errnoText(errno);
    return false;
  }
  const std::string dir = parentOf(path);
  if (!makeDirs(dir, why)) return false;
  for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
    temp_ = dir + "/." + baseOf(path) + ".tmp-" + std::to_string(::getpid()) + "-" + randomHex();
    fd_ = ::open(temp_.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    why = "cannot create " + temp_ + ": " + errnoText(errno);
    temp_.clear();
    return false;
  }
  return true;
}

bool AtomicFile::writePending() {
  if (fd_ < 0 || pending_.empty()) return pending_.empty();
  errno = 0;
  const std::size_t done = writeAll(fd_, pending_.data(), pending_.size(), static_cast<off_t>(written_));
  if (done < pending_.size()) lastErrno_ = errno;
  pending_.erase(0, done);
  written_ += done;
  return pending_.empty();
}

void AtomicFile::append(const void* data, std::size_t size) {
  pending_.append(static_cast<const char*>(data), size);
  if (!direct_) writePending();
}

void AtomicFile::patch(std::size_t offset, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t at = offset + i;
    if (at >= size_t(written_) + pending_.size()) return;
    if (at >= written_) {
      pending_[static_cast<std::size_t>(at - written_)] = bytes[i];
    } else {
      if (patches_.empty() || patches_.back().first + patches_.back().second.size() != at)
        patches_.emplace_back(at, std::string());
      patches_.back().second += bytes[i];
    }
  }
}

bool AtomicFile::contents(std::string& out) const {
  out.clear();
  if (written_ > 0) {
    const int fd = ::open(temp_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat mine {
    }, read{};
    if (fd < 0) return false;
    const bool same = ::fstat(fd_, &mine) == 0 && ::fstat(fd, &read) == 0 && mine.st_ino == read.st_ino &&
                      mine.st_dev == read.st_dev;
    out.resize(static_cast<std::size_t>(written_));
    std::size_t done = 0;
    while (same && done < out.size()) {
      const ssize_t n = ::pread(fd, &out[done], out.size() - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!same || done < out.size()) {
      out.clear();
      return false;
    }
    for (const auto& p : patches_) out.replace(static_cast<std::size_t>(p.first), p.second.size(), p.second);
  }
  out += pending_;
  return true;
}

bool AtomicFile::commit(std::string& why) {
  if (direct_) {
    direct_ = false;
    const int fd = openDirect(path_, why);
    if (fd < 0) {
      pending_.clear();
      return false;
    }
    const bool all = writeDirect(fd, pending_, path_, why);
    pending_.clear();
    if (::close(fd) != 0 && all) {
      why = "cannot write " + path_ + ": " + errnoText(errno);
      return false;
    }
    return all;
  }
  if (!prepared_ && !prepare(why)) return false;
  prepared_ = false;
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    why = "cannot rename " + temp_ + " to " + path_ + ": " + errnoText(errno);
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  syncFolder(parentOf(path_));
  return true;
}

bool AtomicFile::prepare(std::string& why) {
  if (direct_ || prepared_) return true;
  if (fd_ < 0) {
    why = "no file to write " + path_ + " through";
    return false;
  }
  bool ok = writePending();
  if (!ok) why = "cannot write " + temp_ + ": " + errnoText(lastErrno_);
  for (const auto& p : patches_) {
    errno = 0;
    if (ok &&
        writeAll(fd_, p.second.data(), p.second.size(), static_cast<off_t>(p.first)) != p.second.size()) {
      why = "cannot write " + temp_ + ": " + errnoText(errno);
      ok = false;
    }
  }
  if (ok && ::fsync(fd_) != 0) {
    why = "cannot flush " + temp_ + ": " + errnoText(errno);
    ok = false;
  }
  const int closed = ::close(fd_);
  fd_ = -1;
  if (ok && closed != 0) {
    why = "cannot close " + temp_ + ": " + errnoText(errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  prepared_ = true;
  return true;
}

void AtomicFile::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  direct_ = false;
  prepared_ = false;
}

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string& why) {
  AtomicFile file;
  if (!file.open(path, why)) return false;
  file.append(contents);
  return file.commit(why);
}

int removeStaleTemporaries(const std::string& path) {
  const std::string dir = parentOf(path), base = baseOf(path);
  DIR* folder = ::opendir(dir.c_str());
  if (!folder) return 0;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(folder)) {
    const long pid = temporaryPid(entry->d_name, base);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(entry->d_name);
  }
  ::closedir(folder);
  int removed = 0;
  for (const std::string& name : stale) removed += ::unlink((dir + "/" + name).c_str()) == 0;
  return removed;
}

}  // namespace ruvelo
