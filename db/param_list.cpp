#include "db/param_list.h"

#include "base/text.h"

#include <algorithm>

namespace lumvik::db {

void ParamList::set(std::string_view name, std::string_view value) {
    auto it = std::find_if(lines_.begin(), lines_.end(),
                           [&](const auto& line) { return text::equalsNoCase(line.first, name); });
    if (value.empty()) {
        if (it != lines_.end()) lines_.erase(it);
        return;
    }
    if (it != lines_.end())
        it->second = value;
    else
        lines_.emplace_back(std::string(name), std::string(value));
}

std::optional<std::string> ParamList::get(std::string_view name) const {
    for (const auto& [n, v] : lines_)
        if (text::equalsNoCase(n, name)) return v;
    return std::nullopt;
}

std::vector<std::string> ParamList::lines() const {
    std::vector<std::string> out;
    for (const auto& [n, v] : lines_)
        out.push_back(n + "=" + v);
    return out;
}

}  // namespace lumvik::db
