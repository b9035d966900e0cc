// Stopping a run on request. SIGINT, SIGTERM and SIGHUP (Ctrl-C and Ctrl-Break on Windows) only
// note the request; the operations look at it at their safe points and stop there, so the
// linker is released, a temporary file is removed and the simulator writes its counters, as on
// any other exit. A second request while the first is still pending ends the program at once,
// with the terminal put back first.
#pragma once

namespace tidewick {

// Installs the handlers, once, at the start of main. A signal the caller set to be ignored
// (nohup, a background job) stays ignored.
void ArmInterruption();

// The signal that asked the run to stop (SIGINT for Ctrl-C on Windows), or 0.
int InterruptSignal();
inline bool Interrupted() {
    return InterruptSignal() != 0;
}

// POSIX: a descriptor that becomes readable once a stop was asked for, so a blocking wait for
// input can wait for it as well. -1 where there is none.
int InterruptionWakeFd();

// Prints "\rInterrupted!\n" (once per run), sets ErrorOccurred and returns 1.
int ReportInterruption();

}  // namespace tidewick
