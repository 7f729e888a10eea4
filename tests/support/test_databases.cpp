#include "tests/support/test_databases.h"

#include "fixtures/schema.h"

#include <cstdlib>

namespace lumvik::testing {

std::string emptyDatabase(const TempDir& dir, const std::string& name) {
    const std::string file = dir.file(name);
    // Tests do not need every commit flushed to disk; it only makes them slow.
    db::createDatabase(file, kTestUser, kTestPassword, /*forcedWrites=*/false);
    return file;
}

TestDatabases::TestDatabases(bool storeMarkColumns) : store(dir.file("store.fdb")), erp(dir.file("erp.fdb")) {
    tools::createStoreDatabase(store, kTestUser, kTestPassword, {.markColumns = storeMarkColumns}, false);
    tools::createErpDatabase(erp, kTestUser, kTestPassword, false);
}

std::unique_ptr<db::Connection> embeddedConnection(const std::string& database, const std::string& name) {
    auto connection = std::make_unique<db::Connection>(name);
    connection->params().set("Database", database);
    connection->params().set("User_Name", kTestUser);
    connection->params().set("Password", kTestPassword);
    return connection;
}

std::string scalar(db::Connection& connection, const std::string& sql) {
    db::RowSet rows(&connection, "scalar");
    rows.setCommandText(sql);
    rows.open();
    return rows.field(0).asString();
}

TestServer testServer() {
    const char* host = std::getenv("LUMVIK_TEST_SERVER");
    const char* password = std::getenv("LUMVIK_TEST_SERVER_PASSWORD");
    return {host != nullptr ? host : "", password != nullptr ? password : "masterkey"};
}

}  // namespace lumvik::testing
