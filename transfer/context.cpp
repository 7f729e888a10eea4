#include "transfer/context.h"

#include "app/shell/date_forms.h"

namespace lumvik::transfer {

std::string RunContext::today() const {
    return dates::gregorianText(platform().now().date);
}

std::string RunContext::timeLine() const {
    return dates::timeText(platform().now().time);
}

void RunContext::fitToColumns(std::vector<db::Value>& values, const std::string& selectSql) {
    auto it = columns_.find(selectSql);
    if (it == columns_.end()) it = columns_.emplace(selectSql, form.SQLConnection1.describe(selectSql)).first;
    for (std::size_t i = 0; i < values.size() && i < it->second.size(); ++i)
        values[i] = db::forColumn(std::move(values[i]), it->second[i]);
}

}  // namespace lumvik::transfer
