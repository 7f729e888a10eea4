#pragma once

// The store lines of many bills read at once. A bill's lines are read by a union of one select with
// itself, which returns the distinct lines sorted by every column; without an index on the store's line
// table each such read scans the whole table, its history included, and on a server each costs a round
// trip. Here the lines of a window of bills are read by one scan (or, with an index on a server, by one
// statement per 32 bills), and each bill is given what its own read would return: the distinct lines,
// sorted as the engine sorts them (NULL first, texts with trailing blanks ignored, byte by byte). A bill
// with two lines the engine would take as one although they differ (in trailing blanks) is left to its
// own read, as the engine's choice between them is its own.

#include "db/sql_access.h"
#include "transfer/key_index.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace lumvik::transfer {

class StoreLines {
  public:
    // For the store line table `table` on the connection; nothing when its bills' reads are better
    // left to the engine (an index finds a bill's lines on the embedded engine) or cannot be told in
    // memory.
    static std::unique_ptr<StoreLines> forTable(db::Connection& connection, const std::string& table);

    // Reads the lines of these bills (store date as stored, SAL_NO as the bill's read is given it),
    // forgetting those of the bills read before. False when they could not be read.
    bool read(const std::vector<std::pair<std::string, std::string>>& bills);

    // Fills `lines` as the bill's own read would; false when only that read can tell.
    bool fill(db::RowSet& lines, const std::string& storeDate, const std::string& number);

  private:
    StoreLines(db::Connection& connection, std::string select, bool byBill);
    void readPart(db::RowSet& part, int partIndex,
                  const std::map<std::string, std::pair<std::string, std::string>>& wanted);
    db::Connection* connection_;
    std::string select_;
    bool byBill_;  // read by the bills' keys (an index finds them) or by their dates (a scan)
    KeyIndex keys_;
    // The rows read, one row set per statement; a bill's lines all stand in one of them.
    std::vector<std::unique_ptr<db::RowSet>> parts_;
    std::set<std::string> read_;                                     // the keys of the bills read
    std::map<std::string, std::pair<int, std::vector<int>>> bills_;  // a bill's key -> part, rows
};

// Whether an active index of `table` starts with SAL_DATE or SAL_NO, so that the engine finds one bill's
// rows without reading the table.
[[nodiscard]] bool hasBillIndex(db::Connection& connection, const std::string& table);

}  // namespace lumvik::transfer
