#include "summary/number_texts.h"

#include "base/codepage.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace lumvik::summary {
namespace {

// The value rounded to `places` decimals and written with exactly that many, "-" only when the
// rounded value is not zero.
std::string fixed(double value, int places) {
    // Round the 15-digit decimal form, not the binary value: 2.675 is read as "2.675" and gives 2.68.
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.15g", value);
    const double shortest = std::strtod(digits, nullptr);
    const double scale = std::pow(10.0, places);
    double scaled = std::fabs(shortest) * scale;
    std::snprintf(digits, sizeof digits, "%.15g", scaled);
    scaled = std::floor(std::strtod(digits, nullptr) + 0.5);
    char out[64];
    std::snprintf(out, sizeof out, "%.*f", places, scaled / scale);
    // Built as one piece: GCC 12 warns falsely about inserting a sign in front at -O2.
    return std::string(shortest < 0 && scaled != 0 ? "-" : "") + out;
}

}  // namespace

std::string cutToBytes(const std::string& utf8, std::size_t width) {
    return cp950::byteWidth(utf8) <= width ? utf8 : cp950::fitToBytes(utf8, width);
}

double roundedHalfAway(double value, int places) {
    return std::strtod(fixed(value, places).c_str(), nullptr);
}

std::string plainWholeText(double value) {
    return fixed(value, 0);
}

std::string twoDecimalText(double value) {
    return fixed(value, 2);
}

std::string wholeUnitText(double value) {
    std::string digits = fixed(value, 0);
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.erase(0, 1);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return negative ? "-" + grouped : grouped;
}

}  // namespace lumvik::summary
