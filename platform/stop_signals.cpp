#include "platform/stop_signals.h"

#include <signal.h>

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

}  // namespace ruvelo
