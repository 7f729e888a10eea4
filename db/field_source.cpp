#include "db/field_source.h"

#include "base/text.h"
#include "db/error.h"

namespace lumvik::db {

void FieldSource::indexColumns() {
    index_.clear();
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i)
        index_.emplace(text::upperAscii(columns_[static_cast<std::size_t>(i)].name), i);
}

int FieldSource::fieldIndex(std::string_view name) const {
    // Most names are short: upper-cased on the stack, as fields are read for every row.
    char upper[64];
    if (name.size() < sizeof upper) {
        for (std::size_t i = 0; i < name.size(); ++i)
            upper[i] = name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
        auto it = index_.find(std::string_view(upper, name.size()));
        return it == index_.end() ? -1 : it->second;
    }
    auto it = index_.find(text::upperAscii(name));
    return it == index_.end() ? -1 : it->second;
}

const Value& FieldSource::field(std::string_view name) const {
    const int i = fieldIndex(name);
    if (i < 0) throw DbError("Field '" + std::string(name) + "' not found");
    return field(i);
}

const Value& FieldSource::field(int index) const {
    static const Value null;
    if (index < 0 || index >= fieldCount())
        throw DbError("Field index " + std::to_string(index) + " out of range");
    const Value* row = currentValues();
    return row == nullptr ? null : row[index];
}

}  // namespace lumvik::db
