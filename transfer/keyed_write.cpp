#include "transfer/keyed_write.h"

#include "base/text.h"

namespace lumvik::transfer {

bool keyedWrite(db::RowSet& lookup, const std::vector<std::pair<const char*, db::Value>>& columns,
                db::Batch* batch) {
    const bool adding = lookup.recordCount() == 0;
    if (!adding) {
        lookup.first();
        lookup.edit();
    } else {
        lookup.insert();
    }
    for (const auto& [name, value] : columns)
        lookup.setField(name, value);
    lookup.post();
    std::string sql;
    std::vector<db::Value> params;
    if (batch != nullptr && adding && lookup.takeInsert(sql, params)) {
        // A refused row is dropped as it is without the batch.
        batch->add(std::move(sql), std::move(params));
        return true;
    }
    return lookup.applyUpdates(0) == 0;
}

std::string keyCondition(std::string condition, const db::Value& value) {
    if (!value.isNull()) return condition + text::quoted(value.asString());
    return condition.replace(condition.rfind('='), 1, "IS NULL");
}

}  // namespace lumvik::transfer
