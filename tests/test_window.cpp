// The main window, offscreen, on real embedded databases with a fake platform and scripted boxes.

#include "app/shell/date_forms.h"
#include "app/shell/settings.h"
#include "app/window/main_window.h"
#include "tests/support/run_fixture.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>

using namespace lumvik;
using namespace lumvik::testing;
using Kind = MessageBoxes::Kind;

namespace {

using Lines = std::vector<std::string>;
using Shown = std::vector<std::pair<Kind, std::string>>;

class ScriptedBoxes : public MessageBoxes {
  public:
    bool show(QWidget*, Kind kind, const QString& text) override {
        shown.emplace_back(kind, text.toStdString());
        if (whileOpen) whileOpen();
        if (kind != Kind::Confirm) return true;
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    Shown shown;
    std::deque<bool> answers;
    std::function<void()> whileOpen;  // runs while a box is open, as events do during a modal box
};

class Window : public RunFixture {
  protected:
    // The window; its watch timer keeps running but, unless asked, does not fire during the test, whose
    // ticks are called directly.
    void open(bool realTimer = false) {
        window = std::make_unique<TFormLumvik>(platform, boxes);
        if (!realTimer) window->Timer1->setInterval(600'000);
    }
    std::string state() { return erpValue("SELECT STATE FROM TRAN_STATE"); }
    void setState(const std::string& value) {
        erp->execute("UPDATE TRAN_STATE SET STATE = ?", {db::Value(value)});
        erp->close();
    }
    Lines logLines() const {
        Lines out;
        const QString text = window->bsSkinMemo1->toPlainText();
        if (!text.isEmpty())
            for (const QString& line : text.split('\n'))
                out.push_back(line.toStdString());
        return out;
    }
    void TearDown() override {
        boxes.answers.clear();
        window.reset();
    }

    ScriptedBoxes boxes;
    std::unique_ptr<TFormLumvik> window;
};

TEST_F(Window, ControlsStandWhereTheDesignPutsThem) {
    open(true);
    EXPECT_EQ(window->windowTitle().toStdString(), "餐飲收銀檔轉入");
    EXPECT_EQ(window->size(), QSize(470, 421));
    EXPECT_EQ(window->objectName(), "FormLumvik");
    struct Expected {
        const char* name;
        QRect geometry;  // in the enclosing area; an empty size for labels that size themselves
        const char* caption;
        bool visible;
    };
    const std::vector<Expected> controls{
        {"bottomBar", {0, 380, 470, 41}, "", true},
        {"mainArea", {0, 0, 470, 380}, "", true},
        {"topStrip", {1, 1, 468, 51}, "", true},
        {"middleArea", {1, 126, 468, 219}, "", true},
        {"bsSkinStdLabel1", {16, 8, 0, 0}, "日期", true},
        {"bsSkinDateEdit1", {51, 5, 121, 20}, "", true},
        {"bsSkinRadioGroup1", {208, 4, 185, 41}, "傳輸方式", true},
        {"bsSkinCheckRadioBox1", {18, 27, 79, 21}, "ALLCheck", true},
        {"bsSkinStdLabel2", {18, 60, 0, 0}, "Source Path", true},
        {"bsSkinEdit1", {91, 57, 328, 20}, "", true},
        {"SpeedButton1", {420, 57, 23, 22}, "", false},
        {"bsSkinStdLabel3", {18, 84, 0, 0}, "Target Path", false},
        {"bsSkinEdit2", {91, 81, 328, 20}, "", false},
        {"SpeedButton2", {420, 80, 23, 22}, "", false},
        {"bsSkinStdLabel4", {17, 105, 0, 0}, "暫用商品", true},
        {"Edit1", {91, 101, 118, 21}, "", true},
        {"bsSkinRadioGroup2", {259, 78, 161, 41}, "Server Kind", true},
        {"machineGroup", {1, 1, 208, 217}, "前台選擇", true},
        {"bsSkinCheckListBox1", {1, 23, 204, 191}, "", true},
        {"bsSkinMemo1", {209, 1, 258, 217}, "", true},
        {"ProgressBar2", {1, 345, 468, 17}, "", true},
        {"ProgressBar1", {1, 362, 468, 17}, "", true},
        {"SpeedButton3", {40, 8, 23, 22}, "", true},
        {"SpeedButton_TMP", {73, 6, 33, 19}, "TMP", false},
        {"bsSkinButton1", {120, 8, 75, 25}, "確定", true},
        {"bsSkinButton2", {264, 8, 75, 25}, "離開", true},
    };
    window->show();
    for (const auto& c : controls) {
        auto* w = window->findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        if (c.geometry.width() == 0)
            EXPECT_EQ(w->pos(), c.geometry.topLeft()) << c.name;
        else
            EXPECT_EQ(w->geometry(), c.geometry) << c.name;
        EXPECT_EQ(w->isVisible(), c.visible) << c.name;
        QString caption;
        if (auto* l = qobject_cast<QLabel*>(w)) caption = l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) caption = b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) caption = g->title();
        EXPECT_EQ(caption.toStdString(), c.caption) << c.name;
    }
    // The choices' captions and designed contents.
    EXPECT_EQ(window->bsSkinRadioGroup1->button(0)->text().toStdString(), "未傳送");
    EXPECT_EQ(window->bsSkinRadioGroup1->button(1)->text().toStdString(), "日傳送");
    EXPECT_EQ(window->bsSkinRadioGroup1->button(2)->text().toStdString(), "補單");
    EXPECT_EQ(window->bsSkinRadioGroup2->button(1)->text().toStdString(), "Linux");
    EXPECT_EQ(window->ProgressBar1->maximum(), 100);
    EXPECT_EQ(window->Timer1->interval(), 1000);
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_EQ(window->bsSkinDateEdit1->calendar()->firstDayOfWeek(), Qt::Sunday);
    // The date field shows today's date (the platform's clock).
    EXPECT_EQ(window->bsSkinDateEdit1->text().toStdString(), "2012/12/11");
    // The keyboard order starts in the bottom bar.
    EXPECT_EQ(window->bsSkinButton1->nextInFocusChain(), window->bsSkinButton2);
    // Without a settings file: the first choices, nothing ticked, no box.
    EXPECT_EQ(window->bsSkinRadioGroup1->itemIndex(), 0);
    EXPECT_EQ(window->bsSkinRadioGroup2->itemIndex(), 0);
    EXPECT_FALSE(window->bsSkinCheckRadioBox1->isChecked());
    EXPECT_EQ(window->Edit1->text().toStdString(), "");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Window, StartUpReadsTheSettingsIntoTheControls) {
    struct Case {
        const char* classValue;
        int expectedIndex;
    };
    for (const Case& c : std::vector<Case>{{"2", 2}, {"7", 2}, {"-5", -1}, {"junk", 0}}) {
        dbs.dir.write(kSettingsFileName, std::string("[Con]\r\nSource=S.GDB\r\nClass=") + c.classValue +
                                             "\r\nServerClass=1\r\nAuto=True\r\ntempid=T9\r\n");
        open();
        EXPECT_EQ(window->bsSkinRadioGroup1->itemIndex(), c.expectedIndex) << c.classValue;
        EXPECT_TRUE(window->bsSkinCheckRadioBox1->isChecked());
        EXPECT_EQ(window->bsSkinRadioGroup2->itemIndex(), 1);
        EXPECT_EQ(window->Edit1->text().toStdString(), "T9");
        EXPECT_EQ(window->bsSkinEdit1->text().toStdString(), "S.GDB");
        ASSERT_EQ(window->bsSkinCheckListBox1->count(), 3);
        EXPECT_EQ(window->bsSkinCheckListBox1->item(0)->text().toStdString(), "01,[機01]");
        EXPECT_EQ(window->bsSkinCheckListBox1->item(0)->checkState(), Qt::Unchecked);
        EXPECT_TRUE(window->bsSkinMemo1->toPlainText().isEmpty());
        window.reset();
    }
}

TEST_F(Window, TheWatchWaitsWhileAnAutomaticTransferRunsThenClaimsTheState) {
    setState("2");
    open();
    window->bsSkinButton1->setEnabled(true);  // the watch disables it itself, whatever it was
    for (int tick = 0; tick < 3; ++tick)
        window->Timer1Timer();
    EXPECT_EQ(logLines(), Lines(3, "自動轉入運行中..!!"));
    EXPECT_FALSE(window->bsSkinButton1->isEnabled());
    EXPECT_TRUE(window->Timer1->isActive());
    setState("0");
    window->Timer1Timer();
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_TRUE(window->bsSkinButton1->isEnabled());
    EXPECT_EQ(state(), "1");
    EXPECT_EQ(logLines().size(), 3u);
    // Once stopped it never looks again, even when an automatic transfer starts later.
    setState("2");
    QTest::qWait(1200);
    EXPECT_EQ(logLines().size(), 3u);
    EXPECT_TRUE(window->bsSkinButton1->isEnabled());
}

TEST_F(Window, AClaimThatMeetsAnotherStationsWriteDoesNotOverwriteIt) {
    setState("0");
    open();
    // Another station writes the state while our tick runs: its write is not yet committed when we
    // read 0 and want to write 1.
    erp->beginGroup();
    erp->execute("UPDATE TRAN_STATE SET STATE = '2'");
    window->Timer1Timer();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_FALSE(window->bsSkinButton1->isEnabled());
    erp->commitGroup();
    erp->close();
    EXPECT_EQ(state(), "2");
    // The next tick reads what the other station wrote.
    window->Timer1Timer();
    EXPECT_EQ(logLines(), Lines{"自動轉入運行中..!!"});
    EXPECT_FALSE(window->bsSkinButton1->isEnabled());
    setState("0");
    window->Timer1Timer();
    EXPECT_TRUE(window->bsSkinButton1->isEnabled());
    EXPECT_EQ(state(), "1");
}

TEST_F(Window, StateTextsAreReadAsWholeNumbers) {
    for (const auto& [text, waits] :
         std::vector<std::pair<std::string, bool>>{{"02", true}, {"abc", false}}) {
        setState(text);
        open();
        window->Timer1Timer();
        EXPECT_EQ(window->bsSkinButton1->isEnabled(), !waits) << text;
        EXPECT_EQ(state(), waits ? text : "1") << text;
        window.reset();
    }
    erp->execute("DELETE FROM TRAN_STATE");
    erp->close();
    open();
    window->Timer1Timer();
    EXPECT_TRUE(window->bsSkinButton1->isEnabled());
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM TRAN_STATE"), "0");
}

TEST_F(Window, AFailingTickShowsOneBoxAndTriesAgain) {
    open();
    erp->execute("DROP TABLE TRAN_STATE");
    erp->close();
    // A tick that comes while the box is open adds no second box.
    boxes.whileOpen = [this] { window->Timer1Timer(); };
    window->Timer1Timer();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].first, Kind::Error);
    EXPECT_NE(boxes.shown[0].second.find("TRAN_STATE"), std::string::npos);
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_FALSE(window->bsSkinButton1->isEnabled());
    boxes.whileOpen = nullptr;
    erp->execute("CREATE TABLE TRAN_STATE (STATE VARCHAR(10))");
    erp->execute("INSERT INTO TRAN_STATE VALUES ('0')");
    erp->close();
    window->Timer1Timer();
    EXPECT_TRUE(window->bsSkinButton1->isEnabled());
    EXPECT_EQ(state(), "1");
}

