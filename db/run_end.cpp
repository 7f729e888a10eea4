#include "db/run_end.h"

#include <atomic>
#include <utility>

namespace lumvik::db {

namespace {

// Every live RunEnd object, the thrown one and its copies.
std::atomic<int> liveRunEnds{0};

}  // namespace

RunEnd::RunEnd(std::string message) : message_(std::move(message)) {
    ++liveRunEnds;
}

RunEnd::RunEnd(const RunEnd& other) : message_(other.message_) {
    ++liveRunEnds;
}

RunEnd::~RunEnd() {
    --liveRunEnds;
}

bool runEndInFlight() {
    return liveRunEnds.load() > 0;
}

Stopped::Stopped(const std::string& cause) : RunEnd("the transfer was stopped (" + cause + ")") {}

LockTimeout::LockTimeout(std::string table, int waitedSeconds, std::string serverText)
    : RunEnd(""),
      table_(std::move(table)),
      waitedSeconds_(waitedSeconds),
      serverText_(std::move(serverText)) {
    compose();
}

void LockTimeout::setStep(const std::string& step) {
    if (!step_.empty()) return;
    step_ = step;
    compose();
}

void LockTimeout::compose() {
    message_ = "a row of " + (table_.empty() ? std::string("a table") : table_) +
               " is locked or was changed by another connection; the transfer waited " +
               (waitedSeconds_ > 0 ? "at most " + std::to_string(waitedSeconds_) + " s" : "not at all") +
               " and stopped" + (step_.empty() ? "" : " at: " + step_);
}

}  // namespace lumvik::db
