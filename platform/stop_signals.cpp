#include "platform/stop_signals.h"

#include <signal.h>

#include <algorithm>
#include <atomic>

namespace ruvelo {
namespace {

std::atomic<bool> gStopped{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

void noteStop(int) {
  gStopped.store(true);
}

}  // namespace

void catchStopSignals() {
  struct sigaction action {};
  action.sa_handler = noteStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

bool stopSignalled() {
  return gStopped.load();
}

StoppableWait::StoppableWait(std::chrono::milliseconds limit)
    : limit_(limit), last_(std::chrono::steady_clock::now()) {}

void StoppableWait::progress() {
  last_ = std::chrono::steady_clock::now();
}

bool StoppableWait::over() {
  const auto now = std::chrono::steady_clock::now();
  if (stopSignalled() && !stopSeen_) stopSeen_ = now;
  if (stopSeen_ && now - std::max(*stopSeen_, last_) >= kStopGrace) return stopped_ = true;
  return now - last_ >= limit_;
}

}  // namespace ruvelo
