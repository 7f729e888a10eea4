#pragma once

// Files the program writes beside itself (settings, the collector's machine list, the check query)
// are replaced whole: written to a temporary file in the same folder, flushed to disk and renamed
// over the old one, so that a crash or a power cut leaves either the old file or the new one.

#include <filesystem>
#include <string_view>

namespace lumvik {

// Throws std::runtime_error naming the file when it cannot be written.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Files that only grow (the run history) get whole lines added: the bytes go in one write at the end
// of the file and are flushed to disk before it returns, so that a process killed at any moment leaves
// every line written so far whole. The file is created when missing. Throws std::runtime_error naming
// the file when it cannot be written.
void appendToFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace lumvik
