#include "app/window/main_window.h"

#include "app/shell/date_forms.h"
#include "app/shell/forwarding_platform.h"
#include "app/shell/state_watch.h"
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

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string s(const QString& q) {
    return q.toStdString();
}

QDate toQDate(std::chrono::year_month_day d) {
    return QDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
                 static_cast<int>(static_cast<unsigned>(d.day())));
}

std::chrono::year_month_day fromQDate(QDate d) {
    return std::chrono::year{d.year()} / static_cast<unsigned>(d.month()) / static_cast<unsigned>(d.day());
}

template <class W>
W* place(W* widget, const char* name, int left, int top, int width = -1, int height = -1) {
    widget->setObjectName(name);
    if (width < 0) {
        widget->adjustSize();
        widget->move(left, top);
    } else {
        widget->setGeometry(left, top, width, height);
    }
    return widget;
}

}  // namespace

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
// DateField

DateField::DateField(QWidget* parent) : QWidget(parent) {
    edit_ = new QLineEdit(this);
    edit_->setObjectName("dateText");
    // Four digits, "/", two, "/", two; a blank stands for a digit not typed.
    edit_->setInputMask("0000/99/99; ");
    edit_->setMaxLength(10);
    dropDown_ = new QToolButton(this);
    dropDown_->setObjectName("dateDropDown");
    dropDown_->setArrowType(Qt::DownArrow);
    calendar_ = new QCalendarWidget(this);
    calendar_->setObjectName("dateCalendar");
    calendar_->setWindowFlags(Qt::Popup);
    calendar_->setFirstDayOfWeek(Qt::Sunday);
    calendar_->resize(300, 150);
    calendar_->hide();
    connect(edit_, &QLineEdit::textChanged, this, [this] { textEdited(); });
    connect(dropDown_, &QToolButton::clicked, this, [this] { showCalendar(); });
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate d) {
        setDate(fromQDate(d));
        calendar_->hide();
    });
}

QString DateField::text() const {
    return edit_->displayText();
}

void DateField::setText(const QString& text) {
    edit_->setText(text);
}

void DateField::setDate(std::chrono::year_month_day date) {
    date_ = date;
    edit_->setText(q(dates::gregorianText(date)));
}

void DateField::textEdited() {
    if (auto date = dates::parseDate(s(text()))) date_ = *date;
}

void DateField::showCalendar() {
    calendar_->setSelectedDate(toQDate(date_));
    calendar_->move(mapToGlobal(QPoint(0, height())));
    calendar_->show();
}

// ------------------------------------------------------------------------------------------------
// RadioGroup

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 0, 4, 2);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_->addButton(button, i);
        layout->addWidget(button, i / columns, i % columns);
        buttons_.push_back(button);
    }
}

int RadioGroup::itemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    const int last = static_cast<int>(buttons_.size()) - 1;
    if (index > last) index = last;
    if (index < 0) {
        // An exclusive group cannot be emptied by unchecking; it is released for that moment.
        group_->setExclusive(false);
        for (auto* b : buttons_)
            b->setChecked(false);
        group_->setExclusive(true);
        return;
    }
    buttons_[static_cast<std::size_t>(index)]->setChecked(true);
}

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

TFormLumvik::~TFormLumvik() {
    Timer1->stop();
    guarded([this] { core_->FormDestroy(); });
}

