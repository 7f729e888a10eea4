#pragma once

#include "db/value.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lumvik::db {

// Reads fields by name (without regard to case) or position.
class FieldSource {
  public:
    virtual ~FieldSource() = default;
    [[nodiscard]] int fieldCount() const { return static_cast<int>(columns_.size()); }
    [[nodiscard]] const std::vector<Column>& columns() const { return columns_; }
    [[nodiscard]] int fieldIndex(std::string_view name) const;  // -1 when absent
    // The current row's value; on an empty result every field reads NULL. A name that is no field
    // fails with "Field 'NAME' not found".
    [[nodiscard]] const Value& field(std::string_view name) const;
    [[nodiscard]] const Value& field(int index) const;

  protected:
    virtual const Value* currentValues() const = 0;
    std::vector<Column> columns_;
    std::map<std::string, int, std::less<>> index_;  // upper-case name -> position
    void indexColumns();
};

}  // namespace lumvik::db
