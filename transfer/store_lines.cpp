#include "transfer/store_lines.h"

#include "base/codepage.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace lumvik::transfer {

using db::Value;

namespace {

// Dates, or bills, read per statement; a shorter list repeats its last one, so that one statement
// serves all.
constexpr std::size_t kDatesPerRead = 16;
constexpr std::size_t kBillsPerRead = 32;

enum class SortKind { Text, Exact, Floating };

std::optional<SortKind> sortKind(const db::Column& c) {
    if (db::isTextColumn(c)) return c.charSet == 0 ? std::optional(SortKind::Text) : std::nullopt;
    if (c.type == SQL_SHORT || c.type == SQL_LONG || c.type == SQL_INT64) return SortKind::Exact;
    if (c.type == SQL_DOUBLE || c.type == SQL_FLOAT || c.type == SQL_D_FLOAT) return SortKind::Floating;
    return std::nullopt;
}

// One column of a line as the engine's sort sees it.
struct SortValue {
    bool null = true;
    std::string bytes;  // a text's code page 950 bytes
    std::int64_t exact = 0;
    double floating = 0;
};

// Texts compare as if the shorter were filled with blanks, byte by byte as unsigned.
int compareTexts(const std::string& a, const std::string& b) {
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
        const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

int compareValues(const SortValue& a, const SortValue& b, SortKind kind) {
    if (a.null || b.null) return a.null == b.null ? 0 : (a.null ? -1 : 1);
    switch (kind) {
        case SortKind::Text:
            return compareTexts(a.bytes, b.bytes);
        case SortKind::Exact:
            return a.exact == b.exact ? 0 : (a.exact < b.exact ? -1 : 1);
        case SortKind::Floating:
            return a.floating == b.floating ? 0 : (a.floating < b.floating ? -1 : 1);
    }
    return 0;
}

bool identical(const SortValue& a, const SortValue& b) {
    return a.null == b.null && a.bytes == b.bytes && a.exact == b.exact &&
           std::memcmp(&a.floating, &b.floating, sizeof a.floating) == 0;
}

}  // namespace

bool hasBillIndex(db::Connection& connection, const std::string& table) {
    db::RowSet rows(&connection, "indexes");
    rows.setCommandText(
        "SELECT 1 FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME"
        " WHERE I.RDB$RELATION_NAME = :T AND S.RDB$FIELD_POSITION = 0 AND COALESCE(I.RDB$INDEX_INACTIVE, 0) "
        "= 0"
        " AND I.RDB$EXPRESSION_BLR IS NULL AND TRIM(S.RDB$FIELD_NAME) IN ('SAL_DATE', 'SAL_NO')");
    rows.setParam("T", Value(table));
    rows.open();
    return rows.recordCount() > 0;
}

StoreLines::StoreLines(db::Connection& connection, std::string select, bool byBill)
    : connection_(&connection),
      select_(std::move(select)),
      byBill_(byBill),
      keys_({KeyKind::Text, KeyKind::Text}) {}

std::unique_ptr<StoreLines> StoreLines::forTable(db::Connection& connection, const std::string& table) {
    // With an index each bill's own read is cheap; on a server many of them still go in one statement.
    const bool byBill = hasBillIndex(connection, table);
    if (byBill && !connection.remote()) return nullptr;
    for (const db::Column& c : connection.describe("SELECT * FROM " + table))
        if (!sortKind(c)) return nullptr;
    std::string select = "SELECT * FROM " + table + " WHERE ";
    for (std::size_t i = 0; i < (byBill ? kBillsPerRead : kDatesPerRead); ++i) {
        const std::string n = std::to_string(i);
        if (byBill)
            select += (i == 0 ? "(SAL_DATE = :D" : " OR (SAL_DATE = :D") + n + " AND SAL_NO = :N" + n + ")";
        else
            select += (i == 0 ? "SAL_DATE IN (:D" : ", :D") + n;
    }
    return std::unique_ptr<StoreLines>(new StoreLines(connection, byBill ? select : select + ")", byBill));
}

bool StoreLines::read(const std::vector<std::pair<std::string, std::string>>& bills) {
    bills_.clear();
    parts_.clear();
    // Each bill once, and each date once, by their keys: dates that differ only in trailing blanks find
    // the same lines, which are then read once, all of a bill's in the same part.
    std::map<std::string, std::pair<std::string, std::string>> wanted, dates;
    for (const auto& [date, number] : bills) {
        const auto key = keys_.key({Value(date), Value(number)}, true);
        if (!key || key->empty()) continue;
        wanted.emplace(*key, std::pair{date, number});
        dates.emplace(*keys_.key({Value(date), Value(std::string())}, true), std::pair{date, number});
    }
    // The parameters of each read: the bills' keys, or their dates.
    std::vector<std::pair<std::string, std::string>> list;
    for (const auto& [key, bill] : byBill_ ? wanted : dates)
        list.push_back(bill);
    const std::size_t perRead = byBill_ ? kBillsPerRead : kDatesPerRead;
    try {
        for (std::size_t start = 0; start < list.size(); start += perRead) {
            auto& part = *parts_.emplace_back(std::make_unique<db::RowSet>(connection_, "store lines"));
            part.setCommandText(select_);
            for (std::size_t i = 0; i < perRead; ++i) {
                const auto& [date, number] = list[std::min(start + i, list.size() - 1)];
                part.setParam("D" + std::to_string(i), Value(date));
                if (byBill_) part.setParam("N" + std::to_string(i), Value(number));
            }
            readPart(part, static_cast<int>(parts_.size()) - 1, wanted);
        }
    } catch (const db::DbError&) {
        bills_.clear();
        parts_.clear();
        return false;
    }
    read_.clear();
    for (const auto& [key, bill] : wanted)
        read_.insert(key);
    return true;
}

void StoreLines::readPart(db::RowSet& part, int partIndex,
                          const std::map<std::string, std::pair<std::string, std::string>>& wanted) {
    int date = -1, number = -1;
    part.open([&](const db::RowSet& row) {
        if (date < 0) date = row.fieldIndex("SAL_DATE"), number = row.fieldIndex("SAL_NO");
        const auto key = keys_.key({row.field(date), row.field(number)}, true);
        if (!key || !wanted.contains(*key)) return false;
        auto& bill = bills_[*key];
        bill.first = partIndex;
        bill.second.push_back(row.recordCount() - 1);
        return true;
    });
}

bool StoreLines::fill(db::RowSet& lines, const std::string& storeDate, const std::string& number) {
    const auto key = keys_.key({Value(storeDate), Value(number)}, true);
    if (!key || !read_.contains(*key) || parts_.empty()) return false;
    const auto found = bills_.find(*key);
    if (found == bills_.end()) {
        lines.copyRowsFrom(*parts_.front(), {});
        return true;
    }
    db::RowSet& part = *parts_[static_cast<std::size_t>(found->second.first)];
    const std::vector<int>& rows = found->second.second;
    const std::size_t width = static_cast<std::size_t>(part.fieldCount());
    std::vector<SortKind> kinds;
    for (const auto& c : part.columns())
        kinds.push_back(*sortKind(c));
    std::vector<std::vector<SortValue>> values(rows.size(), std::vector<SortValue>(width));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        part.moveTo(rows[r]);
        for (std::size_t c = 0; c < width; ++c) {
            const Value& v = part.field(static_cast<int>(c));
            SortValue& s = values[r][c];
            s.null = v.isNull();
            if (s.null) continue;
            if (kinds[c] == SortKind::Text)
                s.bytes = cp950::fromUtf8(v.text());
            else if (kinds[c] == SortKind::Exact)
                s.exact = v.mantissa();
            else
                s.floating = v.asFloat();
        }
    }
    auto compare = [&](std::size_t a, std::size_t b) {
        for (std::size_t c = 0; c < width; ++c)
            if (const int d = compareValues(values[a][c], values[b][c], kinds[c]); d != 0) return d;
        return 0;
    };
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return compare(a, b) < 0; });
    std::vector<int> result;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && compare(order[i - 1], order[i]) == 0) {
            // Lines the sort takes as one: the same line twice is one line; lines that differ in their
            // bytes are left to the engine's own choice.
            for (std::size_t c = 0; c < width; ++c)
                if (!identical(values[order[i - 1]][c], values[order[i]][c])) return false;
            continue;
        }
        result.push_back(rows[order[i]]);
    }
    lines.copyRowsFrom(part, result);
    return true;
}

}  // namespace lumvik::transfer
