#pragma once

// lumvik-auto run as a process on a day of its own: a folder with the program, its files and both
// databases; the run's exit, log and steps (the test-only step switch names each statement and commit
// in a trace); both databases compared table by table with a reference run that nobody interrupted.

#include "tests/support/snapshot.h"
#include "tests/support/test_databases.h"

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lumvik::testing {

struct Exit {
    int raw = -1;  // as waitpid gives it
    std::string out, err;
    [[nodiscard]] bool completed() const;
    [[nodiscard]] bool killed() const;
    [[nodiscard]] int status() const;  // the exit status, -1 when it did not exit
    [[nodiscard]] std::string describe() const;
};

using Environment = std::vector<std::pair<std::string, std::string>>;
using Arguments = std::vector<std::string>;

// A plain run of the day: mode 0, the collector skipped.
extern const Arguments kPlainRun;
// The day again: mode 1, every date verified.
extern const Arguments kDayAgain;

// A folder holding the program with its settings and connection files beside it, and the two
// database files they name. With a server, the ERP database is reached through it.
class ProgramFolder : public TempDir {
  public:
    explicit ProgramFolder(TestServer server = {});

    // Both databases as they are in `start`; no process may have them open. A server gets a file of
    // a new name each time, as it may still hold the last one open for a moment.
    void copyDatabasesFrom(const std::filesystem::path& start);
    [[nodiscard]] const std::string& erpAddress() const { return erpAddress_; }
    // The ERP database's file, whoever reaches it.
    [[nodiscard]] std::filesystem::path erpFile() const { return path() / erpName_; }
    // A connection to the ERP database as the program reaches it.
    [[nodiscard]] std::unique_ptr<db::Connection> erpConnection(const std::string& name = "test") const;
    [[nodiscard]] Snapshot snapshot() const;

    // Starts the program with the extra environment (the LUMVIK_TEST_ variables of the test's own are
    // left out) and the arguments; standard output and error go to out.txt and err.txt. Throws when
    // it cannot be started.
    [[nodiscard]] pid_t start(const Environment& env = {}, const Arguments& args = kPlainRun) const;
    // Waits for it, at most `limit` (a run that hangs is killed and reported).
    [[nodiscard]] Exit wait(pid_t child, std::chrono::seconds limit = std::chrono::seconds(60)) const;
    [[nodiscard]] Exit run(const Environment& env = {}, const Arguments& args = kPlainRun) const;

    // The step switch's pause: the environment that pauses before step `step`, and waiting until the
    // program stands there (false after ten seconds, or when it ended first).
    [[nodiscard]] Environment pauseAt(std::size_t step) const;
    [[nodiscard]] bool waitUntilPaused(pid_t child) const;

  private:
    TestServer server_;
    std::string erpAddress_, erpName_ = "erp.fdb";
    int copies_ = 0;
};

// The steps of a run, step N at index N - 1, with ways to find a step by what it is.
struct Trace {
    std::vector<std::string> steps;

    explicit Trace(const std::filesystem::path& file = {});
    [[nodiscard]] const std::string& text(std::size_t step) const { return steps.at(step - 1); }
    [[nodiscard]] bool matches(std::size_t step, const std::string& pattern) const;
    // The `occurrence`-th step after `after` whose text matches; 0 when there is none.
    [[nodiscard]] std::size_t find(const std::string& pattern, int occurrence = 1,
                                   std::size_t after = 0) const;
    // The last step before `before` whose text matches; 0 when there is none.
    [[nodiscard]] std::size_t findLast(const std::string& pattern, std::size_t before) const;
    [[nodiscard]] std::size_t commitAfter(std::size_t step) const { return find("^commit$", 1, step); }
    // 1 for the first pass of the run, 2 for the second pass the verification asks for, ...: each pass
    // begins with the temporary product check (the transfer state is claimed before the first).
    [[nodiscard]] int passOf(std::size_t step) const;
};

// Finds a step in the trace of the uninterrupted run (0: not found). A point is found by what its step
// is and what came just before it, so that it stays in its place when the run gains or loses a
// statement elsewhere.
using Locate = std::function<std::size_t(const Trace&)>;

// The `occurrence`-th step matching `pattern`, counted after the step `from` finds.
[[nodiscard]] Locate at(std::string pattern, int occurrence = 1, Locate from = {});
[[nodiscard]] Locate after(Locate found);
[[nodiscard]] Locate after(const std::string& pattern);
[[nodiscard]] Locate commitAfter(Locate found);
[[nodiscard]] Locate commitAfter(const std::string& pattern);
// The last step matching `pattern` before the step `end` finds.
[[nodiscard]] Locate lastBefore(std::string pattern, Locate end);

// A chosen step of a run, where a test kills or stops it.
struct StepPoint {
    std::string where;     // what the run was doing, in words
    Locate locate;         // the step
    std::string step;      // what that step must be
    std::string previous;  // what the last step that took place must be
    // What the interrupted run's log ends with (a regular expression). The log names the phase and
    // some bills, which the statements, their values bound, do not.
    std::string logEnd;
    int pass = 1;  // 2: in the second pass the verification asks for
    // Finds the step in the reference's trace and checks it is what the point says.
    [[nodiscard]] std::size_t stepIn(const Trace& trace) const;
};

// Steps (regular expressions over the trace).
extern const std::string kCommit, kState, kStoreLines, kHeader, kLine, kMark, kPutBack, kTotals, kCostsY,
    kMidItems;
// A store update setting `column` to `mark`.
[[nodiscard]] std::string marking(const std::string& table, const std::string& mark,
                                  const char* column = "TRAN_CODE");
// Log endings (regular expressions).
extern const std::string kTime, kBegun, kZ999;

// One uninterrupted run, its trace and both databases before and after.
struct Reference {
    TempDir start;  // store.fdb and erp.fdb as the run starts
    ProgramFolder ran;
    Snapshot beginning, end;
    Trace trace;
    std::string log, failure;  // failure: how the run ended when it did not complete
    std::chrono::duration<double> took{};

    // `prepare` writes store.fdb and erp.fdb into the start folder. With a server, the run reaches the
    // ERP database through it, as the runs compared with this one do: its steps are not the embedded
    // engine's, since a server gets some of them in batches.
    Reference(const std::function<void(const std::filesystem::path& start)>& prepare, const Arguments& args,
              TestServer server = {});
};

// The crash day of fillDay, as a start folder for Reference.
void prepareDay(const std::filesystem::path& start);
// The databases `before` ended with, changed for a day again (changeForDayAgain).
void prepareDayAgain(const Reference& before, const std::filesystem::path& start);

}  // namespace lumvik::testing
