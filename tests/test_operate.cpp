// What lumvik-auto tells the people who run a station: the station check, the run history, and the
// progress line on a terminal. The real program, in a folder of its own, on embedded databases.

#include "app/shell/run_history.h"
#include "base/json.h"
#include "db/lookup_indexes.h"
#include "db/test_steps.h"
#include "tests/support/auto_station.h"
#include "tests/support/run_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <fstream>
#include <sstream>

using namespace lumvik;
using namespace lumvik::testing;
using db::Value;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class Check : public AutoStation {
  protected:
    void SetUp() override {
        AutoStation::SetUp();
        addSiblings();
    }

    // The check's lines that are not OK.
    static std::vector<std::string> problems(const Outcome& o) {
        std::vector<std::string> out;
        for (const auto& line : linesOf(o.out))
            if (line.rfind("OK   ", 0) != 0) out.push_back(line);
        return out;
    }

    // Runs the check and expects exactly one line that is not OK, starting with `head` and holding
    // `detail`, and the status.
    void expectOneProblem(const std::string& head, const std::string& detail, int status,
                          const std::string& arguments = "--check") {
        const Outcome o = runAuto(arguments);
        EXPECT_EQ(o.status, status) << o.out << o.err;
        const auto found = problems(o);
        ASSERT_EQ(found.size(), 1u) << o.out;
        EXPECT_EQ(found[0].rfind(head, 0), 0u) << found[0];
        EXPECT_NE(found[0].find(detail), std::string::npos) << found[0];
    }

    void onErp(const std::string& sql) {
        erp->execute(sql);
        erp->close();
    }
};

TEST_F(Check, AGoodStationIsAllOkAndTheCheckWritesNothing) {
    const Outcome o = runAuto("--check --date 2012/12/10");
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(problems(o), std::vector<std::string>{}) << o.out;
    std::vector<std::string> subjects;
    for (const auto& line : linesOf(o.out))
        subjects.push_back(line.substr(5, line.find(':') - 5));
    EXPECT_EQ(subjects, (std::vector<std::string>{"settings", "connections", "ERP database", "store database",
                                                  "store tables", "ERP tables", "transfer state",
                                                  "temporary product", "machines", "closed day", "Harvo.exe",
                                                  "Quorrel.exe", "Wendry.exe", "store indexes", "ERP indexes",
                                                  "Big5 round trip (store)", "Big5 round trip (ERP)"}));
    EXPECT_NE(o.out.find("OK   transfer state: STATE '0' reads 0: nobody holds it\n"), std::string::npos);
    EXPECT_NE(o.out.find("OK   machines: 1 in MCH_ITEM (01)\n"), std::string::npos);
    EXPECT_NE(o.out.find("OK   closed day: 2012/12/10 is not closed\n"), std::string::npos);
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
    EXPECT_EQ(scalar(*store, "SELECT COUNT(*) FROM POS_MAIN WHERE TRAN_CODE IS NULL"), "1");
    EXPECT_FALSE(std::filesystem::exists(dbs.dir.path() / kRunHistoryFileName));
}

