#pragma once

// The command line of lumvik-auto.

#include "app/shell/form_core.h"
#include "app/shell/stop_signals.h"

#include <optional>
#include <string>
#include <vector>

namespace lumvik::autorun {

// Exit statuses.
inline constexpr int kCompleted = 0;
inline constexpr int kRefused = 1;
inline constexpr int kSevereAnomaly = 2;
inline constexpr int kConnectionFailed = 3;
inline constexpr int kOtherError = 4;
inline constexpr int kStopped = kStoppedStatus;

extern const char* const kUsage;

// Runs --history lists when it names no number.
inline constexpr int kHistoryRuns = 10;

struct Options {
    std::optional<std::string> date;
    std::optional<int> mode;
    std::optional<std::vector<std::string>> machines;  // empty optional: all; an empty list: none
    std::optional<bool> allDates;
    std::optional<int> lockWait;  // seconds; empty: the settings file's, else 60
    bool skipCollector = false;
    bool force = false;
    bool stats = false;
    bool summary = false;
    bool check = false;
    bool createIndexes = false;
    std::optional<int> history;  // --history [N]: the last N runs
    bool help = false;
    std::optional<std::string> folder;  // the station folder; else $LUMVIK_FOLDER, else the program's
    FormFiles files;
};

// Parses the arguments after the program name; an error text when they cannot be parsed.
[[nodiscard]] std::optional<std::string> parseOptions(const std::vector<std::string>& args, Options& options);

}  // namespace lumvik::autorun
