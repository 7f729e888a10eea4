// Whole transfer runs, headless, against real embedded databases.

#include "db/tables.h"
#include "tests/support/run_fixture.h"
#include "transfer/family_prep.h"
#include "transfer/loc_ip.h"
#include "transfer/texts.h"

#include <algorithm>
#include <filesystem>

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

class Run : public RunFixture {
  protected:
    [[nodiscard]] std::string beside(const std::string& name) const {
        return (dbs.dir.path() / name).string();
    }
    [[nodiscard]] bool existsBeside(const std::string& name) const {
        return std::filesystem::exists(dbs.dir.path() / name);
    }
    [[nodiscard]] std::string uploader(const std::string& date) const {
        return beside("Wendry.exe") + " xx " + date;
    }

    // A store bill with one line that adds up to its REL_SAL; `mark` is its TRAN_CODE (NULL when none).
    void addSoundBill(int family, const std::string& rocDate, const std::string& salNo,
                      const std::string& machine, double amount, const char* mark = nullptr) {
        Row extra;
        if (mark != nullptr) extra.emplace_back("TRAN_CODE", Value(mark));
        addBill(family, rocDate, salNo, machine, amount, extra);
        addLine(family, rocDate, salNo, 1, "A001", 1, amount);
    }

    // ERP rows written directly: a header, and a line that agrees with it.
    void addErpHeader(int family, const std::string& date, const std::string& salNo,
                      const std::string& machine, double amount) {
        insertRow(*erp, db::family(family).erpMaster,
                  {{"SAL_DATE", Value(date)},
                   {"SAL_NO", Value(salNo)},
                   {"MCH_NO", Value(machine)},
                   {"SAL_TIME", Value("08:00:00")},
                   {"REL_SAL", Value(amount)}});
    }
    void addErpLine(int family, const std::string& date, const std::string& salNo, double amount) {
        insertRow(*erp, db::family(family).erpLines,
                  {{"SAL_DATE", Value(date)},
                   {"SAL_NO", Value(salNo)},
                   {"ORD_NO", Value("1")},
                   {"PROD_ID", Value("A001")},
                   {"AMT", Value(amount)},
                   {"HEA_AMT", Value(0)},
                   {"dis_share", Value(0)},
                   {"ttt_share", Value(0)}});
    }
    void addErpBill(int family, const std::string& date, const std::string& salNo, const std::string& machine,
                    double amount) {
        addErpHeader(family, date, salNo, machine, amount);
        addErpLine(family, date, salNo, amount);
    }

    [[nodiscard]] Lines marks(int family) {
        return storeRows(std::string("SELECT SAL_NO, TRAN_CODE FROM ") + db::family(family).storeMaster +
                         " ORDER BY SAL_NO");
    }
    [[nodiscard]] Lines erpBills(int family) {
        return erpRows(std::string("SELECT SAL_DATE, SAL_NO, MCH_NO FROM ") + db::family(family).erpMaster +
                       " ORDER BY SAL_DATE, SAL_NO");
    }
    [[nodiscard]] Lines erpLines(int family) {
        return erpRows(std::string("SELECT SAL_DATE, SAL_NO FROM ") + db::family(family).erpLines +
                       " ORDER BY SAL_DATE, SAL_NO, ORD_NO");
    }
    [[nodiscard]] long timesLogged(const std::string& line) const {
        return std::count(op.logLines.begin(), op.logLines.end(), line);
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

TEST_F(Run, ModeZeroMovesEveryPendingBillAndReportsInOrder) {
    addBill(0, "101/12/10", "01000001", "01", 350);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    addLine(0, "101/12/10", "01000001", 2, "A002", 1, 110);
    addBill(1, "101/12/09", "02000002", "02", 120);
    addLine(1, "101/12/09", "02000002", 1, "A001", 1, 120);
    dbs.dir.write("Wendry.exe", "");
    startUp();
    op.tickMachines({"01", "03"});
    run();

    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, MCH_NO, STOCK_ID, REL_SAL, FLAG FROM POS_MASTER"),
              std::vector<std::string>{"2012/12/10|01000001|01|S01|350|銷"});
    EXPECT_EQ(erpRows("SELECT ORD_NO, PROD_ID, SAL_QTY, AMT, PD_ITEMID FROM POS_SUB ORDER BY ORD_NO"),
              (std::vector<std::string>{"1|A001|2|240|I01", "2|A002|1|110|I02"}));
    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, STOCK_ID FROM POS_MASTERD"),
              std::vector<std::string>{"2012/12/09|02000002|S02"});
    EXPECT_EQ(storeRows("SELECT TRAN_CODE FROM POS_MAIN"), std::vector<std::string>{"True"});
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\n03        10.0.0.03\r\nEND\r\n");
    EXPECT_EQ(platform.startedCommandLines.size(), 2u);
    EXPECT_EQ(platform.startedCommandLines.at(0), "Harvo.exe");
    EXPECT_EQ(platform.startedCommandLines.at(1),
              (dbs.dir.path() / "Wendry.exe").string() + " xx 2012/12/11");
    EXPECT_EQ(boxesOf(Kind::Information), std::vector<std::string>{"資料轉移完成..!"});
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
    EXPECT_EQ(
        logText(),
        "連結就緒..\n09:00:10\nConnected Successful..!\n09:00:10\nConnected Successful..!\n09:00:10\n"
        "Connected Successful..!\n09:00:11\nConnected Successful..!\n09:00:11\nPOS_GIVE Tran ...!\n"
        "POS_DISROL Tran ...!\nPOS_COST Tran ...!\nPOINT_MASTER Tran ...!\n資料檢核中..!\n銷售資料檢核..!\n"
        "資料檢核完成..!\n資料轉移完成..!\n");
    // Ten seconds for the collector, half a second after each family.
    EXPECT_EQ(platform.sleeps,
              (std::vector<std::chrono::milliseconds>{5000ms, 5000ms, 500ms, 500ms, 500ms, 500ms}));
}

