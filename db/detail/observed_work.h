#pragma once

// Internal to the database layer: the timer that reports a statement's work to the statement
// observer (statement_observer.h).

#include <chrono>
#include <string>

namespace lumvik::db {

// Times one statement's work for the observer, when there is one. The text must outlive the timer.
class ObservedWork {
  public:
    ObservedWork(const std::string& sql, bool started);
    ~ObservedWork();
    ObservedWork(const ObservedWork&) = delete;
    ObservedWork& operator=(const ObservedWork&) = delete;

  private:
    const std::string& sql_;
    bool started_;
    std::chrono::steady_clock::time_point start_{};
};

}  // namespace lumvik::db
