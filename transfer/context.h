#pragma once

// What every phase of a transfer run shares: the window's objects, the run's readings of the
// operator's choices, and counts for the closing report.

#include "app/shell/form_core.h"
#include "app/shell/run_history.h"
#include "db/tables.h"

#include <cstdint>
#include <map>
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

struct RunContext {
    RunContext(FormCore& form, Operator& op, std::string chosenDate, std::string chosenDateValue,
               std::string tempProduct, RunCounts& counts)
        : form(form),
          chosenDate(std::move(chosenDate)),
          chosenDateValue(std::move(chosenDateValue)),
          tempProduct(std::move(tempProduct)),
          counts(counts),
          op_(op) {}

    FormCore& form;
    // The chosen date as the date field's text reads it (families, side tables).
    std::string chosenDate;
    // The chosen date from the date field's value (closed-day check, LOC_IP.TXT, verification range,
    // the uploader in mode 1). Both readings give the same day whenever the text is a date.
    std::string chosenDateValue;
    // The temporary product field, trimmed.
    std::string tempProduct;
    RunCounts& counts;

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
};

// The statements of one unit of work on a connection share one transaction (db::StatementGroup). The
// ERP writes of a unit (bills, a side table, a check) are committed before any store statement that
// depends on them runs, so a stop in between never leaves a store mark ahead of the ERP rows it stands
// for; reads of the store may share one read-only group.
using db::StatementGroup;

}  // namespace lumvik::transfer
