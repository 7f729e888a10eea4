#pragma once

// The record of a "day again" run (mode 1) in progress, so that the next run can finish it.
//
// A mode 1 run deletes the day's ERP copies family by family and claims the day's side-table rows
// whatever they were marked; stopped half-way (a kill, a stop, a lost server, an error), it leaves
// families it had not reached with their earlier copies and side-table rows marked moved that it had
// meant to move again. A mode 0 run moves only what is not marked moved, so it cannot tell. The run
// therefore writes this record beside the program before its first database change and removes it
// when its work is done (its re-runs included); a run that finds the record runs that day again
// first, without the collector, and only then does its own work.

#include "app/shell/operator.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumvik::transfer {

inline constexpr const char* kUnfinishedRunFileName = "lumvik-unfinished.ini";

struct UnfinishedRun {
    std::string date;                   // the chosen date, "yyyy/mm/dd"
    std::vector<std::string> machines;  // the ticked machine numbers
    bool allDates = false;

    bool operator==(const UnfinishedRun&) const = default;
};

// The choices of a mode 1 run as the operator made them.
[[nodiscard]] UnfinishedRun unfinishedRunOf(const Operator& op);

// Written whole (a crash leaves the old file or the new one); throws when it cannot be written.
void writeUnfinishedRun(const std::filesystem::path& folder, const UnfinishedRun& run);
// The record in `folder`, when there is one that names a valid day.
[[nodiscard]] std::optional<UnfinishedRun> readUnfinishedRun(const std::filesystem::path& folder);
void removeUnfinishedRun(const std::filesystem::path& folder);

// The operator of a run that finishes a recorded one: everything goes to `shown`, but the choices are
// the record's (mode 1, its day, its machines ticked in the current list, its all-dates box), so the
// window's own choices stay as the operator left them. A re-run's change of mode stays here too.
class RecordedChoices : public Operator {
  public:
    RecordedChoices(Operator& shown, const UnfinishedRun& run);

    void log(const std::string& line) override { shown_.log(line); }
    void clearLog() override { shown_.clearLog(); }
    void setBillProgress(int position, int maximum) override { shown_.setBillProgress(position, maximum); }
    void stepBillProgress() override { shown_.stepBillProgress(); }
    void setLineProgress(int position, int maximum) override { shown_.setLineProgress(position, maximum); }
    void stepLineProgress() override { shown_.stepLineProgress(); }
    void warning(const std::string& text) override { shown_.warning(text); }
    void information(const std::string& text) override { shown_.information(text); }
    void message(const std::string& text) override { shown_.message(text); }
    void error(const std::string& text) override { shown_.error(text); }
    bool confirm(const std::string& text) override { return shown_.confirm(text); }
    void repaint() override { shown_.repaint(); }
    void setOkEnabled(bool enabled) override { shown_.setOkEnabled(enabled); }
    void setExitEnabled(bool enabled) override { shown_.setExitEnabled(enabled); }

    [[nodiscard]] std::string dateText() const override { return run_.date; }
    [[nodiscard]] std::chrono::year_month_day dateValue() const override { return dateValue_; }
    [[nodiscard]] int transferMode() const override { return mode_; }
    void setTransferMode(int mode) override { mode_ = mode; }
    [[nodiscard]] int serverKind() const override { return shown_.serverKind(); }
    void setServerKind(int) override {}
    [[nodiscard]] bool allDates() const override { return run_.allDates; }
    void setAllDates(bool) override {}
    [[nodiscard]] std::string sourcePath() const override { return shown_.sourcePath(); }
    void setSourcePath(const std::string&) override {}
    [[nodiscard]] std::string targetPath() const override { return shown_.targetPath(); }
    void setTargetPath(const std::string&) override {}
    [[nodiscard]] std::string tempProduct() const override { return shown_.tempProduct(); }
    void setTempProduct(const std::string&) override {}
    void setMachines(const std::vector<std::string>&) override {}
    [[nodiscard]] std::vector<std::string> machines() const override { return shown_.machines(); }
    [[nodiscard]] std::vector<bool> machineTicks() const override;

  private:
    Operator& shown_;
    UnfinishedRun run_;
    std::chrono::year_month_day dateValue_{};
    int mode_ = 1;
};

}  // namespace lumvik::transfer
