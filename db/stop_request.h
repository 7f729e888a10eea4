#pragma once

// A request to stop the run early, made by another thread (the one that waits for stop signals) and
// honoured by the run at its step boundaries: before every statement, before every commit of a write,
// and in every wait. So no statement is cut in half, and the open statement group is rolled back as
// the Stopped failure (run_end.h) unwinds the run. A statement that runs on (a long query, a wait on a
// lock) is cancelled by the requesting thread after a grace period, and its failure is the same stop.
//
// Threading: request(), requested(), waitUntilDisarmed() and cancelRunning() may be called from any
// thread; point(), sleepFor() and disarm() from the run's thread.

#include <chrono>
#include <functional>
#include <string>

namespace lumvik::db::stop {

// Asks the run to stop; `cause` says why ("SIGTERM"). Only the first request counts. Wakes every
// sleepFor() and calls the request handler.
void request(const std::string& cause);
[[nodiscard]] bool requested();
[[nodiscard]] std::string cause();

// A handler called (on the requesting thread) when a stop is requested, or at once when one already
// was; the window uses it to post its closing to its own thread. Empty: none.
void setRequestHandler(std::function<void()> handler);

// A step boundary: throws Stopped when a stop was requested and the run is still armed.
void point();

// Waits for `duration`, or less when a stop is requested, then passes a stop point.
void sleepFor(std::chrono::milliseconds duration);

// The run is over and only its clean-up is left (giving the transfer state back): from now on stop
// points let everything through and nothing is cancelled any more. A cancel that reached a connection
// after its statement had ended is cleared, so that the clean-up's statements are not cancelled.
void disarm();
[[nodiscard]] bool armed();

// For the requesting thread: waits up to `timeout` for disarm(); true when it happened.
[[nodiscard]] bool waitUntilDisarmed(std::chrono::milliseconds timeout);

// Cancels whatever each open connection is running, while armed. A connection with nothing running
// is left alone.
void cancelRunning();

// Forgets a request and arms again, for tests that run several runs in one process.
void reset();

}  // namespace lumvik::db::stop
