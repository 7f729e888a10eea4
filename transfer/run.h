#pragma once

// The transfer run behind the OK button: checks that it may start, hands the ticked machines to the
// collector and waits for it, connects both databases, walks the four table families, runs the
// follow-up phases, verifies, repeats itself when the verification put bills back, and starts the
// uploader. It ends normally, with Abort (a quiet end after a warning box), or with an error that
// the caller shows.

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
};

class TransferRun {
  public:
    explicit TransferRun(FormCore& form, RunOptions options = {});

    // The OK button's handler. A re-run is a nested call.
    void bsSkinButton1Click();

    // The text of the error that made the last connect step fail, if it failed.
    [[nodiscard]] const std::optional<std::string>& connectFailure() const { return connectFailure_; }
    [[nodiscard]] const RunCounts& counts() const { return counts_; }

  private:
    void closedDayCheck(const std::string& chosenDateValue);
    void tempProductCheck(const std::string& code);
    void collectorHandOff();
    bool connect();
    void body(RunContext& run);
    void startUploader(const std::string& chosenDateValue);

    FormCore& form_;
    RunOptions options_;
    std::optional<std::string> connectFailure_;
    RunCounts counts_;
};

}  // namespace lumvik::transfer
