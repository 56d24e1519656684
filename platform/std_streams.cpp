#include "platform/std_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace ruvelo {
namespace {

std::string& failure() {
  static std::string why;
  return why;
}

}  // namespace

void reopenClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free number, which is this one since the ones below are open.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

bool standardOutputWritten() {
  if (!failure().empty()) return false;
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (flushed && !std::ferror(stdout) && !std::cout.bad()) return true;
  failure() = error != 0 ? std::strerror(error) : "write error";
  return false;
}

std::string standardOutputFailure() {
  return failure();
}

int finishStandardOutput(int status) {
  if (standardOutputWritten()) return status;
  std::cerr << "ruvelo: standard output could not be written: " << failure() << std::endl;
  return status == 0 ? kOutputFailedStatus : status;
}

}  // namespace ruvelo
