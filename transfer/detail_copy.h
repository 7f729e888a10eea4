#pragma once

// The copy of a bill's lines: the ERP lines of the bill are deleted, then each store line is tied to
// its product and written into the family's ERP line table. A failure of one line is logged and the
// walk goes on.

#include "transfer/bill_state.h"
#include "transfer/context.h"
#include "transfer/family_lookups.h"

namespace lumvik::transfer {

// Copies the lines of one bill whose header has just been written (or attempted); `lookups` are the
// family's, kept up to date with the lines written and deleted.
void copyLines(RunContext& run, const db::Family& family, BillState& bill, FamilyLookups& lookups);

}  // namespace lumvik::transfer