TEST_F(Run, ModeZeroMarksEveryRowNotYetTrueWhateverItsDate) {
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    addSoundBill(0, "101/12/08", "01000002", "01", 110, "xx");
    addSoundBill(0, "101/12/10", "01000003", "01", 120, "Wait");
    addSoundBill(0, "101/12/10", "01000004", "01", 130, "True");
    addSoundBill(2, "101/12/10", "02000001", "02", 140);
    addSoundBill(2, "101/12/10", "02000002", "02", 150, "True");
    startUp();
    run();

    EXPECT_EQ(erpBills(0),
              (Lines{"2012/12/08|01000002|01", "2012/12/10|01000001|01", "2012/12/10|01000003|01"}));
    EXPECT_EQ(erpLines(0), (Lines{"2012/12/08|01000002", "2012/12/10|01000001", "2012/12/10|01000003"}));
    EXPECT_EQ(erpBills(2), Lines{"2012/12/10|02000001|02"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|True", "01000003|True", "01000004|True"}));
    EXPECT_EQ(marks(2), (Lines{"02000001|True", "02000002|True"}));
    // No uploader beside the program: only the collector was started.
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
    EXPECT_EQ(locIp(), "END\r\n");
    EXPECT_FALSE(existsBeside(transfer::kCheckQueryFileName));
}

TEST_F(Run, ModeOneRedoesTheChosenDayOnly) {
    addBill(0, "101/12/10", "01000001", "01", 350);
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    addLine(0, "101/12/10", "01000001", 2, "A002", 1, 110);
    addSoundBill(0, "101/12/10", "02000001", "02", 120);
    addSoundBill(0, "101/12/09", "01000002", "01", 100);
    addSoundBill(1, "101/12/10", "01000003", "01", 80);
    startUp();
    run();  // mode 0: everything moved once
    ASSERT_EQ(erpBills(0).size(), 3u);

    // Later the ERP copies are touched, a bill of another day arrives, and another day is closed.
    erp->execute("UPDATE POS_MASTER SET SAL_TIME = '00:00:00'");
    erp->execute("UPDATE POS_MASTERD SET SAL_TIME = '00:00:00'");
    addSoundBill(0, "101/12/09", "01000004", "01", 90);
    insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/09")}});
    dbs.dir.write("Wendry.exe", "");
    forgetEarlierRuns();
    op.setTransferMode(1);
    op.tickMachines({"01"});
    run();

    // Every bill of the day is copied again, machine 02's too, once each; other days stay as they were.
    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, MCH_NO, SAL_TIME FROM POS_MASTER ORDER BY SAL_DATE, SAL_NO"),
              (Lines{"2012/12/09|01000002|01|00:00:00", "2012/12/10|01000001|01|12:00:00",
                     "2012/12/10|02000001|02|12:00:00"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, COUNT(*) FROM POS_SUB GROUP BY SAL_NO ORDER BY SAL_NO"),
              (Lines{"01000001|2", "01000002|1", "02000001|1"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, SAL_TIME FROM POS_MASTERD"), Lines{"01000003|12:00:00"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|True", "01000004|<null>", "02000001|True"}));
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\nEND:101/12/10\r\n");
    EXPECT_EQ(platform.startedCommandLines, (Lines{"Harvo.exe", uploader("2012/12/10")}));
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
    EXPECT_EQ(timesLogged(kDone), 1);
}

TEST_F(Run, ModeOneDeletesTheTickedMachinesErpRowsOfTheDay) {
    addErpBill(0, "2012/12/10", "99000001", "01", 10);  // header goes, its line (not 01...) stays
    addErpBill(0, "2012/12/10", "88000001", "010", 20);
    addErpBill(0, "2012/12/09", "99000002", "01", 30);
    addErpBill(0, "2012/12/10", "77000001", "02", 40);
    addErpLine(0, "2012/12/10", "01000077", 50);  // a line of the day starting 01 goes, whatever machine
    addErpLine(0, "2012/12/09", "01000078", 60);
    addErpLine(0, "2012/12/10", "02000077", 70);
    addErpHeader(3, "2012/12/10", "99000003", "01", 80);
    addErpLine(3, "2012/12/10", "01000079", 80);
    startUp();
    op.setTransferMode(1);
    op.tickMachines({"01"});
    run();

    EXPECT_EQ(erpBills(0),
              (Lines{"2012/12/09|99000002|01", "2012/12/10|77000001|02", "2012/12/10|88000001|010"}));
    EXPECT_EQ(erpLines(0), (Lines{"2012/12/09|01000078", "2012/12/09|99000002", "2012/12/10|02000077",
                                  "2012/12/10|77000001", "2012/12/10|88000001", "2012/12/10|99000001"}));
    EXPECT_EQ(erpBills(3), Lines{});
    EXPECT_EQ(erpLines(3), Lines{});
    EXPECT_EQ(form->retryCounter, 0);
    EXPECT_EQ(boxesOf(Kind::Information), Lines{kDone});
}

TEST_F(Run, ModeOneDropsAFailingDayBlockSilently) {
    // The ERP refuses every header deletion: the day's block of family 0 fails at its first statement.
    erp->execute("CREATE EXCEPTION NO_DELETE 'no deletions here'");
    erp->execute(
        "CREATE TRIGGER POS_MASTER_KEEP FOR POS_MASTER BEFORE DELETE AS BEGIN EXCEPTION NO_DELETE; END");
    addErpBill(0, "2012/12/10", "01000001", "01", 100);
    addSoundBill(0, "101/12/10", "01000005", "01", 90);
    addSoundBill(1, "101/12/10", "01000006", "01", 80, "True");
    startUp();
    op.setTransferMode(1);
    op.tickMachines({"01"});
    run();

    // Family 0's store rows of the day were marked before the refused deletion, so they are copied
    // all the same (the refused bill stays as it was); the other families went on as usual.
    EXPECT_EQ(marks(0), Lines{"01000005|True"});
    EXPECT_EQ(erpBills(0), (Lines{"2012/12/10|01000001|01", "2012/12/10|01000005|01"}));
    EXPECT_EQ(erpBills(1), Lines{"2012/12/10|01000006|01"});
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
    EXPECT_EQ(timesLogged("Connected Successful..!"), 4);
    EXPECT_TRUE(op.exitEnabled);
}

TEST_F(Run, ModeTwoRemarksBillsWhoseSalesOrderTotalsDisagree) {
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
    addSoundBill(0, "101/12/10", "01000003", "01", 60);
    addSoundBill(0, "101/12/08", "01000009", "01", 70, "True");
    addSoundBill(1, "101/12/10", "02000001", "02", 80, "Wait");
    addSoundBill(1, "101/12/10", "02000002", "02", 90);
    dbs.dir.write("Wendry.exe", "");
    startUp();
    op.setTransferMode(2);
    op.tickMachines({"02"});
    run();

    EXPECT_EQ(erpBills(0), (Lines{"2012/12/08|01000009|01", "2012/12/10|01000001|01"}));
    EXPECT_EQ(erpBills(1), Lines{"2012/12/10|02000001|02"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|True", "01000003|<null>", "01000009|True"}));
    EXPECT_EQ(marks(1), (Lines{"02000001|True", "02000002|<null>"}));
    EXPECT_EQ(locIp(), "02        10.0.0.02\r\n");
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});  // no uploader in mode 2
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

TEST_F(Run, ModeTwoWritesTheCheckQueryEvenWhenNothingIsFound) {
    dbs.dir.write(transfer::kCheckQueryFileName, "old text");
    addSoundBill(0, "101/12/10", "01000001", "01", 100, "True");
    startUp();
    op.setTransferMode(2);
    run();

    const std::string bytes = readBytes(dbs.dir.path() / transfer::kCheckQueryFileName);
    std::string expected;
    for (const auto& line : transfer::salesOrderCheckLines())
        expected += line + "\r\n";
    EXPECT_EQ(bytes, expected);
    // Seven lines, each ended by CR LF and none by a bare line feed.
    std::size_t lineEnds = 0;
    for (auto at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2))
        ++lineEnds;
    EXPECT_EQ(lineEnds, 7u);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 7);
    EXPECT_EQ(marks(0), Lines{"01000001|True"});
    EXPECT_EQ(erpBills(0), Lines{});
    // No machine ticked and no trailer: the machine file is there, empty.
    ASSERT_TRUE(existsBeside(transfer::kLocIpFileName));
    EXPECT_EQ(locIp(), "");
}

TEST_F(Run, NoModeCopiesOnlyRowsAlreadyWaiting) {
    addSoundBill(0, "101/12/10", "01000001", "01", 100, "Wait");
    addSoundBill(0, "101/12/10", "01000002", "01", 110);
    addSoundBill(0, "101/12/10", "01000003", "01", 120, "xx");
    addSoundBill(3, "101/12/10", "03000001", "03", 130, "Wait");
    addSoundBill(3, "101/12/10", "03000002", "03", 140);
    dbs.dir.write("Wendry.exe", "");
    startUp();
    op.setTransferMode(-1);
    op.tickMachines({"03", "01"});
    run();

    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});
    EXPECT_EQ(erpBills(3), Lines{"2012/12/10|03000001|03"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|<null>", "01000003|xx"}));
    EXPECT_EQ(marks(3), (Lines{"03000001|True", "03000002|<null>"}));
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\n03        10.0.0.03\r\n");  // list order, no trailer
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
    EXPECT_FALSE(existsBeside(transfer::kCheckQueryFileName));
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
}

// ---- Verification and the runs it repeats --------------------------------------------------------

TEST_F(Run, ADamagedErpBillIsRepairedByASecondPass) {
    addBill(0, "101/12/10", "01000001", "01", 350, {{"TRAN_CODE", Value("True")}});
    addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
    addLine(0, "101/12/10", "01000001", 2, "A002", 1, 110);
    addErpHeader(0, "2012/12/10", "01000001", "01", 350);  // the header without its lines
    dbs.dir.write("Wendry.exe", "");
    startUp();
    op.setTransferMode(2);
    op.tickMachines({"01"});
    run();

    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});
    EXPECT_EQ(erpLines(0), (Lines{"2012/12/10|01000001", "2012/12/10|01000001"}));
    EXPECT_EQ(marks(0), Lines{"01000001|True"});
    EXPECT_TRUE(logged("異常資料:101/12/10__01000001重收設定中..!"));
    EXPECT_EQ(timesLogged(kChecking), 2);
    EXPECT_EQ(timesLogged(kDone), 2);
    EXPECT_EQ(boxesOf(Kind::Information), (Lines{kDone, kDone}));
    EXPECT_EQ(boxesOf(Kind::Warning), Lines{});
    // The collector only before the first pass; the uploader after each pass, in mode 0 by then.
    EXPECT_EQ(platform.startedCommandLines,
              (Lines{"Harvo.exe", uploader("2012/12/11"), uploader("2012/12/11")}));
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 2));
    EXPECT_EQ(op.transferMode(), 0);
    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_FALSE(form->totalsFinding);
    EXPECT_FALSE(form->missingLinesFinding);
    EXPECT_EQ(locIp(), "01        10.0.0.01\r\nEND\r\n");  // rewritten by the second pass
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
}

