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

// Whether this process can create files in `folder`: a station's folder takes LOC_IP.TXT, the settings
// and the marks, so a folder that cannot be written (the program's own in /usr/bin, for a window
// started from the desktop menu without a station) is no station.
[[nodiscard]] bool folderWritable(const std::filesystem::path& folder);

// The window's station when none was asked for: the program's own folder, unless that cannot be
// written; then the error to show, which says how to name a station.
[[nodiscard]] std::optional<std::string> ownFolderProblem(const std::filesystem::path& programDirectory);

}  // namespace lumvik
