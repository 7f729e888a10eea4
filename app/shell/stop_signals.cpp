#include "app/shell/stop_signals.h"

#include "db/stop_request.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>
#endif

namespace lumvik {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long the run has to reach a step boundary before its statements are cancelled, and how long
// the whole stop may take before the process is ended at once.
constexpr auto kGrace = 1000ms;
constexpr auto kCancelEvery = 1000ms;
constexpr auto kDeadline = 9500ms;

// After the first request: cancels what still runs, and ends the process at a second request
// (`secondRequest` waits for one up to a time and returns its exit status, 0 when none came) or at
// the deadline.
template <class SecondRequest>
[[noreturn]] void superviseStop(int firstStatus, SecondRequest secondRequest) {
    const auto start = Clock::now();
    auto nextCancel = start + kGrace;
    for (;;) {
        const auto now = Clock::now();
        if (now >= start + kDeadline) std::_Exit(firstStatus);
        const auto until = std::min(nextCancel, start + kDeadline);
        if (const int status =
                secondRequest(std::chrono::duration_cast<std::chrono::milliseconds>(until - now)))
            std::_Exit(status);
        if (Clock::now() >= nextCancel) {
            db::stop::cancelRunning();
            nextCancel += kCancelEvery;
        }
    }
}

#ifdef _WIN32

BOOL WINAPI onConsoleEvent(DWORD event) {
    static HANDLE again = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (db::stop::requested()) {
        SetEvent(again);
        return TRUE;
    }
    constexpr int status = 128 + 15;  // as for SIGTERM
    db::stop::request(event == CTRL_C_EVENT ? "Ctrl+C" : event == CTRL_BREAK_EVENT ? "Ctrl+Break" : "close");
    std::thread([] {
        superviseStop(status, [](std::chrono::milliseconds wait) {
            return WaitForSingleObject(again, static_cast<DWORD>(wait.count())) == WAIT_OBJECT_0 ? status : 0;
        });
    }).detach();
    return TRUE;
}

}  // namespace

void installStopSignals() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

#else

const char* signalName(int signal) {
    switch (signal) {
        case SIGTERM:
            return "SIGTERM";
        case SIGINT:
            return "SIGINT";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "a signal";
    }
}

[[noreturn]] void waitForSignals(sigset_t signals) {
    int first = 0;
    while (sigwait(&signals, &first) != 0) {
    }
    db::stop::request(signalName(first));
    superviseStop(128 + first, [&](std::chrono::milliseconds wait) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
        const timespec timeout{static_cast<std::time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
        const int second = sigtimedwait(&signals, nullptr, &timeout);
        return second > 0 ? 128 + second : 0;
    });
}

}  // namespace

void installStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] { waitForSignals(signals); }).detach();
}

#endif

}  // namespace lumvik