TEST_F(Run, LinesThatBalanceWithDiscountsAndSurchargesAreNoFinding) {
    // 140 - 5 (surcharge) = (100 - 10) + (50 - 5)
    addBill(0, "101/12/10", "01000001", "01", 140);
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 100, {{"dis_share", Value(10)}, {"HEA_AMT", Value(5)}});
    addLine(0, "101/12/10", "01000001", 2, "A002", 1, 50, {{"ttt_share", Value(5)}});
    startUp();
    run();

    EXPECT_EQ(timesLogged(kChecking), 1);
    EXPECT_EQ(form->retryCounter, 0);
    EXPECT_EQ(erpLines(0), (Lines{"2012/12/10|01000001", "2012/12/10|01000001"}));
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

TEST_F(Run, VerificationLooksAtOtherDaysOnlyWithAllDates) {
    addBill(0, "101/12/08", "01000001", "01", 100, {{"TRAN_CODE", Value("True")}});
    addLine(0, "101/12/08", "01000001", 1, "A001", 1, 100);
    addErpHeader(0, "2012/12/08", "01000001", "01", 100);  // damaged, but not on the chosen day
    startUp();
    run();
    EXPECT_EQ(form->retryCounter, 0);
    EXPECT_EQ(erpLines(0), Lines{});

    forgetEarlierRuns();
    op.setAllDates(true);
    run();
    EXPECT_TRUE(logged("異常資料:101/12/08__01000001重收設定中..!"));
    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_EQ(erpBills(0), Lines{"2012/12/08|01000001|01"});
    EXPECT_EQ(erpLines(0), Lines{"2012/12/08|01000001"});
    EXPECT_EQ(marks(0), Lines{"01000001|True"});
    EXPECT_EQ(boxesOf(Kind::Information), (Lines{kDone, kDone}));
}

