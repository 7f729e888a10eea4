// Automatic transfers against an ERP database on the loopback server: two stations that start
// together, and a server that goes away in the middle of a run. Each station is a folder with its own
// copy of lumvik-auto, its settings, its connection definitions and its own store database; the ERP
// database is shared. Needs LUMVIK_TEST_SERVER; stops and starts the server with scripts/fbserver.sh.

#include "app/shell/settings.h"
#include "db/connection_params.h"
#include "fixtures/demo_data.h"
#include "fixtures/schema.h"
#include "tests/support/test_databases.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

using namespace lumvik;
using namespace lumvik::testing;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// A station: a folder with the program and its files.
class Station {
  public:
    Station(const std::string& erpAddress, const std::string& password) {
        std::filesystem::copy_file(std::filesystem::path(std::getenv("LUMVIK_BIN_DIR")) / "lumvik-auto",
                                   dir.path() / "lumvik-auto");
        dir.write(db::kConnectionsFileName, db::connectionEntryText(erpAddress, password));
        store = dir.file("store.fdb");
        tools::createStoreDatabase(store, kTestUser, kTestPassword, {.markColumns = false}, false);
        auto connection = embeddedConnection(store);
        tools::fillDemoStore(*connection);
        writeSettings(dir.path() / kSettingsFileName, Settings{.source = store,
                                                               .target = "",
                                                               .transferMode = 0,
                                                               .serverKind = 1,
                                                               .allDates = false,
                                                               .tempProduct = tools::kDemoTempProduct});
    }

    // Starts the program; `environment` goes before it ("NAME=value ...").
    pid_t start(const std::string& environment = "") {
        const std::string command = "cd '" + dir.path().string() + "' && " + environment +
                                    " exec ./lumvik-auto --skip-collector --date 2012/12/10 --mode 0"
                                    " > out.txt 2> err.txt";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    }
    Outcome wait(pid_t pid) {
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readBytes(dir.path() / "out.txt"),
                readBytes(dir.path() / "err.txt")};
    }
    Outcome run(const std::string& environment = "") { return wait(start(environment)); }

    // Pausing: the program stops before the statement named by LUMVIK_TEST_PAUSE_AT_TEXT until released.
    std::string pauseAt(const std::string& text) const {
        return "LUMVIK_TEST_PAUSE_FILE='" + dir.file("go") + "' LUMVIK_TEST_PAUSE_AT_TEXT=\"" + text + "\"";
    }
    bool waitUntilPaused() const {
        for (int i = 0; i < 3000; ++i) {
            if (std::filesystem::exists(dir.path() / "go.reached")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void release() const { dir.write("go", ""); }

    TempDir dir;
    std::string store;
};

// The rows of every table a run writes, without the columns that hold the day the run wrote them.
std::map<std::string, std::vector<std::string>> endState(db::Connection& connection,
                                                         const std::vector<std::string>& tables) {
    std::map<std::string, std::vector<std::string>> state;
    for (const auto& table : tables) {
        db::RowSet columns(&connection, "columns");
        columns.setCommandText(
            "SELECT TRIM(RDB$FIELD_NAME) AS NAME FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = :T "
            "ORDER BY RDB$FIELD_POSITION");
        columns.setParam("T", db::Value(table));
        columns.open();
        std::string list;
        for (; !columns.eof(); columns.next()) {
            const std::string name = columns.field("NAME").asString();
            if (name == "CHG_DATE" || name == "CR_DATETIME") continue;
            list += (list.empty() ? "" : " || '|' || ") + std::string("COALESCE(CAST(") + name +
                    " AS VARCHAR(200)), '<null>')";
        }
        db::RowSet rows(&connection, "rows");
        rows.setCommandText("SELECT " + list + " AS R FROM " + table);
        rows.open();
        auto& out = state[table];
        for (; !rows.eof(); rows.next())
            out.push_back(rows.field("R").asString());
        std::sort(out.begin(), out.end());
    }
    return state;
}

const std::vector<std::string> kErpTables = {
    "POS_MASTER", "POS_MASTERD",   "POSCHANGE_MASTER", "POS_MASTERS", "POS_SUB",
    "POS_SUBD",   "POSCHANGE_SUB", "POS_SUBS",         "POS_GIVE",    "POS_DISROL",
    "POS_COST",   "POINT_MASTER",  "MEMPOINT_USED",    "TRAN_STATE"};
const std::vector<std::string> kStoreTables = {"POS_MAIN", "POS_MAID",   "POS_MAIN_CHG", "POS_MAIN_S",
                                               "POS_GIVE", "POS_DISROL", "POS_COST",     "POINT_MASTER"};

class Stations : public ::testing::Test {
  protected:
    void SetUp() override {
        const TestServer loopback = testServer();
        if (loopback.host.empty()) GTEST_SKIP() << "LUMVIK_TEST_SERVER is not set";
        password = loopback.password;
        hostName = loopback.host;
        erpAddress = newErp("erp.fdb");
    }
    void TearDown() override {
        for (const auto& address : created) {
            try {
                db::dropDatabase(address, kTestUser, password);
            } catch (const db::DbError&) {
            }
        }
    }

    // A fresh demo ERP database on the server.
    std::string newErp(const std::string& name) {
        const std::string address = hostName + ":" + serverDir.file(name);
        tools::createErpDatabase(address, kTestUser, password, false);
        created.push_back(address);
        auto connection = connect(address);
        tools::fillDemoErp(*connection);
        return address;
    }
    std::unique_ptr<db::Connection> connect(const std::string& address) {
        auto c = std::make_unique<db::Connection>("check");
        c->params().set("Database", address);
        c->params().set("User_Name", kTestUser);
        c->params().set("Password", password);
        return c;
    }
    std::string erpValue(const std::string& sql) { return scalar(*connect(erpAddress), sql); }

    static void server(const std::string& action) {
        const std::string command =
            "bash '" LUMVIK_SOURCE_DIR "/scripts/fbserver.sh' " + action + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << action;
    }

    TempDir serverDir;
    std::string hostName, password, erpAddress;
    std::vector<std::string> created;
};

TEST_F(Stations, OfTwoStationsStartedTogetherExactlyOneRuns) {
    // Deterministic: the first reads the state, then waits before writing it while the second claims.
    {
        Station first(erpAddress, password), second(erpAddress, password);
        const pid_t a = first.start(first.pauseAt("UPDATE TRAN_STATE SET STATE = '2'"));
        ASSERT_TRUE(first.waitUntilPaused());
        const pid_t b = second.start(second.pauseAt("SELECT PROD_ID,pd_itemid FROM PRODUCT"));
        ASSERT_TRUE(second.waitUntilPaused());  // it holds the state and is on its way
        EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "2");
        first.release();
        const Outcome refused = first.wait(a);
        second.release();
        const Outcome ran = second.wait(b);
        EXPECT_EQ(refused.status, 1) << refused.err;
        EXPECT_EQ(refused.err,
                  "error: the transfer state reads 2 (an automatic transfer is running); use --force "
                  "to run anyway\n");
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_NE(ran.out.find("資料轉移完成..!"), std::string::npos);
        EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "0");
        // The refused station's store is untouched.
        EXPECT_EQ(scalar(*embeddedConnection(first.store),
                         "SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE RDB$FIELD_NAME = 'TRAN_CODE'"),
                  "0");
    }
    // As it comes: both started at the same moment, a few times over.
    for (int round = 0; round < 3; ++round) {
        const std::string erp = newErp("race" + std::to_string(round) + ".fdb");
        Station first(erp, password), second(erp, password);
        const pid_t a = first.start(), b = second.start();
        const Outcome oa = first.wait(a), ob = second.wait(b);
        EXPECT_EQ(std::min(oa.status, ob.status), 0) << oa.err << ob.err;
        EXPECT_EQ(std::max(oa.status, ob.status), 1) << oa.err << ob.err;
        EXPECT_NE((oa.status == 1 ? oa : ob).err.find("error: the transfer state "), std::string::npos);
        EXPECT_EQ(scalar(*connect(erp), "SELECT STATE FROM TRAN_STATE"), "0");
    }
}

