// The database layer against real embedded databases.

#include "db/codepage.h"
#include "db/fb_client.h"
#include "db/sql_access.h"
#include "tests/support/test_databases.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace lumvik;
using namespace lumvik::testing;
using db::DbError;
using db::RowSet;
using db::SqlQuery;
using db::Value;

namespace {

class SqlAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        file = emptyDatabase(dir, "t.fdb");
        conn = embeddedConnection(file);
        conn->execute(
            "CREATE TABLE T (ID INTEGER, NAME VARCHAR(20), CODE CHAR(4), AMT NUMERIC(15,2), RATE DOUBLE "
            "PRECISION,"
            " QTY SMALLINT, BIG NUMERIC(18,4), MARK VARCHAR(5))");
    }
    void insertRow(const std::string& values) { conn->execute("INSERT INTO T VALUES (" + values + ")"); }

    TempDir dir;
    std::string file;
    std::unique_ptr<db::Connection> conn;
};

TEST(ClientLibrary, AMissingLibraryIsAnErrorThatNamesIt) {
    try {
        (void)db::loadClientLibrary("libnosuchfbclient.so.9");
        FAIL() << "loading a missing library succeeded";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("libnosuchfbclient.so.9"), std::string::npos) << e.what();
    }
}

TEST_F(SqlAccess, DatabasesAreCreatedInDialectThree) {
    EXPECT_EQ(scalar(*conn, "SELECT MON$SQL_DIALECT FROM MON$DATABASE"), "3");
    EXPECT_EQ(scalar(*conn, "SELECT TRIM(COALESCE(RDB$CHARACTER_SET_NAME, 'NONE')) FROM RDB$DATABASE"),
              "NONE");
}

TEST_F(SqlAccess, NumbersReadAsTextInTheirShortestForm) {
    insertRow("1, 'a', 'x', 12.50, 0.1, 7, 12345678901234.5678, NULL");
    insertRow("2, 'b', 'y', 2.00, 333.65, -3, -0.0500, NULL");
    insertRow("3, 'c', 'z', -0.50, 1e20, 0, 0, NULL");
    RowSet rows(conn.get(), "rows");
    rows.setCommandText("SELECT AMT, RATE, QTY, BIG FROM T ORDER BY ID");
    rows.open();
    ASSERT_EQ(rows.recordCount(), 3);
    EXPECT_EQ(rows.field("AMT").asString(), "12.5");
    EXPECT_EQ(rows.field("RATE").asString(), "0.1");
    EXPECT_EQ(rows.field("QTY").asString(), "7");
    EXPECT_EQ(rows.field("BIG").asString(), "12345678901234.5678");
    rows.next();
    EXPECT_EQ(rows.field("AMT").asString(), "2");
    EXPECT_EQ(rows.field("RATE").asString(), "333.65");
    EXPECT_EQ(rows.field("QTY").asString(), "-3");
    EXPECT_EQ(rows.field("BIG").asString(), "-0.05");
    EXPECT_DOUBLE_EQ(rows.field("BIG").asFloat(), -0.05);
    rows.next();
    EXPECT_EQ(rows.field("AMT").asString(), "-0.5");
    EXPECT_EQ(rows.field("BIG").asString(), "0");
    EXPECT_EQ(rows.field("RATE").asString(), "1E+20");
}

TEST_F(SqlAccess, NullsReadAsEmptyTextAndFailStrictConversions) {
    insertRow("1, NULL, NULL, NULL, NULL, NULL, NULL, NULL");
    RowSet rows(conn.get(), "rows");
    rows.setCommandText("SELECT * FROM T");
    rows.open();
    EXPECT_TRUE(rows.field("NAME").isNull());
    EXPECT_EQ(rows.field("NAME").asString(), "");
    EXPECT_EQ(rows.field("AMT").asFloat(), 0);
    try {
        (void)rows.field("AMT").variantFloat();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (Double)");
    }
    try {
        (void)rows.field("NAME").variantString();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (String)");
    }
}