TEST_F(Run, NoInformationBoxWhenTheRepeatedPassCannotConnect) {
    addBill(0, "101/12/10", "01000001", "01", 100, {{"TRAN_CODE", Value("True")}});
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 100);
    addErpHeader(0, "2012/12/10", "01000001", "01", 100);  // the header without its line
    dbs.dir.write("Wendry.exe", "");
    startUp();
    // The store goes away right after the first verification.
    op.onLog = [&](const std::string& line) {
        if (line == "資料檢核完成..!") op.setSourcePath(dbs.dir.file("missing.fdb"));
    };
    run();

    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_TRUE(form->missingLinesFinding);
    EXPECT_EQ(boxesOf(Kind::Information), Lines{});
    ASSERT_TRUE(transferRun->connectFailure().has_value());
    EXPECT_EQ(boxesOf(Kind::Warning), Lines{*transferRun->connectFailure()});
    EXPECT_EQ(timesLogged(kChecking), 1);
    EXPECT_EQ(timesLogged(kDone), 1);  // the first pass's, after the second pass gave up
    EXPECT_EQ(platform.startedCommandLines,
              (Lines{"Harvo.exe", uploader("2012/12/11"), uploader("2012/12/11")}));
    // The bill waits for the next run, its damaged copy gone.
    EXPECT_EQ(marks(0), Lines{"01000001|Wait"});
    EXPECT_EQ(erpBills(0), Lines{});
    EXPECT_TRUE(op.exitEnabled);
}