TEST_F(Stations, ARunThatLosesTheServerFailsAndTheNextOneConverges) {
    // The reference: the same day transferred without trouble.
    const std::string referenceErp = newErp("reference.fdb");
    Station reference(referenceErp, password);
    ASSERT_EQ(reference.run().status, 0);
    const auto expectedErp = endState(*connect(referenceErp), kErpTables);
    const auto expectedStore = endState(*embeddedConnection(reference.store), kStoreTables);

    // The server stops while the first lines are being copied, inside the side tables, and in the
    // verification.
    for (const std::string& where :
         {std::string("INSERT INTO POS_SUB"), std::string("POS_GIVE"),
          std::string("select sal_date,sal_no from pos_sub where sal_date between")}) {
        const std::string erp = newErp("lost" + std::to_string(created.size()) + ".fdb");
        Station station(erp, password);
        const pid_t pid = station.start(station.pauseAt(where));
        ASSERT_TRUE(station.waitUntilPaused()) << where;
        server("stop");
        // With its server down a database named host:path is out of reach; the client must not open
        // the file itself behind the server's back.
        EXPECT_THROW(connect(erp)->open(), db::DbError);
        station.release();
        const Outcome lost = station.wait(pid);
        server("start");
        // The server's own text, and the status of a lost connection.
        EXPECT_EQ(lost.status, 3) << where << "\n" << lost.out << lost.err;
        EXPECT_EQ(lost.err.rfind("error: Error ", 0), 0u) << lost.err;
        EXPECT_NE(lost.err.find(" data to the connection."), std::string::npos) << lost.err;
        EXPECT_EQ(lost.out.find("資料轉移完成..!"), std::string::npos) << lost.out;

        const Outcome again = station.run();
        EXPECT_EQ(again.status, 0) << where << "\n" << again.err;
        // The state the lost run could not give back is taken over.
        EXPECT_NE(again.err.find("warning: the transfer state was left at 2"), std::string::npos)
            << again.err;
        EXPECT_EQ(endState(*connect(erp), kErpTables), expectedErp) << where;
        EXPECT_EQ(endState(*embeddedConnection(station.store), kStoreTables), expectedStore) << where;
    }
}

}  // namespace
