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
    // Whether the tables get the look-up indexes of a working installation (storeIndexes()).
    bool indexes = true;
};

[[nodiscard]] std::vector<std::string> storeSchema(const StoreSchemaOptions& options = {});
[[nodiscard]] std::vector<std::string> erpSchema();

// Non-unique indexes on the columns the transfer looks rows up by (bill keys, product codes, side-table
// marks), as a working installation has them. Non-unique, so duplicate rows behave as without them; without
// them every look-up reads its whole table and a day's transfer grows with the square of its bills.
[[nodiscard]] std::vector<std::string> storeIndexes();
[[nodiscard]] std::vector<std::string> erpIndexes();

// Runs each statement of a script on the connection.
void runScript(db::Connection& connection, const std::vector<std::string>& statements);

// Creates a database and its tables. The user and password are those of the server; the embedded
// engine ignores the password.
void createStoreDatabase(const std::string& database, const std::string& user, const std::string& password,
                         const StoreSchemaOptions& options = {}, bool forcedWrites = true);
void createErpDatabase(const std::string& database, const std::string& user, const std::string& password,
                       bool forcedWrites = true, bool indexes = true);

}  // namespace lumvik::tools
