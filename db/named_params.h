#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumvik::db {

// Replaces every ":NAME" outside quotes, quoted names and comments with "?", and lists the names in
// the order of the "?" marks. "::" and a colon followed by no name are left as they are.
struct ParsedParams {
    std::string text;
    std::vector<std::string> names;
};
[[nodiscard]] ParsedParams parseParams(std::string_view sql);

}  // namespace lumvik::db
