#pragma once

// The point table (POINT_MASTER): its claimed store rows that name a member are written into the ERP
// table of the same name, keyed by date and bill.

#include "transfer/context.h"

namespace lumvik::transfer {

// POINT_MASTER.
void transferPoints(RunContext& run);

}  // namespace lumvik::transfer
