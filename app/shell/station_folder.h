#pragma once

// The station folder: the folder that holds one station's files (the settings, the connection
// definitions, LOC_IP.TXT, 123.TXT, the run lock and the claim mark, the run record) and its sibling
// programs, in place of the program's own folder. An installation keeps its programs in /usr/bin and
// one such folder per store; without a station folder the programs find everything beside
// themselves, as they always have.

#include <filesystem>
#include <optional>
#include <string>

namespace lumvik {

// The environment variable that names the station folder when no --folder is given.
inline constexpr const char* kFolderVariable = "LUMVIK_FOLDER";

// The station folder asked for: `given` (the value of --folder) when there is one, else
// $LUMVIK_FOLDER when it is set and not empty; made absolute against the working directory, so that
// it names the same folder whatever a sibling program's working directory is. Nothing: the program's
// own folder.
[[nodiscard]] std::optional<std::filesystem::path> requestedStationFolder(
    const std::optional<std::string>& given);

// The same, for a program that uses the folder as it is: one that is not there, or is no folder, is
// thrown as an error that names it, rather than files written or looked for somewhere else.
[[nodiscard]] std::optional<std::filesystem::path> existingStationFolder(
    const std::optional<std::string>& given);

}  // namespace lumvik
