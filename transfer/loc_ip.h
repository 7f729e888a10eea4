#pragma once

// LOC_IP.TXT, the machine-list file handed to the collector: one line per ticked machine (its number
// in 10 bytes, then its address), then a trailer by transfer mode. Code page 950, CR LF after every
// line.

#include <filesystem>
#include <string>
#include <vector>

namespace lumvik::transfer {

inline constexpr const char* kLocIpFileName = "LOC_IP.TXT";

// The file's bytes. `entries`, `ticks` and `addresses` run in machine-list order; `chosenDate` is the
// Gregorian date text, used by the mode 1 trailer "END:" + its ROC form.
[[nodiscard]] std::string locIpBytes(const std::vector<std::string>& entries, const std::vector<bool>& ticks,
                                     const std::vector<std::string>& addresses, int mode,
                                     const std::string& chosenDate);

// Replaces the file in `directory` whole.
void writeLocIp(const std::filesystem::path& directory, const std::string& bytes);

}  // namespace lumvik::transfer