TEST_F(Check, EachPlantedFaultHasItsLineAndStatus) {
    onErp("ALTER TABLE POS_SUB DROP TASTE");
    expectOneProblem("FAIL ERP tables: ", "POS_SUB lacks TASTE", 2);
    onErp("ALTER TABLE POS_SUB ADD TASTE VARCHAR(60)");

    for (const char* table : {"POS_MAIN", "POS_MAID", "POS_MAIN_CHG", "POS_MAIN_S"})
        store->execute(std::string("ALTER TABLE ") + table + " DROP TRAN_CODE, DROP CARD_ID");
    store->close();
    expectOneProblem("WARN store tables: ",
                     "POS_MAIN, POS_MAID, POS_MAIN_CHG, POS_MAIN_S lack TRAN_CODE, CARD_ID, which the next "
                     "transfer adds itself",
                     1);
    for (const char* table : {"POS_MAIN", "POS_MAID", "POS_MAIN_CHG", "POS_MAIN_S"})
        store->execute(std::string("ALTER TABLE ") + table +
                       " ADD TRAN_CODE VARCHAR(5), ADD CARD_ID VARCHAR(20)");
    store->close();

    onErp("DELETE FROM TRAN_STATE");
    expectOneProblem("FAIL transfer state: ", "TRAN_STATE is empty", 2);
    onErp("INSERT INTO TRAN_STATE (STATE) VALUES ('2')");
    expectOneProblem("WARN transfer state: ", "STATE '2' reads 2: an automatic transfer holds it", 1);
    onErp("UPDATE TRAN_STATE SET STATE = '0'");

    writeSettingsFor(dbs.store, "NONE");
    expectOneProblem("FAIL temporary product: ", "NONE is not in PRODUCT", 2);
    writeSettingsFor(dbs.store, "TEMP");

    std::filesystem::remove(dbs.dir.path() / "Harvo.exe");
    expectOneProblem("FAIL Harvo.exe: ", "the collector, started before every transfer: missing from", 2);
    addSiblings();
    std::filesystem::permissions(dbs.dir.path() / "Wendry.exe", std::filesystem::perms::owner_read);
    expectOneProblem("WARN Wendry.exe: ", "is not executable", 1);
    std::filesystem::permissions(dbs.dir.path() / "Wendry.exe", std::filesystem::perms::owner_all);

    onErp("DROP INDEX IX_PRODUCT_PROD_ID");
    expectOneProblem(
        "WARN ERP index: ",
        "PRODUCT (PROD_ID) has no look-up index, so every look-up reads the whole table: CREATE INDEX "
        "IX_PRODUCT_PROD_ID ON PRODUCT (PROD_ID);",
        1);
    onErp("CREATE INDEX IX_PRODUCT_PROD_ID ON PRODUCT (PROD_ID)");

    // Names held as UTF-8 refuse the Big5 bytes.
    onErp("ALTER TABLE POS_SUB DROP CO_NAME");
    onErp("ALTER TABLE POS_SUB ADD CO_NAME VARCHAR(40) CHARACTER SET UTF8");
    expectOneProblem("FAIL Big5 round trip (ERP): ", "character set UTF8): ", 2);
    onErp("ALTER TABLE POS_SUB DROP CO_NAME");
    onErp("ALTER TABLE POS_SUB ADD CO_NAME VARCHAR(40)");

    onErp("INSERT INTO X_DAYPOS_MASTER (SAL_DATE) VALUES ('2012/12/10')");
    expectOneProblem("FAIL closed day: ", "2012/12/10 is closed", 2, "--check --date 2012/12/10 --mode 1");
    expectOneProblem("FAIL machines: ", "--machines names 07", 2, "--check --machines 01,07");
    onErp("ALTER TABLE MCH_ITEM ALTER MCH_NO POSITION 2");
    expectOneProblem("FAIL machines: ", "the first column of MCH_ITEM is MCH_NAME", 2);
    onErp("ALTER TABLE MCH_ITEM ALTER MCH_NO POSITION 1");

    writeSettingsFor(dbs.dir.file("missing.fdb"), "TEMP");
    expectOneProblem("FAIL store database: ", "missing.fdb", 2);
    // The settings file the command line names is the one checked.
    expectOneProblem("FAIL settings: ", "elsewhere.ini is missing", 2, "--check --settings elsewhere.ini");
}

TEST_F(Check, CreatedIndexesMakeTheCheckPassAndTheTransferEndsTheSame) {
    // Both databases without any look-up index.
    for (const auto side : {db::Side::Store, db::Side::Erp}) {
        db::Connection& connection = side == db::Side::Store ? *store : *erp;
        for (const auto& index : db::lookupIndexes(side))
            connection.execute("DROP INDEX " + index.name);
        connection.close();
    }
    const std::size_t all =
        db::lookupIndexes(db::Side::Store).size() + db::lookupIndexes(db::Side::Erp).size();
    Outcome o = runAuto("--check");
    EXPECT_EQ(o.status, 1) << o.out;
    EXPECT_EQ(problems(o).size(), all) << o.out;

    o = runAuto("--check --create-indexes");
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    long created = 0;
    for (const auto& line : linesOf(o.out))
        created += line.find(" index created: CREATE INDEX IX_") != std::string::npos;
    EXPECT_EQ(created, static_cast<long>(all)) << o.out;

    o = runAuto("--check");
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("OK   ERP indexes: all 23 look-up indexes are there\n"), std::string::npos) << o.out;

    o = runAuto("--date 2012/12/10 --skip-collector");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(rowsOf(*erp, "SELECT SAL_DATE, SAL_NO, STOCK_ID FROM POS_MASTER"),
              std::vector<std::string>{"2012/12/10|01000001|S1"});
    EXPECT_EQ(rowsOf(*erp, "SELECT PROD_ID, PROD_NAME, SAL_QTY FROM POS_SUB"),
              std::vector<std::string>{"A1|排骨飯|2"});
    EXPECT_EQ(scalar(*store, "SELECT TRAN_CODE FROM POS_MAIN"), "True");
}

