// SIGTERM and SIGHUP (a logout, `kill`, a closed terminal) end the run the way Escape does, so the
// run's recording is kept: the handler only notes the signal, and the frame loop reads the note.
#pragma once

namespace ruvelo {

// Installs the handlers (once per process).
void catchStopSignals();
// Whether a stop signal arrived since catchStopSignals().
bool stopSignalled();

}  // namespace ruvelo
