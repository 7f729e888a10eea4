// Takes a picture of the real window on the files of its station folder (the demo): it waits for the
// transfer state to be claimed, sets the demo's business day, ticks every machine, presses OK, answers
// each box and saves the window as a PNG.
//
//   QT_QPA_PLATFORM=offscreen lumvik-screenshot FILE.png [--no-run | --summary | --exit | --automatic]
//                    [--temp-product CODE] [--source PATH] [--box BOX.png] [--numbers]
// --no-run presses nothing. --summary presses the daily-summary button instead of OK. --exit presses
// the exit button and answers its question No, so that the window stays. --automatic holds the
// transfer state for an automatic transfer (2) while the window watches it for a few seconds, then
// gives it back. --temp-product and --source type another temporary product code or store database
// before OK. --box also saves the first box the window shows, built as the window builds it.
// --numbers numbers the operator's controls in the picture, for the operator's guide.
// $LUMVIK_FOLDER names another station folder than the program's own.

#include "app/shell/state_watch.h"
#include "app/shell/station_folder.h"
#include "app/window/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

enum class Action { Run, NoRun, Summary, Exit, Automatic };

struct Options {
    QString picture;
    Action action = Action::Run;
    std::optional<QString> tempProduct;
    std::optional<QString> source;
    QString boxPicture;
    bool numbers = false;
};

constexpr const char* kUsage =
    "usage: lumvik-screenshot FILE.png [--no-run | --summary | --exit | --automatic] [--temp-product CODE] "
    "[--source PATH] [--box BOX.png] [--numbers]\n";

std::optional<Options> parseOptions(const std::vector<std::string>& args) {
    if (args.empty()) return std::nullopt;
    Options o;
    o.picture = QString::fromLocal8Bit(args[0].c_str());
    bool actionGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        std::optional<Action> action;
        if (arg == "--no-run") action = Action::NoRun;
        if (arg == "--summary") action = Action::Summary;
        if (arg == "--exit") action = Action::Exit;
        if (arg == "--automatic") action = Action::Automatic;
        if (action) {
            if (actionGiven) return std::nullopt;
            actionGiven = true;
            o.action = *action;
        } else if (arg == "--temp-product" && hasValue) {
            o.tempProduct = QString::fromLocal8Bit(args[++i].c_str());
        } else if (arg == "--source" && hasValue) {
            o.source = QString::fromLocal8Bit(args[++i].c_str());
        } else if (arg == "--numbers") {
            o.numbers = true;
        } else if (arg == "--box" && hasValue) {
            o.boxPicture = QString::fromLocal8Bit(args[++i].c_str());
        } else {
            return std::nullopt;
        }
    }
    return o;
}

bool savePicture(const QPixmap& picture, const QString& file) {
    if (picture.save(file)) return true;
    std::cerr << "cannot write " << file.toStdString() << "\n";
    return false;
}

// Where a control's number goes: beside it on the right, inside its top right corner, after its
// caption, or inside it at a fraction of its width.
struct Mark {
    QWidget* control;
    enum class Place { Right, Inside, Caption, Along } place;
    double along = 0;
};

// Numbers the controls the operator uses, 1 to 13 in the order the operator's guide describes them.
void drawNumbers(QPixmap& picture, lumvik::TFormLumvik& form) {
    using Place = Mark::Place;
    const std::vector<Mark> marks{
        {form.bsSkinDateEdit1, Place::Right},
        {form.bsSkinRadioGroup1, Place::Right},
        {form.bsSkinCheckRadioBox1, Place::Right},
        {form.bsSkinEdit1, Place::Right},
        {form.Edit1, Place::Right},
        {form.bsSkinRadioGroup2, Place::Right},
        {form.machineGroup, Place::Caption},
        {form.bsSkinMemo1, Place::Inside},
        {form.ProgressBar2, Place::Along, 0.45},
        {form.ProgressBar1, Place::Along, 0.55},
        {form.SpeedButton3, Place::Right},
        {form.bsSkinButton1, Place::Right},
        {form.bsSkinButton2, Place::Right},
    };
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    constexpr int kRadius = 8;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const Mark& mark = marks[i];
        const QRect r(mark.control->mapTo(&form, QPoint(0, 0)), mark.control->size());
        const QPoint centre =
            mark.place == Mark::Place::Right    ? QPoint(r.right() + kRadius + 3, r.center().y())
            : mark.place == Mark::Place::Inside ? QPoint(r.right() - 24, r.top() + 14)
            : mark.place == Mark::Place::Caption
                ? QPoint(r.left() + 72, r.top() + 8)
                : QPoint(r.left() + static_cast<int>(r.width() * mark.along), r.center().y());
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(200, 30, 30));
        painter.drawEllipse(centre, kRadius, kRadius);
        painter.setPen(Qt::white);
        painter.drawText(QRect(centre.x() - kRadius, centre.y() - kRadius, 2 * kRadius, 2 * kRadius),
                         Qt::AlignCenter, QString::number(i + 1));
    }
}

