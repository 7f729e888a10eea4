#pragma once

// The store and ERP schemas as the tests and the demo create them: every table and column the
// transfer reads or writes, with column types as the installations have them.

#include "db/sql_access.h"

#include <string>
#include <vector>

namespace lumvik::tools {

struct StoreSchemaOptions {
    // Whether the store master tables already have TRAN_CODE and CARD_ID (a store database fresh
    // from the collector lacks them until the first transfer adds them).
    bool markColumns = true;
};

[[nodiscard]] std::vector<std::string> storeSchema(const StoreSchemaOptions& options = {});
[[nodiscard]] std::vector<std::string> erpSchema();

// Runs each statement of a script on the connection.
void runScript(db::Connection& connection, const std::vector<std::string>& statements);

// Creates a database and its tables. The user and password are those of the server; the embedded
// engine ignores the password.
void createStoreDatabase(const std::string& database, const std::string& user, const std::string& password,
                         const StoreSchemaOptions& options = {}, bool forcedWrites = true);
void createErpDatabase(const std::string& database, const std::string& user, const std::string& password,
                       bool forcedWrites = true);

}  // namespace lumvik::tools
