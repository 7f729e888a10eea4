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

namespace {

// One argument after the program: as it is when nothing in it needs quoting, else in quotes, with a
// backslash before each quote and the backslashes that precede a quote (or the closing one) doubled.
void appendArgument(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

}  // namespace

std::string joinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i == 0) {
            // A file name holds no quote, and the program's name is read up to the closing one.
            line += '"' + arguments[0] + '"';
            continue;
        }
        line += ' ';
        appendArgument(line, arguments[i]);
    }
    return line;
}

}  // namespace lumvik
