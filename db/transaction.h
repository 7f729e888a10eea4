#pragma once

// Transactions of our own, and groups of statements that share one.

namespace Firebird {
class ITransaction;
}

namespace lumvik::db {

class Connection;

// How a group of statements runs (Connection::beginGroup). The default is the connection's own
// setting. A snapshot sees the database as it was when the group began, and its update of a row that
// another transaction changed since then fails as a conflict; no wait makes a held lock fail at once.
struct GroupOptions {
    bool snapshot = false;
    bool noWait = false;
    bool readOnly = false;  // only reads: a write inside the group fails
};

// A transaction of our own: read committed, waiting on locks for as long as its connection allows
// (Connection::setLockWait). It is rolled back when it goes out of scope still active, so a failed
// statement leaves nothing half done inside it.
class Transaction {
  public:
    Transaction() = default;
    Transaction(Connection& connection, bool readOnly, const GroupOptions& options = {});
    ~Transaction();
    Transaction(Transaction&& other) noexcept;
    Transaction& operator=(Transaction&& other) noexcept;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback();
    [[nodiscard]] bool active() const { return handle_ != nullptr; }
    // Seconds its statements wait for a row another connection holds; 0 when they do not wait.
    [[nodiscard]] int lockWait() const { return lockWait_; }
    [[nodiscard]] Firebird::ITransaction* handle() const { return handle_; }

  private:
    Firebird::ITransaction* handle_ = nullptr;
    Connection* connection_ = nullptr;
    int lockWait_ = 0;
    bool readOnly_ = false;
};

// The statements of one unit of work on a connection share one transaction, committed when the unit
// ends, also when it ends by an error, so that what was done before an error stays done; but rolled
// back when the run ends under it (a stop, a lock wait that timed out: run_end.h), as a kill there
// would leave it.
class StatementGroup {
  public:
    explicit StatementGroup(Connection& connection, const GroupOptions& options = {});
    ~StatementGroup();
    StatementGroup(const StatementGroup&) = delete;
    StatementGroup& operator=(const StatementGroup&) = delete;
    void commit();

  private:
    Connection& connection_;
};

}  // namespace lumvik::db
