#pragma once

// The text conventions every part of the transfer uses when it reads values from rows and writes
// them into statements.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumvik::text {

// Characters with codes up to and including 32 removed at both ends.
[[nodiscard]] std::string trimmed(std::string_view s);

// A decimal number with "." as the decimal point, 0 when the text is empty or not a number.
// Blanks around the number are allowed; "12.5", "-3", ".5", "1e3" are numbers; "12,5", "abc",
// "1.2.3", "inf" are not.
[[nodiscard]] double parseDecimal(std::string_view s);

// The same, but tells whether the text was a number at all.
[[nodiscard]] std::optional<double> tryParseDecimal(std::string_view s);

// A 32-bit signed whole number: optional blanks, an optional sign, decimal digits. No fraction,
// no exponent, nothing outside the range of a 32-bit integer ("12.5" and "99999999999" are not).
[[nodiscard]] std::optional<std::int32_t> tryParseWhole(std::string_view s);
[[nodiscard]] std::int32_t parseWhole(std::string_view s, std::int32_t fallback = 0);

// A number in its shortest form with at most 15 significant digits, "." as the decimal point, no
// thousands separator, no trailing zeros and no point for whole values: 12.5, 100, 0.05, -3.
// Magnitudes that need more than 15 digits before the point, or tiny ones, use an exponent (1E+20).
[[nodiscard]] std::string generalNumber(double value);

// A value as a statement literal: enclosed in single quotes, a quote inside doubled, so that
// "O'Brien" becomes 'O''Brien' and cannot end the literal early.
[[nodiscard]] std::string quoted(std::string_view value);
// The parameter marks of a statement with `count` values: "?,?,?".
[[nodiscard]] std::string parameterMarks(std::size_t count);

// Upper-case ASCII copy, for names compared without regard to case.
[[nodiscard]] std::string upperAscii(std::string_view s);
[[nodiscard]] bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace lumvik::text
