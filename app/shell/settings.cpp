#include "app/shell/settings.h"

#include "base/ini_file.h"
#include "base/text.h"
#include "db/connection.h"

#include <algorithm>

namespace lumvik {
namespace {

constexpr int kLastTransferMode = 2;
constexpr int kLastServerKind = 1;

// A choice index as the choice list takes it: -1 is "none", anything beyond the list is its last entry.
int choiceIndex(const IniFile& ini, const char* key, int last) {
    const int index = text::parseWhole(ini.readString(kSettingsSection, key), 0);
    return std::clamp(index, -1, last);
}

}  // namespace

Settings readSettings(const std::filesystem::path& file) {
    const IniFile ini(file);
    Settings settings;
    settings.source = ini.readString(kSettingsSection, "Source");
    settings.target = ini.readString(kSettingsSection, "Target");
    settings.transferMode = choiceIndex(ini, "Class", kLastTransferMode);
    settings.serverKind = choiceIndex(ini, "ServerClass", kLastServerKind);
    settings.allDates = ini.readString(kSettingsSection, "Auto") == "True";
    settings.tempProduct = ini.readString(kSettingsSection, "tempid");
    return settings;
}

int readLockWait(const std::filesystem::path& file) {
    const auto seconds = text::tryParseWhole(IniFile(file).readString(kOwnSettingsSection, "LockWait"));
    return seconds && *seconds >= 0 && *seconds <= kMaxLockWaitSeconds ? *seconds
                                                                       : db::kDefaultLockWaitSeconds;
}

void writeSettings(const std::filesystem::path& file, const Settings& settings) {
    IniFile ini(file);
    ini.writeString(kSettingsSection, "Source", settings.source);
    ini.writeString(kSettingsSection, "Target", settings.target);
    ini.writeString(kSettingsSection, "Class", std::to_string(settings.transferMode));
    ini.writeString(kSettingsSection, "ServerClass", std::to_string(settings.serverKind));
    ini.writeString(kSettingsSection, "Auto", settings.allDates ? "True" : "False");
    ini.writeString(kSettingsSection, "tempid", settings.tempProduct);
    ini.save();
}

}  // namespace lumvik
