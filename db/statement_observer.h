#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace lumvik::db {

// Watches every statement the layer runs, for measurements: its text (code page 950 bytes) and the
// time spent executing it (started: true) or fetching a row of it (started: false). One per process,
// none by default.
using StatementObserver =
    std::function<void(const std::string& sql, std::chrono::nanoseconds spent, bool started)>;
void setStatementObserver(StatementObserver observer);

}  // namespace lumvik::db