using History = AutoStation;

TEST_F(History, NormalRefusedAndKilledRunsEachLeaveTheirLines) {
    insertRow(*store, "POS_GIVE",
              {{"SAL_DATE", Value("101/12/10")}, {"SAL_NO", Value("01000001")}, {"SORD", Value(1)}});
    store->close();
    Outcome o = runAuto("--date 2012/12/10 --skip-collector --machines 01");
    ASSERT_EQ(o.status, 0) << o.err;
    // A damaged tail (a power cut in the middle of a write) stays a line of its own, passed over.
    const std::string damaged = std::string("{\"run\":\"x\",\"ev") + std::string(3, '\0');
    std::ofstream(dbs.dir.path() / kRunHistoryFileName, std::ios::app) << damaged;
    erp->execute("UPDATE TRAN_STATE SET STATE = '2'");
    erp->close();
    o = runAuto("--date 2012/12/10 --skip-collector");
    ASSERT_EQ(o.status, 1) << o.err;
    std::size_t runs = 2;
    if (db::kTestSwitches) {
        erp->execute("UPDATE TRAN_STATE SET STATE = '0'");
        erp->close();
        o = runAuto("--date 2012/12/10 --skip-collector", "LUMVIK_TEST_KILL_AT_STEP=30");
        ASSERT_EQ(o.status, 128 + SIGKILL) << o.err;
        ++runs;
    }

    // Every line but the damaged one is whole JSON; the end lines stand alone.
    const std::string file = readBytes(dbs.dir.path() / kRunHistoryFileName);
    const auto lines = linesOf(file);
    ASSERT_EQ(lines.size(), 2 * runs - (runs == 3 ? 1 : 0) + 1) << file;
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(json::parse(lines[i]).has_value(), i != 2) << lines[i];
    const json::Value end = *json::parse(lines[1]);
    EXPECT_EQ(end["run"].text(), (*json::parse(lines[0]))["run"].text());
    EXPECT_EQ(end["event"].text(), "end");
    EXPECT_EQ(end["version"].text(), lumvikVersion());
    EXPECT_EQ(end["families"].items()[0]["bills"].whole(), 1);
    EXPECT_EQ(end["families"].items()[0]["lines"].whole(), 1);
    EXPECT_EQ(end["sideRows"]["POS_GIVE"].whole(), 1);

    const auto recorded = RunHistory(dbs.dir.path() / kRunHistoryFileName).lastRuns(10);
    ASSERT_EQ(recorded.size(), runs);
    EXPECT_EQ(recorded[0].outcome, "completed");
    EXPECT_EQ(recorded[0].machines, std::vector<std::string>{"01"});
    EXPECT_EQ(recorded[0].date, "2012/12/10");
    EXPECT_EQ(recorded[1].outcome, "refused");
    EXPECT_EQ(recorded[1].exitStatus, 1);
    ASSERT_EQ(recorded[1].warnings.size(), 1u);
    EXPECT_NE(recorded[1].warnings[0].find("the transfer state reads 2"), std::string::npos);
    if (runs == 3) {
        EXPECT_EQ(recorded[2].outcome, "");
    }

    o = runAuto("--history");
    EXPECT_EQ(o.status, 0);
    const auto table = linesOf(o.out);
    ASSERT_EQ(table.size(), runs + 1) << o.out;
    EXPECT_EQ(table[0].rfind("started ", 0), 0u) << table[0];
    EXPECT_NE(table[1].find("lumvik-auto  2012/12/10  0     01        completed (exit 0)"), std::string::npos)
        << o.out;
    EXPECT_NE(table[2].find("refused (exit 1)"), std::string::npos) << o.out;
    if (runs == 3) {
        EXPECT_NE(table[3].find("killed or running"), std::string::npos) << o.out;
    }
    o = runAuto("--history 1");
    EXPECT_EQ(linesOf(o.out).size(), 2u) << o.out;
}