class SevereAnomaly : public Run {
  protected:
    // A store bill whose REL_SAL its lines never reach: every verification finds it again.
    void SetUp() override {
        addBill(0, "101/12/10", "01000001", "01", 300);
        addLine(0, "101/12/10", "01000001", 1, "A001", 2, 120);
        dbs.dir.write("Wendry.exe", "");
        startUp();
    }

    void expectSevereEnd() {
        EXPECT_EQ(runExpectingQuietEnd(), transfer::QuietEnd::SevereAnomaly);
        EXPECT_EQ(timesLogged(kChecking), 3);
        EXPECT_FALSE(logged(kDone));
        EXPECT_EQ(op.boxes, oneBox(Kind::Warning, "資料嚴重異常,請連絡程式設計師..!"));
        EXPECT_EQ(form->retryCounter, 2);
        EXPECT_TRUE(form->totalsFinding);
        EXPECT_EQ(platform.sleeps, sleepsOf(2, 3));
        // The last verification put the bill back and removed its copy.
        EXPECT_EQ(marks(0), Lines{"01000001|Wait"});
        EXPECT_EQ(erpBills(0), Lines{});
        EXPECT_EQ(erpLines(0), Lines{});
        EXPECT_FALSE(op.okEnabled);
        EXPECT_TRUE(op.exitEnabled);
    }
};