TEST_F(Window, TheOkButtonRunsTheTransferOrRefusesItAndLeavesAWayOut) {
    open();
    window->Timer1Timer();
    window->bsSkinEdit1->setText(QString::fromStdString(dbs.store));
    window->Edit1->setText("NO-SUCH-PRODUCT");
    window->bsSkinButton1->click();
    EXPECT_EQ(boxes.shown, (Shown{{Kind::Warning, "暫用商品未建檔.."}}));
    EXPECT_FALSE(window->bsSkinButton1->isEnabled());
    EXPECT_TRUE(window->bsSkinButton2->isEnabled());
    window.reset();
    boxes.shown.clear();

    addBill(0, "101/12/10", "01000001", "01", 350);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    addLine(0, "101/12/10", "01000001", 2, "A002", 1, 110);
    store->close();
    erp->close();
    open();
    window->Timer1Timer();
    ASSERT_TRUE(window->bsSkinButton1->isEnabled());
    window->bsSkinEdit1->setText(QString::fromStdString(dbs.store));
    window->Edit1->setText("TEMP");
    window->bsSkinDateEdit1->setText("2012/12/10");
    window->bsSkinCheckListBox1->item(0)->setCheckState(Qt::Checked);
    // A tick that would come during a run (here: during the collector's wait) changes nothing.
    int ticksDuringRun = 0;
    platform.onSleep = [&](std::chrono::milliseconds) {
        window->Timer1Timer();
        ++ticksDuringRun;
    };
    window->bsSkinButton1->click();
    EXPECT_GT(ticksDuringRun, 0);
    const Lines lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "連結就緒..");
    EXPECT_EQ(lines.back(), "資料轉移完成..!");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Connected Successful..!"), 4);
    EXPECT_EQ(boxes.shown, (Shown{{Kind::Information, "資料轉移完成..!"}}));
    EXPECT_EQ(window->ProgressBar2->value(), 2);
    EXPECT_EQ(window->ProgressBar2->maximum(), 2);
    EXPECT_EQ(window->ProgressBar1->value(), 0);  // set back by the verification
    EXPECT_FALSE(window->bsSkinButton1->isEnabled());
    EXPECT_TRUE(window->bsSkinButton2->isEnabled());
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_SUB"), "2");
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\nEND\r\n");

    // Both presses are in the station's run history, as lumvik-auto's runs are.
    const auto runs = RunHistory::ofStation(platform).lastRuns(10);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].program, "lumvik");
    EXPECT_EQ(runs[0].outcome, "refused");
    EXPECT_EQ(runs[0].warnings, Lines{"暫用商品未建檔.."});
    EXPECT_EQ(runs[1].outcome, "completed");
    EXPECT_EQ(runs[1].date, "2012/12/10");
    EXPECT_EQ(runs[1].machines, Lines{"01"});
    EXPECT_EQ(runs[1].moved.bills[0], 1u);
    EXPECT_EQ(runs[1].moved.lines[0], 2u);
    EXPECT_EQ(runs[1].start, "2012/12/11 09:00:00");
    EXPECT_FALSE(runs[1].exitStatus.has_value());
}

