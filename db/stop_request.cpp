#include "db/stop_request.h"

#include "db/connection.h"
#include "db/detail/open_connections.h"
#include "db/detail/status.h"
#include "db/run_end.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

namespace lumvik::db::stop {

namespace {

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    // Read without the lock by every stop point, so that a statement pays one load when nobody asked.
    std::atomic<bool> requested{false};
    bool armed = true;
    std::string cause;
    // Held while the handler is replaced or called, so that it is never called once replaced.
    std::mutex handlerMutex;
    std::function<void()> handler;
    // Open connections, and whether a cancel was sent to each since the last disarm.
    std::map<Connection*, bool> open;
};

// Never destroyed: the requesting thread may still use it while the process exits.
State& state() {
    static State* s = new State;
    return *s;
}

// Sends one cancel option to a connection's attachment; failures ("nothing to cancel") are expected.
void sendCancel(Connection* connection, int option) {
    Status st;
    connection->attachment()->cancelOperation(&st, option);
}

}  // namespace

void request(const std::string& cause) {
    State& s = state();
    {
        const std::lock_guard lock(s.mutex);
        if (s.requested) return;
        s.requested = true;
        s.cause = cause;
    }
    s.changed.notify_all();
    const std::lock_guard lock(s.handlerMutex);
    if (s.handler) s.handler();
}

bool requested() {
    return state().requested.load();
}

std::string cause() {
    const std::lock_guard lock(state().mutex);
    return state().cause;
}

void setRequestHandler(std::function<void()> handler) {
    State& s = state();
    const std::lock_guard lock(s.handlerMutex);
    s.handler = std::move(handler);
    if (s.handler && requested()) s.handler();
}

void point() {
    State& s = state();
    if (!s.requested.load()) return;
    std::string cause;
    {
        const std::lock_guard lock(s.mutex);
        if (!s.requested || !s.armed) return;
        cause = s.cause;
    }
    throw Stopped(cause);
}

void sleepFor(std::chrono::milliseconds duration) {
    State& s = state();
    {
        std::unique_lock lock(s.mutex);
        s.changed.wait_for(lock, duration, [&] { return s.requested.load(); });
    }
    point();
}

void disarm() {
    State& s = state();
    {
        const std::lock_guard lock(s.mutex);
        s.armed = false;
        for (auto& [connection, cancelled] : s.open) {
            if (!cancelled) continue;
            // Disabling and enabling again drops a cancel that is still pending.
            sendCancel(connection, fb_cancel_disable);
            sendCancel(connection, fb_cancel_enable);
            cancelled = false;
        }
    }
    s.changed.notify_all();
}

bool armed() {
    const std::lock_guard lock(state().mutex);
    return state().armed;
}

bool waitUntilDisarmed(std::chrono::milliseconds timeout) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, timeout, [&] { return !s.armed; });
}

void cancelRunning() {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    if (!s.armed) return;
    for (auto& [connection, cancelled] : s.open) {
        sendCancel(connection, fb_cancel_raise);
        cancelled = true;
    }
}

void reset() {
    State& s = state();
    const std::lock_guard lock(s.mutex);
    s.requested = false;
    s.armed = true;
    s.cause.clear();
}

}  // namespace lumvik::db::stop

namespace lumvik::db {

void addOpenConnection(Connection* connection) {
    auto& s = stop::state();
    const std::lock_guard lock(s.mutex);
    s.open[connection] = false;
}

void removeOpenConnection(Connection* connection) {
    auto& s = stop::state();
    const std::lock_guard lock(s.mutex);
    s.open.erase(connection);
}

}  // namespace lumvik::db
