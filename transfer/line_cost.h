#pragma once

// The cost rule of a copied line. A product whose DEF_PROFIT is a whole percentage other than 0 costs
// the line's unit price less that percentage, standard and average alike. Otherwise a line of fewer
// than two pieces a pack costs the product's standard cost, a larger pack its PROD_SALE cost per
// piece (found by the line's V_BAR_CODE; none, or a cost of 0, falls back to the product's), and the
// average cost is the product's.

#include "transfer/context.h"

namespace lumvik::transfer {

struct LineCosts {
    double standard = 0;
    double average = 0;
};

// The costs of `line` whose product row is `product`. A pack of no pieces fails the line.
LineCosts lineCosts(RunContext& run, const db::RowSet& line, const db::FieldSource& product);

}  // namespace lumvik::transfer