// A signal to the window's process (here the request it becomes) stops the run at its next statement,
// undoing the bills not yet committed, and the window leaves without asking, the state given back.
TEST_F(Window, AStopEndsTheRunAndLeavesWithoutAsking) {
    addBill(0, "101/12/10", "01000001", "01", 240);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    store->close();
    erp->close();
    open();
    window->show();
    window->Timer1Timer();
    window->bsSkinEdit1->setText(QString::fromStdString(dbs.store));
    window->Edit1->setText("TEMP");
    window->bsSkinDateEdit1->setText("2012/12/10");
    db::setStatementObserver([](const std::string& sql, std::chrono::nanoseconds, bool started) {
        if (started && sql.rfind("INSERT INTO POS_SUB", 0) == 0) db::stop::request("SIGTERM");
    });
    window->bsSkinButton1->click();
    db::setStatementObserver({});
    EXPECT_EQ(logLines().back(), "the transfer was stopped (SIGTERM)");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(state(), "0");
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_MASTER"), "0");
    EXPECT_EQ(storeValue("SELECT TRAN_CODE FROM POS_MAIN"), "Wait");
    db::stop::reset();

    // Without a run it leaves at once.
    open();
    window->show();
    window->Timer1Timer();
    EXPECT_EQ(state(), "1");
    db::stop::request("SIGTERM");
    window->stopRequested();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(state(), "0");
    EXPECT_TRUE(boxes.shown.empty());
    db::stop::reset();
}

