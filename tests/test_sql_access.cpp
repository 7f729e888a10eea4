// The database layer against real embedded databases.

#include "base/codepage.h"
#include "db/fb_client.h"
#include "db/sql_access.h"
#include "tests/support/run_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

using namespace lumvik;
using namespace lumvik::db;
using namespace lumvik::testing;
using Lines = std::vector<std::string>;

namespace {

// The text of the failure `action` throws: a DbError or a RunEnd.
template <typename Action>
std::string failureOf(const Action& action) {
    try {
        action();
    } catch (const DbError& e) {
        return e.what();
    } catch (const RunEnd& e) {
        return e.what();
    }
    return "nothing was thrown";
}

// The DbError that `action` throws; one that says so when it throws none.
template <typename Action>
DbError errorOf(const Action& action) {
    try {
        action();
    } catch (const DbError& e) {
        return e;
    }
    return DbError("no DbError was thrown");
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void openWith(RowSet& rows, const std::string& sql) {
    rows.setCommandText(sql);
    rows.open();
}

class SqlAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        file = emptyDatabase(dir, "t.fdb");
        conn = embeddedConnection(file);
        conn->execute(
            "CREATE TABLE T (ID INTEGER, NAME VARCHAR(20), CODE CHAR(4), AMT NUMERIC(15,2), RATE DOUBLE "
            "PRECISION, QTY SMALLINT, BIG NUMERIC(18,4), MARK VARCHAR(5))");
    }
    // Rows of T, each given by its values; an ID alone stands for "ID, 'nID'" and NULL elsewhere.
    void insertRows(const Lines& rows) {
        for (const std::string& row : rows) {
            const std::string values =
                contains(row, ",") ? row : row + ", 'n" + row + "', NULL, NULL, NULL, NULL, NULL, NULL";
            conn->execute("INSERT INTO T VALUES (" + values + ")");
        }
    }

    TempDir dir;
    std::string file;
    std::unique_ptr<Connection> conn;
};

TEST_F(SqlAccess, ConnectsToTheTrimmedDatabaseInDialectThreeAndErrorsSayWhatIsWrong) {
    auto padded = embeddedConnection("  " + file + " \t");
    EXPECT_EQ(scalar(*padded, "SELECT MON$SQL_DIALECT FROM MON$DATABASE"), "3");
    EXPECT_EQ(scalar(*padded, "SELECT TRIM(COALESCE(RDB$CHARACTER_SET_NAME, 'NONE')) FROM RDB$DATABASE"),
              "NONE");
    Connection none("SQLConSource");
    auto missing = embeddedConnection(dir.file("absent.fdb"));
    RowSet rows(conn.get(), "rows");
    rows.setCommandText("SELECT NO_SUCH_COLUMN FROM T");
    const std::vector<std::pair<std::function<void()>, Lines>> cases{
        {[&] { none.open(); }, {"Database"}},
        {[&] { missing->open(); }, {"absent.fdb"}},
        {[] { (void)loadClientLibrary("libnosuchfbclient.so.9"); }, {"libnosuchfbclient.so.9"}},
        {[&] { conn->execute("SELECT * FROM NO_SUCH_TABLE"); }, {"Table unknown", "NO_SUCH_TABLE"}},
        {[&] { rows.open(); }, {"Column unknown"}},
    };
    for (const auto& [action, parts] : cases) {
        const std::string error = errorOf(action).what();
        for (const std::string& part : parts)
            EXPECT_PRED2(contains, error, part);
    }
    EXPECT_FALSE(missing->connected());
    EXPECT_TRUE(errorOf([&] { conn->execute("SELECT * FROM NO_SUCH_TABLE"); }).hasCode(335544569));
}

