#pragma once

// JSON values for the files the program keeps about itself (the run history): written as one line,
// read back whole. Texts are UTF-8; numbers are whole numbers or doubles.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumvik::json {

class Value {
  public:
    enum class Kind { Null, Bool, Whole, Double, Text, Array, Object };

    Value() = default;
    Value(bool b) : kind_(Kind::Bool), whole_(b ? 1 : 0) {}
    Value(int n) : kind_(Kind::Whole), whole_(n) {}
    Value(std::int64_t n) : kind_(Kind::Whole), whole_(n) {}
    Value(std::uint64_t n) : kind_(Kind::Whole), whole_(static_cast<std::int64_t>(n)) {}
    Value(double d) : kind_(Kind::Double), double_(d) {}
    Value(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
    Value(const char* text) : kind_(Kind::Text), text_(text) {}
    [[nodiscard]] static Value array() { return Value(Kind::Array); }
    [[nodiscard]] static Value object() { return Value(Kind::Object); }

    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] bool isNull() const { return kind_ == Kind::Null; }
    // The text of a text value, "" for any other.
    [[nodiscard]] const std::string& text() const { return text_; }
    // A number as a whole number (a double cut towards zero), `fallback` for anything else.
    [[nodiscard]] std::int64_t whole(std::int64_t fallback = 0) const;

    // Arrays.
    void push(Value item) { items_.push_back(std::move(item)); }
    [[nodiscard]] const std::vector<Value>& items() const { return items_; }

    // Objects keep their members in the order they were set. Setting a member that exists replaces it.
    Value& set(const std::string& key, Value value);
    // The member of that name; a null value when there is none (or this is no object).
    [[nodiscard]] const Value& operator[](std::string_view key) const;
    [[nodiscard]] const std::vector<std::pair<std::string, Value>>& members() const { return members_; }

    // The value as JSON text on one line, without blanks.
    [[nodiscard]] std::string dump() const;

  private:
    explicit Value(Kind kind) : kind_(kind) {}
    void dumpTo(std::string& out) const;

    Kind kind_ = Kind::Null;
    std::int64_t whole_ = 0;
    double double_ = 0;
    std::string text_;
    std::vector<Value> items_;
    std::vector<std::pair<std::string, Value>> members_;
};

// One JSON value that fills the whole text (blanks around it allowed); std::nullopt when the text is
// no such value.
[[nodiscard]] std::optional<Value> parse(std::string_view text);

}  // namespace lumvik::json