TEST_F(SqlAccess, AnEmptyResultIsAtItsEndAtOnceWithNullFields) {
    RowSet rows(conn.get(), "rows");
    rows.setCommandText("SELECT * FROM T WHERE ID = 99");
    rows.open();
    EXPECT_TRUE(rows.eof());
    EXPECT_EQ(rows.recordCount(), 0);
    EXPECT_TRUE(rows.field("name").isNull());
    EXPECT_EQ(rows.field("NAME").asString(), "");
    EXPECT_THROW((void)rows.field("NO_SUCH"), DbError);

    SqlQuery query(*conn, "q");
    query.sql().add("SELECT NAME FROM T");
    query.open();
    EXPECT_TRUE(query.eof());
    EXPECT_EQ(query.field("NAME").asString(), "");
}

TEST_F(SqlAccess, FieldsByNameIgnoreCaseAndByPositionAndCharKeepsItsBlanks) {
    insertRow("1, 'Ab', 'x', 1, 1, 1, 1, NULL");
    RowSet rows(conn.get(), "rows");
    rows.setCommandText("SELECT ID, NAME AS Nm, CODE FROM T");
    rows.open();
    EXPECT_EQ(rows.field("nm").asString(), "Ab");
    EXPECT_EQ(rows.field("NM").asString(), "Ab");
    EXPECT_EQ(rows.field(0).asString(), "1");
    EXPECT_EQ(rows.field("code").asString(), "x   ");
    try {
        (void)rows.field("NAME");
        FAIL();
    } catch (const DbError& e) {
        EXPECT_STREQ(e.what(), "Field 'NAME' not found");
    }
}

TEST_F(SqlAccess, Big5TextCrossesTheBoundaryByteForByte) {
    // 中 is A4 A4; FA 40 and 81 40 are user-defined characters that Windows maps to the private use area.
    const std::string chinese = cp950::toUtf8("\xA4\xA4\xB0\x50");
    const std::string userDefined = cp950::toUtf8("\xFA\x40\x81\x40");
    conn->execute("INSERT INTO T (ID, NAME) VALUES (1, '" + chinese + "')");
    conn->execute("INSERT INTO T (ID, NAME) VALUES (2, ?)", {Value(userDefined)});
    EXPECT_EQ(scalar(*conn, "SELECT NAME FROM T WHERE ID = 1"), chinese);
    EXPECT_EQ(scalar(*conn, "SELECT NAME FROM T WHERE ID = 2"), userDefined);
    // What the database holds are the code page bytes themselves.
    EXPECT_EQ(scalar(*conn, "SELECT OCTET_LENGTH(NAME) FROM T WHERE ID = 1"), "4");
    EXPECT_EQ(
        scalar(
            *conn,
            "SELECT ASCII_VAL(SUBSTRING(NAME FROM 1 FOR 1)) || ',' || ASCII_VAL(SUBSTRING(NAME FROM 2 FOR 1))"
            " || ',' || ASCII_VAL(SUBSTRING(NAME FROM 3 FOR 1)) FROM T WHERE ID = 2"),
        "250,64,129");
    // Bytes written by another program come back as the same bytes.
    conn->execute("INSERT INTO T (ID, NAME) VALUES (3, ASCII_CHAR(250) || ASCII_CHAR(64))");
    EXPECT_EQ(cp950::fromUtf8(scalar(*conn, "SELECT NAME FROM T WHERE ID = 3")), "\xFA\x40");
}

TEST_F(SqlAccess, StatementLinesAreSentWithLineBreaks) {
    insertRow("1, 'a', 'x', 1, 1, 1, 1, NULL");
    SqlQuery query(*conn, "SQLQuery1");
    // The comment would swallow the statement if the lines were run together.
    query.sql() << "SELECT NAME -- the name"
                << "FROM T";
    EXPECT_EQ(query.sql().text(), "SELECT NAME -- the name\r\nFROM T\r\n");
    query.open();
    EXPECT_EQ(query.field("NAME").asString(), "a");
}

TEST_F(SqlAccess, QueriesReadForwardAndCanBeReopened) {
    for (int i = 1; i <= 3; ++i)
        insertRow(std::to_string(i) + ", 'n" + std::to_string(i) + "', NULL, NULL, NULL, NULL, NULL, NULL");
    SqlQuery query(*conn, "q");
    query.sql().add("SELECT ID FROM T ORDER BY ID");
    query.open();
    std::string seen;
    while (!query.eof()) {
        seen += query.field("ID").asString();
        query.next();
    }
    EXPECT_EQ(seen, "123");
    query.close();
    query.sql().clear();
    query.sql().add("SELECT COUNT(*) AS N FROM T");
    query.open();
    EXPECT_EQ(query.field("N").asString(), "3");
    query.sql().clear();
    query.sql().add("DELETE FROM T WHERE ID = 2");
    query.execSql();
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM T"), "2");
}

