#include "db/detail/statement_scope.h"

#include "db/prepared_statement.h"

namespace lumvik::db {

std::shared_ptr<PreparedStatement> prepareForReading(Connection& connection, const std::string& sqlBytes,
                                                     std::unique_ptr<StatementScope>& scope) {
    scope = std::make_unique<StatementScope>(connection, true);
    std::shared_ptr<PreparedStatement> statement = connection.prepare(sqlBytes, scope->transaction());
    if (scope->owned() && !statement->isPlainQuery()) {
        scope->commit();
        scope = std::make_unique<StatementScope>(connection, false);
    }
    return statement;
}

}  // namespace lumvik::db