// Answers every box at once (OK; No to the exit question, so that the window stays); the first one is
// pictured when asked.
class AnsweringBoxes : public lumvik::MessageBoxes {
  public:
    explicit AnsweringBoxes(QString picture) : picture_(std::move(picture)) {}

    bool show(QWidget* parent, Kind kind, const QString& text) override {
        std::cerr << "box: " << text.toStdString() << "\n";
        if (!picture_.isEmpty()) {
            const auto box = lumvik::makeMessageBox(parent, kind, text);
            box->show();
            QApplication::processEvents();
            saved_ = savePicture(box->grab(), picture_);
            box->hide();
            picture_.clear();
        }
        return kind != Kind::Confirm;
    }

    // False when a box was to be pictured and was not.
    [[nodiscard]] bool saved() const { return saved_ && picture_.isEmpty(); }

  private:
    QString picture_;
    bool saved_ = true;
};

// Lets the window work for up to `milliseconds`, or until `done`.
void processEventsFor(int milliseconds, const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < milliseconds)
        QApplication::processEvents();
}

// The operator's part: the demo's business day, every machine ticked, then the button of the action.
void operate(lumvik::TFormLumvik& form, const Options& options) {
    if (options.action == Action::Automatic) {
        // What an automatic transfer writes while it runs; the window's first ticks then find it.
        lumvik::writeTransferState(form.core(), 2);
        processEventsFor(3500, [] { return false; });
    } else {
        processEventsFor(5000, [&] { return form.bsSkinButton1->isEnabled(); });
    }
    form.bsSkinDateEdit1->setText("2012/12/10");  // the demo's business day
    for (int i = 0; i < form.bsSkinCheckListBox1->count(); ++i)
        form.bsSkinCheckListBox1->item(i)->setCheckState(Qt::Checked);
    if (options.tempProduct) form.Edit1->setText(*options.tempProduct);
    if (options.source) form.bsSkinEdit1->setText(*options.source);
    if (options.action == Action::Summary)
        form.SpeedButton3->click();
    else if (options.action == Action::Exit)
        form.bsSkinButton2->click();
    else if (options.action == Action::Run && form.bsSkinButton1->isEnabled())
        form.bsSkinButton1->click();
    QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    QApplication::setApplicationDisplayName("餐飲收銀檔轉入");
    const auto folder = lumvik::existingStationFolder(std::nullopt);
    auto platform = lumvik::makeSystemPlatform(folder.value_or(std::filesystem::path()));
    AnsweringBoxes boxes(options->boxPicture);
    lumvik::TFormLumvik form(*platform, boxes);
    if (folder) form.showStationFolder(*folder);
    form.show();
    operate(form, *options);
    QPixmap picture = form.grab();
    if (options->numbers) drawNumbers(picture, form);
    const bool saved = savePicture(picture, options->picture);
    try {
        form.core().releaseTransferState();
    } catch (const std::exception& e) {
        std::cerr << "the transfer state was not given back: " << e.what() << "\n";
    }
    if (!boxes.saved()) std::cerr << "no box was shown to picture\n";
    return saved && boxes.saved() ? 0 : 1;
}
