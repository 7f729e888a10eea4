#pragma once

// The settings file "FormLumvik.ini" beside the program: section "Con", six keys.

#include <filesystem>
#include <string>

namespace lumvik {

inline constexpr const char* kSettingsFileName = "FormLumvik.ini";
inline constexpr const char* kSettingsSection = "Con";

struct Settings {
    std::string source;       // "Source": the store database location (Source Path field)
    std::string target;       // "Target": kept in the file only
    int transferMode = 0;     // "Class": 0 "未傳送", 1 "日傳送", 2 "補單", -1 none
    int serverKind = 0;       // "ServerClass": 0 "Windows", 1 "Linux", -1 none
    bool allDates = false;    // "Auto": ticked exactly when the value is "True"
    std::string tempProduct;  // "tempid": the temporary product field, as shown

    bool operator==(const Settings&) const = default;
};

// Every key is read even when absent: a missing file gives the defaults (empty texts, 0, false).
// A "Class" or "ServerClass" text that is no whole number reads 0; an index below -1 reads -1, one
// beyond the last choice reads the last choice (2 for the mode, 1 for the server kind).
[[nodiscard]] Settings readSettings(const std::filesystem::path& file);

// Our own key, in a section of its own so that the six keys above stay as the file has them:
// [Lumvik] LockWait, the seconds a statement waits for a row another connection holds before the run
// ends (0: it does not wait). Absent, or no whole number from 0 to kMaxLockWaitSeconds: 60.
inline constexpr const char* kOwnSettingsSection = "Lumvik";
inline constexpr int kMaxLockWaitSeconds = 32767;
[[nodiscard]] int readLockWait(const std::filesystem::path& file);

// Writes the six keys in the order Source, Target, Class, ServerClass, Auto, tempid, keeping the rest
// of the file. "Auto" is written "True" or "False". The file is created when absent.
void writeSettings(const std::filesystem::path& file, const Settings& settings);

}  // namespace lumvik