TEST(ParamParsing, NamesOutsideQuotesBecomeMarks) {
    const auto p = db::parseParams(
        "SELECT * FROM T WHERE A = :SAL_DATE AND B = ':NOT' AND \"C:D\" = :SAL_NO -- :NOPE\n AND E = "
        ":sal_date");
    EXPECT_EQ(p.text, "SELECT * FROM T WHERE A = ? AND B = ':NOT' AND \"C:D\" = ? -- :NOPE\n AND E = ?");
    EXPECT_EQ(p.names, (std::vector<std::string>{"SAL_DATE", "SAL_NO", "sal_date"}));
    EXPECT_EQ(db::parseParams("SELECT 'it''s :x' FROM T /* :y */ WHERE a = :z").names,
              std::vector<std::string>{"z"});
}

TEST_F(SqlAccess, ParametersAreTypedByTheValueAssigned) {
    insertRow("1, '15', 'x', 12.5, 1, 3, 1, NULL");
    insertRow("2, '16', 'y', 7, 1, 4, 1, NULL");
    RowSet rows(conn.get(), "CDS_T1");
    rows.setCommandText("Select * from T  WHERE NAME = :NAME  AND AMT = :AMT AND QTY = :QTY ");
    EXPECT_EQ(rows.paramNames(), (std::vector<std::string>{"NAME", "AMT", "QTY"}));
    // A whole number against a text column, a text against a NUMERIC column, a double against SMALLINT.
    rows.setParam("name", Value(std::int64_t{15}));
    rows.setParam("AMT", Value("12.50"));
    rows.setParam("QTY", Value(3.0));
    rows.open();
    ASSERT_EQ(rows.recordCount(), 1);
    EXPECT_EQ(rows.field("ID").asString(), "1");
    // New values, same text: the statement is not prepared again.
    const auto prepares = conn->stats().prepares;
    rows.setParam("NAME", Value("16"));
    rows.setParam("AMT", Value::scaled(700, -2));
    rows.setParam("QTY", Value(4));
    rows.open();
    EXPECT_EQ(rows.field("ID").asString(), "2");
    EXPECT_EQ(conn->stats().prepares, prepares);

    EXPECT_THROW(rows.setParam("NOPE", Value(1)), DbError);
    rows.setCommandText("SELECT * FROM T WHERE ID = :ID");
    try {
        rows.open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("No value for parameter 'ID'"), std::string::npos) << e.what();
    }
}

TEST_F(SqlAccess, AKeyedWriteInsertsANewRowWithOnlyTheColumnsSet) {
    RowSet rows(conn.get(), "CDS_T1");
    rows.setCommandText("SELECT * FROM T WHERE ID = 5");
    rows.open();
    ASSERT_EQ(rows.recordCount(), 0);
    EXPECT_EQ(rows.updateTable(), "T");
    rows.insert();
    rows.setField("ID", Value(5));
    rows.setField("name", Value("O'Brien"));
    rows.setField("AMT", Value("12.5"));
    rows.post();
    EXPECT_EQ(rows.applyUpdates(0), 0);
    EXPECT_EQ(scalar(*conn, "SELECT NAME || '|' || AMT || '|' || COALESCE(MARK, 'null') FROM T WHERE ID = 5"),
              "O'Brien|12.50|null");
}

