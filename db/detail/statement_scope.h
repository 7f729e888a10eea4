#pragma once

// Internal to the database layer: the transaction a statement runs in.

#include "db/connection.h"
#include "db/transaction.h"

#include <memory>
#include <string>

namespace lumvik::db {

class PreparedStatement;

// The transaction a statement runs in: the connection's group when one is open, else one of its own
// that the statement commits when it ends.
class StatementScope {
  public:
    StatementScope(Connection& connection, bool readOnly) {
        if (Transaction* group = connection.group()) {
            transaction_ = group;
        } else {
            own_ = Transaction(connection, readOnly);
            transaction_ = &own_;
        }
    }
    [[nodiscard]] Transaction& transaction() { return *transaction_; }
    [[nodiscard]] bool owned() const { return transaction_ == &own_; }
    [[nodiscard]] Transaction& ownTransaction() { return own_; }
    void commit() {
        if (owned()) own_.commit();
    }

  private:
    Transaction own_;
    Transaction* transaction_ = nullptr;
};

// Prepares a statement to be read from. A plain query runs in a read-only transaction, which the
// engine commits without writing anything; anything else (a select that locks rows, a procedure)
// gets a read-write one.
[[nodiscard]] std::shared_ptr<PreparedStatement> prepareForReading(Connection& connection,
                                                                   const std::string& sqlBytes,
                                                                   std::unique_ptr<StatementScope>& scope);

}  // namespace lumvik::db
