#pragma once

// The copied lines the cost statements reach. Each ERP cost row still 'W' puts its cost on the POS_SUB
// lines of its bill and product whose ORD_NO, cast to a whole number, is its line number; without an
// index on POS_SUB every such statement reads the whole table, its history included. Here the lines of
// the cost rows' dates are read once, and each cost is put on the lines it reaches by their row
// addresses. A line number the engine would have to cast from anything but a plain whole number (where
// it might round, or fail) leaves that cost row to the statement itself.

#include "db/sql_access.h"
#include "transfer/key_index.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace lumvik::transfer {

class CostLines {
  public:
    // The POS_SUB lines of these dates; nothing when they cannot be compared in memory or read.
    static std::optional<CostLines> load(db::Connection& connection, const std::vector<std::string>& dates);

    // The row addresses of the lines the cost statement of this cost row changes; nothing when only the
    // statement can tell.
    [[nodiscard]] std::optional<std::vector<std::string>> reached(const std::string& salDate,
                                                                  const std::string& salNo,
                                                                  const std::string& prodId,
                                                                  std::int64_t ordNo) const;

  private:
    // One line, small: a backlog has hundreds of thousands.
    struct Line {
        std::uint64_t address;  // the first 8 bytes of its row address, the rest being 0
        std::int64_t ordNo;     // its ORD_NO cast to a whole number, when `plain`
        enum : std::uint8_t { Null, Plain, Other } kind;
    };
    explicit CostLines(KeyIndex keys) : keys_(std::move(keys)) {}
    KeyIndex keys_;                                             // SAL_DATE, SAL_NO, PROD_ID
    std::unordered_map<std::string, std::vector<Line>> lines_;  // a key's lines
};

// The cost statement that puts a cost on one line by its row address.
inline constexpr const char* kCostByAddress =
    "UPDATE POS_SUB SET AVG_COST = ?\r\n, STD_COST = ?\r\nWHERE RDB$DB_KEY = "
    "CAST(LEFT(CHAR_TO_UUID(CAST(? AS VARCHAR(36))), 8) AS CHAR(8) CHARACTER SET OCTETS)";

}  // namespace lumvik::transfer
