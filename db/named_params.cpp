#include "db/named_params.h"

namespace lumvik::db {

ParsedParams parseParams(std::string_view sql) {
    ParsedParams out;
    std::size_t i = 0;
    auto isNameChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '$';
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // Quoted text or quoted name: copied as it stands up to its closing quote ('' inside
            // stays part of the literal).
            const std::size_t end = sql.find(c, i + 1);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
            out.text.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t end = sql.find('\n', i);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
            out.text.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
            out.text.append(sql.substr(i, stop - i));
            i = stop;
        } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
            out.text.append("::");
            i += 2;
        } else if (c == ':' && i + 1 < sql.size() && isNameChar(sql[i + 1])) {
            std::size_t end = i + 1;
            while (end < sql.size() && isNameChar(sql[end]))
                ++end;
            out.names.emplace_back(sql.substr(i + 1, end - i - 1));
            out.text += '?';
            i = end;
        } else {
            out.text += c;
            ++i;
        }
    }
    return out;
}

}  // namespace lumvik::db
