#include "app/shell/platform.h"

namespace lumvik {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

// The rules of the Microsoft C runtime: backslashes are literal unless a run of them ends at a quote;
// then each pair gives one backslash, and an odd one out makes the quote literal instead of grouping.
std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;  // an argument has begun, even if it stays empty (as "" does)
    bool quoted = false;
    std::size_t i = 0;
    while (i < commandLine.size()) {
        const char c = commandLine[i];
        if (isBlank(c) && !quoted) {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t end = i;
            while (end < commandLine.size() && commandLine[end] == '\\')
                ++end;
            const std::size_t count = end - i;
            if (end < commandLine.size() && commandLine[end] == '"') {
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current.push_back('"');
                    ++end;
                }
            } else {
                current.append(count, '\\');
            }
            i = end;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else {
            current.push_back(c);
        }
        ++i;
    }
    if (inArgument) arguments.push_back(std::move(current));
    return arguments;
}

}  // namespace lumvik
