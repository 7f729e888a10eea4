// Whole transfer runs, headless, against real embedded databases: the modes, refusals and failures,
// the collector and the uploader, and the verification with the passes it repeats.

#include "db/tables.h"
#include "tests/support/run_fixture.h"
#include "transfer/family_prep.h"
#include "transfer/loc_ip.h"
#include "transfer/texts.h"
#include "transfer/unfinished_run.h"

#include <algorithm>
#include <filesystem>

using namespace lumvik;
using namespace lumvik::testing;
using Kind = HeadlessOperator::Box::Kind;
using Boxes = std::vector<HeadlessOperator::Box>;
using Lines = std::vector<std::string>;
using Sleeps = std::vector<std::chrono::milliseconds>;
using db::Value;
using namespace std::chrono_literals;

namespace {

constexpr const char* kDone = "資料轉移完成..!";
const Boxes kDoneBox{{Kind::Information, kDone}};

// Five-second waits for the collector, then half a second after each family of each pass.
Sleeps sleepsOf(int collectorWaits, int passes) {
    Sleeps out(collectorWaits, 5000ms);
    out.insert(out.end(), 4 * passes, 500ms);
    return out;
}

auto named(const char* ifTrue, const char* ifFalse) {
    return [=](const ::testing::TestParamInfo<bool>& info) {
        return std::string(info.param ? ifTrue : ifFalse);
    };
}

std::string quietly(transfer::QuietEnd reason) {
    return "quiet end " + std::to_string(static_cast<int>(reason));
}

class Run : public RunFixture {
  protected:
    void SetUp() override { dbs.dir.write("Wendry.exe", ""); }

    [[nodiscard]] std::string uploader(const std::string& date) const {
        return dbs.dir.file("Wendry.exe") + " xx " + date;
    }
    void addErpHeader(int family, const std::string& date, const std::string& salNo,
                      const std::string& machine, double amount) {
        const Row row{{"SAL_DATE", date},
                      {"SAL_NO", salNo},
                      {"MCH_NO", machine},
                      {"SAL_TIME", "08:00:00"},
                      {"REL_SAL", amount}};
        insertRow(*erp, db::family(family).erpMaster, row);
    }
    void addErpLine(int family, const std::string& date, const std::string& salNo, double amount) {
        const Row row{{"SAL_DATE", date}, {"SAL_NO", salNo}, {"ORD_NO", "1"},  {"PROD_ID", "A001"},
                      {"AMT", amount},    {"HEA_AMT", 0},    {"dis_share", 0}, {"ttt_share", 0}};
        insertRow(*erp, db::family(family).erpLines, row);
    }
    void addErpBill(int family, const std::string& date, const std::string& salNo, const std::string& machine,
                    double amount) {
        addErpHeader(family, date, salNo, machine, amount);
        addErpLine(family, date, salNo, amount);
    }

