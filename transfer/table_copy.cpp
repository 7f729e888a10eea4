#include "transfer/table_copy.h"

namespace lumvik::transfer {

std::unique_ptr<TableCopy> TableCopy::load(db::Connection& connection, const std::string& table,
                                           const std::vector<std::string>& keyColumns) {
    std::unique_ptr<TableCopy> copy(new TableCopy);
    copy->rows_ = std::make_unique<db::RowSet>(&connection, table);
    db::RowSet& rows = *copy->rows_;
    rows.setCommandText("SELECT * FROM " + table);
    try {
        rows.open();
    } catch (const db::DbError&) {
        return nullptr;
    }
    std::vector<int> places;
    for (const auto& name : keyColumns) {
        const int place = rows.fieldIndex(name);
        if (place < 0) return nullptr;
        const KeyKind kind = keyKind(rows.columns()[static_cast<std::size_t>(place)]);
        if (kind == KeyKind::Other) return nullptr;
        places.push_back(place);
        copy->keys_.emplace_back(std::vector<KeyKind>{kind});
    }
    for (rows.first(); !rows.eof(); rows.next())
        for (std::size_t k = 0; k < places.size(); ++k)
            copy->keys_[k].add({rows.field(places[k])}, rows.position());
    for (const auto& index : copy->keys_)
        if (!index.complete()) return nullptr;
    return copy;
}

std::optional<int> TableCopy::first(std::size_t column, const db::Value& value) const {
    const KeyIndex& index = keys_.at(column);
    const std::optional<std::string> key = index.key({value});
    if (!key) return std::nullopt;
    return index.first(*key);
}

}  // namespace lumvik::transfer
