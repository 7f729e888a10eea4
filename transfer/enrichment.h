#pragma once

// The enrichment of the copied sales in the ERP: category levels of the lines, member cards of the
// bills, and the used points of change bills.

#include "transfer/context.h"

namespace lumvik::transfer {

// Category levels of the copied lines, member cards of the bills, used points of change bills.
void enrich(RunContext& run);

}  // namespace lumvik::transfer
