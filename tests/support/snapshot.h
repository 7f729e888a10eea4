#pragma once

// Every user table of a store and an ERP database, row by row, to tell whether two runs left the same.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace lumvik::testing {

struct TableRows {
    std::string columns;            // the compared columns, joined with ","
    std::vector<std::string> rows;  // each row's columns joined with "|", sorted
};
using Snapshot = std::map<std::string, TableRows>;  // "store.POS_MAIN", "erp.POS_SUB", ...

// The user tables of folder/store.fdb and folder/erp.fdb (taken from the system tables), each as the
// sorted multiset of its rows. CHG_DATE, filled with the day a run runs on, is left out unless
// `changeDates`.
[[nodiscard]] Snapshot snapshotOf(const std::filesystem::path& folder, bool changeDates = false);
// The same of two databases named as a connection names them (a path, or host:path with the password).
[[nodiscard]] Snapshot snapshotOf(const std::string& store, const std::string& erp, bool changeDates,
                                  const std::string& password);

// The tables that differ, with the rows only the reference has ("-") and those only the other state
// has ("+"); the empty text when both agree. The transfer state is left out unless `includeState`.
[[nodiscard]] std::string differences(const Snapshot& reference, const Snapshot& other,
                                      bool includeState = true);

}  // namespace lumvik::testing