TEST_F(SqlAccess, AKeyedWriteOnAKeyWithSeveralRowsOverwritesOnlyOne) {
    insertRow("7, 'same', 'x', 1, NULL, 1, 1, 'keep'");
    insertRow("7, 'same', 'x', 1, NULL, 1, 1, 'keep'");
    insertRow("8, 'other', 'x', 1, 0.1, 1, 1, 'keep'");
    RowSet rows(conn.get(), "CDS_T1");
    rows.setCommandText("SELECT * FROM T WHERE ID = 7");
    rows.open();
    ASSERT_EQ(rows.recordCount(), 2);
    rows.edit();
    rows.setField("AMT", Value("99.5"));
    rows.post();
    EXPECT_EQ(rows.applyUpdates(0), 0);
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM T WHERE ID = 7 AND AMT = 99.5 AND MARK = 'keep'"), "1");
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM T WHERE ID = 7 AND AMT = 1"), "1");
    // A row found by a double that is no exact decimal is written back too.
    rows.setCommandText("SELECT * FROM T WHERE ID = 8");
    rows.open();
    rows.edit();
    rows.setField("NAME", Value("changed"));
    rows.post();
    EXPECT_EQ(rows.applyUpdates(0), 0);
    EXPECT_EQ(scalar(*conn, "SELECT NAME FROM T WHERE ID = 8"), "changed");
}

TEST_F(SqlAccess, ARefusedRowIsDroppedAndCounted) {
    RowSet rows(conn.get(), "CDS_T1");
    rows.setCommandText("SELECT * FROM T WHERE ID = 1");
    rows.open();
    rows.insert();
    rows.setField("ID", Value(1));
    rows.setField("MARK", Value("far too long for five"));
    rows.post();
    EXPECT_EQ(rows.recordCount(), 1);
    EXPECT_EQ(rows.applyUpdates(0), 1);
    EXPECT_EQ(rows.recordCount(), 0);
    EXPECT_NE(rows.lastApplyError().find("truncation"), std::string::npos) << rows.lastApplyError();
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM T"), "0");
    // The next write goes through as usual.
    rows.insert();
    rows.setField("ID", Value(2));
    rows.post();
    EXPECT_EQ(rows.applyUpdates(0), 0);
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM T"), "1");
}

TEST_F(SqlAccess, RowsOfAJoinCannotBeWrittenBack) {
    RowSet rows(conn.get(), "rows");
    rows.setCommandText("SELECT a.ID, r.RDB$RELATION_ID FROM T a CROSS JOIN RDB$DATABASE r");
    rows.open();
    EXPECT_THROW((void)rows.updateTable(), DbError);
}

TEST_F(SqlAccess, ACopyHoldsTheRowsWithoutAConnection) {
    insertRow("1, 'a', NULL, NULL, NULL, NULL, NULL, NULL");
    insertRow("2, 'b', NULL, NULL, NULL, NULL, NULL, NULL");
    RowSet source(conn.get(), "ClientDataSet1");
    source.setCommandText("SELECT ID, NAME FROM T ORDER BY ID");
    source.open();
    source.next();
    RowSet copy(nullptr, "aCDS");
    copy.copyFrom(source);
    source.close();
    conn->close();
    ASSERT_EQ(copy.recordCount(), 2);
    EXPECT_EQ(copy.field("name").asString(), "a");  // on its first row
    copy.next();
    EXPECT_EQ(copy.field("NAME").asString(), "b");
    copy.next();
    EXPECT_TRUE(copy.eof());
    EXPECT_THROW(copy.open(), DbError);
}

TEST_F(SqlAccess, ErrorsCarryTheServersTextAndCodes) {
    try {
        conn->execute("SELECT * FROM NO_SUCH_TABLE");
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("Table unknown"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("NO_SUCH_TABLE"), std::string::npos) << e.what();
        EXPECT_TRUE(e.hasCode(335544569)) << "dsql error";
        EXPECT_FALSE(e.codes().empty());
    }
    try {
        RowSet rows(conn.get(), "rows");
        rows.setCommandText("SELECT NO_SUCH_COLUMN FROM T");
        rows.open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("Column unknown"), std::string::npos) << e.what();
    }
    auto missing = embeddedConnection(dir.file("absent.fdb"));
    try {
        missing->open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("absent.fdb"), std::string::npos) << e.what();
        EXPECT_FALSE(missing->connected());
    }
}

TEST_F(SqlAccess, EveryStatementCommitsOnItsOwnAndOthersSeeIt) {
    auto other = embeddedConnection(file, "other");
    insertRow("1, 'a', NULL, NULL, NULL, NULL, NULL, NULL");
    EXPECT_EQ(scalar(*other, "SELECT COUNT(*) FROM T"), "1");
    // A failing statement is undone alone; what ran before it stays.
    EXPECT_THROW(conn->execute("INSERT INTO T (ID, MARK) VALUES (2, 'much too long')"), DbError);
    EXPECT_EQ(scalar(*other, "SELECT COUNT(*) FROM T"), "1");
    const auto commits = conn->stats().commits;
    insertRow("3, 'c', NULL, NULL, NULL, NULL, NULL, NULL");
    EXPECT_EQ(conn->stats().commits, commits + 1);
}

