#pragma once

// The copy of a family's bills: each 'Wait' bill of CDS_S1 is checked against the bills already
// turned into sales orders, given its machine's stock, written into the family's ERP master table
// (replacing an older copy) and handed to the line copy. A failure of one bill is logged and the
// walk goes on.

#include "transfer/context.h"

namespace lumvik::transfer {

// Walks CDS_S1 (opened by the family preparation).
void copyBills(RunContext& run, const db::Family& family);

}  // namespace lumvik::transfer
