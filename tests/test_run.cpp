// Whole transfer runs, headless, against real embedded databases: the transfer modes, refusals and
// failures on the way, the collector and the uploader, and the verification with the passes it repeats.

#include "db/tables.h"
#include "tests/support/run_fixture.h"
#include "transfer/family_prep.h"
#include "transfer/loc_ip.h"
#include "transfer/texts.h"

#include <algorithm>

using namespace lumvik;
using namespace lumvik::testing;
using Kind = HeadlessOperator::Box::Kind;
using Box = HeadlessOperator::Box;
using Lines = std::vector<std::string>;
using Sleeps = std::vector<std::chrono::milliseconds>;
using db::Value;
using namespace std::chrono_literals;

namespace {

constexpr const char* kDone = "資料轉移完成..!";
constexpr const char* kChecking = "資料檢核中..!";
constexpr const char* kSevere = "資料嚴重異常,請連絡程式設計師..!";

class Run : public RunFixture {
  protected:
    [[nodiscard]] std::string beside(const std::string& name) const {
        return (dbs.dir.path() / name).string();
    }
    [[nodiscard]] std::string uploader(const std::string& date) const {
        return beside("Wendry.exe") + " xx " + date;
    }

    // ERP rows written directly: a header, and a line that agrees with it.
    void addErpHeader(int family, const std::string& date, const std::string& salNo,
                      const std::string& machine, double amount) {
        const Row row{{"SAL_DATE", Value(date)},
                      {"SAL_NO", Value(salNo)},
                      {"MCH_NO", Value(machine)},
                      {"SAL_TIME", Value("08:00:00")},
                      {"REL_SAL", Value(amount)}};
        insertRow(*erp, db::family(family).erpMaster, row);
    }
    void addErpLine(int family, const std::string& date, const std::string& salNo, double amount) {
        const Row row{{"SAL_DATE", Value(date)},  {"SAL_NO", Value(salNo)}, {"ORD_NO", Value("1")},
                      {"PROD_ID", Value("A001")}, {"AMT", Value(amount)},   {"HEA_AMT", Value(0)},
                      {"dis_share", Value(0)},    {"ttt_share", Value(0)}};
        insertRow(*erp, db::family(family).erpLines, row);
    }
    void addErpBill(int family, const std::string& date, const std::string& salNo, const std::string& machine,
                    double amount) {
        addErpHeader(family, date, salNo, machine, amount);
        addErpLine(family, date, salNo, amount);
    }

    // A press that must end with an error; returns its text.
    std::string runExpectingError() {
        try {
            run();
        } catch (const transfer::Abort&) {
            ADD_FAILURE() << "the run ended quietly instead of with an error";
            return {};
        } catch (const std::exception& e) {
            return e.what();
        }
        ADD_FAILURE() << "the run ended without an error";
        return {};
    }

    // Forgets what earlier runs of the test showed and started.
    void forgetEarlierRuns() {
        op.logLines.clear();
        op.boxes.clear();
        platform.sleeps.clear();
        platform.startedCommandLines.clear();
    }
};

std::vector<Box> oneBox(Kind kind, const std::string& text) {
    return {Box{kind, text}};
}

// Five-second waits for the collector, then half a second after each family of each pass.
Sleeps sleepsOf(int collectorWaits, int passes) {
    Sleeps out(collectorWaits, 5000ms);
    out.insert(out.end(), 4 * passes, 500ms);
    return out;
}

// ---- Whole runs by transfer mode -----------------------------------------------------------------

// Mode 0 moves every bill not yet 'True', whatever its day or family, though the chosen day is closed.
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
    dbs.dir.write("Wendry.exe", "");
    startUp();
    op.tickMachines({"01", "03"});
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
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\n03        10.0.0.03\r\nEND\r\n");
    EXPECT_EQ(platform.startedCommandLines, (Lines{"Harvo.exe", uploader("2012/12/11")}));
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
    EXPECT_EQ(
        logText(),
        "連結就緒..\n09:00:10\nConnected Successful..!\n09:00:10\nConnected Successful..!\n09:00:10\n"
        "Connected Successful..!\n09:00:11\nConnected Successful..!\n09:00:11\nPOS_GIVE Tran ...!\n"
        "POS_DISROL Tran ...!\nPOS_COST Tran ...!\nPOINT_MASTER Tran ...!\n資料檢核中..!\n銷售資料檢核..!\n"
        "資料檢核完成..!\n資料轉移完成..!\n");
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 1));
}

