#pragma once

// Every table and column of the two databases that the transfer reads or writes, in one table: the
// copy's column lists (db/tables.h) for the four table families, and the columns the side tables, the
// look-ups, the enrichment, the verification and the transfer state use. The station check compares
// the databases with it.

#include "db/lookup_indexes.h"

#include <string>
#include <vector>

namespace lumvik {

struct RequiredTable {
    db::Side side;
    std::string table;
    std::vector<std::string> columns;  // as the transfer spells them; the databases ignore the case
    // Columns a run adds itself when missing (TRAN_CODE and CARD_ID of the store master tables).
    std::vector<std::string> addedByTransfer;
};

[[nodiscard]] const std::vector<RequiredTable>& requiredTables();

}  // namespace lumvik
