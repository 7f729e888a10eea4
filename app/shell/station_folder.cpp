#include "app/shell/station_folder.h"

#include <cstdlib>
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

}  // namespace lumvik