// Mode 1 after mode 0: the chosen day's store bills are copied again, every machine's, once each. Before
// that the ticked machine's ERP rows of the day go: headers by machine, lines by bill number prefix. A
// family whose deletions fail goes on silently: its bills of the day were marked first.
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

    // Later the ERP copies are touched, ERP rows of no store bill appear, a bill of another day arrives,
    // and another day is closed.
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
    dbs.dir.write("Wendry.exe", "");
    forgetEarlierRuns();
    op.setTransferMode(1);
    op.tickMachines({"01"});
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
    EXPECT_EQ(platform.startedCommandLines, (Lines{"Harvo.exe", uploader("2012/12/10")}));
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

// Mode 2 and no mode claim nothing themselves: whatever already waits is copied, in any family. Mode 2
// also puts back family 0's bills whose sales order totals disagree, of any day, and writes its check
// query beside the program. Neither leaves a trailer in the machine file or starts the uploader.
class ModeTwoOrNone : public Run, public ::testing::WithParamInterface<int> {};

TEST_P(ModeTwoOrNone, CopiesWhatWaits) {
    const int mode = GetParam();
    auto salesOrder = [&](const char* date, const char* salNo, const char* billId, double lines,
                          double total) {
        insertRow(*erp, "POSTOSALE",
                  {{"SAL_DATE", Value(date)}, {"SAL_NO", Value(salNo)}, {"MASTERBILLID", Value(billId)}});
        insertRow(*erp, "sal_sub", {{"masterbillid", Value(billId)}, {"amt", Value(lines)}});
        insertRow(*erp, "sal_MASTER", {{"masterbillid", Value(billId)}, {"TOTAL_money", Value(total)}});
    };
    salesOrder("2012/12/10", "01000001", "MB1", 100, 90);
    salesOrder("2012/12/10", "01000002", "MB2", 50, 50);
    salesOrder("2012/12/08", "01000009", "MB9", 70, 75);
    addSoundBill(0, "101/12/10", "01000001", "01", 100, "True");
    addSoundBill(0, "101/12/10", "01000002", "01", 50, "True");
    addSoundBill(0, "101/12/10", "01000003", "01", 60, "xx");
    addSoundBill(0, "101/12/10", "01000004", "01", 60);
    addSoundBill(0, "101/12/08", "01000009", "01", 70, "True");
    addSoundBill(3, "101/12/10", "03000001", "03", 80, "Wait");
    addSoundBill(3, "101/12/10", "03000002", "03", 90);
    dbs.dir.write("Wendry.exe", "");
    dbs.dir.write(transfer::kCheckQueryFileName, "old text");
    startUp();
    op.setTransferMode(mode);
    op.tickMachines({"02"});
    run();

    if (mode == 2) {
        EXPECT_EQ(erpBills(0), (Lines{"2012/12/08|01000009|01", "2012/12/10|01000001|01"}));
        std::string checkQuery;
        for (const auto& line : transfer::salesOrderCheckLines())
            checkQuery += line + "\r\n";
        EXPECT_EQ(readBytes(dbs.dir.path() / transfer::kCheckQueryFileName), checkQuery);
    } else {
        EXPECT_EQ(erpBills(0), Lines{});
        EXPECT_EQ(readBytes(dbs.dir.path() / transfer::kCheckQueryFileName), "old text");
    }
    EXPECT_EQ(marks(0),
              (Lines{"01000001|True", "01000002|True", "01000003|xx", "01000004|<null>", "01000009|True"}));
    EXPECT_EQ(erpBills(3), Lines{"2012/12/10|03000001|03"});
    EXPECT_EQ(marks(3), (Lines{"03000001|True", "03000002|<null>"}));
    EXPECT_EQ(locIp(), "02        10.0.0.02\r\n");
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeTwoOrNone, ::testing::Values(2, -1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 2 ? "ModeTwo" : "NoMode");
                         });

// ---- Refusals and failures -----------------------------------------------------------------------

// A refusal changes nothing; once what it misses is there, the same press goes through. An empty
// temporary product field looks for an empty code.
struct Refusal {
    const char* name;
    int mode;
    const char* tempProduct;
    transfer::QuietEnd end;
    const char* box;
    bool buttonsAfter;  // OK and Exit
    const char* mend;   // an ERP statement
};

class Refusals : public Run, public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refusals, EndTheRunBeforeAnythingHappens) {
    const Refusal& c = GetParam();
    insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/10")}});
    dbs.dir.write(transfer::kLocIpFileName, "old\r\n");
    dbs.dir.write("Wendry.exe", "");
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    op.setTransferMode(c.mode);
    op.setTempProduct(c.tempProduct);
    op.tickMachines({"01"});

