// Start-up and leaving, without a window: settings into the choices, the machine list, the releases of
// the transfer state.

#include "app/shell/form_core.h"
#include "app/shell/settings.h"
#include "db/connection_params.h"
#include "tests/support/fake_platform.h"
#include "tests/support/test_databases.h"

#include <gtest/gtest.h>

using namespace lumvik;
using namespace lumvik::testing;

namespace {

class StartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.setProgramDirectory(dbs.dir.path());
        dbs.dir.write(db::kConnectionsFileName, db::connectionEntryText(dbs.erp, kTestPassword));
        erp = embeddedConnection(dbs.erp, "check");
        erp->execute("INSERT INTO TRAN_STATE (STATE) VALUES ('1')");
    }
    void addMachine(const std::string& values) {
        erp->execute("INSERT INTO MCH_ITEM VALUES (" + values + ")");
    }
    std::string state() { return scalar(*erp, "SELECT STATE FROM TRAN_STATE"); }
    std::string settingsBytes() { return readBytes(dbs.dir.path() / kSettingsFileName); }

    TestDatabases dbs;
    FakePlatform platform;
    HeadlessOperator op;
    std::unique_ptr<db::Connection> erp;
};

TEST_F(StartUp, SettingsAndMachinesReachTheChoicesAndTheConnectionIsLeftClosed) {
    dbs.dir.write(
        kSettingsFileName,
        "[Con]\r\nSource=C:\\POS\\STORE.GDB\r\nTarget=x\r\nClass=2\r\nServerClass=1\r\nAuto=True\r\n"
        "tempid=TMP01\r\n");
    addMachine("'02', '櫃台二', '192.168.1.12', 'S02'");
    addMachine("'01', '櫃台一', '192.168.1.11', 'S01'");
    addMachine("'03', NULL, NULL, 'S03'");
    FormCore form(platform, op);
    form.totalsFinding = form.missingLinesFinding = true;
    form.FormCreate();

    EXPECT_EQ(op.sourcePath(), "C:\\POS\\STORE.GDB");
    EXPECT_EQ(op.targetPath(), "x");
    EXPECT_EQ(op.transferMode(), 2);
    EXPECT_EQ(op.serverKind(), 1);
    EXPECT_TRUE(op.allDates());
    EXPECT_EQ(op.tempProduct(), "TMP01");
    EXPECT_EQ(op.machines(), (std::vector<std::string>{"01,[櫃台一]", "02,[櫃台二]", "03,[]"}));
    EXPECT_EQ(op.machineTicks(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(form.machineAddresses, (std::vector<std::string>{"192.168.1.11", "192.168.1.12", ""}));
    EXPECT_TRUE(form.erpConnected);
    EXPECT_FALSE(form.sourceConnected);
    EXPECT_FALSE(form.totalsFinding);
    EXPECT_FALSE(form.missingLinesFinding);
    EXPECT_FALSE(form.SQLConnection1.connected());
    EXPECT_TRUE(op.logLines.empty());
}

TEST_F(StartUp, AnUnreachableErpLeavesTheSettingsLoadedAndTheListsEmpty) {
    std::filesystem::remove(dbs.dir.path() / db::kConnectionsFileName);
    dbs.dir.write(kSettingsFileName, "[Con]\r\nSource=D:\\S.GDB\r\ntempid=T1\r\n");
    FormCore form(platform, op);
    try {
        form.FormCreate();
        FAIL() << "start-up without connection definitions succeeded";
    } catch (const db::DbError& e) {
        EXPECT_NE(std::string(e.what()).find("dbxconnections.ini"), std::string::npos) << e.what();
    }
    EXPECT_EQ(op.sourcePath(), "D:\\S.GDB");
    EXPECT_EQ(op.tempProduct(), "T1");
    EXPECT_TRUE(op.machines().empty());
    EXPECT_TRUE(form.machineAddresses.empty());
    EXPECT_FALSE(form.erpConnected);
}

TEST_F(StartUp, FirstStartWithoutSettingsThenExitWritesEveryKey) {
    FormCore form(platform, op);
    int cleanups = 0;
    form.scratchCleanup = [&] { ++cleanups; };
    form.FormCreate();
    EXPECT_EQ(op.sourcePath(), "");
    EXPECT_EQ(op.transferMode(), 0);
    EXPECT_EQ(op.serverKind(), 0);
    EXPECT_FALSE(op.allDates());
    EXPECT_EQ(op.tempProduct(), "");  // the designed text does not survive start-up

    op.confirmAnswers = {true};
    ASSERT_TRUE(form.bsSkinButton2Click());
    EXPECT_EQ(state(), "0");
    EXPECT_TRUE(form.FormClose());
    EXPECT_EQ(settingsBytes(),
              "[Con]\r\nSource=\r\nTarget=\r\nClass=0\r\nServerClass=0\r\nAuto=False\r\ntempid=\r\n");
    EXPECT_EQ(cleanups, 1);
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, "確定離開本系統.  Exit now?");
}

// Into the settings file the form was given, not the one beside the program.
TEST_F(StartUp, AnsweringNoKeepsTheWindowWithTheSettingsAlreadyWritten) {
    const auto given = dbs.dir.path() / "given.ini";
    FormCore form(platform, op, FormFiles{.settings = given, .connections = {}});
    int cleanups = 0;
    form.scratchCleanup = [&] { ++cleanups; };
    form.FormCreate();
    op.setTransferMode(1);
    op.setAllDates(true);
    op.confirmAnswers = {false};
    // A close through the window system: no release before the question.
    EXPECT_FALSE(form.FormClose());
    EXPECT_EQ(state(), "1");
    EXPECT_EQ(cleanups, 0);
    const Settings written = readSettings(given);
    EXPECT_EQ(written.transferMode, 1);
    EXPECT_TRUE(written.allDates);
    EXPECT_FALSE(std::filesystem::exists(dbs.dir.path() / kSettingsFileName));
    // Then Yes: released and cleaned up.
    op.confirmAnswers = {true};
    EXPECT_TRUE(form.FormClose());
    EXPECT_EQ(state(), "0");
    EXPECT_EQ(cleanups, 1);
}

TEST_F(StartUp, AFailedReleaseCancelsTheCloseBeforeTheCleanUp) {
    FormCore form(platform, op);
    int cleanups = 0;
    form.scratchCleanup = [&] { ++cleanups; };
    form.FormCreate();
    erp->execute("DROP TABLE TRAN_STATE");
    op.confirmAnswers = {true};
    EXPECT_THROW((void)form.bsSkinButton2Click(), db::DbError);
    EXPECT_THROW((void)form.FormClose(), db::DbError);
    EXPECT_EQ(cleanups, 0);
    EXPECT_TRUE(std::filesystem::exists(dbs.dir.path() / kSettingsFileName));
}

TEST_F(StartUp, DestructionReleasesTheStateOnceMore) {
    FormCore form(platform, op);
    form.FormCreate();
    erp->execute("UPDATE TRAN_STATE SET STATE = '1'");
    form.FormDestroy();
    EXPECT_EQ(state(), "0");
}

}  // namespace
