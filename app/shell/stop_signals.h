#pragma once

// A stop on a signal: SIGTERM, SIGINT and SIGHUP (a scheduler's time limit, `timeout`, `systemctl
// stop`, Ctrl+C, a closed terminal; on Windows the console's Ctrl+C, Ctrl+Break and close) become a
// stop request for the run (db/stop_request.h) instead of killing the process.
//
// The signals are blocked in the process's signal mask before any other thread exists and taken by
// one thread of our own that waits for them. Every later thread, the database client library's
// included, inherits the mask, so the client library's own signal handlers never run: they would
// start shutting down every connection on a thread of their own while the run still uses them.
//
// After the first signal: the run stops at its next step boundary; a statement still running after a
// second is cancelled (again every second); a second signal, or a stop that has not ended the process
// within 9.5 seconds, ends the process at once with status 128 + the signal's number, leaving what a
// kill leaves (the next run takes the transfer state over).

namespace lumvik {

// The exit status of a run that was stopped.
inline constexpr int kStoppedStatus = 5;

// Call first thing in main, before any thread is started and before the client library is loaded.
void installStopSignals();

}  // namespace lumvik