    EXPECT_EQ(runExpectingQuietEnd(), c.end);
    EXPECT_EQ(op.boxes, oneBox(Kind::Warning, c.box));
    EXPECT_EQ(op.okEnabled, c.buttonsAfter);
    EXPECT_EQ(op.exitEnabled, c.buttonsAfter);
    EXPECT_EQ(locIp(), "old\r\n");
    EXPECT_EQ(platform.startedCommandLines, Lines{});
    EXPECT_EQ(platform.sleeps, Sleeps{});
    EXPECT_EQ(op.logLines, Lines{});
    EXPECT_EQ(marks(0), Lines{"01000001|<null>"});
    EXPECT_EQ(erpLines(0), Lines{});

    erp->execute(c.mend);
    op.boxes.clear();
    run();
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, Refusals,
    ::testing::Values(Refusal{"ClosedDayInModeOne", 1, "TEMP", transfer::QuietEnd::ClosedDay,
                              "該日已關帳不可任意傳輸資料", true, "DELETE FROM X_DAYPOS_MASTER"},
                      Refusal{"MissingTemporaryProduct", 0, "", transfer::QuietEnd::TempProductMissing,
                              "暫用商品未建檔..", false, "INSERT INTO PRODUCT (PROD_ID) VALUES ('')"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(Run, InvalidDateTextEndsTheRunAfterTheCollector) {
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    dbs.dir.write("Wendry.exe", "");
    startUp();
    op.setTransferMode(1);
    op.tickMachines({"02"});
    op.setDateText("2012/13/45");  // the date value stays 2012/12/10

    EXPECT_EQ(runExpectingError(), "'2012/13/45' is not a valid date");
    EXPECT_EQ(locIp(), "02        10.0.0.02\r\nEND:101/12/10\r\n");
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 0));
    EXPECT_EQ(op.logLines, Lines{});
    EXPECT_EQ(op.boxes, std::vector<Box>{});
    EXPECT_EQ(marks(0), Lines{"01000001|<null>"});
    EXPECT_FALSE(op.exitEnabled);
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
    dbs.dir.write("Wendry.exe", "");
    startUp();

    const std::string error = runExpectingError();
    EXPECT_NE(error.find("refuses to wait"), std::string::npos) << error;
    // The bill already waiting was copied and closed; the marking itself changed nothing.
    EXPECT_EQ(erpLines(0), Lines{"2012/12/10|01000001"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|<null>", "01000003|<null>"}));
    // Nothing after family 0.
    EXPECT_EQ(marks(1), Lines{"02000001|Wait"});
    EXPECT_FALSE(logged(kChecking));
    EXPECT_EQ(op.boxes, std::vector<Box>{});
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
}

// ---- The collector -------------------------------------------------------------------------------

// The collector gets the machine file with both connections closed and both buttons off, unless it is
// running already; every check that finds its window adds a wait. What it brings while the run waits
// is moved by the same run.
class Collector : public Run, public ::testing::WithParamInterface<bool> {};

TEST_P(Collector, IsStartedUnlessRunningAndWaitedOut) {
    const bool upBeforeStart = GetParam();
    startUp();
    op.tickMachines({"02"});
    bool visible = upBeforeStart;
    int checksSeeingIt = 3;
    Lines atStart;
    platform.onStartProgram = [&](const std::string&) {
        visible = true;
        atStart = {locIp(),
                   form->SQLConSource.params().value("Database"),
                   std::to_string(form->SQLConSource.connected()),
                   std::to_string(form->SQLConnection1.connected()),
                   std::to_string(op.okEnabled),
                   std::to_string(op.exitEnabled)};
    };
    platform.windowClassCheck = [&](const std::string& windowClass) {
        if (windowClass != "TFHarvo" || !visible || checksSeeingIt == 0) return false;
        --checksSeeingIt;
        return true;
    };
    platform.onSleep = [&](std::chrono::milliseconds) {
        if (platform.sleeps.size() == 1) addSoundBill(0, "101/12/10", "02000001", "02", 100);
    };
    run();

    if (upBeforeStart) {
        EXPECT_EQ(platform.startedCommandLines, Lines{});
        EXPECT_EQ(platform.sleeps, sleepsOf(4, 1));
    } else {
        EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});  // no uploader beside the program
        EXPECT_EQ(atStart, (Lines{"02        10.0.0.02\r\nEND\r\n", dbs.store, "0", "0", "0", "0"}));
        EXPECT_EQ(platform.sleeps, sleepsOf(5, 1));
    }
    ASSERT_GE(op.logLines.size(), 2u);
    EXPECT_EQ(op.logLines.at(0), "連結就緒..");
    EXPECT_EQ(op.logLines.at(1), upBeforeStart ? "09:00:20" : "09:00:25");
    EXPECT_EQ(op.repaints, 3);  // after the collector, before connecting, and for the one bill
    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|02000001|02"});
    EXPECT_EQ(marks(0), Lines{"02000001|True"});
}

INSTANTIATE_TEST_SUITE_P(Window, Collector, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "AlreadyRunning" : "StartedByTheRun");
                         });

