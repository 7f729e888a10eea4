#include "app/shell/station_folder.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace lumvik {

std::optional<std::filesystem::path> requestedStationFolder(const std::optional<std::string>& given) {
    std::string folder;
    if (given) {
        folder = *given;
    } else if (const char* variable = std::getenv(kFolderVariable); variable != nullptr) {
        folder = variable;
    }
    if (folder.empty()) return std::nullopt;
    return std::filesystem::absolute(folder).lexically_normal();
}

std::optional<std::filesystem::path> existingStationFolder(const std::optional<std::string>& given) {
    auto folder = requestedStationFolder(given);
    if (!folder) return folder;
    std::error_code error;
    const auto status = std::filesystem::status(*folder, error);
    if (!std::filesystem::exists(status))
        throw std::runtime_error("the station folder " + folder->string() + " does not exist");
    if (!std::filesystem::is_directory(status))
        throw std::runtime_error("the station folder " + folder->string() + " is not a folder");
    return folder;
}

bool folderWritable(const std::filesystem::path& folder) {
    // Trying is the only answer that holds for access lists, read-only mounts and the super-user alike.
    const auto probe = folder / (".lumvik-probe-" +
                                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    const bool made = static_cast<bool>(std::ofstream(probe, std::ios::binary));
    std::error_code ignored;
    if (made) std::filesystem::remove(probe, ignored);
    return made;
}

std::optional<std::string> ownFolderProblem(const std::filesystem::path& programDirectory) {
    if (folderWritable(programDirectory)) return std::nullopt;
    return "The program's folder " + programDirectory.string() +
           " cannot be written, so it holds no station. Start lumvik with --folder DIR, or set " +
           kFolderVariable + " to the station folder (for example /var/lib/lumvik/store1).";
}

}  // namespace lumvik
