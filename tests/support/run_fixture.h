#pragma once

// A whole installation for transfer tests: fresh store and ERP databases, the files beside the
// program in a temporary folder, a fake platform (clock, sleeps, program starts, window classes), a
// scripted operator, and the window's non-visual half started up on them.

#include "app/shell/form_core.h"
#include "tests/support/fake_platform.h"
#include "tests/support/test_databases.h"
#include "transfer/run.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lumvik::testing {

using Row = std::vector<std::pair<std::string, db::Value>>;

// A row from blank-separated column names and their values.
[[nodiscard]] Row cols(const std::string& names, const std::vector<db::Value>& values);

// Inserts one row, every value bound.
void insertRow(db::Connection& connection, const std::string& table, const Row& row);

// Every row of a query, each row's columns joined with "|" (NULL as "<null>").
[[nodiscard]] std::vector<std::string> rowsOf(db::Connection& connection, const std::string& sql);

class RunFixture : public ::testing::Test {
  protected:
    RunFixture();
    ~RunFixture() override;

    // Machines 01, 02 and 03 (stocks S01, S02, S03), the temporary product, a few products with
    // categories, TRAN_STATE '1'.
    void seedErp();

    // A store bill of family `family` (0 to 3) with sensible values; `extra` overrides or adds columns.
    void addBill(int family, const std::string& rocDate, const std::string& salNo, const std::string& machine,
                 double relSal, const Row& extra = {});
    // A store line of family `family`; AMT is qty * price unless `extra` says otherwise.
    void addLine(int family, const std::string& rocDate, const std::string& salNo, int ordNo,
                 const std::string& productCode, double qty, double price, const Row& extra = {});

    // A store bill with one line of A001 that adds up to its REL_SAL; `mark` is its TRAN_CODE (NULL
    // when none).
    void addSoundBill(int family, const std::string& rocDate, const std::string& salNo,
                      const std::string& machine, double amount, const char* mark = nullptr);

    // Start-up (settings from the operator's defaults, machine list) and the choices of a normal run:
    // the chosen day 2012/12/10, server kind 0, the store database as Source Path.
    void startUp();

    // One press of the OK button; errors reach the test.
    void run(transfer::RunOptions options = {});
    // A press that must end quietly; returns why.
    transfer::QuietEnd runExpectingQuietEnd();

    [[nodiscard]] std::string erpValue(const std::string& sql) { return scalar(*erp, sql); }
    [[nodiscard]] std::string storeValue(const std::string& sql) { return scalar(*store, sql); }
    [[nodiscard]] std::vector<std::string> erpRows(const std::string& sql) { return rowsOf(*erp, sql); }
    [[nodiscard]] std::vector<std::string> storeRows(const std::string& sql) { return rowsOf(*store, sql); }
    // A family's store bills as "SAL_NO|TRAN_CODE"; its ERP bills as "SAL_DATE|SAL_NO|MCH_NO" and ERP lines
    // as "SAL_DATE|SAL_NO", each in key order.
    [[nodiscard]] std::vector<std::string> marks(int family);
    [[nodiscard]] std::vector<std::string> erpBills(int family);
    [[nodiscard]] std::vector<std::string> erpLines(int family);
    [[nodiscard]] std::vector<std::string> boxesOf(HeadlessOperator::Box::Kind kind) const;
    // Whether `line` stands in the log pane.
    [[nodiscard]] bool logged(const std::string& line) const;
    [[nodiscard]] long timesLogged(const std::string& line) const;
    [[nodiscard]] std::string logText() const;  // every line, each followed by "\n"
    [[nodiscard]] std::string locIp() const;    // LOC_IP.TXT's bytes

    TestDatabases dbs;
    FakePlatform platform;
    HeadlessOperator op;
    std::unique_ptr<FormCore> form;
    std::unique_ptr<transfer::TransferRun> transferRun;
    std::unique_ptr<db::Connection> store;  // the test's own connections, for set-up and checks
    std::unique_ptr<db::Connection> erp;
};

}  // namespace lumvik::testing
