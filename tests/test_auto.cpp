// lumvik-auto as a process: a copy of the program in a folder of its own, with its two files beside it
// and embedded databases.

#include "app/shell/platform.h"
#include "app/shell/settings.h"
#include "db/connection_params.h"
#include "db/test_steps.h"
#include "tests/support/run_fixture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <csignal>
#include <cstdlib>

using namespace lumvik;
using namespace lumvik::testing;
using db::Value;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Auto : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("LUMVIK_BIN_DIR");
        ASSERT_NE(bin, nullptr) << "LUMVIK_BIN_DIR is not set";
        std::filesystem::copy_file(std::filesystem::path(bin) / "lumvik-auto",
                                   dbs.dir.path() / "lumvik-auto");
        dbs.dir.write(db::kConnectionsFileName, db::connectionEntryText(dbs.erp, kTestPassword));
        writeSettingsFor(dbs.store, "TEMP");
        erp = embeddedConnection(dbs.erp);
        store = embeddedConnection(dbs.store);
        insertRow(*erp, "TRAN_STATE", {{"STATE", Value("0")}});
        insertRow(*erp, "MCH_ITEM",
                  {{"MCH_NO", Value("01")}, {"MCH_IP", Value("10.0.0.1")}, {"STOCK_ID", Value("S1")}});
        insertRow(*erp, "PRODUCT", {{"PROD_ID", Value("TEMP")}, {"PD_ITEMID", Value("I9")}});
        insertRow(*erp, "PRODUCT",
                  {{"PROD_ID", Value("A1")}, {"PD_ITEMID", Value("I1")}, {"PROD_NAME", Value("排骨飯")}});
        insertRow(*store, "POS_MAIN",
                  {{"SAL_DATE", Value("101/12/10")},
                   {"SAL_NO", Value("01000001")},
                   {"MCH_NO", Value("01")},
                   {"REL_SAL", Value(240)}});
        insertRow(*store, "POS_MAST",
                  {{"SAL_DATE", Value("101/12/10")},
                   {"SAL_NO", Value("01000001")},
                   {"ORD_NO", Value("1")},
                   {"PDC_NO", Value("A1")},
                   {"SAL_QTY", Value(2)},
                   {"AMT", Value(240)},
                   {"HEA_AMT", Value(0)},
                   {"dis_share", Value(0)},
                   {"ttt_share", Value(0)}});
        // The embedded engine lets one process at a time open a database file.
        erp->close();
        store->close();
    }

    void writeSettingsFor(const std::string& source, const std::string& tempProduct) {
        Settings settings;
        settings.source = source;
        settings.serverKind = 1;
        settings.tempProduct = tempProduct;
        writeSettings(dbs.dir.path() / kSettingsFileName, settings);
    }

    // `environment` goes before the program: "NAME=value ...".
    Outcome runAuto(const std::string& arguments, const std::string& environment = "") {
        const auto dir = dbs.dir.path();
        const std::string command = "cd '" + dir.string() + "' && " + environment + " ./lumvik-auto " +
                                    arguments + " > out.txt 2> err.txt";
        const int raw = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
        o.out = readBytes(dir / "out.txt");
        o.err = readBytes(dir / "err.txt");
        return o;
    }

    TestDatabases dbs;
    std::unique_ptr<db::Connection> erp, store;
};

