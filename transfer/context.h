#pragma once

// What every phase of a transfer run shares: the window's objects, the run's readings of the
// operator's choices, and counts for the closing report.

#include "app/shell/form_core.h"
#include "app/shell/run_history.h"
#include "db/tables.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace lumvik::transfer {

// How a run ended quietly: a refusal the run decides itself, shown in a warning box.
enum class QuietEnd { ClosedDay, TempProductMissing, SevereAnomaly };

// A silent end of the run: the top-level handler shows nothing for it.
class Abort : public std::exception {
  public:
    explicit Abort(QuietEnd reason) : reason_(reason) {}
    [[nodiscard]] QuietEnd reason() const { return reason_; }
    [[nodiscard]] const char* what() const noexcept override { return "Operation aborted"; }

  private:
    QuietEnd reason_;
};

struct RunCounts {
    std::uint64_t billsCopied = 0;   // header inserts that went through
    std::uint64_t linesCopied = 0;   // line inserts that went through
    std::uint64_t billsSkipped = 0;  // exported bills
    MovedCounts moved;               // by family and side table, for the run history
    int family = -1;                 // the family whose bills are being copied, -1 between families
};

struct RunCaches;

struct RunContext {
    RunContext(FormCore& form, Operator& op, std::string chosenDate, std::string chosenDateValue,
               std::string tempProduct, RunCounts& counts, bool plainStatements = false,
               bool batchEverywhere = false);
    ~RunContext();
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    FormCore& form;
    // The chosen date as the date field's text reads it (families, side tables).
    std::string chosenDate;
    // The chosen date from the date field's value (closed-day check, LOC_IP.TXT, verification range,
    // the uploader in mode 1). Both readings give the same day whenever the text is a date.
    std::string chosenDateValue;
    // The temporary product field, trimmed.
    std::string tempProduct;
    RunCounts& counts;
    // Look-ups answered from memory, whole-table statements restricted to the rows they can change
    // (RunOptions::plainStatements turns both off). Each checks on its own that it may be used.
    const bool fromMemory;
    // What the run has read once (reference tables), by the phases that use it.
    RunCaches& caches() { return *caches_; }
    // Whether each connection's texts can be compared in memory (key_index.h), asked once.
    [[nodiscard]] bool plainErpTexts();
    [[nodiscard]] bool plainStoreTexts();
    // Where the run queues ERP writes that may go to the server together (db/batch.h): on a server,
    // when the run does not ask statement by statement; null otherwise. Created at its first use.
    db::Batch* erpBatch();
    // A log line, in its place after what the ERP batch holds.
    void log(const std::string& line);
    // An insert of the bill copy: queued in the ERP batch when there is one (then a failure logs
    // `failedLine` and a success is counted once the block has run), else run at once and counted, a
    // failure thrown. True when it was queued.
    bool insertCounted(const std::string& sql, std::vector<db::Value> values, std::string failedLine,
                       std::uint64_t& counter);

    // The run's operator: the window's, or one that answers a recorded run's choices (unfinished_run.h).
    [[nodiscard]] Operator& op() const { return op_; }
    [[nodiscard]] Platform& platform() const { return form.platform(); }
    // Today as "yyyy/mm/dd", read from the clock at the moment of the call.
    [[nodiscard]] std::string today() const;
    // The time of day as "hh:nn:ss", for the run's time lines.
    [[nodiscard]] std::string timeLine() const;

    // Makes values fit the columns of a query as typed fields take them (an empty text into a
    // number column is NULL). The columns are looked up once per run.
    void fitToColumns(std::vector<db::Value>& values, const std::string& selectSql);

  private:
    Operator& op_;
    std::map<std::string, std::vector<db::Column>> columns_;
    std::unique_ptr<RunCaches> caches_;
    std::optional<bool> plainErpTexts_, plainStoreTexts_;
    bool batchEverywhere_;
    std::optional<std::unique_ptr<db::Batch>> erpBatch_;
};

// The statements of one unit of work on a connection share one transaction (db::StatementGroup). The
// ERP writes of a unit (bills, a side table, a check) are committed before any store statement that
// depends on them runs, so a stop in between never leaves a store mark ahead of the ERP rows it stands
// for; reads of the store may share one read-only group.
using db::StatementGroup;

}  // namespace lumvik::transfer
