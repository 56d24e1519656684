#include "physics/debugger_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {
// Lines queued while the listener is slow; beyond this whole lines are dropped, never split.
constexpr size_t kMaxPendingBytes = 1 << 20;
}  // namespace

DebuggerConnection::~DebuggerConnection() {
  close();
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
  return true;
}

void DebuggerConnection::sendLine(const std::string& line) {
  if (fd_ < 0) return;
  if (pending_.size() + line.size() + 1 <= kMaxPendingBytes) {
    pending_ += line;
    pending_ += '\n';
  }
  while (!pending_.empty()) {
    const ssize_t sent = ::send(fd_, pending_.data(), pending_.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      pending_.erase(0, static_cast<size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;  // the rest goes with the next line
    } else {
      close();
      return;
    }
  }
}

void DebuggerConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pending_.clear();
}