TEST_F(SqlAccess, AWriterWaitsForALockHeldByAnotherConnection) {
    insertRow("1, 'a', NULL, NULL, NULL, NULL, NULL, NULL");
    insertRow("2, 'b', NULL, NULL, NULL, NULL, NULL, NULL");
    auto other = embeddedConnection(file, "other");
    SqlQuery locker(*other, "locker");
    locker.sql().add("SELECT ID FROM T ORDER BY ID WITH LOCK");
    locker.open();  // stands on the first row; its transaction holds the lock
    std::atomic<bool> done{false};
    std::string outcome;
    std::thread writer([&] {
        try {
            conn->execute("UPDATE T SET NAME = 'w' WHERE ID = 2");  // not locked yet: goes through
            conn->execute("UPDATE T SET NAME = 'w' WHERE ID = 1");
            outcome = "updated";
        } catch (const DbError& e) {
            outcome = e.what();
        }
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_FALSE(done) << "the update did not wait for the lock: " << outcome;
    locker.close();
    writer.join();
    // Once the lock is gone the waiting update ends; the engine then reports the other
    // transaction's committed change as a conflict rather than failing at once for the lock.
    EXPECT_EQ(outcome.find("no wait"), std::string::npos) << outcome;
    EXPECT_EQ(scalar(*other, "SELECT NAME FROM T WHERE ID = 2"), "w");
}

TEST_F(SqlAccess, DisconnectClosesWhatIsOpenAndTheNextUseConnectsAgain) {
    insertRow("1, 'a', NULL, NULL, NULL, NULL, NULL, NULL");
    insertRow("2, 'b', NULL, NULL, NULL, NULL, NULL, NULL");
    conn->close();
    int connects = 0;
    conn->setAfterConnect([&] { ++connects; });
    SqlQuery query(*conn, "q");
    query.sql().add("SELECT ID FROM T");
    query.open();
    EXPECT_EQ(connects, 1);
    ASSERT_TRUE(query.active());
    conn->close();
    EXPECT_FALSE(query.active());
    EXPECT_FALSE(conn->connected());
    query.open();
    EXPECT_EQ(connects, 2);
    EXPECT_EQ(query.field("ID").asString(), "1");
}

TEST_F(SqlAccess, SchemaChangesAreNotBlockedByStatementsKeptForReuse) {
    conn->execute("CREATE TABLE SCRATCH (A INTEGER)");
    conn->execute("INSERT INTO SCRATCH VALUES (1)");
    EXPECT_EQ(scalar(*conn, "SELECT A FROM SCRATCH"), "1");
    conn->execute("DROP TABLE SCRATCH");
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SCRATCH'"), "0");
    conn->execute("ALTER TABLE T ADD EXTRA VARCHAR(5)");
    RowSet rows(conn.get(), "rows");
    rows.setCommandText("SELECT * FROM T");
    rows.open();
    EXPECT_GE(rows.fieldIndex("EXTRA"), 0);
}

TEST(ParamList, NamesIgnoreCaseAndAnEmptyValueRemovesTheLine) {
    db::ParamList p;
    p.set("Database", "a.fdb");
    p.set("Password", "x");
    p.set("DATABASE", "b.fdb");
    EXPECT_EQ(p.lines(), (std::vector<std::string>{"Database=b.fdb", "Password=x"}));
    p.set("password", "");
    EXPECT_EQ(p.lines(), std::vector<std::string>{"Database=b.fdb"});
    EXPECT_FALSE(p.get("Password").has_value());
}

TEST_F(SqlAccess, TheDatabaseParameterIsTrimmedAndRequired) {
    auto padded = embeddedConnection("  " + file + " \t");
    padded->open();
    EXPECT_TRUE(padded->connected());
    db::Connection none("SQLConSource");
    try {
        none.open();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("Database"), std::string::npos) << e.what();
    }
}

}  // namespace
