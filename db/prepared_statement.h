#pragma once

// Internal to the database layer: a statement prepared on a connection, kept by the connection's
// cache and run again with new values.

#include "db/value.h"

#include <memory>
#include <string>
#include <vector>

namespace Firebird {
class IMessageMetadata;
class IResultSet;
class IStatement;
}  // namespace Firebird

namespace lumvik::db {

class Connection;
class Status;
class Transaction;
struct RowLayout;

class PreparedStatement {
  public:
    PreparedStatement(Connection& connection, const std::string& sqlBytes, Transaction& transaction);
    ~PreparedStatement();
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    [[nodiscard]] bool isQuery() const;
    [[nodiscard]] bool isDdl() const;
    // A query that only reads: no row locks ("WITH LOCK", "FOR UPDATE", which the engine reports as
    // plain selects too).
    [[nodiscard]] bool isPlainQuery() const;
    [[nodiscard]] const std::vector<Column>& columns() const { return columns_; }
    // The parameters ("?" marks) as the statement declares them.
    [[nodiscard]] const std::vector<Column>& inputs() const { return inputs_; }

    void execute(Transaction& transaction, const std::vector<Value>& params);
    Firebird::IResultSet* openCursor(Transaction& transaction, const std::vector<Value>& params);

    // Fetches the next row into `row`; false at the end.
    bool fetch(Firebird::IResultSet* rs, Transaction& transaction, std::vector<Value>& row);

    [[nodiscard]] const std::shared_ptr<const RowLayout>& layout() const { return layout_; }

    // Fetches the next row as the engine sent it; false at the end.
    bool fetchRaw(Firebird::IResultSet* rs, std::vector<unsigned char>& message);

  private:
    Value decode(std::size_t i, Transaction& transaction);
    // Throws the failure of a statement run in `transaction`: a conflict with another connection's
    // lock, met after waiting, as LockTimeout naming the statement's table.
    void checkRun(Status& st, const Transaction& transaction) const;

    Connection& connection_;
    std::string sql_;
    Firebird::IStatement* statement_ = nullptr;
    Firebird::IMessageMetadata* output_ = nullptr;
    unsigned type_ = 0;
    bool locksRows_ = false;
    std::vector<Column> columns_;
    std::vector<Column> inputs_;
    std::shared_ptr<const RowLayout> layout_;
    unsigned outputLength_ = 0;
    std::vector<unsigned char> buffer_;
};

}  // namespace lumvik::db
