#pragma once

// The keyed write of the side tables: a store row is written over the ERP row its key finds, or added
// when none is found.

#include "db/sql_access.h"

#include <string>
#include <utility>
#include <vector>

namespace lumvik::transfer {

// One ERP row through its look-up row set: the first row found is overwritten, otherwise a row is
// added; only the columns given are set. A row the ERP refuses is dropped. True when the row was written
// (or, an added row queued in `batch`, is to be).
bool keyedWrite(db::RowSet& lookup, const std::vector<std::pair<const char*, db::Value>>& columns,
                db::Batch* batch = nullptr);

// The condition of a look-up on one key column: "<condition>'value'", or IS NULL for a NULL key, so
// that a row whose key holds a NULL finds the ERP row written for it before instead of adding one
// more on every run. `condition` ends in "=", as " AND SAL_NO = ".
[[nodiscard]] std::string keyCondition(std::string condition, const db::Value& value);

}  // namespace lumvik::transfer
