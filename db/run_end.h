#pragma once

// Failures that end the whole run wherever they happen: a stop request, and a lock that another
// connection held for longer than the run waits.
//
// They are deliberately not std::exception. The bill, insert and line guards log a failing bill or
// line and go on, the row sets drop a refused row, and a family holds a failed marking back: all of
// them catch std::exception or DbError, and none of them may swallow these (the way a thread's
// cancellation passes every ordinary handler). Whoever ends the run catches RunEnd itself.

#include <string>

namespace lumvik::db {

class RunEnd {
  public:
    explicit RunEnd(std::string message);
    RunEnd(const RunEnd& other);
    RunEnd& operator=(const RunEnd& other) = default;
    virtual ~RunEnd();
    [[nodiscard]] const char* what() const noexcept { return message_.c_str(); }

  protected:
    std::string message_;
};

// Whether a RunEnd is on its way up the stack: a statement group that is left meanwhile rolls back
// instead of committing, so that the run ends as a kill at that point would end it.
[[nodiscard]] bool runEndInFlight();

// The run was asked to stop (a signal) and stopped at a step boundary.
class Stopped : public RunEnd {
  public:
    explicit Stopped(const std::string& cause);
};

// A statement met a row that another connection holds (or changed meanwhile) and waited for it as long
// as the connection allows. Names the table, and the step of the run once the run has added it.
class LockTimeout : public RunEnd {
  public:
    LockTimeout(std::string table, int waitedSeconds, std::string serverText);
    [[nodiscard]] const std::string& table() const { return table_; }
    [[nodiscard]] const std::string& step() const { return step_; }
    [[nodiscard]] const std::string& serverText() const { return serverText_; }
    // Adds the step of the run it happened in, once.
    void setStep(const std::string& step);

  private:
    void compose();

    std::string table_;
    int waitedSeconds_;
    std::string serverText_;
    std::string step_;
};

}  // namespace lumvik::db