TEST_F(Window, TheDateFieldKeepsItsLastValidDateAndThePathButtonsOpenOrPick) {
    open();
    DateField* field = window->bsSkinDateEdit1;
    field->setText("2013/02/28");
    EXPECT_EQ(dates::gregorianText(field->date()), "2013/02/28");
    field->setText("2013/02/30");
    EXPECT_EQ(field->text().toStdString(), "2013/02/30");
    EXPECT_EQ(dates::gregorianText(field->date()), "2013/02/28");
    field->edit()->clear();
    EXPECT_EQ(field->text().toStdString(), "    /  /  ");
    EXPECT_EQ(dates::gregorianText(field->date()), "2013/02/28");
    EXPECT_EQ(window->dateText(), "    /  /  ");

    window->bsSkinEdit1->setText("/data/store.fdb");
    window->SpeedButton1Click();
    window->bsSkinEdit2->setText("/data/target.fdb");
    window->SpeedButton2Click();
    EXPECT_EQ(platform.openedPaths, (Lines{"/data/store.fdb", "/data/target.fdb"}));
    window->openFileDialog = [](QWidget*) { return QString("/picked/file.fdb"); };
    window->bsSkinEdit1ButtonClick();
    EXPECT_EQ(window->bsSkinEdit1->text().toStdString(), "/picked/file.fdb");
    window->openFileDialog = [](QWidget*) { return QString(); };  // cancelled
    window->bsSkinEdit2ButtonClick();
    EXPECT_EQ(window->bsSkinEdit2->text().toStdString(), "/data/target.fdb");
}

