#include "transfer/cost_lines.h"

#include "transfer/bill_state.h"

#include <algorithm>
#include <cstdio>

namespace lumvik::transfer {

using db::Value;

namespace {

// Dates read per statement; a shorter list repeats its last date, so that one statement serves all.
constexpr std::size_t kDatesPerRead = 16;

// A line's ORD_NO as CAST(ORD_NO AS Int) reads it, when that is plain: a whole number, blanks around it
// at most. Nothing otherwise (the engine rounds a fraction, and fails on what is no number).
std::optional<std::int64_t> plainWhole(const Value& v) {
    if (v.kind() == Value::Kind::Integer) return v.mantissa();
    if (v.kind() != Value::Kind::Text) return std::nullopt;
    std::string t = v.text();
    const auto first = t.find_first_not_of(' '), last = t.find_last_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    t = t.substr(first, last - first + 1);
    const std::size_t digits = t[0] == '-' || t[0] == '+' ? 1 : 0;
    if (t.size() == digits || t.size() - digits > 9 ||
        !std::all_of(t.begin() + static_cast<std::ptrdiff_t>(digits), t.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(t);
}

// The row address text (kRowAddress) as its first 8 bytes, and back: "XXXXXXXX-XXXX-XXXX-0000-000000000000",
// the bytes in order.
std::uint64_t addressBytes(const std::string& text) {
    std::string hex;
    for (const char c : text.substr(0, 18))
        if (c != '-') hex += c;
    return std::stoull(hex, nullptr, 16);
}

std::string addressText(std::uint64_t bytes) {
    char text[40];
    std::snprintf(text, sizeof text, "%08llX-%04llX-%04llX-0000-000000000000",
                  static_cast<unsigned long long>(bytes >> 32),
                  static_cast<unsigned long long>((bytes >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(bytes & 0xFFFF));
    return text;
}

}  // namespace

std::optional<CostLines> CostLines::load(db::Connection& connection, const std::vector<std::string>& dates) {
    const auto kinds = keyKinds(connection, "SELECT SAL_DATE, SAL_NO, PROD_ID, ORD_NO FROM POS_SUB");
    if (!kinds || (*kinds)[0] != KeyKind::Text || (*kinds)[1] != KeyKind::Text ||
        (*kinds)[2] != KeyKind::Text)
        return std::nullopt;
    CostLines lines(KeyIndex({KeyKind::Text, KeyKind::Text, KeyKind::Text}));
    std::string select = std::string("SELECT ") + kRowAddress +
                         " AS ADDRESS, SAL_DATE, SAL_NO, PROD_ID, ORD_NO FROM POS_SUB WHERE SAL_DATE IN (";
    for (std::size_t i = 0; i < kDatesPerRead; ++i)
        select += (i == 0 ? "" : ",") + wideKey((":D" + std::to_string(i)).c_str());
    db::RowSet rows(&connection, "cost lines");
    rows.setCommandText(select + ")");
    try {
        for (std::size_t start = 0; start < dates.size(); start += kDatesPerRead) {
            for (std::size_t i = 0; i < kDatesPerRead; ++i)
                rows.setParam("D" + std::to_string(i), Value(dates[std::min(start + i, dates.size() - 1)]));
            rows.open([&](const db::RowSet& row) {
                const auto key = lines.keys_.key({row.field(1), row.field(2), row.field(3)}, true);
                if (!key || key->empty()) return false;
                const Value& ord = row.field(4);
                const auto whole = plainWhole(ord);
                lines.lines_[*key].push_back({addressBytes(row.field(0).asString()), whole.value_or(0),
                                              ord.isNull() ? Line::Null
                                              : whole      ? Line::Plain
                                                           : Line::Other});
                return false;
            });
        }
    } catch (const db::DbError&) {
        return std::nullopt;
    }
    return lines;
}

std::optional<std::vector<std::string>> CostLines::reached(const std::string& salDate,
                                                           const std::string& salNo,
                                                           const std::string& prodId,
                                                           std::int64_t ordNo) const {
    const auto key = keys_.key({Value(salDate), Value(salNo), Value(prodId)});
    if (!key) return std::nullopt;
    std::vector<std::string> addresses;
    const auto found = lines_.find(*key);
    if (found == lines_.end()) return addresses;
    for (const Line& line : found->second) {
        if (line.kind == Line::Other) return std::nullopt;
        if (line.kind == Line::Plain && line.ordNo == ordNo) addresses.push_back(addressText(line.address));
    }
    return addresses;
}

}  // namespace lumvik::transfer
