#pragma once

// The gift (POS_GIVE) and discount-roll (POS_DISROL) tables: their claimed store rows are written
// into the ERP tables of the same names, keyed by date, bill and SORD. Mode 2 leaves them alone.

#include "transfer/context.h"

namespace lumvik::transfer {

// POS_GIVE, then POS_DISROL.
void transferGiftsAndDiscountRolls(RunContext& run);

}  // namespace lumvik::transfer