TEST_F(Window, TheSummaryButtonListsTheDayAndLeavingAfterAYesDropsItsObjects) {
    for (const auto& [day, amount] : std::vector<std::pair<const char*, double>>{
             {"2012/12/10", 600}, {"2012/12/10", 400}, {"2012/12/11", 999}})
        erp->execute("INSERT INTO POS_MASTER (SAL_DATE, CLASS_NO, REL_SAL) VALUES (?, '1', ?)",
                     {db::Value(day), db::Value(amount)});
    erp->execute("INSERT INTO WRK_ITEM (Wrk_No, Wrk_Name) VALUES ('1', '早班')");
    erp->close();
    open();
    window->show();
    window->Timer1Timer();
    window->bsSkinDateEdit1->setText("2012/12/10");
    window->SpeedButton3->click();
    EXPECT_TRUE(boxes.shown.empty());
    // NAME to 26 and NAME2 to 25 code page 950 bytes (a Chinese character counts two), each and a blank.
    const auto listed = [](const std::string& name, std::size_t nameBytes, const std::string& name2 = "",
                           std::size_t name2Bytes = 0) {
        // Each text and 20 blanks cut at 26 and 25 bytes, then a blank: an empty NAME2 gives 20 blanks.
        return name + std::string(27 - nameBytes, ' ') + name2 +
               std::string(std::min<std::size_t>(20, 25 - name2Bytes) + 1, ' ');
    };
    EXPECT_EQ(logLines(), (Lines{listed("總金額=NT$ 1,000", 16), listed("早班=NT$ 1,000", 14),
                                 listed("客單價=NT$ 500.00", 17, "來客數=NT$ 2", 12), "CAST .....0K"}));
    const std::string scratch =
        "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME IN ('TMP_A090000', 'VIEW_Z090000')";
    EXPECT_EQ(erpValue(scratch), "2");
    erp->close();

    // The exit button releases the state before it asks; No keeps the window, and its objects.
    window->Edit1->setText("X1 ");
    boxes.answers = {false};
    window->bsSkinButton2->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(state(), "0");
    EXPECT_EQ(readSettings(dbs.dir.path() / kSettingsFileName).tempProduct, "X1");
    EXPECT_EQ(boxes.shown.back(),
              (std::pair<Kind, std::string>{Kind::Confirm, "確定離開本系統.  Exit now?"}));
    EXPECT_EQ(erpValue(scratch), "2");
    // The window system's close asks before it releases anything.
    setState("1");
    boxes.answers = {false};
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(state(), "1");
    boxes.answers = {true};
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(state(), "0");
    EXPECT_EQ(erpValue(scratch), "0");
}

// The real boxes: each kind with its icon and buttons under the program's name, and the answer given.
TEST(MessageBoxesTest, EachKindHasItsIconAndButtonsAndTheQuestionGivesItsAnswer) {
    QApplication::setApplicationDisplayName("餐飲收銀檔轉入");
    using Icon = QMessageBox::Icon;
    const QMessageBox::StandardButtons ok = QMessageBox::Ok, yesNo = QMessageBox::Yes | QMessageBox::No;
    for (const auto& [kind, icon, buttons] :
         std::vector<std::tuple<Kind, Icon, QMessageBox::StandardButtons>>{
             {Kind::Warning, Icon::Warning, ok},
             {Kind::Information, Icon::Information, ok},
             {Kind::Message, Icon::NoIcon, ok},
             {Kind::Error, Icon::Critical, ok},
             {Kind::Confirm, Icon::Question, yesNo}}) {
        const auto box = makeMessageBox(nullptr, kind, "暫用商品未建檔..");
        EXPECT_EQ(box->icon(), icon);
        EXPECT_EQ(box->standardButtons(), buttons);
        EXPECT_EQ(box->windowTitle().toStdString(), "餐飲收銀檔轉入");
        EXPECT_EQ(box->text().toStdString(), "暫用商品未建檔..");
    }
    // Presses a button of the box once it is open.
    QTimer presser;
    QMessageBox::StandardButton press = QMessageBox::NoButton;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(press)->click();
    });
    presser.start(10);
    DialogMessageBoxes boxes;
    press = QMessageBox::No;
    EXPECT_FALSE(boxes.show(nullptr, Kind::Confirm, "確定離開本系統.  Exit now?"));
    press = QMessageBox::Yes;
    EXPECT_TRUE(boxes.show(nullptr, Kind::Confirm, "確定離開本系統.  Exit now?"));
    press = QMessageBox::Ok;
    EXPECT_TRUE(boxes.show(nullptr, Kind::Warning, "暫用商品未建檔.."));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
