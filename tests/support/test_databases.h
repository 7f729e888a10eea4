#pragma once

#include "db/sql_access.h"
#include "tests/support/temp_dir.h"

#include <memory>
#include <string>

namespace lumvik::testing {

// The user every test database is made with; the embedded engine ignores the password.
inline constexpr const char* kTestUser = "SYSDBA";
inline constexpr const char* kTestPassword = "masterkey";

// An empty database file in the folder (dialect 3, no default character set).
[[nodiscard]] std::string emptyDatabase(const TempDir& dir, const std::string& name);

// A fresh store and ERP database with every table, in a folder of their own.
struct TestDatabases {
    TempDir dir;
    std::string store;
    std::string erp;
    explicit TestDatabases(bool storeMarkColumns = true);
};

// The loopback server of the server tests: LUMVIK_TEST_SERVER (empty when not set) and the SYSDBA
// password LUMVIK_TEST_SERVER_PASSWORD ("masterkey" when not set).
struct TestServer {
    std::string host;
    std::string password;
};
[[nodiscard]] TestServer testServer();

// A connection to a database file through the embedded engine, not yet connected.
[[nodiscard]] std::unique_ptr<db::Connection> embeddedConnection(const std::string& database,
                                                                 const std::string& name = "test");

// The first column of the first row of a query, as text ("" when there is no row).
[[nodiscard]] std::string scalar(db::Connection& connection, const std::string& sql);

}  // namespace lumvik::testing
