// Stopping `matte` from outside: an interrupt, a termination request or a hang-up ends the run
// between two steps, so that the cut-out this run created is removed before the process ends by
// the same signal, and a rerun with the same path can start.
#pragma once

#include <string>

#include "platform/result.h"

namespace person_cutout {

// From now on SIGINT, SIGTERM and SIGHUP are noted instead of ending the process at once; one
// that the process was started with set to be ignored stays ignored. The handler only records
// the signal, which is all a handler may safely do.
void catchStopSignals();

// The signal that asked the run to stop, or 0. Safe from any thread.
int stopSignal();

// Fails with "stopped by " + the signal's name once a stop signal has come; a run checks it
// between its steps.
platform::Result<void> unlessStopped();

// "SIGINT", "SIGTERM", "SIGHUP", or "signal " and the number for any other.
std::string signalName(int signal);

// Ends the process by `signal` with its default action, so that whoever started it sees it ended
// by that signal.
[[noreturn]] void endBySignal(int signal);

}  // namespace person_cutout
