#pragma once

// The transfer state: one row of TRAN_STATE in the ERP database, shared with automatic transfers and
// other stations. 2: an automatic transfer is running; 1: a station holds it for manual transfers;
// 0: nobody holds it.

#include "app/form_core.h"

namespace lumvik {

inline constexpr const char* kTransferStateQuery = "SELECT STATE FROM TRAN_STATE ";

// STATE of the first row read as a whole number: "02" is 2; a text that is no whole number, a NULL
// and an empty table read as 0. Uses the general ERP statement object.
[[nodiscard]] int readTransferState(FormCore& form);

// "UPDATE TRAN_STATE SET STATE = '<state>' " on the general ERP statement object.
void writeTransferState(FormCore& form, int state);

}  // namespace lumvik
