#pragma once

// The number texts and the text fields of the daily summary. Each rounds half away from zero on the number's
// shortest decimal form, so 333.645 gives 333.65 as a person reading it expects, even though the nearest
// double lies a little below.

#include <string>

namespace lumvik::summary {

// Whole units with "," between thousands: 12345 gives "12,345", -1500 gives "-1,500".
[[nodiscard]] std::string wholeUnitText(double value);

// Exactly two decimals, no grouping: 333.648 gives "333.65", 0.004 gives "0.00".
[[nodiscard]] std::string twoDecimalText(double value);

// Whole units without grouping: 12345.5 gives "12346".
[[nodiscard]] std::string plainWholeText(double value);

// A listing field: the first `width` code page 950 bytes of a text, or the whole text when it is not
// longer. It is never padded, except that a double-byte character the cut would split is left out and
// replaced by one blank, so the field never holds half a character.
[[nodiscard]] std::string cutToBytes(const std::string& utf8, std::size_t width);

// The number rounded to `places` decimals, half away from zero, as the decimal text reads.
[[nodiscard]] double roundedHalfAway(double value, int places);

}  // namespace lumvik::summary
