#pragma once

// What the copy of one family looks up for every bill, read once for the family's bills: the bills
// already turned into sales orders, the bills and lines already in the ERP (kept up to date as the copy
// writes and deletes them), and the store lines of a window of bills at a time. Each part that cannot
// be answered from memory is left empty, and its look-ups go to the database as before.

#include "transfer/context.h"
#include "transfer/key_index.h"
#include "transfer/store_lines.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumvik::transfer {

struct FamilyLookups {
    // The keys (SAL_DATE, SAL_NO) of POSTOSALE's rows of the family's dates.
    std::optional<KeyIndex> exported;
    // What the look-up of families 2 and 3 and of mode 2 finds: the same for every bill.
    std::optional<bool> exportedAlways;
    // The keys of the family's ERP master and line tables' rows of the family's dates.
    std::optional<KeyIndex> bills, lines;
    // The store lines of the bills from windowStart to windowEnd (rows of CDS_S1) when they are read
    // together.
    std::unique_ptr<StoreLines> storeLines;
    int windowEnd = 0;

    // Whether the bill (date, number) is in `index`: nothing when the database must tell.
    static std::optional<bool> holds(const std::optional<KeyIndex>& index, const std::string& date,
                                     const std::string& number);
    // After a statement that wrote or deleted the rows of (date, number) in the table `index` stands for.
    static void added(std::optional<KeyIndex>& index, const std::string& date, const std::string& number);
    static void removed(std::optional<KeyIndex>& index, const std::string& date, const std::string& number);
};

// Reads what the family's copy looks up, for the bills open in `bills` (CDS_S1). Empty when the run asks
// the databases.
[[nodiscard]] FamilyLookups loadFamilyLookups(RunContext& run, const db::Family& family, db::RowSet& bills);

// Before the bill at the current row of `bills`: reads the store lines of the next window of bills when
// this bill is past the last one read.
void readStoreLinesFor(FamilyLookups& lookups, db::RowSet& bills);

}  // namespace lumvik::transfer
