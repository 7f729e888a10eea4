#pragma once

// How the side tables move their store rows: the rows are claimed for the run by a mark on TRN_CODE,
// the claimed rows are read and each is looked up and written in the ERP, all those ERP writes in one
// transaction, and the caller then marks the claimed rows moved.

#include "transfer/context.h"

#include <functional>
#include <string>

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

// The copy of one claimed row: `date` is its SAL_DATE in Gregorian form, `lookup` the closed ERP
// look-up row set (CDS_T1) to open on the row's key and write through.
using ClaimedRowCopy =
    std::function<void(const db::RowSet& row, const std::string& date, db::RowSet& lookup)>;

// Opens the claimed rows in `rows` by `select` and copies each. The ERP writes, and `finishErp` after
// the last row, share one transaction, committed before the caller marks the store rows moved: a stop
// in between leaves the rows claimed, to be written again by the next run. Returns the number of rows
// taken up.
std::size_t copyClaimedRows(RunContext& run, db::RowSet& rows, const std::string& select,
                            const ClaimedRowCopy& copyRow, const std::function<void()>& finishErp = {});

}  // namespace lumvik::transfer
