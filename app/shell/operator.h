#pragma once

// What the program's work needs of its window: the log pane, the two progress bars, the message
// boxes, repainting, the two buttons, and the operator's choices. The window implements it; tests
// and the unattended transfer use HeadlessOperator. Every call comes from the window's thread.

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumvik {

class Operator {
  public:
    virtual ~Operator() = default;

    // Reporting.
    virtual void log(const std::string& line) = 0;
    virtual void clearLog() = 0;
    virtual void setBillProgress(int position, int maximum) = 0;
    virtual void stepBillProgress() = 0;
    virtual void setLineProgress(int position, int maximum) = 0;
    virtual void stepLineProgress() = 0;
    // Modal boxes with one OK button.
    virtual void warning(const std::string& text) = 0;
    virtual void information(const std::string& text) = 0;
    virtual void message(const std::string& text) = 0;  // a plain box
    virtual void error(const std::string& text) = 0;
    // A box with Yes and No; true for Yes.
    virtual bool confirm(const std::string& text) = 0;
    virtual void repaint() = 0;

    // Buttons.
    virtual void setOkEnabled(bool enabled) = 0;
    virtual void setExitEnabled(bool enabled) = 0;

    // The operator's choices.
    [[nodiscard]] virtual std::string dateText() const = 0;
    // The date field's last valid date (it keeps it while its text is no date).
    [[nodiscard]] virtual std::chrono::year_month_day dateValue() const = 0;
    [[nodiscard]] virtual int transferMode() const = 0;  // 0, 1, 2, or -1 for none
    virtual void setTransferMode(int mode) = 0;
    [[nodiscard]] virtual int serverKind() const = 0;  // 0 "Windows", 1 "Linux", -1 none
    virtual void setServerKind(int kind) = 0;
    [[nodiscard]] virtual bool allDates() const = 0;
    virtual void setAllDates(bool ticked) = 0;
    [[nodiscard]] virtual std::string sourcePath() const = 0;
    virtual void setSourcePath(const std::string& path) = 0;
    [[nodiscard]] virtual std::string targetPath() const = 0;
    virtual void setTargetPath(const std::string& path) = 0;
    [[nodiscard]] virtual std::string tempProduct() const = 0;
    virtual void setTempProduct(const std::string& code) = 0;
    // The machine list: entries are shown unticked; ticks are the operator's.
    virtual void setMachines(const std::vector<std::string>& entries) = 0;
    [[nodiscard]] virtual std::vector<std::string> machines() const = 0;
    [[nodiscard]] virtual std::vector<bool> machineTicks() const = 0;
};

// An operator without a window: it keeps the choices, records everything shown, and answers
// confirmation boxes from a script.
class HeadlessOperator : public Operator {
  public:
    struct Box {
        enum class Kind { Warning, Information, Message, Error, Confirm } kind;
        std::string text;
        bool operator==(const Box&) const = default;
    };

    HeadlessOperator();

    void log(const std::string& line) override;
    void clearLog() override { logLines.clear(); }
    void setBillProgress(int position, int maximum) override;
    void stepBillProgress() override;
    void setLineProgress(int position, int maximum) override;
    void stepLineProgress() override { ++linePosition; }
    void warning(const std::string& text) override { show({Box::Kind::Warning, text}); }
    void information(const std::string& text) override { show({Box::Kind::Information, text}); }
    void message(const std::string& text) override { show({Box::Kind::Message, text}); }
    void error(const std::string& text) override { show({Box::Kind::Error, text}); }
    bool confirm(const std::string& text) override;
    void repaint() override { ++repaints; }

    void setOkEnabled(bool enabled) override { okEnabled = enabled; }
    void setExitEnabled(bool enabled) override { exitEnabled = enabled; }

    [[nodiscard]] std::string dateText() const override { return dateText_; }
    [[nodiscard]] std::chrono::year_month_day dateValue() const override { return dateValue_; }
    // Sets the date field's text; the date value follows whenever the text is a valid date.
    void setDateText(const std::string& text);
    void setDate(std::chrono::year_month_day date);
    [[nodiscard]] int transferMode() const override { return transferMode_; }
    void setTransferMode(int mode) override { transferMode_ = mode; }
    [[nodiscard]] int serverKind() const override { return serverKind_; }
    void setServerKind(int kind) override { serverKind_ = kind; }
    [[nodiscard]] bool allDates() const override { return allDates_; }
    void setAllDates(bool ticked) override { allDates_ = ticked; }
    [[nodiscard]] std::string sourcePath() const override { return sourcePath_; }
    void setSourcePath(const std::string& path) override { sourcePath_ = path; }
    [[nodiscard]] std::string targetPath() const override { return targetPath_; }
    void setTargetPath(const std::string& path) override { targetPath_ = path; }
    [[nodiscard]] std::string tempProduct() const override { return tempProduct_; }
    void setTempProduct(const std::string& code) override { tempProduct_ = code; }
    void setMachines(const std::vector<std::string>& entries) override;
    [[nodiscard]] std::vector<std::string> machines() const override { return machines_; }
    [[nodiscard]] std::vector<bool> machineTicks() const override { return ticks_; }
    // Ticks the entries whose machine number is listed; false when one is not in the list.
    bool tickMachines(const std::vector<std::string>& machineNumbers);
    void tickAllMachines();

    std::vector<std::string> logLines;
    std::vector<Box> boxes;
    // Answers for the next confirmation boxes, first one first; when it runs out, `defaultAnswer`.
    std::deque<bool> confirmAnswers;
    bool defaultAnswer = false;
    // Called with every line as it is logged and every box as it is shown (the unattended transfer
    // prints them at once).
    std::function<void(const std::string&)> onLog;
    std::function<void(const Box&)> onBox;
    // Called after every change of the bill progress (lumvik-auto draws it on a terminal).
    std::function<void()> onBillProgress;
    int billPosition = 0, billMaximum = 100, linePosition = 0, lineMaximum = 100;
    int repaints = 0;
    bool okEnabled = true, exitEnabled = true;

  private:
    void show(Box box);

    std::string dateText_;
    std::chrono::year_month_day dateValue_{};
    int transferMode_ = 0;
    int serverKind_ = 0;
    bool allDates_ = false;
    std::string sourcePath_, targetPath_;
    std::string tempProduct_ = "00000000001";
    std::vector<std::string> machines_;
    std::vector<bool> ticks_;
};

}  // namespace lumvik
