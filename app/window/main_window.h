#pragma once

// The one window of the program, TFormLumvik. It is a thin shell: its handlers keep the names of the
// window's design and call into the start-up, the state watch and the transfer run, and it is the
// operator those talk to (log pane, progress bars, boxes, choices).
//
// Threading: the window's thread only. A handler runs to its end before the next event is handled;
// during a run the window is repainted but takes no input and runs no other handler.

#include "app/shell/form_core.h"
#include "app/shell/operator.h"
#include "app/shell/platform.h"
#include "app/shell/run_history.h"
#include "app/window/controls.h"
#include "app/window/message_boxes.h"
#include "transfer/run.h"

#include <QGroupBox>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCalendarWidget;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;

namespace lumvik {

class TFormLumvik : public QWidget, public Operator {
    Q_OBJECT
  public:
    // `system` does the platform's work; the window wraps it so that waits keep it painted.
    TFormLumvik(Platform& system, MessageBoxes& boxes, FormFiles files = {}, QWidget* parent = nullptr);
    ~TFormLumvik() override;

    [[nodiscard]] FormCore& core() { return *core_; }

    // The title names the station folder whose files the window uses, when they are not the ones
    // beside the program.
    void showStationFolder(const std::filesystem::path& folder);

    // Operator.
    void log(const std::string& line) override;
    void clearLog() override;
    void setBillProgress(int position, int maximum) override;
    void stepBillProgress() override;
    void setLineProgress(int position, int maximum) override;
    void stepLineProgress() override;
    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void repaint() override;
    void setOkEnabled(bool enabled) override;
    void setExitEnabled(bool enabled) override;
    [[nodiscard]] std::string dateText() const override;
    [[nodiscard]] std::chrono::year_month_day dateValue() const override;
    [[nodiscard]] int transferMode() const override;
    void setTransferMode(int mode) override;
    [[nodiscard]] int serverKind() const override;
    void setServerKind(int kind) override;
    [[nodiscard]] bool allDates() const override;
    void setAllDates(bool ticked) override;
    [[nodiscard]] std::string sourcePath() const override;
    void setSourcePath(const std::string& path) override;
    [[nodiscard]] std::string targetPath() const override;
    void setTargetPath(const std::string& path) override;
    [[nodiscard]] std::string tempProduct() const override;
    void setTempProduct(const std::string& code) override;
    void setMachines(const std::vector<std::string>& entries) override;
    [[nodiscard]] std::vector<std::string> machines() const override;
    [[nodiscard]] std::vector<bool> machineTicks() const override;

    // Handlers, named as the window's design names them.
    void FormCreate();
    void bsSkinButton1Click();
    void bsSkinButton2Click();
    void Timer1Timer();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void bsSkinEdit1ButtonClick();
    void bsSkinEdit2ButtonClick();
    void SpeedButton3Click();
    void SpeedButton_TMPClick();

    // A stop request (a signal to the process; called on the window's thread): the run in progress
    // stops at its next step, then the window leaves without the question, giving the state back, and
    // the event loop ends with the stopped status. A box open meanwhile is closed.
    void stopRequested();

    // The open-file dialog ("Open file", "All files|*.*", one existing file); tests replace it.
    std::function<QString(QWidget* parent)> openFileDialog;

    // Controls, named as the window's design names them.
    QFrame* bottomBar;
    QFrame* mainArea;
    QFrame* topStrip;
    QFrame* middleArea;
    QLabel* bsSkinStdLabel1;
    DateField* bsSkinDateEdit1;
    RadioGroup* bsSkinRadioGroup1;
    QCheckBox* bsSkinCheckRadioBox1;
    QLabel* bsSkinStdLabel2;
    QLineEdit* bsSkinEdit1;
    QToolButton* SpeedButton1;
    QLabel* bsSkinStdLabel3;
    QLineEdit* bsSkinEdit2;
    QToolButton* SpeedButton2;
    QLabel* bsSkinStdLabel4;
    QLineEdit* Edit1;
    RadioGroup* bsSkinRadioGroup2;
    QGroupBox* machineGroup;
    QListWidget* bsSkinCheckListBox1;
    QPlainTextEdit* bsSkinMemo1;
    QProgressBar* ProgressBar2;
    QProgressBar* ProgressBar1;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton_TMP;
    QPushButton* bsSkinButton1;
    QPushButton* bsSkinButton2;
    QTimer* Timer1;

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose

  private:
    class PaintingPlatform;
    void buildControls();
    void buildTopStrip();
    void buildPathFields();
    void buildMiddleArea();
    void buildBottomBar();
    void connectHandlers();
    // The application's top-level handler: a failure no handler catches is shown in an error box;
    // a quiet end shows nothing. True when `handler` ended normally.
    bool guarded(const std::function<void()>& handler);
    bool showBox(MessageBoxes::Kind kind, const std::string& text);
    // Ends a handler that must not be interleaved; leaves when a stop was requested meanwhile.
    void endBusy();
    void leaveOnStop();

    MessageBoxes& boxes_;
    std::unique_ptr<PaintingPlatform> platform_;
    std::unique_ptr<FormCore> core_;
    // Set while a handler that must not be interleaved (a run, a tick) is in progress.
    bool busy_ = false;
    // The history record of the run in progress, which notes the warnings and errors shown.
    RunRecorder* recording_ = nullptr;
    bool leavingOnStop_ = false;
};

}  // namespace lumvik
