#pragma once

// How the side tables move their store rows: the rows are claimed for the run by a mark on TRN_CODE,
// the claimed rows are read and each is looked up and written in the ERP, all those ERP writes in one
// transaction, and the caller then marks the claimed rows moved.

#include "transfer/context.h"
#include "transfer/key_index.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumvik::transfer {

// The mark a side table claims its rows with, and the condition of the rows a mode 0 run claims (those
// not yet marked moved).
struct Claim {
    const char* mark;
    const char* notMoved;
};

// The gift and discount-roll tables: 'W', then 'Y' once moved.
inline constexpr Claim kClaimW{"'W'", " WHERE TRN_CODE IS NULL OR TRN_CODE <> 'Y' "};
// The cost and point tables: 'Wait', then 'True' once moved.
inline constexpr Claim kClaimWait{"'Wait'", " WHERE TRN_CODE IS NULL OR TRN_CODE <> 'True'  "};

// Claims the store rows of `table` by transfer mode: mode 0 those not yet moved, mode 1 those of the
// chosen date; mode 2 and no mode claim nothing.
void claimRows(RunContext& run, int mode, const std::string& table, const Claim& claim);

// The keys of the ERP rows a side table's look-ups can find (the keys of the rows of the claimed rows'
// dates, read once): a row whose key none holds is written without its look-up, which would find
// nothing. Without them (the run asks the databases, or the keys cannot be compared in memory) every
// look-up runs.
class SideKeys {
  public:
    SideKeys(std::optional<KeyIndex> index, bool fromMemory, db::Batch* batch)
        : index_(std::move(index)), fromMemory_(fromMemory), batch_(batch) {}
    // Whether the look-up of these key values (as the look-up is given them; NULL is looked up with
    // IS NULL) is known to find no row.
    [[nodiscard]] bool findNothing(const std::vector<db::Value>& key) const;
    // After a row was added with these key values.
    void added(const std::vector<db::Value>& stored);
    // Whether look-ups whose answer is not used may be left out.
    [[nodiscard]] bool fromMemory() const { return fromMemory_; }
    // Where the rows added are queued (null: written at once).
    [[nodiscard]] db::Batch* batch() const { return batch_; }

  private:
    std::optional<KeyIndex> index_;
    bool fromMemory_;
    db::Batch* batch_;
};

// The copy of one claimed row: `date` is its SAL_DATE in Gregorian form, `lookup` the closed ERP
// look-up row set (CDS_T1) to open on the row's key and write through.
using ClaimedRowCopy =
    std::function<void(const db::RowSet& row, const std::string& date, db::RowSet& lookup, SideKeys& keys)>;

// Opens the claimed rows in `rows` by `select` and copies each into the ERP table `erpTable`, whose
// look-ups compare `keyColumns`. The ERP writes, and `finishErp` after the last row, share one
// transaction, committed before the caller marks the store rows moved: a stop in between leaves the rows
// claimed, to be written again by the next run. Returns the number of rows taken up.
std::size_t copyClaimedRows(RunContext& run, db::RowSet& rows, const std::string& select,
                            const std::string& erpTable, const std::vector<std::string>& keyColumns,
                            const ClaimedRowCopy& copyRow, const std::function<void()>& finishErp = {});

// Opens `lookup` on the ERP row of `key` by `lookupSql` (its parameters already set, or none), or, when
// `keys` know there is none, as an empty result of the table without asking. True when it is empty
// for want of a row, so that the write adds one.
bool openLookup(db::RowSet& lookup, const std::string& erpTable, const SideKeys& keys,
                const std::vector<db::Value>& key, const std::function<void()>& open);

}  // namespace lumvik::transfer
