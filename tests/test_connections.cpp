// The two connections: the ERP entry of the definitions file and the store's parameter list.

#include "db/connection_params.h"
#include "db/tables.h"
#include "tests/support/test_databases.h"

#include <gtest/gtest.h>

using namespace lumvik;
using namespace lumvik::testing;
using db::DbError;

namespace {

std::string connectError(db::Connection& connection) {
    try {
        connection.open();
    } catch (const DbError& e) {
        return e.what();
    }
    return "";
}

class ErpEntry : public ::testing::Test {
  protected:
    void SetUp() override {
        database = emptyDatabase(dir, "erp.fdb");
        db::useConnectionEntry(erp, dir.path() / db::kConnectionsFileName);
    }
    void writeEntry(const std::string& text) { dir.write(db::kConnectionsFileName, text); }

    TempDir dir;
    std::string database;
    db::Connection erp{"SQLConnection1"};
};

TEST_F(ErpEntry, EachMissingPieceGivesAnErrorThatNamesIt) {
    struct Case {
        const char* what;
        std::string file;  // empty: no file at all
        const char* named;
    };
    const std::vector<Case> cases{
        {"no file", "", "dbxconnections.ini"},
        {"empty file", "\r\n", "[Orvenna]"},
        {"damaged file", std::string("\x00\xff\xfe garbage [[[\n=\n", 18), "[Orvenna]"},
        {"other section only", "[Other]\r\nDriverName=Interbase\r\nDatabase=x\r\n", "[Orvenna]"},
        {"no DriverName", "[Orvenna]\r\nDatabase=x.fdb\r\n", "DriverName"},
        {"empty Database", "[Orvenna]\r\nDriverName=Interbase\r\nDatabase=\r\n", "Database"},
        {"no Database", "[Orvenna]\r\nDriverName=Interbase\r\nUser_Name=sysdba\r\n", "Database"},
        {"unknown driver", "[Orvenna]\r\nDriverName=Oracle\r\nDatabase=x.fdb\r\n", "Oracle"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.path() / db::kConnectionsFileName);
        if (!c.file.empty()) writeEntry(c.file);
        const std::string error = connectError(erp);
        EXPECT_NE(error.find(c.named), std::string::npos) << c.what << ": " << error;
        EXPECT_FALSE(erp.connected()) << c.what;
    }
}

TEST_F(ErpEntry, TheEntryIsReadOnceAtTheFirstConnect) {
    writeEntry(db::connectionEntryText(database, "masterkey"));
    int connects = 0;
    erp.setAfterConnect([&] { ++connects; });
    erp.open();
    EXPECT_TRUE(erp.connected());
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(erp.params().value("database"), database);
    EXPECT_EQ(erp.params().value("RoleName"), "RoleName");
    // Empty values in the file leave no line behind.
    EXPECT_FALSE(erp.params().get("ServerCharSet").has_value());
    erp.close();
    // A later change of the file is not seen by this program run.
    writeEntry("[Orvenna]\r\nDriverName=Interbase\r\nDatabase=" + dir.file("elsewhere.fdb") + "\r\n");
    erp.open();
    EXPECT_TRUE(erp.connected());
    EXPECT_EQ(connects, 2);
}

TEST_F(ErpEntry, AFileThatAppearsAfterAFailedConnectIsRead) {
    EXPECT_NE(connectError(erp), "");
    writeEntry(db::connectionEntryText("  " + database + "  ", "masterkey"));
    erp.open();
    EXPECT_TRUE(erp.connected());
}

TEST_F(ErpEntry, AWrongDatabaseGivesTheServersText) {
    writeEntry(db::connectionEntryText(dir.file("nowhere.fdb"), "masterkey"));
    const std::string error = connectError(erp);
    EXPECT_NE(error.find("nowhere.fdb"), std::string::npos) << error;
}

TEST(StoreParams, TheRunWritesTheWholeListByServerKind) {
    db::Connection store("SQLConSource");
    EXPECT_TRUE(store.params().empty());
    // No server kind at the first run: no Password line at all.
    db::writeStoreParams(store, "C:\\POS\\STORE.GDB", -1);
    EXPECT_FALSE(store.params().get("Password").has_value());
    db::writeStoreParams(store, "C:\\POS\\STORE.GDB", 0);
    EXPECT_EQ(
        store.params().lines(),
        (std::vector<std::string>{
            "DriverName=Interbase", "Database=C:\\POS\\STORE.GDB", "RoleName=RoleName", "User_Name=sysdba",
            "SQLDialect=3", "BlobSize=-1", "CommitRetain=False", "WaitOnLocks=True", "LocaleCode=0000",
            "Interbase TransIsolation=ReadCommited", "Trim Char=False", "Password=qorvexdal"}));
    db::writeStoreParams(store, "C:\\POS\\STORE.GDB", 1);
    EXPECT_EQ(store.params().value("Password"), "plintova");
    // No choice keeps what the previous run wrote.
    db::writeStoreParams(store, "C:\\POS\\STORE.GDB", -1);
    EXPECT_EQ(store.params().value("Password"), "plintova");
    // An empty Source Path leaves no Database line, and the connect fails.
    db::writeStoreParams(store, "", 0);
    EXPECT_FALSE(store.params().get("Database").has_value());
    EXPECT_NE(connectError(store).find("Database"), std::string::npos);
}

TEST(StoreParams, APaddedSourcePathConnectsToTheTrimmedName) {
    TempDir dir;
    const std::string database = emptyDatabase(dir, "store.fdb");
    db::Connection store("SQLConSource");
    db::writeStoreParams(store, "  " + database + " ", 0);
    store.open();
    EXPECT_TRUE(store.connected());
}

}  // namespace

namespace {

// The copy's column lists name columns every family's tables really have.
TEST(Tables, EveryFamilyHasTheColumnsTheCopyReadsAndWrites) {
    TestDatabases dbs;
    auto store = embeddedConnection(dbs.store, "store");
    auto erp = embeddedConnection(dbs.erp, "erp");
    auto join = [](const auto& columns, std::size_t count) {
        std::string list;
        for (std::size_t i = 0; i < count; ++i)
            list += (i ? "," : "") + std::string(columns[i]);
        return list;
    };
    for (const auto& family : db::kFamilies) {
        EXPECT_NO_THROW(erp->execute("SELECT " + join(db::kErpMasterColumns, db::kErpMasterColumns.size()) +
                                     " FROM " + family.erpMaster))
            << family.erpMaster;
        EXPECT_NO_THROW(erp->execute("SELECT " + join(db::kErpLineColumns, db::kErpLineColumns.size()) +
                                     " FROM " + family.erpLines))
            << family.erpLines;
        EXPECT_NO_THROW(store->execute("SELECT " +
                                       join(db::kStoreMasterColumns, db::kStoreMasterColumns.size()) +
                                       " FROM " + family.storeMaster))
            << family.storeMaster;
        EXPECT_NO_THROW(store->execute("SELECT " + join(db::kStoreLineColumns, db::kStoreLineColumns.size()) +
                                       " FROM " + family.storeLines))
            << family.storeLines;
    }
    EXPECT_EQ(db::erpMasterColumnList(true), "(" + join(db::kErpMasterColumns, 50) + ") ");
    EXPECT_EQ(db::erpMasterColumnList(false), "(" + join(db::kErpMasterColumns, 48) + ") ");
    EXPECT_EQ(db::family(2).erpMaster, std::string("POSCHANGE_MASTER"));
    EXPECT_THROW((void)db::family(4), std::out_of_range);
}

}  // namespace
