#pragma once

// Product resolution of a store line: the product the line is tied to, looked up in the ERP's PRODUCT
// table by the line's code, or the run's temporary product when the code is unknown.

#include "transfer/bill_state.h"
#include "transfer/context.h"

#include <string>

namespace lumvik::transfer {

// The product a line is tied to, and what resolution decided about it.
struct ProductResolution {
    std::string lineBarcode;  // the line's tbar_code for a known code, its bar_code otherwise
    // The category of the exact code (texts::kNoCategoryMarker when it has none), or of the
    // temporary product.
    std::string pdItemId;
    // Where the product's values stand (the current row; no row when none was found): CDS_T2, or the
    // run's copy of PRODUCT.
    const db::RowSet* product = nullptr;
};

// Resolves the product of `line` (a row of the bill being copied). An unknown code is logged. The
// product is the first one whose code or barcode is the code looked for.
ProductResolution resolveProduct(RunContext& run, const db::RowSet& line, const BillState& bill);

}  // namespace lumvik::transfer