    // How a press ends: "" when it goes through, else the error's text or the quiet end's reason.
    std::string pressEnding() {
        try {
            run();
        } catch (const transfer::Abort& quiet) {
            return quietly(quiet.reason());
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    void forgetEarlierRuns() {
        op.logLines.clear();
        op.boxes.clear();
        platform.sleeps.clear();
        platform.startedCommandLines.clear();
    }
};

// ---- Whole runs by transfer mode -----------------------------------------------------------------

// Mode 0 moves every bill not yet 'True', whatever its day or family, though the chosen day is closed.
// The collector gets the machine file with both connections closed and both buttons off; every check
// that finds its window adds a wait, and what it brings meanwhile is moved by the same run.
TEST_F(Run, ModeZeroMovesEveryPendingBillAndReportsInOrder) {
    insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/10")}});
    addBill(0, "101/12/10", "01000001", "01", 350);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    addLine(0, "101/12/10", "01000001", 2, "A002", 1, 110);
    addSoundBill(0, "101/12/08", "01000002", "01", 110, "xx");
    addSoundBill(0, "101/12/10", "01000003", "01", 120, "Wait");
    addSoundBill(0, "101/12/10", "01000004", "01", 130, "True");
    addSoundBill(1, "101/12/09", "02000002", "02", 120);
    addSoundBill(2, "101/12/10", "02000001", "02", 140);
    startUp();
    op.tickMachines({"01", "03"});
    int checksSeeingIt = 3;
    Lines atStart;
    platform.onStartProgram = [&](const std::string&) {
        if (atStart.empty())
            atStart = {locIp(),
                       form->SQLConSource.params().value("Database"),
                       std::to_string(form->SQLConSource.connected()),
                       std::to_string(form->SQLConnection1.connected()),
                       std::to_string(op.okEnabled),
                       std::to_string(op.exitEnabled)};
    };
    platform.windowClassCheck = [&](const std::string& windowClass) {
        return windowClass == "TFHarvo" && !atStart.empty() && checksSeeingIt-- > 0;
    };
    platform.onSleep = [&](std::chrono::milliseconds) {
        if (platform.sleeps.size() == 1) addSoundBill(3, "101/12/10", "03000001", "03", 100);
    };
    run();

    EXPECT_EQ(erpBills(0),
              (Lines{"2012/12/08|01000002|01", "2012/12/10|01000001|01", "2012/12/10|01000003|01"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, ORD_NO, PROD_ID, SAL_QTY, AMT, PD_ITEMID FROM POS_SUB ORDER BY 1, 2"),
              (Lines{"01000001|1|A001|2|240|I01", "01000001|2|A002|1|110|I02", "01000002|1|A001|1|110|I01",
                     "01000003|1|A001|1|120|I01"}));
    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, STOCK_ID FROM POS_MASTERD"),
              Lines{"2012/12/09|02000002|S02"});
    EXPECT_EQ(erpBills(2), Lines{"2012/12/10|02000001|02"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|True", "01000003|True", "01000004|True"}));
    EXPECT_EQ(marks(2), Lines{"02000001|True"});
    EXPECT_EQ(erpBills(3), Lines{"2012/12/10|03000001|03"});
    EXPECT_EQ(marks(3), Lines{"03000001|True"});
    const std::string machineFile = "01        10.0.0.01\r\n03        10.0.0.03\r\nEND\r\n";
    EXPECT_EQ(atStart, (Lines{machineFile, dbs.store, "0", "0", "0", "0"}));
    EXPECT_EQ(locIp(), machineFile);
    EXPECT_EQ(platform.startedCommandLines, (Lines{"Harvo.exe", uploader("2012/12/11")}));
    EXPECT_EQ(op.repaints, 8);  // after the collector, before connecting, and one for each of 6 bills
    EXPECT_EQ(op.boxes, kDoneBox);
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
    EXPECT_EQ(
        logText(),
        "連結就緒..\n09:00:25\nConnected Successful..!\n09:00:25\nConnected Successful..!\n09:00:25\n"
        "Connected Successful..!\n09:00:26\nConnected Successful..!\n09:00:26\nPOS_GIVE Tran ...!\n"
        "POS_DISROL Tran ...!\nPOS_COST Tran ...!\nPOINT_MASTER Tran ...!\n資料檢核中..!\n銷售資料檢核..!\n"
        "資料檢核完成..!\n資料轉移完成..!\n");
    EXPECT_EQ(platform.sleeps, sleepsOf(5, 1));
}

// Mode 1 after mode 0 copies the chosen day's store bills again, every machine's, once each. First the
// ticked machine's ERP rows of the day go: headers by machine, lines by bill number prefix. A family
// whose deletions fail goes on silently: its bills of the day were marked first. A collector already
// running is not started again, only waited out.
TEST_F(Run, ModeOneRedoesTheChosenDayOnly) {
    erp->execute("CREATE EXCEPTION NO_DELETE 'no deletions here'");
    erp->execute(
        "CREATE TRIGGER KEEP_HEADERS FOR POSCHANGE_MASTER BEFORE DELETE AS BEGIN EXCEPTION NO_DELETE; END");
    addErpBill(2, "2012/12/10", "01000001", "01", 100);
    addBill(0, "101/12/10", "01000001", "01", 350);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    addLine(0, "101/12/10", "01000001", 2, "A002", 1, 110);
    addSoundBill(0, "101/12/10", "02000001", "02", 120);
    addSoundBill(0, "101/12/09", "01000002", "01", 100);
    addSoundBill(1, "101/12/10", "01000003", "01", 80);
    startUp();
    run();  // mode 0: everything moved once
    ASSERT_EQ(erpBills(0).size(), 3u);

    erp->execute("UPDATE POS_MASTER SET SAL_TIME = '00:00:00'");
    erp->execute("UPDATE POS_MASTERD SET SAL_TIME = '00:00:00'");
    addErpBill(0, "2012/12/10", "99000001", "01", 10);  // header goes, its line (not 01...) stays
    addErpBill(0, "2012/12/10", "88000001", "010", 20);
    addErpBill(0, "2012/12/09", "99000002", "01", 30);
    addErpBill(0, "2012/12/10", "77000001", "02", 40);
    addErpLine(0, "2012/12/10", "01000077", 50);  // a line of the day starting 01 goes, whatever machine
    addErpLine(0, "2012/12/09", "01000078", 60);
    addErpLine(0, "2012/12/10", "02000077", 70);
    addErpHeader(3, "2012/12/10", "99000003", "01", 80);
    addErpLine(3, "2012/12/10", "01000079", 80);
    addSoundBill(0, "101/12/09", "01000004", "01", 90);
    addSoundBill(2, "101/12/10", "01000005", "01", 90);
    insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/09")}});
    forgetEarlierRuns();
    op.setTransferMode(1);
    op.tickMachines({"01"});
    platform.windowClassCheck = [checks = 3](const std::string& windowClass) mutable {
        return windowClass == "TFHarvo" && checks-- > 0;
    };
    run();

    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, MCH_NO, SAL_TIME FROM POS_MASTER ORDER BY SAL_DATE, SAL_NO"),
              (Lines{"2012/12/09|01000002|01|00:00:00", "2012/12/09|99000002|01|08:00:00",
                     "2012/12/10|01000001|01|12:00:00", "2012/12/10|02000001|02|12:00:00",
                     "2012/12/10|77000001|02|08:00:00", "2012/12/10|88000001|010|08:00:00"}));
    EXPECT_EQ(erpLines(0), (Lines{"2012/12/09|01000002", "2012/12/09|01000078", "2012/12/09|99000002",
                                  "2012/12/10|01000001", "2012/12/10|01000001", "2012/12/10|02000001",
                                  "2012/12/10|02000077", "2012/12/10|77000001", "2012/12/10|88000001",
                                  "2012/12/10|99000001"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, SAL_TIME FROM POS_MASTERD"), Lines{"01000003|12:00:00"});
    EXPECT_EQ(erpBills(2), (Lines{"2012/12/10|01000001|01", "2012/12/10|01000005|01"}));
    EXPECT_EQ(marks(2), Lines{"01000005|True"});
    EXPECT_EQ(erpBills(3), Lines{});
    EXPECT_EQ(erpLines(3), Lines{});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|True", "01000004|<null>", "02000001|True"}));
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\nEND:101/12/10\r\n");
    EXPECT_EQ(platform.startedCommandLines, Lines{uploader("2012/12/10")});
    EXPECT_EQ(platform.sleeps, sleepsOf(4, 1));
    EXPECT_EQ(op.boxes, kDoneBox);
}

// Mode 2 and no mode claim nothing: whatever already waits is copied, in any family. Mode 2 also puts
// back family 0's bills whose sales order totals disagree, of any day, and writes its check query
// beside the program. Neither writes a trailer in the machine file or starts the uploader.
class ModeTwoOrNone : public Run, public ::testing::WithParamInterface<bool> {};

TEST_P(ModeTwoOrNone, CopiesWhatWaits) {
    const bool modeTwo = GetParam();
    for (const auto& [date, salNo, billId, lines, total] :
         {std::tuple{"2012/12/10", "01000001", "MB1", 100, 90},
          std::tuple{"2012/12/10", "01000002", "MB2", 50, 50},
          std::tuple{"2012/12/08", "01000009", "MB9", 70, 75}}) {
        insertRow(*erp, "POSTOSALE",
                  {{"SAL_DATE", Value(date)}, {"SAL_NO", Value(salNo)}, {"MASTERBILLID", Value(billId)}});
        insertRow(*erp, "sal_sub", {{"masterbillid", Value(billId)}, {"amt", Value(lines)}});
        insertRow(*erp, "sal_MASTER", {{"masterbillid", Value(billId)}, {"TOTAL_money", Value(total)}});
    }
    addSoundBill(0, "101/12/10", "01000001", "01", 100, "True");
    addSoundBill(0, "101/12/10", "01000002", "01", 50, "True");
    addSoundBill(0, "101/12/10", "01000003", "01", 60, "xx");
    addSoundBill(0, "101/12/10", "01000004", "01", 60);
    addSoundBill(0, "101/12/08", "01000009", "01", 70, "True");
    addSoundBill(3, "101/12/10", "03000001", "03", 80, "Wait");
    addSoundBill(3, "101/12/10", "03000002", "03", 90);
    dbs.dir.write(transfer::kCheckQueryFileName, "old text");
    startUp();
    op.setTransferMode(modeTwo ? 2 : -1);
    op.tickMachines({"02"});
    run();

    std::string checkQuery = "old text";
    if (modeTwo) {
        checkQuery.clear();
        for (const auto& line : transfer::salesOrderCheckLines())
            checkQuery += line + "\r\n";
    }
    EXPECT_EQ(readBytes(dbs.dir.path() / transfer::kCheckQueryFileName), checkQuery);
    EXPECT_EQ(erpBills(0), (modeTwo ? Lines{"2012/12/08|01000009|01", "2012/12/10|01000001|01"} : Lines{}));
    EXPECT_EQ(marks(0),
              (Lines{"01000001|True", "01000002|True", "01000003|xx", "01000004|<null>", "01000009|True"}));
    EXPECT_EQ(erpBills(3), Lines{"2012/12/10|03000001|03"});
    EXPECT_EQ(marks(3), (Lines{"03000001|True", "03000002|<null>"}));
    EXPECT_EQ(locIp(), "02        10.0.0.02\r\n");
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
    EXPECT_EQ(op.boxes, kDoneBox);
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeTwoOrNone, ::testing::Bool(), named("ModeTwo", "NoMode"));

// ---- Refusals and failures -----------------------------------------------------------------------

// A closed day in mode 1 and a missing temporary product (an empty field looks for an empty code) end
// the run quietly before anything happens, and once what they miss is there the same press goes
// through. A date text that is no date fails the run after the collector, which had the date value.
struct EarlyEnd {
    const char *name, *tempProduct, *dateText;
    int mode;
    bool closedDay;
    std::string ending;
    const char* box;  // a warning, or none
    bool buttonsAfter, collector;
    const char *locIp, *mend;  // mend: an ERP statement, or none
};

class EarlyEnds : public Run, public ::testing::WithParamInterface<EarlyEnd> {};

TEST_P(EarlyEnds, ChangeNothingBeyondWhatTheyReached) {
    const EarlyEnd& c = GetParam();
    if (c.closedDay) insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/10")}});
    dbs.dir.write(transfer::kLocIpFileName, "old\r\n");
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    op.setTransferMode(c.mode);
    op.setTempProduct(c.tempProduct);
    op.setDateText(c.dateText);
    op.tickMachines({"01"});

    EXPECT_EQ(pressEnding(), c.ending);
    EXPECT_EQ(op.boxes, (c.box ? Boxes{{Kind::Warning, c.box}} : Boxes{}));
    EXPECT_EQ(op.okEnabled, c.buttonsAfter);
    EXPECT_EQ(op.exitEnabled, c.buttonsAfter);
    EXPECT_EQ(locIp(), c.locIp);
    EXPECT_EQ(platform.startedCommandLines, c.collector ? Lines{"Harvo.exe"} : Lines{});
    EXPECT_EQ(platform.sleeps, sleepsOf(c.collector ? 2 : 0, 0));
    EXPECT_EQ(op.logLines, Lines{});
    EXPECT_EQ(marks(0), Lines{"01000001|<null>"});
    EXPECT_EQ(erpLines(0), Lines{});
    if (c.mend == nullptr) return;
    erp->execute(c.mend);
    op.boxes.clear();
    run();
    EXPECT_EQ(op.boxes, kDoneBox);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, EarlyEnds,
    ::testing::Values(EarlyEnd{"ClosedDayInModeOne", "TEMP", "2012/12/10", 1, true,
                               quietly(transfer::QuietEnd::ClosedDay), "該日已關帳不可任意傳輸資料", true,
                               false, "old\r\n", "DELETE FROM X_DAYPOS_MASTER"},
                      EarlyEnd{"MissingTemporaryProduct", "", "2012/12/10", 0, true,
                               quietly(transfer::QuietEnd::TempProductMissing), "暫用商品未建檔..", false,
                               false, "old\r\n", "INSERT INTO PRODUCT (PROD_ID) VALUES ('')"},
                      EarlyEnd{"InvalidDateText", "TEMP", "2012/13/45", 1, false,
                               "'2012/13/45' is not a valid date", nullptr, false, true,
                               "01        10.0.0.01\r\nEND:101/12/10\r\n", nullptr}),
    [](const ::testing::TestParamInfo<EarlyEnd>& info) { return std::string(info.param.name); });

// The bill already waiting is copied and closed; the failed marking changes nothing; nothing follows.
// A day again keeps its record only while its work is unfinished. A run that finds one runs that day
// first, unless it is that same day again itself; a record of a day closed since is dropped with the
// closed-day box, and the run goes on with its own work.
TEST_F(Run, AnUnfinishedDayAgainIsDoneFirstUnlessItsDayClosed) {
    const auto folder = dbs.dir.path();
    const std::string finishing =
        "the day-again transfer of 2012/12/09 did not finish; it is done again first";
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    op.setTransferMode(1);
    op.tickAllMachines();
    bool recordedWhileRunning = false;
    platform.onSleep = [&](std::chrono::milliseconds) {
        recordedWhileRunning = transfer::readUnfinishedRun(folder) ==
                               transfer::UnfinishedRun{"2012/12/10", {"01", "02", "03"}, false};
    };
    run();
    EXPECT_TRUE(recordedWhileRunning);
    EXPECT_FALSE(transfer::readUnfinishedRun(folder));

    transfer::writeUnfinishedRun(folder, {"2012/12/10", {"01", "02", "03"}, false});
    forgetEarlierRuns();
    run();
    EXPECT_EQ(timesLogged(transfer::texts::kCompleted), 1) << logText();

    transfer::writeUnfinishedRun(folder, {"2012/12/09", {"01"}, false});
    insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/09")}});
    erp->close();
    forgetEarlierRuns();
    op.setTransferMode(0);
    run();
    EXPECT_EQ(op.logLines.front(), finishing);
    EXPECT_EQ(boxesOf(HeadlessOperator::Box::Kind::Warning), (Lines{transfer::texts::kClosedDay}));
    EXPECT_TRUE(logged(transfer::texts::kCompleted));
    EXPECT_FALSE(transfer::readUnfinishedRun(folder));
}

TEST_F(Run, FailedModeZeroMarkingEndsTheRunOnlyAfterTheFamilyIsCopied) {
    store->execute("CREATE EXCEPTION NOT_THIS_ONE 'bill 01000002 refuses to wait'");
    store->execute(
        "CREATE TRIGGER POS_MAIN_REFUSE FOR POS_MAIN BEFORE UPDATE AS BEGIN "
        "IF (NEW.TRAN_CODE = 'Wait' AND NEW.SAL_NO = '01000002') THEN EXCEPTION NOT_THIS_ONE; END");
    addSoundBill(0, "101/12/10", "01000001", "01", 100, "Wait");
    addSoundBill(0, "101/12/10", "01000002", "01", 110);
    addSoundBill(0, "101/12/10", "01000003", "01", 120);
    addSoundBill(1, "101/12/10", "02000001", "02", 130, "Wait");
    startUp();

    const std::string error = pressEnding();
    EXPECT_NE(error.find("refuses to wait"), std::string::npos) << error;
    EXPECT_EQ(erpLines(0), Lines{"2012/12/10|01000001"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|<null>", "01000003|<null>"}));
    EXPECT_EQ(marks(1), Lines{"02000001|Wait"});
    EXPECT_FALSE(logged("資料檢核中..!"));
    EXPECT_EQ(op.boxes, Boxes{});
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
}

// A sibling that cannot be started is named with why, in the log and in a warning box, and the run goes
// on as after a start: the collector's waits, the copy, the completion box. Each gets its arguments whole.
TEST_F(Run, SiblingThatCannotStartIsNamedAndTheRunGoesOn) {
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    const std::string wendry = dbs.dir.file("Wendry.exe");
    platform.startFailures = {{"Harvo.exe", "not found beside the program or along PATH"},
                              {wendry, "a folder, not a program"}};
    run();
    const std::string collector = "cannot start Harvo.exe: not found beside the program or along PATH";
    const std::string uploader = "cannot start " + wendry + ": a folder, not a program";
    EXPECT_EQ(op.logLines.front(), collector);
    EXPECT_EQ(op.logLines.back(), uploader);
    EXPECT_EQ(op.boxes, (Boxes{{Kind::Warning, collector}, kDoneBox.front(), {Kind::Warning, uploader}}));
    EXPECT_EQ(platform.startedArguments, (std::vector<Lines>{{"Harvo.exe"}, {wendry, "xx", "2012/12/11"}}));
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 1));
    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});
    EXPECT_TRUE(op.exitEnabled);
}

// ---- The store's schema and the store connection's parameters -------------------------------------

// A store without mark columns gets them; later runs change nothing. The store password follows the
// server kind, and no kind keeps the last one. No uploader beside the program: none is started.
TEST_F(Run, StoreGetsMarkColumnsAndPasswordFollowsServerKind) {
    for (int f = 0; f < 4; ++f)
        store->execute(std::string("ALTER TABLE ") + db::family(f).storeMaster +
                       " DROP TRAN_CODE, DROP CARD_ID");
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    std::filesystem::remove(dbs.dir.path() / "Wendry.exe");
    const auto state = [&] {
        return std::vector<Lines>{erpRows("SELECT * FROM POS_MASTER"), erpRows("SELECT * FROM POS_SUB"),
                                  storeRows("SELECT * FROM POS_MAIN")};
    };
    std::vector<Lines> afterFirst;
    const std::pair<int, const char*> steps[] = {
        {0, "qorvexdal"}, {-1, "qorvexdal"}, {1, "plintova"}, {-1, "plintova"}};
    for (const auto& [kind, password] : steps) {
        forgetEarlierRuns();
        op.setServerKind(kind);
        run();
        EXPECT_EQ(form->SQLConSource.params().value("Password"), password) << "server kind " << kind;
        EXPECT_EQ(form->SQLConSource.params().value("Database"), dbs.store);
        EXPECT_EQ(op.boxes, kDoneBox);
        EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
        if (afterFirst.empty())
            afterFirst = state();
        else
            EXPECT_EQ(state(), afterFirst);
    }
    EXPECT_EQ(storeRows("SELECT TRIM(r.RDB$RELATION_NAME) || '.' || TRIM(r.RDB$FIELD_NAME) || ':' || "
                        "f.RDB$FIELD_TYPE || ':' || f.RDB$FIELD_LENGTH FROM RDB$RELATION_FIELDS r JOIN "
                        "RDB$FIELDS f ON f.RDB$FIELD_NAME = r.RDB$FIELD_SOURCE WHERE r.RDB$FIELD_NAME IN "
                        "('TRAN_CODE', 'CARD_ID') ORDER BY 1"),
              (Lines{"POS_MAID.CARD_ID:37:20", "POS_MAID.TRAN_CODE:37:5", "POS_MAIN.CARD_ID:37:20",
                     "POS_MAIN.TRAN_CODE:37:5", "POS_MAIN_CHG.CARD_ID:37:20", "POS_MAIN_CHG.TRAN_CODE:37:5",
                     "POS_MAIN_S.CARD_ID:37:20", "POS_MAIN_S.TRAN_CODE:37:5"}));
    EXPECT_EQ(marks(0), Lines{"01000001|True"});
    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});
}

// ---- Verification and the passes it repeats ------------------------------------------------------

// A run in mode 2 copies family 0's waiting bills. The check finds headers that differ from their lines
// (surcharges and discounts counted) and headers without lines, on the chosen day or on every day;
// their copies go, their store bills wait again, and a second pass in mode 0 copies them anew.
class Verification : public Run, public ::testing::WithParamInterface<bool> {};

TEST_P(Verification, PutsInconsistentBillsBackForASecondPass) {
    const bool allDates = GetParam();
    // Bills whose REL_SAL their line never reaches: one on another day, one on the chosen day.
    for (const auto& [roc, salNo] :
         {std::pair{"101/12/09", "01000009"}, std::pair{"101/12/10", "01000010"}}) {
        addBill(0, roc, salNo, "01", 999, {{"TRAN_CODE", Value("Wait")}});
        addLine(0, roc, salNo, 1, "A001", 1, 120);
    }
    // 140 - 5 (surcharge) = (100 - 10) + (50 - 5): consistent.
    addBill(0, "101/12/10", "01000011", "01", 140, {{"TRAN_CODE", Value("Wait")}});
    addLine(0, "101/12/10", "01000011", 1, "A001", 1, 100, {{"dis_share", Value(10)}, {"HEA_AMT", Value(5)}});
    addLine(0, "101/12/10", "01000011", 2, "A002", 1, 50, {{"ttt_share", Value(5)}});
    // Copied earlier, but their ERP headers lost their lines: one on another day, one on the chosen day.
    addSoundBill(0, "101/12/08", "01000008", "01", 100, "True");
    addErpHeader(0, "2012/12/08", "01000008", "01", 0);
    addSoundBill(0, "101/12/10", "01000001", "01", 350, "True");
    addErpHeader(0, "2012/12/10", "01000001", "01", 0);
    startUp();
    op.setTransferMode(2);
    op.setAllDates(allDates);
    op.tickMachines({"01"});
    const std::string masters = "SELECT SAL_NO, REL_SAL FROM POS_MASTER ORDER BY SAL_NO";
    Lines mastersAtCheck, linesAtCheck, marksAtCheck;
    op.onLog = [&](const std::string& line) {
        if (line != transfer::texts::kCheckDone || !marksAtCheck.empty()) return;
        mastersAtCheck = erpRows(masters);
        linesAtCheck = erpRows("SELECT DISTINCT SAL_NO FROM POS_SUB ORDER BY SAL_NO");
        marksAtCheck = marks(0);
        // Repaired in the store before the second pass copies the bills again.
        store->execute("UPDATE POS_MAIN SET REL_SAL = 120 WHERE REL_SAL = 999");
    };
    run();

    Lines findings;
    for (const auto& line : op.logLines)
        if (line.starts_with(transfer::texts::kCheckFoundHead) ||
            line.starts_with(transfer::texts::kAnomalyHead))
            findings.push_back(line);
    std::sort(findings.begin(), findings.end());
    const auto anomaly = [](const char* bill) { return std::string("異常資料:") + bill + "重收設定中..!"; };
    if (allDates) {
        EXPECT_EQ(findings, (Lines{anomaly("101/12/08__01000008"), anomaly("101/12/09__01000009"),
                                   anomaly("101/12/10__01000001"), anomaly("101/12/10__01000010"),
                                   "資料檢核有資料2筆異常..!", "資料檢核有資料2筆異常..!"}));
        EXPECT_EQ(mastersAtCheck, Lines{"01000011|140"});
        EXPECT_EQ(linesAtCheck, Lines{"01000011"});
        EXPECT_EQ(marksAtCheck, (Lines{"01000001|Wait", "01000008|Wait", "01000009|Wait", "01000010|Wait",
                                       "01000011|True"}));
        EXPECT_EQ(erpRows(masters),
                  (Lines{"01000001|350", "01000008|100", "01000009|120", "01000010|120", "01000011|140"}));
    } else {
        EXPECT_EQ(findings, (Lines{anomaly("101/12/10__01000001"), anomaly("101/12/10__01000010"),
                                   "資料檢核有資料1筆異常..!", "資料檢核有資料1筆異常..!"}));
        EXPECT_EQ(mastersAtCheck, (Lines{"01000008|0", "01000009|999", "01000011|140"}));
        EXPECT_EQ(linesAtCheck, (Lines{"01000009", "01000011"}));
        EXPECT_EQ(marksAtCheck, (Lines{"01000001|Wait", "01000008|True", "01000009|True", "01000010|Wait",
                                       "01000011|True"}));
        EXPECT_EQ(erpRows(masters),
                  (Lines{"01000001|350", "01000008|0", "01000009|999", "01000010|120", "01000011|140"}));
    }
    EXPECT_EQ(marks(0),
              (Lines{"01000001|True", "01000008|True", "01000009|True", "01000010|True", "01000011|True"}));
    // Both passes end alike; the collector only before the first, the uploader after each, in mode 0 by
    // then, and the machine file is written again for mode 0.
    EXPECT_EQ(op.boxes, (Boxes{{Kind::Information, kDone}, {Kind::Information, kDone}}));
    EXPECT_EQ(platform.startedCommandLines,
              (Lines{"Harvo.exe", uploader("2012/12/11"), uploader("2012/12/11")}));
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 2));
    EXPECT_EQ(op.transferMode(), 0);
    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\nEND\r\n");
}

INSTANTIATE_TEST_SUITE_P(Days, Verification, ::testing::Bool(), named("AllDates", "ChosenDay"));

// The store goes away right after the first verification, so the repeated pass cannot connect: its
// failure is logged and shown, the uploader still starts, and no information box claims success. The
// bill waits for the next run, its damaged copy gone.
TEST_F(Run, ConnectFailureOfTheRepeatedPassIsShownAndTheUploaderStillStarts) {
    addSoundBill(0, "101/12/10", "01000001", "01", 100, "True");
    addErpHeader(0, "2012/12/10", "01000001", "01", 100);  // the header without its line
    startUp();
    const std::string missing = dbs.dir.file("missing.fdb");
    op.onLog = [&](const std::string& line) {
        if (line == transfer::texts::kCheckDone) op.setSourcePath(missing);
    };
    run();

    ASSERT_TRUE(transferRun->connectFailure().has_value());
    const std::string failure = *transferRun->connectFailure();
    EXPECT_NE(failure.find("missing.fdb"), std::string::npos) << failure;
    ASSERT_GE(op.logLines.size(), 2u);
    EXPECT_EQ(Lines(op.logLines.end() - 2, op.logLines.end()), (Lines{failure, kDone}));
    EXPECT_EQ(timesLogged(kDone), 1);  // the first pass's, after the second pass gave up
    EXPECT_EQ(op.boxes, (Boxes{{Kind::Warning, failure}}));
    EXPECT_FALSE(form->sourceConnected);
    EXPECT_FALSE(form->erpConnected);
    EXPECT_EQ(form->SQLConSource.params().value("Database"), missing);
    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_TRUE(form->missingLinesFinding);
    EXPECT_EQ(platform.startedCommandLines,
              (Lines{"Harvo.exe", uploader("2012/12/11"), uploader("2012/12/11")}));
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 1));  // no family of the second pass
    EXPECT_EQ(marks(0), Lines{"01000001|Wait"});
    EXPECT_EQ(erpBills(0), Lines{});
    EXPECT_TRUE(op.exitEnabled);
}

