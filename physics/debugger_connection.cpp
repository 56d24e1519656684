#include "physics/debugger_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iostream>

namespace {
// Lines queued while the listener is slow; beyond this whole lines are dropped, never split.
constexpr size_t kMaxPendingBytes = 1 << 20;
// At exit, the part of the wait kept for finishing a line the socket has taken only part of.
constexpr int kLineEndReserveMs = 100;
}  // namespace

DebuggerConnection::~DebuggerConnection() {
  finish();
}

bool DebuggerConnection::connect(uint16_t port, int timeoutMs) {
  close();
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (rc < 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, timeoutMs) == 1) {
      int error = 0;
      socklen_t length = sizeof error;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
      rc = error ? -1 : 0;
    } else {
      rc = -1;
    }
  }
  if (rc != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  dropped_ = 0;
  return true;
}

void DebuggerConnection::sendLine(const std::string& line) {
  if (fd_ < 0) return;
  if (pending_.size() + line.size() + 1 <= kMaxPendingBytes) {
    pending_ += line;
    pending_ += '\n';
  } else {
    ++dropped_;
  }
  if (!pump()) close();
}

bool DebuggerConnection::pump() {
  while (!pending_.empty()) {
    const ssize_t sent = ::send(fd_, pending_.data(), pending_.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      midLine_ = pending_[static_cast<size_t>(sent) - 1] != '\n';
      pending_.erase(0, static_cast<size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;  // the rest goes with the next line
    } else {
      return false;
    }
  }
  return true;
}

long DebuggerConnection::finish(int maxWaitMs) {
  if (fd_ < 0) return 0;
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  bool peerGone = false;
  // Sends `queue` until it is empty, the peer is gone, or `untilMs` after the start.
  auto sendUntil = [&](int untilMs) {
    while (!pending_.empty() && !peerGone) {
      const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
      const int left = untilMs - static_cast<int>(spent.count());
      if (left <= 0) return;
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, left) < 0 && errno != EINTR) return;
      peerGone = !pump();
    }
  };
  auto lines = [](const std::string& bytes) {
    return static_cast<long>(std::count(bytes.begin(), bytes.end(), '\n'));
  };
  sendUntil(std::max(0, maxWaitMs - kLineEndReserveMs));
  // A line the socket took part of is finished in the time kept for it, so the stream ends on a line
  // end; the whole lines after it are dropped.
  long unsent = 0;
  if (midLine_ && !pending_.empty() && !peerGone) {
    const size_t lineEnd = pending_.find('\n') + 1;
    unsent += lines(pending_.substr(lineEnd));
    pending_.erase(lineEnd);
    sendUntil(maxWaitMs);
  }
  unsent += lines(pending_);
  const bool cut = midLine_ && !pending_.empty();
  dropped_ += unsent;
  const long dropped = dropped_;
  if (dropped > 0)
    std::cerr << "ruvelo: physics debugger: " << dropped << (dropped == 1 ? " line" : " lines")
              << " dropped, the listener did not keep up" << (cut ? "; the last line sent is cut short" : "")
              << std::endl;
  close();
  return dropped;
}

void DebuggerConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pending_.clear();
  midLine_ = false;
}
