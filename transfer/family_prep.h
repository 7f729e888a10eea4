#pragma once

// Preparation of one table family before its bills are copied, and its closing afterwards. The
// TRAN_CODE mark of the store master tables: NULL or other text (not yet moved), 'Wait' (chosen for
// the running transfer), 'True' (moved).

#include "transfer/context.h"

#include <exception>
#include <string>
#include <vector>

namespace lumvik::transfer {

inline constexpr const char* kCheckQueryFileName = "123.TXT";

// The seven lines of the sales-order consistency check of mode 2.
[[nodiscard]] const std::vector<std::string>& salesOrderCheckLines();

// Adds TRAN_CODE and CARD_ID when missing, logs, marks the family's rows by transfer mode and opens
// the 'Wait' rows in CDS_S1. A failure of the mode 0 or mode 2 marking is held back and returned, so
// that the rows already 'Wait' are still copied and closed before it ends the run; any other
// failure ends the run at once.
[[nodiscard]] std::exception_ptr prepareFamily(RunContext& run, const db::Family& family);

// Every 'Wait' row of the family's store master table becomes 'True'.
void closeFamily(RunContext& run, const db::Family& family);

}  // namespace lumvik::transfer