// A store bill whose REL_SAL its lines never reach: every verification finds it again, and the third
// ends the run, the bill put back and its copy removed; the repair tool is started unless already up.
class SevereAnomaly : public Run, public ::testing::WithParamInterface<bool> {};

TEST_P(SevereAnomaly, ThirdDamagedVerificationEndsTheRun) {
    const bool repairToolOpen = GetParam();
    if (repairToolOpen) platform.presentWindowClasses.insert("TFormDisQuorrel");
    addBill(0, "101/12/10", "01000001", "01", 300);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    startUp();

    EXPECT_EQ(pressEnding(), quietly(transfer::QuietEnd::SevereAnomaly));
    EXPECT_EQ(timesLogged("異常資料:101/12/10__01000001重收設定中..!"), 3) << logText();
    EXPECT_FALSE(logged(kDone));
    EXPECT_EQ(op.boxes, (Boxes{{Kind::Warning, "資料嚴重異常,請連絡程式設計師..!"}}));
    EXPECT_EQ(form->retryCounter, 2);
    EXPECT_TRUE(form->totalsFinding);
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 3));
    EXPECT_EQ(platform.startedCommandLines,
              (repairToolOpen ? Lines{"Harvo.exe"} : Lines{"Harvo.exe", dbs.dir.file("Quorrel.exe")}));
    EXPECT_EQ(marks(0), Lines{"01000001|Wait"});
    EXPECT_EQ(erpBills(0), Lines{});
    EXPECT_EQ(erpLines(0), Lines{});
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
}

INSTANTIATE_TEST_SUITE_P(RepairTool, SevereAnomaly, ::testing::Bool(), named("AlreadyOpen", "Started"));

}  // namespace
