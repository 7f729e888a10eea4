#include "db/value.h"

#include "base/text.h"
#include "db/error.h"

#include <firebird/Interface.h>

#include <utility>

namespace lumvik::db {

namespace {

// The decimal text of mantissa * 10^scale, without trailing zeros: (1250, -2) is "12.5".
std::string exactDecimal(std::int64_t mantissa, int scale) {
    if (scale >= 0) {
        std::string s = std::to_string(mantissa);
        if (mantissa != 0) s.append(static_cast<std::size_t>(scale), '0');
        return s;
    }
    const bool negative = mantissa < 0;
    // Work on the magnitude as unsigned so that the smallest int64 does not overflow.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(mantissa) : static_cast<std::uint64_t>(mantissa);
    std::string digits = std::to_string(magnitude);
    const auto places = static_cast<std::size_t>(-scale);
    if (digits.size() <= places) digits.insert(0, places - digits.size() + 1, '0');
    std::string whole = digits.substr(0, digits.size() - places);
    std::string fraction = digits.substr(digits.size() - places);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string out = negative && (whole != "0" || !fraction.empty()) ? "-" : "";
    out += whole;
    if (!fraction.empty()) out += "." + fraction;
    return out;
}

}  // namespace

Value::Value(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
Value::Value(const char* text) : kind_(Kind::Text), text_(text) {}
Value::Value(std::int64_t integer) : kind_(Kind::Integer), integer_(integer) {}
Value::Value(double number) : kind_(Kind::Double), double_(number) {}
Value::Value(bool flag) : kind_(Kind::Boolean), integer_(flag ? 1 : 0) {}

Value Value::scaled(std::int64_t mantissa, int scale) {
    Value v;
    v.kind_ = scale == 0 ? Kind::Integer : Kind::Scaled;
    v.integer_ = mantissa;
    v.scale_ = scale;
    return v;
}

std::string Value::asString() const {
    switch (kind_) {
        case Kind::Null:
            return {};
        case Kind::Text:
            return text_;
        case Kind::Integer:
            return std::to_string(integer_);
        case Kind::Scaled:
            return exactDecimal(integer_, scale_);
        case Kind::Double:
            return text::generalNumber(double_);
        case Kind::Boolean:
            return integer_ != 0 ? "True" : "False";
    }
    return {};
}

double Value::asFloat() const {
    switch (kind_) {
        case Kind::Null:
            return 0;
        case Kind::Text:
            return text::parseDecimal(text_);
        case Kind::Integer:
            return static_cast<double>(integer_);
        case Kind::Scaled:
            return text::parseDecimal(exactDecimal(integer_, scale_));
        case Kind::Double:
            return double_;
        case Kind::Boolean:
            return integer_ != 0 ? 1 : 0;
    }
    return 0;
}

std::string Value::variantString() const {
    if (isNull()) throw DbError("Could not convert variant of type (Null) into type (String)");
    return asString();
}

double Value::variantFloat() const {
    if (isNull()) throw DbError("Could not convert variant of type (Null) into type (Double)");
    if (kind_ == Kind::Text) {
        const auto number = text::tryParseDecimal(text_);
        if (!number) throw DbError("Could not convert variant of type (String) into type (Double)");
        return *number;
    }
    return asFloat();
}

bool isTextColumn(const Column& column) {
    return column.type == SQL_TEXT || column.type == SQL_VARYING;
}

Value forColumn(Value value, const Column& column) {
    if (value.kind() == Value::Kind::Text && value.text().empty() && !isTextColumn(column)) return {};
    return value;
}

}  // namespace lumvik::db
