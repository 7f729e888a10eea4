#pragma once

// Look-ups answered from memory. A table's key columns are read once, and a key is then found the way
// the engine finds it: a text column of no character set compares texts with their trailing blanks
// ignored and byte for byte otherwise, a whole-number column compares whole numbers, and NULL equals
// nothing. Where we cannot tell how the engine would compare (another column type, another character
// set, a value of another kind, a text too long for the look-up's cast), there is no key and the caller
// asks the engine as before.

#include "db/sql_access.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace lumvik::transfer {

// How a key column compares: as a text, as a whole number of its width (a value the column cannot
// hold makes the look-up fail, which only the engine can do), or otherwise (left to the engine).
enum class KeyKind { Text, Short, Long, Int64, Other };

// Where a row stands (its RDB$DB_KEY) as a text that comes to us and goes back unchanged, and the same
// text given back as a parameter: a row read before is then found again directly, without a look-up.
// Valid in the transaction that read it.
inline constexpr const char* kRowAddress =
    "UUID_TO_CHAR(CAST(RDB$DB_KEY || X'0000000000000000' AS CHAR(16) CHARACTER SET OCTETS))";
inline constexpr const char* kRowAddressParam =
    "CAST(LEFT(CHAR_TO_UUID(CAST(? AS VARCHAR(36))), 8) AS CHAR(8) CHARACTER SET OCTETS)";

// How a column compares, as far as we can tell without the engine.
[[nodiscard]] KeyKind keyKind(const db::Column& column);

// The keys of rows, each with how many rows hold it and the first of them (in the order they were
// added, which for a table read whole is the order the engine reads it in, and so the row a look-up
// finds first).
class KeyIndex {
  public:
    KeyIndex() = default;
    // `nullMatchesNull`: the look-ups test a NULL key part with IS NULL.
    explicit KeyIndex(std::vector<KeyKind> kinds, bool nullMatchesNull = false);

    // The key of these values (one per part) as a look-up is given them, or as a row holds them
    // (`stored`). Nothing when the engine must tell; the empty key, which no row holds, when a part is
    // NULL and NULL matches nothing.
    [[nodiscard]] std::optional<std::string> key(const std::vector<db::Value>& values,
                                                 bool stored = false) const;

    [[nodiscard]] int count(const std::string& key) const;
    // The first row that holds the key, -1 when none does.
    [[nodiscard]] int first(const std::string& key) const;
    // A row holding the values (rows whose key cannot be told are left out: the caller must not rely
    // on an index that lost some, see complete()).
    void add(const std::vector<db::Value>& values, int row = -1);
    void add(const std::string& key, int row = -1);
    // Every row holding the key is gone.
    void removeAll(const std::string& key);
    // False when a row was added whose key could not be told: the index then does not know every row.
    [[nodiscard]] bool complete() const { return complete_; }
    [[nodiscard]] std::size_t kinds() const { return kinds_.size(); }

  private:
    struct Entry {
        int count = 0;
        int first = -1;
    };
    std::vector<KeyKind> kinds_;
    bool nullMatchesNull_ = false;
    bool complete_ = true;
    std::unordered_map<std::string, Entry> entries_;
};

// Whether look-ups on this connection can be answered from memory at all: the database's texts are of
// no character set, as the look-ups' values are.
[[nodiscard]] bool plainTexts(db::Connection& connection);

// Reads the keys of the rows of `table` whose SAL_DATE is one of `dates`, compared as a bound look-up
// compares them. Nothing when a key column is of a kind we cannot compare, or the read fails.
[[nodiscard]] std::optional<KeyIndex> loadKeysOfDates(db::Connection& connection, const std::string& table,
                                                      const std::vector<std::string>& keyColumns,
                                                      const std::vector<std::string>& dates,
                                                      bool nullMatchesNull = false);

// The kinds of the columns of a query, without running it; nothing when one is of another kind.
[[nodiscard]] std::optional<std::vector<KeyKind>> keyKinds(db::Connection& connection,
                                                           const std::string& select);

}  // namespace lumvik::transfer
