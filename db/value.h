#pragma once

// Values of columns and parameters, and the description of a result's columns.

#include <cstdint>
#include <string>

namespace lumvik::db {

// One value of a column or parameter. Numbers keep their exact form: a NUMERIC(15,2) of 12.50 is the
// mantissa 1250 with scale -2 and reads as the text "12.5".
class Value {
  public:
    enum class Kind { Null, Text, Integer, Scaled, Double, Boolean };

    Value() = default;  // NULL
    Value(std::string text);
    Value(const char* text);
    Value(std::int64_t integer);
    Value(int integer) : Value(static_cast<std::int64_t>(integer)) {}
    Value(double number);
    explicit Value(bool flag);
    [[nodiscard]] static Value scaled(std::int64_t mantissa, int scale);
    [[nodiscard]] static Value null() { return {}; }

    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] bool isNull() const { return kind_ == Kind::Null; }

    // The value as text, the empty text for NULL. Numbers in their shortest form ("12.5", "2",
    // doubles with at most 15 significant digits).
    [[nodiscard]] std::string asString() const;
    // The value as a number: numbers as they are, texts parsed as a decimal (0 when not a number),
    // NULL as 0.
    [[nodiscard]] double asFloat() const;

    // The value converted the strict way: NULL fails with "Could not convert variant of type (Null)
    // into type (String)" (or "(Double)"); a text that is no number fails to convert to a number.
    [[nodiscard]] std::string variantString() const;
    [[nodiscard]] double variantFloat() const;

    [[nodiscard]] std::int64_t mantissa() const { return integer_; }
    [[nodiscard]] int scale() const { return scale_; }
    [[nodiscard]] double doubleValue() const { return double_; }
    // The UTF-8 text of a Text value.
    [[nodiscard]] const std::string& text() const { return text_; }

    bool operator==(const Value&) const = default;

  private:
    Kind kind_ = Kind::Null;
    std::string text_;
    std::int64_t integer_ = 0;
    int scale_ = 0;
    double double_ = 0;
};

// Describes one column of a result.
struct Column {
    std::string name;      // the column's own name (alias when the query gave one)
    std::string relation;  // the table it comes from, empty for computed columns
    std::string field;     // the table's column name, empty for computed columns
    unsigned type = 0;     // Firebird SQL type without the null bit
    int subType = 0;
    unsigned length = 0;
    int scale = 0;
    unsigned charSet = 0;
    bool nullable = true;
};

// Whether a column holds text (CHAR or VARCHAR).
[[nodiscard]] bool isTextColumn(const Column& column);

// A value as a typed field takes it: an empty text set into a column that holds no text is NULL,
// as an edit field left empty is.
[[nodiscard]] Value forColumn(Value value, const Column& column);

}  // namespace lumvik::db
