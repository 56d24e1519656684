// SIGTERM and SIGHUP (a logout, `kill`, a closed terminal) end the run the way Escape does, so the
// run's recording is kept: the handler only notes the signal, and the frame loop reads the note.
#pragma once

#include <chrono>
#include <optional>

namespace ruvelo {

// Installs the handlers (once per process).
void catchStopSignals();
// Whether a stop signal arrived since catchStopSignals().
bool stopSignalled();

// A wait with a bound (a FIFO nobody reads, a lock another game holds) that a stop signal cuts
// short, so the run still ends and is kept: over() once `limit` has passed without progress, or
// kStopGrace after a stop signal (one that came before the wait included).
class StoppableWait {
 public:
  static constexpr std::chrono::milliseconds kStopGrace{200};
  explicit StoppableWait(std::chrono::milliseconds limit);
  // Something moved (bytes taken): the limit starts again.
  void progress();
  bool over();
  // Whether over() ended the wait because of a stop signal.
  bool stopped() const { return stopped_; }

 private:
  std::chrono::milliseconds limit_;
  std::chrono::steady_clock::time_point last_;
  std::optional<std::chrono::steady_clock::time_point> stopSeen_;
  bool stopped_ = false;
};

}  // namespace ruvelo