TEST_F(SevereAnomaly, ThirdDamagedVerificationStartsTheRepairToolAndNoUploader) {
    expectSevereEnd();
    EXPECT_EQ(platform.startedCommandLines, (Lines{"Harvo.exe", beside("Quorrel.exe")}));
}

TEST_F(SevereAnomaly, RepairToolAlreadyOpenIsNotStartedAgain) {
    platform.presentWindowClasses.insert("TFormDisQuorrel");
    expectSevereEnd();
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
}

// ---- Refusals before anything is moved -----------------------------------------------------------

TEST_F(Run, ClosedDayEndsModeOneBeforeAnythingHappens) {
    insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/10")}});
    dbs.dir.write(transfer::kLocIpFileName, "old\r\n");
    dbs.dir.write("Wendry.exe", "");
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    op.setTransferMode(1);
    op.tickMachines({"01"});

    EXPECT_EQ(runExpectingQuietEnd(), transfer::QuietEnd::ClosedDay);
    EXPECT_EQ(op.boxes, oneBox(Kind::Warning, "該日已關帳不可任意傳輸資料"));
    EXPECT_TRUE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
    EXPECT_EQ(locIp(), "old\r\n");
    EXPECT_EQ(platform.startedCommandLines, Lines{});
    EXPECT_EQ(platform.sleeps, Sleeps{});
    EXPECT_EQ(op.logLines, Lines{});
    EXPECT_EQ(marks(0), Lines{"01000001|<null>"});
    EXPECT_EQ(erpBills(0), Lines{});
}

