#pragma once

// The transfer run behind the OK button: checks that it may start, hands the ticked machines to the
// collector and waits for it, connects both databases, walks the four table families, runs the
// follow-up phases, verifies, repeats itself when the verification put bills back, and starts the
// uploader. It ends normally, with Abort (a quiet end after a warning box), or with an error that
// the caller shows; a stop request or a lock wait that ran out ends it with db::RunEnd, after the
// log line of the latter, which names the table and the step.
//
// A "day again" run (mode 1) leaves a record beside the program until its work is done; a run that
// finds one finishes that work first (unfinished_run.h).

#include "app/shell/form_core.h"
#include "transfer/context.h"

#include <optional>
#include <string>

namespace lumvik::transfer {

struct RunOptions {
    // Leave the collector out (the store database is already collected).
    bool skipCollector = false;
    // Ask the databases every look-up, statement by statement, and run every whole-table statement over
    // the whole table, instead of reading reference rows once and restricting those statements to the
    // rows they can change. The outcome is the same; the differential test and the benchmark compare.
    bool plainStatements = false;
    // Send the statements the run sends to a server in batches (db::Batch) on the embedded engine too,
    // where a round trip costs nothing: for the differential test.
    bool batchEverywhere = false;
    // This run finishes a recorded unfinished one: it does not look for one itself.
    bool finishing = false;
};

class TransferRun {
  public:
    explicit TransferRun(FormCore& form, RunOptions options = {});
    // A run whose choices come from `op` instead of the form's operator.
    TransferRun(FormCore& form, Operator& op, RunOptions options);

    // The OK button's handler: an unfinished "day again" run first, when one is recorded, then this
    // run. A re-run is a nested call of the run.
    void bsSkinButton1Click();

    // The text of the error that made the last connect step fail, if it failed.
    [[nodiscard]] const std::optional<std::string>& connectFailure() const { return connectFailure_; }
    [[nodiscard]] const RunCounts& counts() const { return counts_; }

  private:
    void finishUnfinishedRun();
    // One pass: the first, or a re-run (depth 1, 2) the verification asks for.
    void pass(int depth);
    void closedDayCheck(const std::string& chosenDateValue);
    void tempProductCheck(const std::string& code);
    void collectorHandOff();
    bool connect();
    void body(RunContext& run);
    void bodyNamingLockStep(RunContext& run);
    // The body, then the re-run the verification asks for, or the severe anomaly.
    void bodyAndRerun(RunContext& run, int depth);
    void startUploader(const std::string& chosenDateValue);

    FormCore& form_;
    Operator& op_;
    RunOptions options_;
    // The step the run is at, for the message of a lock wait that ran out.
    std::string step_;
    std::optional<std::string> connectFailure_;
    RunCounts counts_;
};

}  // namespace lumvik::transfer
