#pragma once

// The non-unique indexes a working installation has on the columns the transfer looks rows up by (bill
// keys, product codes, side-table marks). The program declares none of its own: the station check
// lists the missing ones with the statement that makes each, and creates them when asked; the demo and
// the tests create them with their tables. Non-unique, so duplicate rows behave as without them;
// without them every look-up reads its whole table and a day's transfer grows with the square of its
// bills.

#include <string>
#include <vector>

namespace lumvik::db {

enum class Side { Store, Erp };

struct LookupIndex {
    std::string table;
    std::vector<std::string> columns;  // in index order
    std::string name;                  // IX_<table>_<columns>, cut to 31 characters

    // "CREATE INDEX name ON table (col,col)".
    [[nodiscard]] std::string statement() const;
    // "table (col, col)", for messages.
    [[nodiscard]] std::string describe() const;
};

[[nodiscard]] const std::vector<LookupIndex>& lookupIndexes(Side side);

}  // namespace lumvik::db
