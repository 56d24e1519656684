// The standard streams as the game relies on them: open from the start, and standard output written
// for real (a full disk or a closed pipe is a failed run, not a quiet one).
#pragma once

#include <string>

namespace ruvelo {

// Like a developer flag that fails while the game runs.
constexpr int kOutputFailedStatus = 3;

// Opens each of descriptors 0-2 that is closed on /dev/null. Called first thing: otherwise the next
// file or socket opened (the X connection) takes the free number and console lines go into it.
void reopenClosedStandardStreams();

// Flushes standard output and tells whether everything written to it so far arrived. The first
// failure is kept (see standardOutputFailure()).
bool standardOutputWritten();
// Why standard output failed ("" while it has not).
std::string standardOutputFailure();

// Status to end with: a run whose standard output could not be written ends with status 3 and one
// line on standard error, unless it already failed otherwise.
int finishStandardOutput(int status);

}  // namespace ruvelo
