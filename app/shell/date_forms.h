#pragma once

// The date and time text forms of the transfer, and the two calendar conversions. The store keeps
// dates as ROC calendar texts (year minus 1911), the ERP as Gregorian texts; the conversions work on
// the texts only and never go through a date value.

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumvik::dates {

// The platform's integer conversion error: "'%s' is not a valid integer value".
class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "2012/12/10" gives "101/12/10"; characters after the tenth are dropped; the year is written with
// at least three digits. Throws ConversionError when the first four characters are no whole number.
[[nodiscard]] std::string gregorianToRoc(std::string_view gregorian);

// "101/12/10" gives "2012/12/10"; "99/1/5" gives "2010/1/5" (month and day keep their width);
// "101/12" gives "2012//12". Throws ConversionError when the year part is no whole number.
[[nodiscard]] std::string rocToGregorian(std::string_view roc);

// A date value as the 10-character Gregorian text "yyyy/mm/dd".
[[nodiscard]] std::string gregorianText(std::chrono::year_month_day date);

// A time of day as "hh:nn:ss".
[[nodiscard]] std::string timeText(std::chrono::hh_mm_ss<std::chrono::seconds> time);

// A date field's text read as a date: year, month and day separated by "/" (blanks around the
// parts allowed, as the date field's mask leaves them), a real calendar day. Empty when it is none.
[[nodiscard]] std::optional<std::chrono::year_month_day> parseDate(std::string_view text);

// The error text of a date text that is no date: "'%s' is not a valid date".
class InvalidDate : public std::runtime_error {
  public:
    explicit InvalidDate(std::string_view text);
};

// parseDate, or InvalidDate.
[[nodiscard]] std::chrono::year_month_day requireDate(std::string_view text);

}  // namespace lumvik::dates