// ---- The store's schema and the store connection's parameters -------------------------------------

TEST_F(Run, StoreWithoutMarkColumnsGetsThemAndASecondRunChangesNothing) {
    for (int f = 0; f < 4; ++f)
        store->execute(std::string("ALTER TABLE ") + db::family(f).storeMaster +
                       " DROP TRAN_CODE, DROP CARD_ID");
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    run();

    const std::string columns =
        "SELECT TRIM(r.RDB$RELATION_NAME) || '.' || TRIM(r.RDB$FIELD_NAME) || ':' || f.RDB$FIELD_TYPE || ':' "
        "|| f.RDB$FIELD_LENGTH FROM RDB$RELATION_FIELDS r JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = "
        "r.RDB$FIELD_SOURCE WHERE r.RDB$FIELD_NAME IN ('TRAN_CODE', 'CARD_ID') ORDER BY 1";
    const Lines expectedColumns{"POS_MAID.CARD_ID:37:20",     "POS_MAID.TRAN_CODE:37:5",
                                "POS_MAIN.CARD_ID:37:20",     "POS_MAIN.TRAN_CODE:37:5",
                                "POS_MAIN_CHG.CARD_ID:37:20", "POS_MAIN_CHG.TRAN_CODE:37:5",
                                "POS_MAIN_S.CARD_ID:37:20",   "POS_MAIN_S.TRAN_CODE:37:5"};
    EXPECT_EQ(storeRows(columns), expectedColumns);
    EXPECT_EQ(marks(0), Lines{"01000001|True"});
    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});

    const Lines erpBefore = erpRows("SELECT * FROM POS_MASTER");
    const Lines erpLinesBefore = erpRows("SELECT * FROM POS_SUB");
    const Lines storeBefore = storeRows("SELECT * FROM POS_MAIN");
    forgetEarlierRuns();
    run();
    EXPECT_EQ(erpRows("SELECT * FROM POS_MASTER"), erpBefore);
    EXPECT_EQ(erpRows("SELECT * FROM POS_SUB"), erpLinesBefore);
    EXPECT_EQ(storeRows("SELECT * FROM POS_MAIN"), storeBefore);
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

