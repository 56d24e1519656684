// The process's exit statuses that more than one module ends a run with.
#pragma once

namespace ruvelo {

// A run that started but failed while it ran: a developer flag's file (a screenshot, --audio-out,
// --record) that could not be written, standard output that could not be written, a replay that left
// its recorded run.
constexpr int kRunFailedStatus = 3;

}  // namespace ruvelo
