#include "app/shell/date_forms.h"

#include "base/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace lumvik::dates {
namespace {

constexpr std::int64_t kRocOffset = 1911;

// The year parts are read the way the store's own programs read them: blanks before the number
// are allowed, blanks after it are not.
std::int64_t yearNumber(std::string_view yearText) {
    const bool trailingBlank = !yearText.empty() && static_cast<unsigned char>(yearText.back()) <= 32;
    const auto year = trailingBlank ? std::nullopt : text::tryParseWhole(yearText);
    if (!year) throw ConversionError("'" + std::string(yearText) + "' is not a valid integer value");
    return *year;
}

// At least `digits` digits, zero-filled on the left; a minus sign goes before the zeros ("-011").
std::string zeroFilled(std::int64_t value, int digits) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", digits, static_cast<long long>(std::llabs(value)));
    return (value < 0 ? "-" : "") + std::string(buffer);
}

// One part of a masked date: digits with blanks around them where the mask had no digit.
std::optional<unsigned> datePart(std::string_view part) {
    const std::string digits = text::trimmed(part);
    if (digits.empty()) return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        if (value < 100000) value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

}  // namespace

std::string gregorianToRoc(std::string_view gregorian) {
    const std::string_view rest = gregorian.size() > 4 ? gregorian.substr(4, 6) : std::string_view{};
    const std::int64_t year = yearNumber(gregorian.substr(0, 4));
    return zeroFilled(year - kRocOffset, 3) + std::string(rest);
}

std::string rocToGregorian(std::string_view roc) {
    const std::size_t yearEnd = roc.find('/');
    // Without any "/" there is no year part at all.
    const std::string_view yearText =
        yearEnd == std::string_view::npos ? std::string_view{} : roc.substr(0, yearEnd);
    std::string_view rest = yearEnd == std::string_view::npos ? roc : roc.substr(yearEnd + 1);

    std::string_view monthText;
    if (const std::size_t monthEnd = rest.find('/'); monthEnd != std::string_view::npos) {
        monthText = rest.substr(0, monthEnd);
        rest.remove_prefix(monthEnd + 1);
    }
    const std::string dayText = text::trimmed(rest);

    const std::int64_t year = yearNumber(yearText);
    return zeroFilled(year + kRocOffset, 4) + "/" + std::string(monthText) + "/" + dayText;
}

std::string gregorianText(std::chrono::year_month_day date) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d/%02u/%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return buffer;
}

std::string timeText(std::chrono::hh_mm_ss<std::chrono::seconds> time) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", static_cast<long long>(time.hours().count()),
                  static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()));
    return buffer;
}

std::optional<std::chrono::year_month_day> parseDate(std::string_view text) {
    const std::size_t first = text.find('/');
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t second = text.find('/', first + 1);
    if (second == std::string_view::npos) return std::nullopt;

    const auto year = datePart(text.substr(0, first));
    const auto month = datePart(text.substr(first + 1, second - first - 1));
    const auto day = datePart(text.substr(second + 1));  // a third "/" makes this part fail
    if (!year || !month || !day) return std::nullopt;
    // Checked before building the date: std::chrono::month and day keep only one byte of the number.
    if (*year < 1 || *year > 9999 || *month < 1 || *month > 12 || *day < 1 || *day > 31) return std::nullopt;

    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(*year)),
                                           std::chrono::month(*month), std::chrono::day(*day)};
    if (!date.ok()) return std::nullopt;
    return date;
}

InvalidDate::InvalidDate(std::string_view text)
    : std::runtime_error("'" + std::string(text) + "' is not a valid date") {}

std::chrono::year_month_day requireDate(std::string_view text) {
    if (const auto date = parseDate(text)) return *date;
    throw InvalidDate(text);
}

}  // namespace lumvik::dates