TEST_F(Auto, ARunPrintsTheLogAndGivesTheTransferStateBack) {
    const Outcome o = runAuto("--date 2012/12/10 --skip-collector --machines 01");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out.rfind("連結就緒..\n", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("\nConnected Successful..!\n"), std::string::npos);
    EXPECT_NE(o.out.find("\n資料檢核完成..!\n資料轉移完成..!\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.err, "information: 資料轉移完成..!\n");
    EXPECT_EQ(readBytes(dbs.dir.path() / "LOC_IP.TXT"), "01        10.0.0.1\r\nEND\r\n");
    EXPECT_EQ(rowsOf(*erp, "SELECT SAL_DATE, SAL_NO, STOCK_ID FROM POS_MASTER"),
              std::vector<std::string>{"2012/12/10|01000001|S1"});
    EXPECT_EQ(rowsOf(*erp, "SELECT PROD_ID, PROD_NAME, SAL_QTY FROM POS_SUB"),
              std::vector<std::string>{"A1|排骨飯|2"});
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
}

TEST_F(Auto, AHeldTransferStateRefusesUnlessForced) {
    erp->execute("UPDATE TRAN_STATE SET STATE = '02'");
    erp->close();
    Outcome o = runAuto("--skip-collector --date 2012/12/10");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("error: the transfer state reads 2"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(scalar(*erp, "SELECT COUNT(*) FROM POS_MASTER"), "0");
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "02");
    EXPECT_FALSE(std::filesystem::exists(dbs.dir.path() / "lumvik-auto.claim"));
    erp->close();
    o = runAuto("--skip-collector --date 2012/12/10 --force");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(scalar(*erp, "SELECT COUNT(*) FROM POS_MASTER"), "1");
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
}

TEST_F(Auto, AClaimLeftByAKilledRunIsTakenOverButNotWhileARunFromTheFolderIsAlive) {
    if (!db::kTestSwitches) GTEST_SKIP() << "needs the step switch: configure with -DLUMVIK_TEST_SWITCHES=ON";
    // Killed in the middle of the copy (its 30th statement or commit): the state stays 2, its mark too.
    Outcome o = runAuto("--date 2012/12/10 --skip-collector", "LUMVIK_TEST_KILL_AT_STEP=30");
    ASSERT_EQ(o.status, 128 + SIGKILL) << o.err;
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "2");
    erp->close();
    ASSERT_TRUE(std::filesystem::exists(dbs.dir.path() / "lumvik-auto.claim"));

    {
        // A transfer from this folder that is still running holds the folder's lock.
        const auto running = FileLock::tryAcquire(dbs.dir.path() / "lumvik-auto.lock");
        ASSERT_NE(running, nullptr);
        o = runAuto("--date 2012/12/10 --skip-collector");
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "error: another automatic transfer is running from this folder\n");
        EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "2");
        erp->close();
    }

    o = runAuto("--date 2012/12/10 --skip-collector");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(
        o.err.find("warning: the transfer state was left at 2 by an automatic transfer from this folder"),
        std::string::npos)
        << o.err;
    EXPECT_EQ(rowsOf(*erp, "SELECT SAL_NO FROM POS_MASTER"), std::vector<std::string>{"01000001"});
    EXPECT_EQ(rowsOf(*erp, "SELECT PROD_ID, SAL_QTY FROM POS_SUB"), std::vector<std::string>{"A1|2"});
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
    EXPECT_FALSE(std::filesystem::exists(dbs.dir.path() / "lumvik-auto.claim"));
}

TEST_F(Auto, RefusalsConnectionFailuresAndBadOptionsHaveTheirOwnStatus) {
    writeSettingsFor(dbs.store, "NONE");
    Outcome o = runAuto("--skip-collector");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "warning: 暫用商品未建檔..\n");

    writeSettingsFor(dbs.dir.file("missing.fdb"), "TEMP");
    o = runAuto("--skip-collector");
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("warning: "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("missing.fdb"), std::string::npos) << o.err;
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
    erp->close();

    std::filesystem::remove(dbs.dir.path() / db::kConnectionsFileName);
    o = runAuto("--skip-collector");
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("dbxconnections.ini"), std::string::npos) << o.err;

    o = runAuto("--mode 5");
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.err.find("--mode"), std::string::npos) << o.err;
    o = runAuto("--lock-wait 40000");
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.err.find("--lock-wait takes a number of seconds from 0 to 32767"), std::string::npos)
        << o.err;
    o = runAuto("--help");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("5 stopped by a signal"), std::string::npos);
}

}  // namespace
