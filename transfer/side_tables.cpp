#include "transfer/side_tables.h"

#include "transfer/texts.h"

namespace lumvik::transfer {

// The side tables move with the next release; until then each phase reports its table and moves
// nothing, so their rows stay where they are, unmarked, for the release that moves them.

void enrich(RunContext&) {}

void transferGiftsAndDiscountRolls(RunContext& run) {
    run.op().log(texts::kGiftsLine);
    run.op().log(texts::kDiscountRollsLine);
}

void transferCosts(RunContext& run) {
    run.op().log(texts::kCostsLine);
}

void transferPoints(RunContext& run) {
    run.op().log(texts::kPointsLine);
}

}  // namespace lumvik::transfer