TEST(HistoryTable, AServerTextOfSeveralLinesStaysOnItsRunsLine) {
    RunRecord run;
    run.start = "2012/12/10 23:15:02";
    run.end = "2012/12/10 23:15:03";
    run.outcome = kOutcomeConnectionFailed;
    run.exitStatus = 3;
    run.warnings = {
        "I/O error during \"open\" operation for file \"/srv/pos/store.fdb\"\r\n"
        "-Error while trying to open file\n-No such file or directory"};
    const auto table = linesOf(historyTable({run, run}));
    ASSERT_EQ(table.size(), 3u);
    EXPECT_NE(table[1].find("connection failed (exit 3)"), std::string::npos) << table[1];
    EXPECT_NE(table[2].find("store.fdb\" -Error while trying to open file -No such file or directory"),
              std::string::npos)
        << table[2];
}

TEST_F(History, AnEmptyHistoryAndOptionsThatDoNotGoTogether) {
    Outcome o = runAuto("--history");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "no transfer recorded in " + (dbs.dir.path() / kRunHistoryFileName).string() + "\n");
    o = runAuto("--history 0");
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.err.find("--history takes a number of runs of at least 1"), std::string::npos) << o.err;
    o = runAuto("--history --check");
    EXPECT_EQ(o.status, 4);
    o = runAuto("--create-indexes");
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.err.find("--create-indexes goes with --check"), std::string::npos) << o.err;
}

// lumvik-auto with its standard error on a pseudo-terminal (standard output to a file): what the
// terminal received.
std::string runOnTerminal(const std::filesystem::path& dir, const std::vector<std::string>& arguments) {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return "openpty failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(master);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        const int out = ::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(slave, 2);
        std::vector<char*> argv{const_cast<char*>("./lumvik-auto")};
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv("./lumvik-auto", argv.data());
        ::_exit(127);
    }
    ::close(slave);
    std::string seen;
    char buffer[4096];
    // The read fails (EIO) once the program has ended and the terminal has no writer left.
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<std::size_t>(n));
    ::close(master);
    int status = 0;
    ::waitpid(child, &status, 0);
    return seen;
}

using Progress = AutoStation;

TEST_F(Progress, ATerminalSeesTheLineRedrawnAndErasedAPipeSeesNone) {
    insertRow(*store, "POS_MAIN",
              {{"SAL_DATE", Value("101/12/10")},
               {"SAL_NO", Value("01000002")},
               {"MCH_NO", Value("01")},
               {"REL_SAL", Value(240)}});
    insertRow(*store, "POS_MAST",
              cols("SAL_DATE SAL_NO ORD_NO PDC_NO SAL_QTY AMT HEA_AMT dis_share ttt_share",
                   {Value("101/12/10"), Value("01000002"), Value("1"), Value("A1"), Value(2), Value(240),
                    Value(0), Value(0), Value(0)}));
    store->close();
    const std::string seen = runOnTerminal(dbs.dir.path(), {"--date", "2012/12/10", "--skip-collector"});
    EXPECT_NE(seen.find("\rPOS_MAIN  0 of 2 bills"), std::string::npos) << seen;
    const std::size_t drawn = seen.find("\rPOS_MAIN  2 of 2 bills");
    ASSERT_NE(drawn, std::string::npos) << seen;
    // Then erased with blanks (as many as the last line was wide), before the completion box.
    const std::size_t erased = seen.find("\r ", drawn + 1);
    ASSERT_NE(erased, std::string::npos) << seen;
    const std::size_t end = seen.find('\r', erased + 1);
    ASSERT_NE(end, std::string::npos) << seen;
    EXPECT_EQ(seen.substr(erased + 1, end - erased - 1), std::string(end - erased - 1, ' '));
    EXPECT_GE(end - erased - 1, std::string("POS_MAIN  2 of 2 bills").size());
    EXPECT_EQ(seen.substr(end + 1), "information: 資料轉移完成..!\r\n") << seen;
    EXPECT_EQ(readBytes(dbs.dir.path() / "out.txt").find('\r'), std::string::npos);

    // The same run again into a pipe: no progress at all.
    erp->execute("DELETE FROM POS_MASTER");
    erp->close();
    store->execute("UPDATE POS_MAIN SET TRAN_CODE = NULL");
    store->close();
    const std::string command =
        "cd '" + dbs.dir.path().string() +
        "' && ./lumvik-auto --date 2012/12/10 --skip-collector 2>&1 >/dev/null | cat > piped.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readBytes(dbs.dir.path() / "piped.txt"), "information: 資料轉移完成..!\n");
}

}  // namespace
