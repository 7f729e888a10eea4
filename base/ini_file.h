#pragma once

// An INI file read and written the way Windows' profile functions do it, so that files written by
// either side read back on the other: "[Section]" lines, then "Key=Value" lines; section and key
// names compared without regard to case; values taken as they stand (backslashes are not escapes),
// blanks around names and values dropped, a value enclosed in one pair of double quotes unquoted.
// The file's bytes are code page 950; lines end in CR LF when written and in CR LF or LF when read.
// Writing a key keeps every other section, key and comment of the file.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumvik {

class IniFile {
  public:
    // Reads the file when it exists; a missing file gives an empty one. Throws std::runtime_error,
    // naming the file, when it is there but cannot be read (a folder, no permission).
    explicit IniFile(std::filesystem::path path);

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] bool existed() const { return existed_; }

    [[nodiscard]] std::optional<std::string> value(std::string_view section, std::string_view key) const;
    [[nodiscard]] std::string readString(std::string_view section, std::string_view key,
                                         std::string_view fallback = {}) const;
    [[nodiscard]] bool hasSection(std::string_view section) const;
    // Every key of a section, in file order, with its value.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> section(std::string_view section) const;

    // Sets a key in memory, adding the section (at the end) and the key (at the end of its section)
    // when absent.
    void writeString(std::string_view section, std::string_view key, std::string_view value);

    // Writes the whole file. It is written to a temporary file beside it and renamed over it, so a
    // crash never leaves half a file. Throws std::runtime_error naming the file when that fails.
    void save() const;

  private:
    std::filesystem::path path_;
    bool existed_ = false;
    std::vector<std::string> lines_;  // UTF-8, without line ends
};

}  // namespace lumvik