void TFormLumvik::buildControls() {
    mainArea = place(new QFrame(this), "mainArea", 0, 0, 470, 380);
    bottomBar = place(new QFrame(this), "bottomBar", 0, 380, 470, 41);
    bottomBar->setFrameShape(QFrame::StyledPanel);
    topStrip = place(new QFrame(mainArea), "topStrip", 1, 1, 468, 51);
    topStrip->setFrameShape(QFrame::StyledPanel);
    middleArea = place(new QFrame(mainArea), "middleArea", 1, 126, 468, 219);

    bsSkinStdLabel1 = place(new QLabel("日期", topStrip), "bsSkinStdLabel1", 16, 8);
    bsSkinDateEdit1 = place(new DateField(topStrip), "bsSkinDateEdit1", 51, 5, 121, 20);
    bsSkinDateEdit1->edit()->setGeometry(0, 0, 101, 20);
    bsSkinDateEdit1->findChild<QToolButton*>("dateDropDown")->setGeometry(101, 0, 20, 20);
    bsSkinRadioGroup1 = place(new RadioGroup("傳輸方式", {"未傳送", "日傳送", "補單"}, 3, topStrip),
                              "bsSkinRadioGroup1", 208, 4, 185, 41);
    bsSkinRadioGroup1->setItemIndex(0);
    bsSkinCheckRadioBox1 = place(new QCheckBox("ALLCheck", topStrip), "bsSkinCheckRadioBox1", 18, 27, 79, 21);

    bsSkinStdLabel2 = place(new QLabel("Source Path", mainArea), "bsSkinStdLabel2", 18, 60);
    bsSkinEdit1 = place(new QLineEdit(mainArea), "bsSkinEdit1", 91, 57, 328, 20);
    SpeedButton1 = place(new QToolButton(mainArea), "SpeedButton1", 420, 57, 23, 22);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->hide();
    bsSkinStdLabel3 = place(new QLabel("Target Path", mainArea), "bsSkinStdLabel3", 18, 84);
    bsSkinStdLabel3->hide();
    bsSkinEdit2 = place(new QLineEdit(mainArea), "bsSkinEdit2", 91, 81, 328, 20);
    bsSkinEdit2->addAction(style()->standardIcon(QStyle::SP_FileDialogStart), QLineEdit::TrailingPosition)
        ->setObjectName("bsSkinEdit2Button");
    bsSkinEdit2->hide();
    SpeedButton2 = place(new QToolButton(mainArea), "SpeedButton2", 420, 80, 23, 22);
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton2->hide();
    bsSkinStdLabel4 = place(new QLabel("暫用商品", mainArea), "bsSkinStdLabel4", 17, 105);
    Edit1 = place(new QLineEdit("00000000001", mainArea), "Edit1", 91, 101, 118, 21);
    bsSkinRadioGroup2 = place(new RadioGroup("Server Kind", {"Windows", "Linux"}, 2, mainArea),
                              "bsSkinRadioGroup2", 259, 78, 161, 41);
    bsSkinRadioGroup2->setItemIndex(0);

    machineGroup = place(new QGroupBox("前台選擇", middleArea), "machineGroup", 1, 1, 208, 217);
    bsSkinCheckListBox1 = place(new QListWidget(machineGroup), "bsSkinCheckListBox1", 1, 23, 204, 191);
    bsSkinCheckListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    bsSkinMemo1 = place(new QPlainTextEdit(middleArea), "bsSkinMemo1", 209, 1, 258, 217);
    bsSkinMemo1->setReadOnly(true);
    bsSkinMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    bsSkinMemo1->setMaximumBlockCount(0);  // never trimmed
    // The summary lines its columns up by code page 950 bytes: a fixed-pitch face whose Chinese
    // characters are two columns wide keeps them in line.
    QFont fixed("WenQuanYi Micro Hei Mono");
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPointSize(9);
    bsSkinMemo1->setFont(fixed);

    ProgressBar2 = place(new QProgressBar(mainArea), "ProgressBar2", 1, 345, 468, 17);
    ProgressBar1 = place(new QProgressBar(mainArea), "ProgressBar1", 1, 362, 468, 17);
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }

    SpeedButton3 = place(new QToolButton(bottomBar), "SpeedButton3", 40, 8, 23, 22);
    SpeedButton_TMP = place(new QToolButton(bottomBar), "SpeedButton_TMP", 73, 6, 33, 19);
    SpeedButton_TMP->setText("TMP");
    SpeedButton_TMP->hide();
    bsSkinButton1 = place(new QPushButton("確定", bottomBar), "bsSkinButton1", 120, 8, 75, 25);
    bsSkinButton2 = place(new QPushButton("離開", bottomBar), "bsSkinButton2", 264, 8, 75, 25);
    // The OK button waits for the first reading of the transfer state, so that no run can start
    // while an automatic transfer holds it.
    bsSkinButton1->setEnabled(false);

    // The keyboard order: the bottom bar first, then the main area.
    const std::vector<QWidget*> order{
        bsSkinButton1,    bsSkinButton2, bsSkinDateEdit1->edit(), bsSkinRadioGroup1, bsSkinCheckRadioBox1,
        bsSkinEdit1,      bsSkinEdit2,   bsSkinCheckListBox1,     bsSkinMemo1,       Edit1,
        bsSkinRadioGroup2};
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(bsSkinButton1, &QPushButton::clicked, this, [this] { bsSkinButton1Click(); });
    connect(bsSkinButton2, &QPushButton::clicked, this, [this] { bsSkinButton2Click(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(SpeedButton_TMP, &QToolButton::clicked, this, [this] { SpeedButton_TMPClick(); });
    connect(bsSkinEdit2->findChild<QAction*>("bsSkinEdit2Button"), &QAction::triggered, this,
            [this] { bsSkinEdit2ButtonClick(); });
}

bool TFormLumvik::guarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const transfer::Abort&) {
        // A quiet end: its box has been shown already.
    } catch (const std::exception& e) {
        showBox(MessageBoxes::Kind::Error, e.what());
    }
    return false;
}

bool TFormLumvik::showBox(MessageBoxes::Kind kind, const std::string& text) {
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
    const bool normal = guarded([&] { run.bsSkinButton1Click(); });
    busy_ = false;
    // A run that ended early would otherwise leave both buttons disabled and a window without a
    // close box: the exit button comes back (the OK button stays as the run left it).
    if (!normal) setExitEnabled(true);
}

void TFormLumvik::bsSkinButton2Click() {
    bool closeNow = false;
    guarded([&] { closeNow = core_->bsSkinButton2Click(); });
    if (closeNow) close();
}

void TFormLumvik::closeEvent(QCloseEvent* event) {
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
        const auto claim = claimTransferState(
            *core_, 1, [](int state) { return state != 2; }, [this] { Timer1->stop(); });
        if (!claim) {
            // Another station wrote the state between our read and our write: read it again at the
            // next tick rather than overwrite it.
            Timer1->start();
        } else if (claim->stateRead == 2) {
            log("自動轉入運行中..!!");
            bsSkinButton1->setEnabled(false);
        } else {
            bsSkinButton1->setEnabled(true);
        }
    });
    busy_ = false;
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
    busy_ = false;
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
