#pragma once

// Reference tables the run looks rows up in for every bill or line (products, pack costs, machines),
// read whole once per run, in the order the engine reads them, so that the first row holding a key is
// the row the look-up would find first.

#include "transfer/key_index.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumvik::transfer {

class TableCopy {
  public:
    // Reads every row of `table` on the connection and indexes the first row of each value of each of
    // `keyColumns`. Nothing when a key column is of a kind we cannot compare or the read fails.
    static std::unique_ptr<TableCopy> load(db::Connection& connection, const std::string& table,
                                           const std::vector<std::string>& keyColumns);

    // The first row whose key column `column` (its place in keyColumns) equals `value` as a bound wide
    // look-up compares them: -1 when none does, nothing when only the engine can tell.
    [[nodiscard]] std::optional<int> first(std::size_t column, const db::Value& value) const;

    // The rows, to stand on the one a look-up found (RowSet::moveTo; -1 stands on none).
    [[nodiscard]] db::RowSet& rows() { return *rows_; }

  private:
    TableCopy() = default;
    std::unique_ptr<db::RowSet> rows_;
    std::vector<KeyIndex> keys_;
};

// What one pass of a run reads once: each table when it is first needed. A table that cannot be
// answered from memory stays unread, and its look-ups go to the database.
struct RunCaches {
    std::optional<std::unique_ptr<TableCopy>> products, packs, machines;
};

}  // namespace lumvik::transfer
