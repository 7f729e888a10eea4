#pragma once

// The phases that follow the family copy: enrichment of the copied sales, then the gift,
// discount-roll, cost and point tables.

#include "transfer/context.h"

namespace lumvik::transfer {

// Category levels of the copied lines, member cards of the bills, used points of change bills.
void enrich(RunContext& run);

// POS_GIVE, then POS_DISROL.
void transferGiftsAndDiscountRolls(RunContext& run);

// POS_COST, and the costs of the matching POS_SUB lines.
void transferCosts(RunContext& run);

// POINT_MASTER.
void transferPoints(RunContext& run);

}  // namespace lumvik::transfer
