#include "app/window/main_window.h"

#include "app/window/qt_text.h"

#include "app/shell/date_forms.h"
#include "app/shell/forwarding_platform.h"
#include "app/shell/state_watch.h"
#include "app/shell/stop_signals.h"
#include "summary/daily_summary.h"
#include "transfer/context.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <thread>

namespace lumvik {

namespace {}  // namespace

// The system platform, except that its waits keep the window painted: the time is spent in short
// slices between which paint events (and no input) are handled. Handlers that could interleave with
// a run are kept out by the window's busy flag.
class TFormLumvik::PaintingPlatform : public ForwardingPlatform {
  public:
    using ForwardingPlatform::ForwardingPlatform;
    void sleep(std::chrono::milliseconds duration) override {
        constexpr std::chrono::milliseconds slice{50};
        while (duration > std::chrono::milliseconds::zero()) {
            const auto step = std::min(duration, slice);
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            inner().sleep(step);
            duration -= step;
        }
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
};

// ------------------------------------------------------------------------------------------------
// TFormLumvik

TFormLumvik::TFormLumvik(Platform& system, MessageBoxes& boxes, FormFiles files, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      boxes_(boxes),
      platform_(std::make_unique<PaintingPlatform>(system)) {
    setObjectName("FormLumvik");
    setWindowTitle("餐飲收銀檔轉入");
    setFixedSize(470, 421);
    buildControls();
    openFileDialog = [](QWidget* parent) {
        QFileDialog dialog(parent, "Open file", QString(), "All files (*.*)");
        dialog.setFileMode(QFileDialog::ExistingFile);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    bsSkinDateEdit1->setDate(system.now().date);  // today's date when the window opens
    core_ = std::make_unique<FormCore>(*platform_, *this, std::move(files));
    core_->scratchCleanup = [this] { summary::cleanUpScratch(*core_); };
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    guarded([this] { FormCreate(); });
    Timer1->start();
}

// The folder first, as a document's name stands before its program's; ending with the program's name,
// the title gets no second one from Qt.
void TFormLumvik::showStationFolder(const std::filesystem::path& folder) {
    setWindowTitle(q(folder.string() + " — 餐飲收銀檔轉入"));
}

TFormLumvik::~TFormLumvik() {
    Timer1->stop();
    guarded([this] { core_->FormDestroy(); });
}

bool TFormLumvik::guarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const transfer::Abort&) {
        // A quiet end: its box has been shown already.
    } catch (const db::Stopped& stopped) {
        log(stopped.what());
    } catch (const db::RunEnd& end) {
        showBox(MessageBoxes::Kind::Error, end.what());
    } catch (const std::exception& e) {
        showBox(MessageBoxes::Kind::Error, e.what());
    }
    return false;
}

void TFormLumvik::endBusy() {
    busy_ = false;
    if (db::stop::requested()) leaveOnStop();
}

void TFormLumvik::stopRequested() {
    // A box waits for an answer nobody may give; closing it lets its handler go on to the next stop.
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
    if (!busy_) leaveOnStop();
}

void TFormLumvik::leaveOnStop() {
    if (leavingOnStop_) return;
    leavingOnStop_ = true;
    Timer1->stop();
    db::stop::disarm();
    guarded([this] { core_->leaveOnStop(); });
    close();
    QCoreApplication::exit(kStoppedStatus);
}

bool TFormLumvik::showBox(MessageBoxes::Kind kind, const std::string& text) {
    if (recording_ && (kind == MessageBoxes::Kind::Warning || kind == MessageBoxes::Kind::Error))
        recording_->warned(text);
    return boxes_.show(this, kind, q(text));
}

// ---- handlers

void TFormLumvik::FormCreate() {
    core_->FormCreate();
}

void TFormLumvik::bsSkinButton1Click() {
    if (busy_) return;
    busy_ = true;
    transfer::TransferRun run(*core_);
    // The run goes into the station's history as lumvik-auto's runs do; a history that cannot be
    // written is said in the log and stops nothing.
    RunRecorder record(RunHistory::ofStation(*platform_), *platform_, *this, "lumvik",
                       [this](const std::string& text) { log(text); });
    recording_ = &record;
    const char* outcome = kOutcomeCompleted;
    const bool normal = guarded([&] {
        try {
            run.bsSkinButton1Click();
        } catch (const transfer::Abort& quiet) {
            outcome =
                quiet.reason() == transfer::QuietEnd::SevereAnomaly ? kOutcomeSevereAnomaly : kOutcomeRefused;
            throw;
        } catch (const db::Stopped&) {
            outcome = kOutcomeStopped;
            throw;
        } catch (const db::DbError& e) {
            outcome = e.isConnectionLost() ? kOutcomeConnectionFailed : kOutcomeError;
            throw;
        } catch (...) {
            outcome = kOutcomeError;
            throw;
        }
    });
    if (normal && run.connectFailure()) outcome = kOutcomeConnectionFailed;
    recording_ = nullptr;
    record.finish(outcome, std::nullopt, run.counts().moved);
    // A run that ended early would otherwise leave both buttons disabled and a window without a
    // close box: the exit button comes back (the OK button stays as the run left it).
    if (!normal) setExitEnabled(true);
    endBusy();
}

void TFormLumvik::bsSkinButton2Click() {
    bool closeNow = false;
    guarded([&] { closeNow = core_->bsSkinButton2Click(); });
    if (closeNow) close();
}

void TFormLumvik::closeEvent(QCloseEvent* event) {
    if (leavingOnStop_) {
        event->accept();
        return;
    }
    bool mayClose = false;
    guarded([&] { mayClose = core_->FormClose(); });
    if (mayClose) {
        Timer1->stop();
        event->accept();
    } else {
        event->ignore();
    }
}

void TFormLumvik::Timer1Timer() {
    // Not in the middle of a run, and not while the box of an earlier tick is still open.
    if (busy_) return;
    busy_ = true;
    guarded([this] {
        // Another station wrote the state between our read and our write: read it again at the next
        // tick rather than overwrite it.
        if (watchTick(*core_, [this] { Timer1->stop(); }) == WatchTick::ReadAgain) Timer1->start();
    });
    endBusy();
}

void TFormLumvik::SpeedButton1Click() {
    guarded([this] { platform_->openWithDefault(s(bsSkinEdit1->text())); });
}

void TFormLumvik::SpeedButton2Click() {
    guarded([this] { platform_->openWithDefault(s(bsSkinEdit2->text())); });
}

void TFormLumvik::bsSkinEdit1ButtonClick() {
    const QString file = openFileDialog(this);
    if (!file.isEmpty()) bsSkinEdit1->setText(file);
}

void TFormLumvik::bsSkinEdit2ButtonClick() {
    const QString file = openFileDialog(this);
    if (!file.isEmpty()) bsSkinEdit2->setText(file);
}

void TFormLumvik::SpeedButton3Click() {
    if (busy_) return;
    busy_ = true;
    guarded([this] { summary::dailySummary(*core_); });
    endBusy();
}

void TFormLumvik::SpeedButton_TMPClick() {
    guarded([this] { summary::cleanUpScratch(*core_); });
}

// ---- Operator

void TFormLumvik::log(const std::string& line) {
    bsSkinMemo1->appendPlainText(q(line));
}

void TFormLumvik::clearLog() {
    bsSkinMemo1->clear();
}

void TFormLumvik::setBillProgress(int position, int maximum) {
    ProgressBar1->setMaximum(maximum);
    ProgressBar1->setValue(position);
}

void TFormLumvik::stepBillProgress() {
    ProgressBar1->setValue(ProgressBar1->value() + 1);
}

void TFormLumvik::setLineProgress(int position, int maximum) {
    ProgressBar2->setMaximum(maximum);
    ProgressBar2->setValue(position);
}

void TFormLumvik::stepLineProgress() {
    ProgressBar2->setValue(ProgressBar2->value() + 1);
}

void TFormLumvik::warning(const std::string& text) {
    showBox(MessageBoxes::Kind::Warning, text);
}

void TFormLumvik::information(const std::string& text) {
    showBox(MessageBoxes::Kind::Information, text);
}

void TFormLumvik::message(const std::string& text) {
    showBox(MessageBoxes::Kind::Message, text);
}

void TFormLumvik::error(const std::string& text) {
    showBox(MessageBoxes::Kind::Error, text);
}

bool TFormLumvik::confirm(const std::string& text) {
    return showBox(MessageBoxes::Kind::Confirm, text);
}

void TFormLumvik::repaint() {
    QWidget::repaint();
}

void TFormLumvik::setOkEnabled(bool enabled) {
    bsSkinButton1->setEnabled(enabled);
}

void TFormLumvik::setExitEnabled(bool enabled) {
    bsSkinButton2->setEnabled(enabled);
}

std::string TFormLumvik::dateText() const {
    return s(bsSkinDateEdit1->text());
}

std::chrono::year_month_day TFormLumvik::dateValue() const {
    return bsSkinDateEdit1->date();
}

int TFormLumvik::transferMode() const {
    return bsSkinRadioGroup1->itemIndex();
}

void TFormLumvik::setTransferMode(int mode) {
    bsSkinRadioGroup1->setItemIndex(mode);
}

int TFormLumvik::serverKind() const {
    return bsSkinRadioGroup2->itemIndex();
}

void TFormLumvik::setServerKind(int kind) {
    bsSkinRadioGroup2->setItemIndex(kind);
}

bool TFormLumvik::allDates() const {
    return bsSkinCheckRadioBox1->isChecked();
}

void TFormLumvik::setAllDates(bool ticked) {
    bsSkinCheckRadioBox1->setChecked(ticked);
}

std::string TFormLumvik::sourcePath() const {
    return s(bsSkinEdit1->text());
}

void TFormLumvik::setSourcePath(const std::string& path) {
    bsSkinEdit1->setText(q(path));
}

std::string TFormLumvik::targetPath() const {
    return s(bsSkinEdit2->text());
}

void TFormLumvik::setTargetPath(const std::string& path) {
    bsSkinEdit2->setText(q(path));
}

std::string TFormLumvik::tempProduct() const {
    return s(Edit1->text());
}

void TFormLumvik::setTempProduct(const std::string& code) {
    Edit1->setText(q(code));
}

void TFormLumvik::setMachines(const std::vector<std::string>& entries) {
    bsSkinCheckListBox1->clear();
    for (const auto& entry : entries) {
        auto* item = new QListWidgetItem(q(entry), bsSkinCheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

std::vector<std::string> TFormLumvik::machines() const {
    std::vector<std::string> out;
    for (int i = 0; i < bsSkinCheckListBox1->count(); ++i)
        out.push_back(s(bsSkinCheckListBox1->item(i)->text()));
    return out;
}

std::vector<bool> TFormLumvik::machineTicks() const {
    std::vector<bool> out;
    for (int i = 0; i < bsSkinCheckListBox1->count(); ++i)
        out.push_back(bsSkinCheckListBox1->item(i)->checkState() == Qt::Checked);
    return out;
}

}  // namespace lumvik
