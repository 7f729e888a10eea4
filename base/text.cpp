#include "base/text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace lumvik::text {
namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Shape of a decimal text, checked by hand because std::from_chars also takes "inf", "nan" and
// other forms the files never mean as numbers, and rejects a leading "+".
struct DecimalShape {
    bool valid = false;
    bool negative = false;
    std::string_view unsignedPart;  // the text after the sign
    // Rough power of ten of the value, only to tell underflow from overflow.
    long long magnitude = 0;
};

DecimalShape decimalShape(std::string_view s) {
    DecimalShape shape;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) shape.negative = s[i++] == '-';
    shape.unsignedPart = s.substr(i);

    std::size_t intDigits = 0, fracDigits = 0;
    long long leadingFracZeros = 0;
    bool nonZeroSeen = false;
    long long significantIntDigits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i, ++intDigits) {
        if (s[i] != '0') nonZeroSeen = true;
        if (nonZeroSeen) ++significantIntDigits;
    }
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && isDigit(s[i]); ++i, ++fracDigits) {
            if (s[i] != '0') nonZeroSeen = true;
            if (!nonZeroSeen) ++leadingFracZeros;
        }
    }
    if (intDigits + fracDigits == 0) return shape;

    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
        const std::size_t expStart = i;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            if (exponent < 1'000'000) exponent = exponent * 10 + (s[i] - '0');
        }
        if (i == expStart) return shape;
        if (expNegative) exponent = -exponent;
    }
    if (i != s.size()) return shape;

    shape.valid = true;
    shape.magnitude = exponent + (significantIntDigits > 0 ? significantIntDigits : -leadingFracZeros);
    return shape;
}

}  // namespace

std::string trimmed(std::string_view s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return std::string(s.substr(begin, end - begin));
}

std::optional<double> tryParseDecimal(std::string_view s) {
    const std::string t = trimmed(s);
    const DecimalShape shape = decimalShape(t);
    if (!shape.valid) return std::nullopt;

    double value = 0;
    const std::string_view digits = shape.unsignedPart;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large to hold is no number.
        if (shape.magnitude > 0) return std::nullopt;
        value = 0;
    } else if (ec != std::errc() || ptr != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return shape.negative ? -value : value;
}

double parseDecimal(std::string_view s) {
    return tryParseDecimal(s).value_or(0.0);
}

std::optional<std::int32_t> tryParseWhole(std::string_view s) {
    const std::string t = trimmed(s);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i == t.size()) return std::nullopt;

    // Accumulated as a negative number so that the lowest 32-bit value fits.
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i])) return std::nullopt;
        value = value * 10 - (t[i] - '0');
        if (value < lowest) return std::nullopt;
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t parseWhole(std::string_view s, std::int32_t fallback) {
    return tryParseWhole(s).value_or(fallback);
}

std::string generalNumber(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";  // also for -0

    // to_chars in general format with precision 15 is printf's %.15g without its locale: trailing
    // zeros and a bare point are already gone, only the exponent needs tidying.
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (ec != std::errc()) return "0";
    std::string out(buffer, end);

    const std::size_t e = out.find('e');
    if (e == std::string::npos) return out;
    // "1e+20" -> "1E+20", "1e-05" -> "1E-5".
    std::string exponent = out.substr(e + 1);
    const char sign = exponent.empty() ? '+' : exponent.front();
    std::string digits = exponent.substr(1);
    const std::size_t firstNonZero = digits.find_first_not_of('0');
    digits = firstNonZero == std::string::npos ? "0" : digits.substr(firstNonZero);
    out.resize(e);
    out += 'E';
    out += sign;
    out += digits;
    return out;
}

std::string quoted(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string parameterMarks(std::size_t count) {
    std::string marks;
    for (std::size_t i = 0; i < count; ++i)
        marks += i == 0 ? "?" : ",?";
    return marks;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = upper(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

}  // namespace lumvik::text