TEST_F(Run, ClosedDayDoesNotStopModeZero) {
    insertRow(*erp, "X_DAYPOS_MASTER", {{"SAL_DATE", Value("2012/12/10")}});
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    run();

    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

TEST_F(Run, MissingTemporaryProductLeavesBothButtonsDisabledAndChangesNothing) {
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    startUp();
    op.setTempProduct("NOPE");

    EXPECT_EQ(runExpectingQuietEnd(), transfer::QuietEnd::TempProductMissing);
    EXPECT_EQ(op.boxes, oneBox(Kind::Warning, "暫用商品未建檔.."));
    EXPECT_FALSE(op.okEnabled);
    EXPECT_FALSE(op.exitEnabled);
    EXPECT_FALSE(existsBeside(transfer::kLocIpFileName));
    EXPECT_EQ(platform.startedCommandLines, Lines{});
    EXPECT_EQ(platform.sleeps, Sleeps{});
    EXPECT_EQ(marks(0), Lines{"01000001|<null>"});
    EXPECT_EQ(erpBills(0), Lines{});
    EXPECT_EQ(erpLines(0), Lines{});
}

TEST_F(Run, EmptyTemporaryProductFieldLooksForAnEmptyCode) {
    startUp();
    op.setTempProduct("");
    EXPECT_EQ(runExpectingQuietEnd(), transfer::QuietEnd::TempProductMissing);

    insertRow(*erp, "PRODUCT", {{"PROD_ID", Value("")}, {"PROD_NAME", Value("空白")}});
    forgetEarlierRuns();
    run();
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

TEST_F(Run, TemporaryProductFieldIsTrimmed) {
    addBill(0, "101/12/10", "01000001", "01", 40);
    addLine(0, "101/12/10", "01000001", 1, "ZZZ", 1, 40);  // no such product: the temporary one stands in
    startUp();
    op.setTempProduct("  TEMP  ");
    run();

    EXPECT_EQ(erpRows("SELECT SAL_NO, PROD_ID, PROD_ID2 FROM POS_SUB"), Lines{"01000001|TEMP|ZZZ"});
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

// ---- The collector -------------------------------------------------------------------------------

TEST_F(Run, CollectorGetsTheMachineFileWithBothConnectionsClosedAndIsWaitedFor) {
    startUp();
    op.tickMachines({"02"});
    std::string fileAtStart, databaseAtStart;
    bool storeOpen = true, erpOpen = true, okAtStart = true, exitAtStart = true;
    platform.onStartProgram = [&](const std::string&) {
        fileAtStart = locIp();
        databaseAtStart = form->SQLConSource.params().value("Database");
        storeOpen = form->SQLConSource.connected();
        erpOpen = form->SQLConnection1.connected();
        okAtStart = op.okEnabled;
        exitAtStart = op.exitEnabled;
    };
    // What the collector brings while the run waits for it is moved by the same run.
    platform.onSleep = [&](std::chrono::milliseconds) {
        if (platform.sleeps.size() == 1) addSoundBill(0, "101/12/10", "02000001", "02", 100);
    };
    run();

    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
    EXPECT_EQ(fileAtStart, "02        10.0.0.02\r\nEND\r\n");
    EXPECT_EQ(databaseAtStart, dbs.store);
    EXPECT_FALSE(storeOpen);
    EXPECT_FALSE(erpOpen);
    EXPECT_FALSE(okAtStart);
    EXPECT_FALSE(exitAtStart);
    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|02000001|02"});
    EXPECT_EQ(marks(0), Lines{"02000001|True"});
}

TEST_F(Run, CollectorAlreadyRunningIsNotStartedAndItsWindowIsWaitedOut) {
    startUp();
    // The collector's window is up until the fourth wait.
    platform.windowClassCheck = [&](const std::string& windowClass) {
        return windowClass == "TFHarvo" && platform.sleeps.size() < 4;
    };
    run();

    EXPECT_EQ(platform.startedCommandLines, Lines{});
    EXPECT_EQ(platform.sleeps, sleepsOf(4, 1));
    ASSERT_GE(op.logLines.size(), 2u);
    EXPECT_EQ(op.logLines.at(0), "連結就緒..");
    EXPECT_EQ(op.logLines.at(1), "09:00:20");
    EXPECT_EQ(op.repaints, 2);  // after the collector, and before connecting
}

TEST_F(Run, EveryCheckThatFindsTheCollectorWindowAddsAWait) {
    startUp();
    bool started = false;
    int checksWithWindow = 3;
    platform.onStartProgram = [&](const std::string&) { started = true; };
    platform.windowClassCheck = [&](const std::string& windowClass) {
        if (windowClass != "TFHarvo" || !started || checksWithWindow == 0) return false;
        --checksWithWindow;
        return true;
    };
    run();

    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
    EXPECT_EQ(platform.sleeps, sleepsOf(5, 1));
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

// ---- Failures on the way -------------------------------------------------------------------------

TEST_F(Run, ConnectFailureIsShownAndTheUploaderStillStarts) {
    startUp();
    run();  // a good run first: both connections were up
    ASSERT_TRUE(form->sourceConnected);
    ASSERT_TRUE(form->erpConnected);

    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    dbs.dir.write("Wendry.exe", "");
    forgetEarlierRuns();
    const std::string missing = dbs.dir.file("missing.fdb");
    op.setSourcePath(missing);
    op.setTransferMode(1);
    run();

    ASSERT_TRUE(transferRun->connectFailure().has_value());
    const std::string failure = *transferRun->connectFailure();
    EXPECT_NE(failure.find("missing.fdb"), std::string::npos) << failure;
    EXPECT_EQ(op.logLines, Lines{failure});
    EXPECT_EQ(op.boxes, oneBox(Kind::Warning, failure));
    EXPECT_FALSE(form->sourceConnected);
    EXPECT_FALSE(form->erpConnected);
    EXPECT_EQ(form->SQLConSource.params().value("Database"), missing);
    EXPECT_EQ(platform.startedCommandLines, (Lines{"Harvo.exe", uploader("2012/12/10")}));
    EXPECT_EQ(platform.sleeps, sleepsOf(2, 0));
    EXPECT_EQ(marks(0), Lines{"01000001|<null>"});
    EXPECT_EQ(erpBills(0), Lines{});
    EXPECT_FALSE(op.okEnabled);
    EXPECT_TRUE(op.exitEnabled);
}

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
    EXPECT_EQ(erpBills(0), Lines{});
    EXPECT_FALSE(op.okEnabled);
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
    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});
    EXPECT_EQ(erpLines(0), Lines{"2012/12/10|01000001"});
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|<null>", "01000003|<null>"}));
    // Nothing after family 0.
    EXPECT_EQ(erpBills(1), Lines{});
    EXPECT_EQ(marks(1), Lines{"02000001|Wait"});
    EXPECT_EQ(timesLogged("Connected Successful..!"), 1);
    EXPECT_FALSE(logged(kChecking));
    EXPECT_EQ(op.boxes, std::vector<Box>{});
    EXPECT_EQ(platform.startedCommandLines, Lines{"Harvo.exe"});
}

// ---- The store's schema and the store connection's parameters -------------------------------------

TEST_F(Run, StoreWithoutMarkColumnsGetsThemAndASecondRunChangesNothing) {
    for (int f = 0; f < 4; ++f)
        store->execute(std::string("ALTER TABLE ") + db::family(f).storeMaster +
                       " DROP TRAN_CODE, DROP CARD_ID");
    addSoundBill(0, "101/12/10", "01000001", "01", 100);
    addSoundBill(2, "101/12/09", "02000001", "02", 110);
    startUp();
    run();

    const std::string columns =
        "SELECT TRIM(r.RDB$RELATION_NAME) || '.' || TRIM(r.RDB$FIELD_NAME) || ':' || f.RDB$FIELD_TYPE || ':' "
        "|| "
        "f.RDB$FIELD_LENGTH FROM RDB$RELATION_FIELDS r JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = "
        "r.RDB$FIELD_SOURCE "
        "WHERE r.RDB$FIELD_NAME IN ('TRAN_CODE', 'CARD_ID') ORDER BY 1";
    const Lines expectedColumns{"POS_MAID.CARD_ID:37:20",     "POS_MAID.TRAN_CODE:37:5",
                                "POS_MAIN.CARD_ID:37:20",     "POS_MAIN.TRAN_CODE:37:5",
                                "POS_MAIN_CHG.CARD_ID:37:20", "POS_MAIN_CHG.TRAN_CODE:37:5",
                                "POS_MAIN_S.CARD_ID:37:20",   "POS_MAIN_S.TRAN_CODE:37:5"};
    EXPECT_EQ(storeRows(columns), expectedColumns);
    EXPECT_EQ(marks(0), Lines{"01000001|True"});
    EXPECT_EQ(marks(2), Lines{"02000001|True"});
    EXPECT_EQ(erpBills(0), Lines{"2012/12/10|01000001|01"});
    EXPECT_EQ(erpBills(2), Lines{"2012/12/09|02000001|02"});
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));

    const Lines erpBefore = erpRows("SELECT * FROM POS_MASTER");
    const Lines erpLinesBefore = erpRows("SELECT * FROM POS_SUB");
    const Lines changesBefore = erpRows("SELECT * FROM POSCHANGE_MASTER");
    const Lines storeBefore = storeRows("SELECT * FROM POS_MAIN");
    forgetEarlierRuns();
    run();
    EXPECT_EQ(storeRows(columns), expectedColumns);
    EXPECT_EQ(erpRows("SELECT * FROM POS_MASTER"), erpBefore);
    EXPECT_EQ(erpRows("SELECT * FROM POS_SUB"), erpLinesBefore);
    EXPECT_EQ(erpRows("SELECT * FROM POSCHANGE_MASTER"), changesBefore);
    EXPECT_EQ(storeRows("SELECT * FROM POS_MAIN"), storeBefore);
    EXPECT_EQ(op.boxes, oneBox(Kind::Information, kDone));
}

TEST_F(Run, StorePasswordFollowsTheServerKindAndNoKindKeepsIt) {
    startUp();
    op.setServerKind(0);
    run();
    EXPECT_EQ(form->SQLConSource.params().value("Password"), "qorvexdal");
    EXPECT_EQ(form->SQLConSource.params().value("Database"), dbs.store);

    op.setServerKind(-1);
    run();
    EXPECT_EQ(form->SQLConSource.params().value("Password"), "qorvexdal");

    op.setServerKind(1);
    run();
    EXPECT_EQ(form->SQLConSource.params().value("Password"), "plintova");

    op.setServerKind(-1);
    run();
    EXPECT_EQ(form->SQLConSource.params().value("Password"), "plintova");
    EXPECT_EQ(boxesOf(Kind::Information), (Lines{kDone, kDone, kDone, kDone}));
}

}  // namespace
