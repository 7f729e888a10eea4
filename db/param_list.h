#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumvik::db {

// Name=Value parameter lines of a connection. Names are matched without regard to case; setting an
// empty value removes the line.
class ParamList {
  public:
    void set(std::string_view name, std::string_view value);
    [[nodiscard]] std::optional<std::string> get(std::string_view name) const;
    [[nodiscard]] std::string value(std::string_view name) const { return get(name).value_or(""); }
    void clear() { lines_.clear(); }
    // "Name=Value" lines, in the order the names were first set.
    [[nodiscard]] std::vector<std::string> lines() const;
    [[nodiscard]] bool empty() const { return lines_.empty(); }

  private:
    std::vector<std::pair<std::string, std::string>> lines_;
};

}  // namespace lumvik::db
