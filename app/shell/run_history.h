#pragma once

// The run history of a station: every transfer, from the window or from lumvik-auto, adds a start
// line when it begins and an end line when it is over to "lumvik-runs.jsonl" in the station folder
// (beside the program). Each line is one JSON object, added whole with one write and flushed to
// disk, so a killed run leaves the file readable and its start line standing alone; the two lines of
// a run share its id, and the end line repeats the start line's fields so that it stands alone too.
//
// Threading: the caller's thread; two processes may append to the same file at once.

#include "app/shell/operator.h"
#include "app/shell/platform.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumvik {

inline constexpr const char* kRunHistoryFileName = "lumvik-runs.jsonl";

// The version of lumvik, as the build names it.
[[nodiscard]] const char* lumvikVersion();

// What a transfer moved, as its end line records it.
struct MovedCounts {
    std::array<std::uint64_t, 4> bills{};  // bills copied, by table family
    std::array<std::uint64_t, 4> lines{};  // lines copied, by table family
    // Store rows taken up and written through to the ERP, by side table (POS_GIVE, POS_DISROL, POS_COST,
    // POINT_MASTER); a cost row without cost and a point row without member are taken up but not written.
    std::map<std::string, std::uint64_t> sideRows;
    std::uint64_t billsRecollected = 0;  // put back for collection by the verification
};

// How a run ended, as the history names it.
inline constexpr const char* kOutcomeCompleted = "completed";
inline constexpr const char* kOutcomeRefused = "refused";
inline constexpr const char* kOutcomeSevereAnomaly = "severe anomaly";
inline constexpr const char* kOutcomeConnectionFailed = "connection failed";
inline constexpr const char* kOutcomeError = "error";
inline constexpr const char* kOutcomeStopped = "stopped";

struct RunRecord {
    std::string id;
    std::string program;  // "lumvik" (the window) or "lumvik-auto"
    std::string version;
    std::string start;  // local time, "yyyy/mm/dd hh:nn:ss"
    std::string end;    // empty while the run has no end line (killed, or still running)
    std::string date;   // the chosen business day, "yyyy/mm/dd"
    int mode = 0;
    std::vector<std::string> machines;  // the ticked machines' numbers
    std::string outcome;                // one of the kOutcome... names; empty without an end line
    std::optional<int> exitStatus;      // lumvik-auto's
    MovedCounts moved;
    std::vector<std::string> warnings;  // the warning and error texts the run showed
};

class RunHistory {
  public:
    explicit RunHistory(std::filesystem::path file) : file_(std::move(file)) {}
    // The history of the station the program runs in.
    [[nodiscard]] static RunHistory ofStation(const Platform& platform);

    [[nodiscard]] const std::filesystem::path& file() const { return file_; }

    // Add one line; throw std::runtime_error naming the file when it cannot be written.
    void appendStart(const RunRecord& run) const;
    void appendEnd(const RunRecord& run) const;

    // The last `count` runs, oldest first, each with its end line's fields when it has one. Lines that
    // are no JSON object of a run (a damaged file) are passed over. A missing file holds no run.
    [[nodiscard]] std::vector<RunRecord> lastRuns(std::size_t count) const;

  private:
    std::filesystem::path file_;
};

// The runs as a table with a heading, one line per run; a run without end line shows as "killed or
// running".
[[nodiscard]] std::string historyTable(const std::vector<RunRecord>& runs);

// Records one transfer: the start line when it is made (the run's date, mode and machines read from
// the operator's choices), the end line at finish(). A history that cannot be written is told to
// `onError` and never stops a run.
class RunRecorder {
  public:
    RunRecorder(RunHistory history, const Platform& platform, const Operator& op, std::string program,
                std::function<void(const std::string&)> onError);

    // A warning or error the run showed.
    void warned(const std::string& text) { record_.warnings.push_back(text); }
    void finish(const std::string& outcome, std::optional<int> exitStatus, const MovedCounts& moved);

    [[nodiscard]] const RunRecord& record() const { return record_; }

  private:
    RunHistory history_;
    const Platform& platform_;
    RunRecord record_;
    std::function<void(const std::string&)> onError_;
};

}  // namespace lumvik
