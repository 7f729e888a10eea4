#pragma once

// The cost table (POS_COST): its claimed store rows are written into the ERP table of the same name,
// keyed by date, bill and line number, then each ERP cost row waiting ('W') puts its cost on the
// matching copied line (POS_SUB) and is marked done ('Y'), except the rows whose line number is no
// whole number: those stay 'W', named in the log.

#include "transfer/context.h"

namespace lumvik::transfer {

// POS_COST, and the costs of the matching POS_SUB lines.
void transferCosts(RunContext& run);

}  // namespace lumvik::transfer
