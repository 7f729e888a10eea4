#include "transfer/key_index.h"

#include "base/codepage.h"
#include "base/text.h"
#include "transfer/bill_state.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lumvik::transfer {

using db::Value;

namespace {

// The look-ups cast a bound key to this many bytes; a longer one makes them fail, which only the engine
// can do.
constexpr std::size_t kWideKeyBytes = 255;

// Dates read per statement; a shorter list repeats its last date, so that one statement serves all.
constexpr std::size_t kDatesPerRead = 16;

void appendPart(std::string& key, char tag, const std::string& bytes) {
    const auto length = static_cast<std::uint32_t>(bytes.size());
    key += tag;
    key.append(reinterpret_cast<const char*>(&length), sizeof length);
    key += bytes;
}

bool fitsWideKey(const std::string& text) {
    return text.size() <= kWideKeyBytes || cp950::fromUtf8(text).size() <= kWideKeyBytes;
}

// A whole number as the engine reads a short text of one: blanks around, a sign, a few digits (any
// whole-number column holds it).
std::optional<std::string> wholeText(const std::string& text) {
    const auto first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    const std::string t = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    std::size_t i = t.empty() || (t[0] != '-' && t[0] != '+') ? 0 : 1;
    if (t.size() == i || t.size() - i > 4) return std::nullopt;
    if (!std::all_of(t.begin() + static_cast<std::ptrdiff_t>(i), t.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::to_string(std::stol(t));
}

// Whether a whole-number column of this kind holds the value (a look-up with one it does not hold fails).
bool fitsColumn(std::int64_t v, KeyKind kind) {
    if (kind == KeyKind::Short) return v >= -32768 && v <= 32767;
    if (kind == KeyKind::Long) return v >= -2147483648LL && v <= 2147483647LL;
    return true;
}

}  // namespace

KeyKind keyKind(const db::Column& column) {
    if (db::isTextColumn(column)) return column.charSet == 0 ? KeyKind::Text : KeyKind::Other;
    if (column.scale != 0) return KeyKind::Other;
    switch (column.type) {
        case SQL_SHORT:
            return KeyKind::Short;
        case SQL_LONG:
            return KeyKind::Long;
        case SQL_INT64:
            return KeyKind::Int64;
        default:
            return KeyKind::Other;
    }
}

KeyIndex::KeyIndex(std::vector<KeyKind> kinds, bool nullMatchesNull)
    : kinds_(std::move(kinds)), nullMatchesNull_(nullMatchesNull) {}

std::optional<std::string> KeyIndex::key(const std::vector<Value>& values, bool stored) const {
    std::string key;
    for (std::size_t i = 0; i < kinds_.size() && i < values.size(); ++i) {
        const Value& v = values[i];
        if (v.isNull()) {
            if (!nullMatchesNull_) return std::string();
            key += 'N';
            continue;
        }
        if (kinds_[i] == KeyKind::Text) {
            if (v.kind() != Value::Kind::Text || (!stored && !fitsWideKey(v.text()))) return std::nullopt;
            std::string t = v.text();
            while (!t.empty() && t.back() == ' ')
                t.pop_back();
            appendPart(key, 'T', t);
        } else if (kinds_[i] != KeyKind::Other) {
            std::optional<std::string> whole;
            if (v.kind() == Value::Kind::Integer && fitsColumn(v.mantissa(), kinds_[i]))
                whole = std::to_string(v.mantissa());
            else if (v.kind() == Value::Kind::Text)
                whole = wholeText(v.text());
            if (!whole) return std::nullopt;
            appendPart(key, 'W', *whole);
        } else {
            return std::nullopt;
        }
    }
    return key;
}

int KeyIndex::count(const std::string& key) const {
    const auto it = entries_.find(key);
    return it == entries_.end() ? 0 : it->second.count;
}

int KeyIndex::first(const std::string& key) const {
    const auto it = entries_.find(key);
    return it == entries_.end() ? -1 : it->second.first;
}

void KeyIndex::add(const std::vector<Value>& values, int row) {
    const std::optional<std::string> k = key(values, true);
    if (!k) {
        complete_ = false;
        return;
    }
    add(*k, row);
}

void KeyIndex::add(const std::string& key, int row) {
    if (key.empty()) return;
    Entry& e = entries_[key];
    if (e.count++ == 0) e.first = row;
}

void KeyIndex::removeAll(const std::string& key) {
    entries_.erase(key);
}

bool plainTexts(db::Connection& connection) {
    db::RowSet rows(&connection, "charset");
    rows.setCommandText("SELECT RDB$CHARACTER_SET_NAME FROM RDB$DATABASE");
    rows.open();
    const std::string name = text::trimmed(rows.field(0).asString());
    return name.empty() || name == "NONE";
}

std::optional<std::vector<KeyKind>> keyKinds(db::Connection& connection, const std::string& select) {
    std::vector<KeyKind> kinds;
    try {
        for (const db::Column& c : connection.describe(select)) {
            kinds.push_back(keyKind(c));
            if (kinds.back() == KeyKind::Other) return std::nullopt;
        }
    } catch (const db::DbError&) {
        return std::nullopt;
    }
    return kinds;
}

std::optional<KeyIndex> loadKeysOfDates(db::Connection& connection, const std::string& table,
                                        const std::vector<std::string>& keyColumns,
                                        const std::vector<std::string>& dates, bool nullMatchesNull) {
    std::string columns;
    for (const auto& c : keyColumns)
        columns += (columns.empty() ? "" : ",") + c;
    const auto kinds = keyKinds(connection, "SELECT " + columns + " FROM " + table);
    const auto dateKind = keyKinds(connection, "SELECT SAL_DATE FROM " + table);
    if (!kinds || !dateKind || dateKind->front() != KeyKind::Text) return std::nullopt;
    KeyIndex index(*kinds, nullMatchesNull);
    std::vector<std::string> wanted;
    for (const auto& d : dates)
        if (fitsWideKey(d)) wanted.push_back(d);
    std::string select = "SELECT " + columns + " FROM " + table + " WHERE SAL_DATE IN (";
    for (std::size_t i = 0; i < kDatesPerRead; ++i)
        select += (i == 0 ? "" : ",") + wideKey((":D" + std::to_string(i)).c_str());
    select += ")";
    db::RowSet rows(&connection, "keys");
    rows.setCommandText(select);
    try {
        for (std::size_t start = 0; start < wanted.size(); start += kDatesPerRead) {
            for (std::size_t i = 0; i < kDatesPerRead; ++i)
                rows.setParam("D" + std::to_string(i), Value(wanted[std::min(start + i, wanted.size() - 1)]));
            rows.open([&](const db::RowSet& row) {
                std::vector<Value> values;
                for (int i = 0; i < row.fieldCount(); ++i)
                    values.push_back(row.field(i));
                index.add(values);
                return false;
            });
        }
    } catch (const db::DbError&) {
        return std::nullopt;
    }
    if (!index.complete()) return std::nullopt;
    return index;
}

}  // namespace lumvik::transfer
