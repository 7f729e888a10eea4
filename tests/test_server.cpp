// The database layer against a real Firebird server on 127.0.0.1 (started by scripts/fbserver.sh).
// The address and SYSDBA password come from LUMVIK_TEST_SERVER and LUMVIK_TEST_SERVER_PASSWORD.

#include "base/codepage.h"
#include "db/connection_params.h"
#include "fixtures/schema.h"
#include "tests/support/test_databases.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace lumvik;
using namespace lumvik::testing;
using db::DbError;
using db::Value;

namespace {

class Server : public ::testing::Test {
  protected:
    void SetUp() override {
        const TestServer loopback = testServer();
        if (loopback.host.empty()) GTEST_SKIP() << "LUMVIK_TEST_SERVER is not set";
        password = loopback.password;
        // Store staff name folders in Chinese; the server must be reached by that name.
        const auto folder = dir.path() / "總部 資料";
        std::filesystem::create_directory(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::all);  // the server's user writes here
        address = loopback.host + ":" + (folder / "remote.fdb").string();
        tools::createErpDatabase(address, "SYSDBA", password, /*forcedWrites=*/false);
    }
    void TearDown() override {
        if (!address.empty()) {
            try {
                db::dropDatabase(address, "SYSDBA", password);
            } catch (const DbError&) {
            }
        }
    }
    std::unique_ptr<db::Connection> connect(const std::string& pw) {
        auto c = std::make_unique<db::Connection>("remote");
        c->params().set("Database", address);
        c->params().set("User_Name", "sysdba");
        c->params().set("Password", pw);
        c->params().set("RoleName", "RoleName");
        return c;
    }

    TempDir dir;
    std::string address;
    std::string password;
};

TEST_F(Server, RemoteConnectionsReadAndWriteLikeEmbeddedOnes) {
    auto conn = connect(password);
    conn->open();
    EXPECT_EQ(scalar(*conn, "SELECT MON$SQL_DIALECT FROM MON$DATABASE"), "3");
    const std::string name = cp950::toUtf8("\xA4\xA4\xFA\x40");
    conn->execute(
        "INSERT INTO MCH_ITEM (MCH_NO, MCH_NAME, MCH_IP, STOCK_ID) VALUES ('01', ?, '10.0.0.1', 'S1')",
        {Value(name)});
    conn->execute("INSERT INTO PRODUCT (PROD_ID, PSALE_PRICE, STD_COST) VALUES ('P1', 12.50, 0.1)");
    db::RowSet rows(conn.get(), "CDS_T2");
    rows.setCommandText("SELECT * FROM MCH_ITEM WHERE MCH_NO = :NO");
    rows.setParam("NO", Value("01"));
    rows.open();
    ASSERT_EQ(rows.recordCount(), 1);
    EXPECT_EQ(rows.field("MCH_NAME").asString(), name);
    rows.edit();
    rows.setField("STOCK_ID", Value("S9"));
    rows.post();
    EXPECT_EQ(rows.applyUpdates(0), 0);
    EXPECT_EQ(scalar(*conn, "SELECT STOCK_ID FROM MCH_ITEM"), "S9");
    EXPECT_EQ(scalar(*conn, "SELECT PSALE_PRICE || '|' || STD_COST FROM PRODUCT"),
              "12.50|0.1000000000000000");
    EXPECT_EQ(scalar(*conn, "SELECT PSALE_PRICE FROM PRODUCT"), "12.5");
}

TEST_F(Server, AWrongPasswordGivesTheServersText) {
    auto conn = connect("not-the-password");
    try {
        conn->open();
        FAIL() << "connected with a wrong password";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("user name and password are not defined"), std::string::npos)
            << e.what();
        EXPECT_TRUE(e.hasCode(335544472)) << "login error code";
    }
    EXPECT_FALSE(conn->connected());
}

TEST_F(Server, AServerThatDoesNotAnswerGivesTheNetworkError) {
    db::Connection conn("remote");
    // Nothing listens on this port of the loopback address.
    conn.params().set("Database", "127.0.0.1/3999:" + dir.file("remote.fdb"));
    conn.params().set("User_Name", "sysdba");
    conn.params().set("Password", password);
    try {
        conn.open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("Unable to complete network request to host"), std::string::npos)
            << e.what();
    }
}

TEST_F(Server, TheErpEntryReachesTheServer) {
    // As an installation's file holds it: code page 950, the folder's name too.
    dir.write(db::kConnectionsFileName, cp950::fromUtf8(db::connectionEntryText(address, password)));
    db::Connection erp("SQLConnection1");
    db::useConnectionEntry(erp, dir.path() / db::kConnectionsFileName);
    erp.open();
    EXPECT_TRUE(erp.connected());
    erp.execute("INSERT INTO TRAN_STATE (STATE) VALUES ('2')");
    EXPECT_EQ(scalar(erp, "SELECT STATE FROM TRAN_STATE"), "2");
}

}  // namespace