TEST_F(Run, StorePasswordFollowsTheServerKindAndNoKindKeepsIt) {
    startUp();
    const std::pair<int, const char*> steps[] = {
        {0, "qorvexdal"}, {-1, "qorvexdal"}, {1, "plintova"}, {-1, "plintova"}};
    for (const auto& [kind, password] : steps) {
        op.setServerKind(kind);
        run();
        EXPECT_EQ(form->SQLConSource.params().value("Password"), password) << "server kind " << kind;
    }
    EXPECT_EQ(form->SQLConSource.params().value("Database"), dbs.store);
    EXPECT_EQ(boxesOf(Kind::Information), (Lines{kDone, kDone, kDone, kDone}));
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
    dbs.dir.write("Wendry.exe", "");
    startUp();
    op.setTransferMode(2);
    op.setAllDates(allDates);
    op.tickMachines({"01"});
    Lines mastersAtCheck, linesAtCheck, marksAtCheck;
    op.onLog = [&](const std::string& line) {
        if (line != transfer::texts::kCheckDone || !marksAtCheck.empty()) return;
        mastersAtCheck = erpRows("SELECT SAL_NO, REL_SAL FROM POS_MASTER ORDER BY SAL_NO");
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
    if (allDates) {
        EXPECT_EQ(
            findings,
            (Lines{"異常資料:101/12/08__01000008重收設定中..!", "異常資料:101/12/09__01000009重收設定中..!",
                   "異常資料:101/12/10__01000001重收設定中..!", "異常資料:101/12/10__01000010重收設定中..!",
                   "資料檢核有資料2筆異常..!", "資料檢核有資料2筆異常..!"}));
        EXPECT_EQ(mastersAtCheck, Lines{"01000011|140"});
        EXPECT_EQ(linesAtCheck, Lines{"01000011"});
        EXPECT_EQ(marksAtCheck, (Lines{"01000001|Wait", "01000008|Wait", "01000009|Wait", "01000010|Wait",
                                       "01000011|True"}));
        EXPECT_EQ(erpRows("SELECT SAL_NO, REL_SAL FROM POS_MASTER ORDER BY SAL_NO"),
                  (Lines{"01000001|350", "01000008|100", "01000009|120", "01000010|120", "01000011|140"}));
    } else {
        EXPECT_EQ(findings, (Lines{"異常資料:101/12/10__01000001重收設定中..!",
                                   "異常資料:101/12/10__01000010重收設定中..!", "資料檢核有資料1筆異常..!",
                                   "資料檢核有資料1筆異常..!"}));
        EXPECT_EQ(mastersAtCheck, (Lines{"01000008|0", "01000009|999", "01000011|140"}));
        EXPECT_EQ(linesAtCheck, (Lines{"01000009", "01000011"}));
        EXPECT_EQ(marksAtCheck, (Lines{"01000001|Wait", "01000008|True", "01000009|True", "01000010|Wait",
                                       "01000011|True"}));
        EXPECT_EQ(erpRows("SELECT SAL_NO, REL_SAL FROM POS_MASTER ORDER BY SAL_NO"),
                  (Lines{"01000001|350", "01000008|0", "01000009|999", "01000010|120", "01000011|140"}));
    }
    EXPECT_EQ(marks(0),
              (Lines{"01000001|True", "01000008|True", "01000009|True", "01000010|True", "01000011|True"}));
    // Both passes end alike; the collector only before the first, the uploader after each, in mode 0 by
    // then, and the machine file is written again for mode 0.
    EXPECT_EQ(op.boxes, (std::vector<Box>{{Kind::Information, kDone}, {Kind::Information, kDone}}));
    EXPECT_EQ(platform.startedCommandLines,
              (Lines{"Harvo.exe", uploader("2012/12/11"), uploader("2012/12/11")}));
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 2));
    EXPECT_EQ(op.transferMode(), 0);
    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\nEND\r\n");
}

INSTANTIATE_TEST_SUITE_P(Days, Verification, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "AllDates" : "ChosenDay");
                         });

// The store goes away right after the first verification, so the repeated pass cannot connect: its
// failure is logged and shown, the uploader still starts, and no information box claims success. The
// bill waits for the next run, its damaged copy gone.
TEST_F(Run, ConnectFailureOfTheRepeatedPassIsShownAndTheUploaderStillStarts) {
    addSoundBill(0, "101/12/10", "01000001", "01", 100, "True");
    addErpHeader(0, "2012/12/10", "01000001", "01", 100);  // the header without its line
    dbs.dir.write("Wendry.exe", "");
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
    EXPECT_EQ(op.boxes, oneBox(Kind::Warning, failure));
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
// ends the run; the repair tool is started unless its window is already up.
class SevereAnomaly : public Run, public ::testing::WithParamInterface<bool> {};

TEST_P(SevereAnomaly, ThirdDamagedVerificationEndsTheRun) {
    const bool repairToolOpen = GetParam();
    if (repairToolOpen) platform.presentWindowClasses.insert("TFormDisQuorrel");
    addBill(0, "101/12/10", "01000001", "01", 300);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    dbs.dir.write("Wendry.exe", "");
    startUp();

    EXPECT_EQ(runExpectingQuietEnd(), transfer::QuietEnd::SevereAnomaly);
    EXPECT_EQ(timesLogged("異常資料:101/12/10__01000001重收設定中..!"), 3) << logText();
    EXPECT_FALSE(logged(kDone));
    EXPECT_EQ(op.boxes, oneBox(Kind::Warning, kSevere));
    EXPECT_EQ(form->retryCounter, 2);
    EXPECT_TRUE(form->totalsFinding);
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 3));
    EXPECT_EQ(platform.startedCommandLines,
              (repairToolOpen ? Lines{"Harvo.exe"} : Lines{"Harvo.exe", beside("Quorrel.exe")}));
    // The last verification put the bill back and removed its copy.
    EXPECT_EQ(marks(0), Lines{"01000001|Wait"});
    EXPECT_EQ(erpBills(0), Lines{});
    EXPECT_EQ(erpLines(0), Lines{});
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
}

INSTANTIATE_TEST_SUITE_P(RepairTool, SevereAnomaly, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "AlreadyOpen" : "Started");
                         });

}  // namespace