TEST_F(SqlAccess, FieldsReadAsTextInTheirShortestFormByNameOrPosition) {
    insertRows({"1, 'a', 'x', 12.50, 0.1, 7, 12345678901234.5678, NULL",
                "2, 'Ab', 'y', 2.00, 333.65, -3, -0.0500, NULL", "3, 'c', 'z', -0.50, 1e20, 0, 0, NULL",
                "4, NULL, NULL, NULL, NULL, NULL, NULL, NULL"});
    // CHAR keeps its blanks.
    EXPECT_EQ(rowsOf(*conn, "SELECT AMT, RATE, QTY, BIG, CODE FROM T ORDER BY ID"),
              (Lines{"12.5|0.1|7|12345678901234.5678|x   ", "2|333.65|-3|-0.05|y   ", "-0.5|1E+20|0|0|z   ",
                     "<null>|<null>|<null>|<null>|<null>"}));

    RowSet rows(conn.get(), "rows");
    openWith(rows, "SELECT ID, NAME AS Nm, BIG FROM T WHERE ID IN (2, 4) ORDER BY ID DESC");
    EXPECT_EQ(rows.field("nm").asString(), "");
    EXPECT_EQ(rows.field("BIG").asFloat(), 0);
    EXPECT_STREQ(errorOf([&] { (void)rows.field("BIG").variantFloat(); }).what(),
                 "Could not convert variant of type (Null) into type (Double)");
    EXPECT_STREQ(errorOf([&] { (void)rows.field("Nm").variantString(); }).what(),
                 "Could not convert variant of type (Null) into type (String)");
    EXPECT_STREQ(errorOf([&] { (void)rows.field("NAME"); }).what(), "Field 'NAME' not found");
    rows.next();
    EXPECT_EQ(rows.field(0).asString(), "2");
    EXPECT_EQ(rows.field("nm").asString(), "Ab");
    EXPECT_DOUBLE_EQ(rows.field("BIG").asFloat(), -0.05);

    openWith(rows, "SELECT * FROM T WHERE ID = 99");
    EXPECT_TRUE(rows.eof());
    EXPECT_EQ(rows.recordCount(), 0);
    EXPECT_TRUE(rows.field("name").isNull());
}

TEST_F(SqlAccess, Big5TextCrossesTheBoundaryByteForByte) {
    // 中 is A4 A4; FA 40 and 81 40 are user-defined characters that Windows maps to the private use area.
    const Lines bytes{"\xA4\xA4\xB0\x50", "\xFA\x40\x81\x40"};
    conn->execute("INSERT INTO T (ID, NAME) VALUES (0, '" + cp950::toUtf8(bytes[0]) + "')");
    conn->execute("INSERT INTO T (ID, NAME) VALUES (1, ?)", {Value(cp950::toUtf8(bytes[1]))});
    EXPECT_EQ(rowsOf(*conn, "SELECT NAME FROM T ORDER BY ID"),
              (Lines{cp950::toUtf8(bytes[0]), cp950::toUtf8(bytes[1])}));
    // What the database holds are the code page bytes themselves.
    for (std::size_t id = 0; id < bytes.size(); ++id) {
        std::string literal = "''";
        for (unsigned char byte : bytes[id])
            literal += " || ASCII_CHAR(" + std::to_string(byte) + ")";
        EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM T WHERE ID = " + std::to_string(id) +
                                    " AND NAME = " + literal),
                  "1");
    }
}

TEST_F(SqlAccess, ParametersAreTypedByTheValueAssigned) {
    insertRows({"1, '15', 'x', 12.5, 1, 3, 1, NULL", "2, '16', 'y', 7, 1, 4, 1, NULL"});
    RowSet rows(conn.get(), "CDS_T1");
    rows.setCommandText("Select * from T  WHERE NAME = :NAME  AND AMT = :AMT AND QTY = :QTY ");
    EXPECT_EQ(rows.paramNames(), (Lines{"NAME", "AMT", "QTY"}));
    // A whole number against a text column, a text against a NUMERIC column, a double against SMALLINT;
    // then new values of other kinds for the same text, which is not prepared again.
    const struct {
        Value name, amt, qty;
        const char* id;
    } cases[] = {{Value(std::int64_t{15}), Value("12.50"), Value(3.0), "1"},
                 {Value("16"), Value::scaled(700, -2), Value(4), "2"}};
    std::uint64_t prepares = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        rows.setParam("name", cases[i].name);
        rows.setParam("AMT", cases[i].amt);
        rows.setParam("QTY", cases[i].qty);
        rows.open();
        ASSERT_EQ(rows.recordCount(), 1);
        EXPECT_EQ(rows.field("ID").asString(), cases[i].id);
        if (i == 0) prepares = conn->stats().prepares;
    }
    EXPECT_EQ(conn->stats().prepares, prepares);
    EXPECT_THROW(rows.setParam("NOPE", Value(1)), DbError);
    rows.setCommandText("SELECT * FROM T WHERE ID = :ID");
    EXPECT_PRED2(contains, errorOf([&] { rows.open(); }).what(), "No value for parameter 'ID'");
}

