#include "db/detail/statement_scope.h"

#include "db/prepared_statement.h"

namespace lumvik::db {

std::shared_ptr<PreparedStatement> prepareForReading(Connection& connection, const std::string& sqlBytes,
                                                     std::unique_ptr<StatementScope>& scope) {
    // What a batch holds ran before this read in the order of the work.
    connection.flushBatch();
    scope = std::make_unique<StatementScope>(connection, true);
    std::shared_ptr<PreparedStatement> statement = connection.prepare(sqlBytes, scope->transaction());
    if (scope->owned() && !statement->isPlainQuery()) {
        scope->commit();
        scope = std::make_unique<StatementScope>(connection, false);
    }
    return statement;
}

}  // namespace lumvik::db
