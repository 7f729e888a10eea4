#pragma once

// The number texts of the daily summary. Each rounds half away from zero on the number's shortest
// decimal form, so 333.645 gives 333.65 as a person reading it expects, even though the nearest
// double lies a little below.

#include <string>

namespace lumvik::summary {

// Whole units with "," between thousands: 12345 gives "12,345", -1500 gives "-1,500".
[[nodiscard]] std::string wholeUnitText(double value);

// Exactly two decimals, no grouping: 333.648 gives "333.65", 0.004 gives "0.00".
[[nodiscard]] std::string twoDecimalText(double value);

// Whole units without grouping: 12345.5 gives "12346".
[[nodiscard]] std::string plainWholeText(double value);

// The number rounded to `places` decimals, half away from zero, as the decimal text reads.
[[nodiscard]] double roundedHalfAway(double value, int places);

}  // namespace lumvik::summary
