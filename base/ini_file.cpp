#include "base/ini_file.h"

#include "base/atomic_file.h"
#include "base/codepage.h"
#include "base/text.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace lumvik {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A section header's name, when the line is one.
std::optional<std::string> sectionName(std::string_view line) {
    const std::string t = text::trimmed(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string::npos) return std::nullopt;
    return text::trimmed(std::string_view(t).substr(1, close - 1));
}

struct KeyLine {
    std::string name;
    std::string value;  // blanks and one pair of enclosing quotes removed
};

std::optional<KeyLine> keyLine(std::string_view line) {
    const std::string t = text::trimmed(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos) return std::nullopt;
    KeyLine key{text::trimmed(std::string_view(t).substr(0, eq)),
                text::trimmed(std::string_view(t).substr(eq + 1))};
    // Windows drops one pair of enclosing quotes, single or double.
    if (key.value.size() >= 2 && (key.value.front() == '"' || key.value.front() == '\'') &&
        key.value.back() == key.value.front())
        key.value = key.value.substr(1, key.value.size() - 2);
    return key;
}

bool isBlankLine(std::string_view line) {
    return text::trimmed(line).empty();
}

// Where a section's lines end: at the next section header or the end of the file.
std::size_t sectionEnd(const std::vector<std::string>& lines, std::size_t header) {
    std::size_t i = header + 1;
    while (i < lines.size() && !sectionName(lines[i]))
        ++i;
    return i;
}

// Only the first section of a name counts, as with Windows' own functions.
std::optional<std::size_t> findSection(const std::vector<std::string>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i]);
        if (name && text::equalsNoCase(*name, section)) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<std::string>& lines, std::size_t header,
                                   std::string_view key) {
    const std::size_t end = sectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto line = keyLine(lines[i]);
        if (line && text::equalsNoCase(line->name, key)) return i;
    }
    return std::nullopt;
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
    std::error_code error;
    const auto status = std::filesystem::status(path_, error);
    if (status.type() == std::filesystem::file_type::not_found) return;
    // A file that is there but cannot be read must not pass for an empty one: its defaults would run
    // a transfer on the wrong databases.
    const auto cannotRead = [&](const std::string& why) {
        throw std::runtime_error("Cannot read " + path_.string() + ": " + why);
    };
    if (error) cannotRead(error.message());
    if (std::filesystem::is_directory(status)) cannotRead("it is a folder");
    std::ifstream in(path_, std::ios::binary);
    if (!in) cannotRead(std::strerror(errno));
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) cannotRead(std::strerror(errno));
    existed_ = true;

    const std::string content =
        bytes.starts_with(kUtf8Bom) ? bytes.substr(kUtf8Bom.size()) : cp950::toUtf8(bytes);
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const auto header = findSection(lines_, section);
    if (!header) return std::nullopt;
    const auto index = findKey(lines_, *header, key);
    if (!index) return std::nullopt;
    return keyLine(lines_[*index])->value;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    return value(section, key).value_or(std::string(fallback));
}

bool IniFile::hasSection(std::string_view section) const {
    return findSection(lines_, section).has_value();
}

std::vector<std::pair<std::string, std::string>> IniFile::section(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> keys;
    const auto header = findSection(lines_, section);
    if (!header) return keys;
    const std::size_t end = sectionEnd(lines_, *header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        if (auto line = keyLine(lines_[i])) keys.emplace_back(std::move(line->name), std::move(line->value));
    }
    return keys;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    const auto header = findSection(lines_, section);
    if (!header) {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::string(key) + "=" + std::string(value));
        return;
    }
    if (const auto index = findKey(lines_, *header, key)) {
        // The key keeps the spelling it has in the file.
        lines_[*index] = keyLine(lines_[*index])->name + "=" + std::string(value);
        return;
    }
    // After the section's last non-blank line, so a blank line before the next section stays there.
    std::size_t insertAt = sectionEnd(lines_, *header);
    while (insertAt > *header + 1 && isBlankLine(lines_[insertAt - 1]))
        --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  std::string(key) + "=" + std::string(value));
}

void IniFile::save() const {
    std::string bytes;
    for (const std::string& line : lines_) {
        bytes += cp950::fromUtf8(line);
        bytes += "\r\n";
    }

    writeFileAtomically(path_, bytes);
}

}  // namespace lumvik
