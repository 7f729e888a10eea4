#pragma once

// The machine list shows one entry per row of MCH_ITEM, "NO,[NAME]"; beside it the program keeps
// each machine's address (MCH_IP) for the collector's machine-list file.

#include <string>
#include <string_view>

namespace lumvik {

inline constexpr const char* kMachineListQuery = "SELECT * FROM MCH_ITEM ORDER BY Mch_no ";

// The entry text of a machine: its first column, ",[", its second column, "]".
[[nodiscard]] std::string machineEntry(std::string_view number, std::string_view name);

// The machine number of an entry: its text before the first ",".
[[nodiscard]] std::string machineNumber(std::string_view entry);

}  // namespace lumvik