TEST_F(SqlAccess, PostedRowsAreWrittenToTheOneTableReadAndRefusedOnesDropped) {
    insertRows({"7, 'same', 'x', 1, NULL, 1, 1, 'keep'", "7, 'same', 'x', 1, NULL, 1, 1, 'keep'",
                "8, 'other', 'x', 1, 0.1, 1, 1, 'keep'"});
    RowSet rows(conn.get(), "CDS_T1");
    openWith(rows, "SELECT * FROM T WHERE ID IN (7, 8) ORDER BY ID");
    EXPECT_EQ(rows.updateTable(), "T");
    // One of two equal rows (found by a NULL too), and one found by a double that is no exact decimal.
    rows.edit();
    rows.setField("AMT", Value("99.5"));
    rows.post();
    rows.next();
    rows.next();
    rows.edit();
    rows.setField("NAME", Value("changed"));
    rows.post();
    // Only the columns set are written.
    rows.insert();
    rows.setField("ID", Value(5));
    rows.setField("name", Value("O'Brien"));
    rows.setField("AMT", Value("12.5"));
    rows.insert();
    rows.setField("ID", Value(6));
    rows.setField("MARK", Value("far too long for five"));
    rows.post();
    EXPECT_EQ(rows.applyUpdates(0), 1);
    EXPECT_EQ(rows.recordCount(), 4);
    EXPECT_PRED2(contains, rows.lastApplyError(), "truncation");
    // The next write goes through as usual.
    rows.insert();
    rows.setField("ID", Value(9));
    EXPECT_EQ(rows.applyUpdates(0), 0);
    EXPECT_EQ(rowsOf(*conn, "SELECT ID, NAME, AMT, MARK FROM T ORDER BY ID, AMT"),
              (Lines{"5|O'Brien|12.5|<null>", "7|same|1|keep", "7|same|99.5|keep", "8|changed|1|keep",
                     "9|<null>|<null>|<null>"}));

    openWith(rows, "SELECT a.ID, r.RDB$RELATION_ID FROM T a CROSS JOIN RDB$DATABASE r");
    EXPECT_THROW((void)rows.updateTable(), DbError);
}

TEST_F(SqlAccess, StatementsCommitOnTheirOwnAndWaitForLocksHeldElsewhere) {
    auto other = embeddedConnection(file, "other");
    insertRows({"1"});
    EXPECT_EQ(scalar(*other, "SELECT COUNT(*) FROM T"), "1");
    // A failing statement is undone alone; what ran before it stays.
    const auto commits = conn->stats().commits;
    EXPECT_THROW(conn->execute("INSERT INTO T (ID, MARK) VALUES (2, 'much too long')"), DbError);
    insertRows({"3"});
    EXPECT_EQ(conn->stats().commits, commits + 1);
    EXPECT_EQ(rowsOf(*other, "SELECT ID FROM T ORDER BY ID"), (Lines{"1", "3"}));

    SqlQuery locker(*other, "locker");
    locker.sql().add("SELECT ID FROM T ORDER BY ID WITH LOCK");
    locker.open();  // stands on the first row; its transaction holds the lock
    auto writer = std::async(std::launch::async, [&] {
        conn->execute("UPDATE T SET NAME = 'w' WHERE ID = 3");  // not locked yet: goes through
        return failureOf([&] { conn->execute("UPDATE T SET NAME = 'w' WHERE ID = 1"); });
    });
    const bool waited = writer.wait_for(std::chrono::milliseconds(400)) == std::future_status::timeout;
    locker.close();
    const std::string outcome = writer.get();
    EXPECT_TRUE(waited) << "the update did not wait for the lock: " << outcome;
    // Once the lock is gone the engine reports the other transaction's committed change as a
    // conflict: another connection writes this row, which ends a run like a wait that ran out.
    EXPECT_EQ(
        outcome,
        "a row of T is locked or was changed by another connection; the transfer waited at most 60 s and "
        "stopped");
    EXPECT_EQ(scalar(*other, "SELECT NAME FROM T WHERE ID = 3"), "w");
}

