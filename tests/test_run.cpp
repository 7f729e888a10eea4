// Whole transfer runs, headless, against real embedded databases.

#include "tests/support/run_fixture.h"
#include "transfer/texts.h"

using namespace lumvik;
using namespace lumvik::testing;
using Kind = HeadlessOperator::Box::Kind;
using namespace std::chrono_literals;

namespace {

class Run : public RunFixture {};

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

}  // namespace