TEST_F(SqlAccess, ALockWaitIsBoundedItsGroupRolledBackAndAStopCancelsIt) {
    insertRows({"1", "2"});
    auto other = embeddedConnection(file, "other");
    other->beginGroup();
    other->execute("UPDATE T SET NAME = 'held' WHERE ID = 1");
    conn->setLockWait(1);
    auto began = std::chrono::steady_clock::now();
    try {
        StatementGroup group(*conn);
        conn->execute("UPDATE T SET NAME = 'mine' WHERE ID = 2");
        conn->execute("UPDATE T SET NAME = 'w' WHERE ID = 1");
        ADD_FAILURE() << "the held row was written";
    } catch (const LockTimeout& timeout) {
        EXPECT_EQ(timeout.table(), "T");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
    EXPECT_EQ(scalar(*other, "SELECT NAME FROM T WHERE ID = 2"), "n2");  // the group is undone

    conn->setLockWait(60);
    auto stopper = std::async(std::launch::async, [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop::request("test");
        stop::cancelRunning();
    });
    began = std::chrono::steady_clock::now();
    EXPECT_EQ(failureOf([&] { conn->execute("UPDATE T SET NAME = 'w' WHERE ID = 1"); }),
              "the transfer was stopped (test)");
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
    stopper.get();
    // Disarmed, the clean-up's statements run.
    stop::disarm();
    other->rollbackGroup();
    conn->execute("UPDATE T SET NAME = 'after' WHERE ID = 1");
    stop::reset();
    EXPECT_EQ(scalar(*other, "SELECT NAME FROM T WHERE ID = 1"), "after");
}

TEST_F(SqlAccess, QueriesSendLinesWithLineBreaksAndADisconnectClosesThemButNotCopies) {
    insertRows({"1", "2", "3"});
    conn->close();
    int connects = 0;
    conn->setAfterConnect([&] { ++connects; });
    SqlQuery query(*conn, "SQLQuery1");
    // The comment would swallow the rest if the lines were run together.
    query.sql() << "SELECT ID -- the key"
                << "FROM T ORDER BY ID";
    EXPECT_EQ(query.sql().text(), "SELECT ID -- the key\r\nFROM T ORDER BY ID\r\n");
    query.open();
    EXPECT_EQ(connects, 1);
    RowSet source(conn.get(), "ClientDataSet1");
    openWith(source, "SELECT ID, NAME FROM T WHERE ID < 3 ORDER BY ID");
    source.next();
    RowSet copy(nullptr, "aCDS");
    copy.copyFrom(source);
    source.close();

    ASSERT_TRUE(query.active());
    conn->close();
    EXPECT_FALSE(query.active());
    EXPECT_FALSE(conn->connected());
    ASSERT_EQ(copy.recordCount(), 2);
    EXPECT_EQ(copy.field("name").asString(), "n1");  // on its first row
    copy.next();
    EXPECT_EQ(copy.field("NAME").asString(), "n2");
    copy.next();
    EXPECT_TRUE(copy.eof());
    EXPECT_THROW(copy.open(), DbError);

    query.open();  // connects again
    EXPECT_EQ(connects, 2);
    std::string seen;
    for (; !query.eof(); query.next())
        seen += query.field("ID").asString();
    EXPECT_EQ(seen, "123");
    query.sql().clear();
    query.sql() << "DELETE FROM T WHERE ID < 3";
    query.execSql();
    query.sql().clear();
    query.sql() << "SELECT NAME FROM T WHERE ID < 3";
    query.open();
    EXPECT_TRUE(query.eof());
    EXPECT_EQ(query.field("NAME").asString(), "");
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM T"), "1");
}

TEST_F(SqlAccess, SchemaChangesAreNotBlockedByStatementsKeptForReuse) {
    conn->execute("CREATE TABLE SCRATCH (A INTEGER)");
    conn->execute("INSERT INTO SCRATCH VALUES (1)");
    EXPECT_EQ(scalar(*conn, "SELECT A FROM SCRATCH"), "1");
    conn->execute("DROP TABLE SCRATCH");
    EXPECT_EQ(scalar(*conn, "SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SCRATCH'"), "0");
    EXPECT_EQ(rowsOf(*conn, "SELECT * FROM T").size(), 0u);  // kept for reuse, then changed
    conn->execute("ALTER TABLE T ADD EXTRA VARCHAR(5)");
    EXPECT_EQ(conn->describe("SELECT * FROM T").back().name, "EXTRA");
}

TEST(Params, NamesOutsideQuotesBecomeMarksAndParamListNamesIgnoreCase) {
    const auto parsed = parseParams(
        "SELECT * FROM T WHERE A = :SAL_DATE AND B = ':NOT' AND \"C:D\" = :SAL_NO -- :NOPE\n AND E = "
        ":sal_date");
    EXPECT_EQ(parsed.text, "SELECT * FROM T WHERE A = ? AND B = ':NOT' AND \"C:D\" = ? -- :NOPE\n AND E = ?");
    EXPECT_EQ(parsed.names, (Lines{"SAL_DATE", "SAL_NO", "sal_date"}));
    EXPECT_EQ(parseParams("SELECT 'it''s :x' FROM T /* :y */ WHERE a = :z").names, Lines{"z"});

    ParamList p;
    p.set("Database", "a.fdb");
    p.set("Password", "x");
    p.set("DATABASE", "b.fdb");
    EXPECT_EQ(p.lines(), (Lines{"Database=b.fdb", "Password=x"}));
    p.set("password", "");  // an empty value removes the line
    EXPECT_EQ(p.lines(), Lines{"Database=b.fdb"});
    EXPECT_FALSE(p.get("Password").has_value());
}

}  // namespace
