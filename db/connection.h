#pragma once

// A database connection, the objects bound to it and its counts.

#include "db/param_list.h"
#include "db/transaction.h"
#include "db/value.h"

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Firebird {
class IAttachment;
}

namespace lumvik::db {

// Something bound to a connection that must let go of the server when the connection closes.
class ConnectionUser {
  public:
    virtual ~ConnectionUser() = default;
    virtual void connectionClosing() = 0;
};

class PreparedStatement;
class Batch;

// How long a statement waits, by default, for a row that another connection holds.
inline constexpr int kDefaultLockWaitSeconds = 60;

// Counts kept by a connection, for tests and measurements.
struct ConnectionStats {
    std::uint64_t statements = 0;  // statements executed or opened
    std::uint64_t prepares = 0;    // statements sent to the server for preparing
    std::uint64_t commits = 0;
};

// One database connection. Its parameters are Name=Value lines: Database (a file path, or
// host:path for a server; trimmed), User_Name, Password, RoleName, SQLDialect (3 unless given);
// "Interbase TransIsolation" and "WaitOnLocks" choose the transactions' isolation and whether they
// wait on locks; how long they wait is set apart (setLockWait). No character set is sent: texts pass
// as code page 950 bytes.
class Connection {
  public:
    explicit Connection(std::string name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    ParamList& params() { return params_; }
    [[nodiscard]] const ParamList& params() const { return params_; }

    // Runs before every connect, to load or check the parameters; it may throw.
    void setBeforeConnect(std::function<void(Connection&)> handler) { beforeConnect_ = std::move(handler); }
    // Runs after every successful connect.
    void setAfterConnect(std::function<void()> handler) { afterConnect_ = std::move(handler); }

    [[nodiscard]] bool connected() const { return attachment_ != nullptr; }
    void open();
    // Closes every statement and row-set query open on it, then detaches. Never throws.
    void close();
    // Connects when not connected.
    void ensureOpen();

    // Runs one statement in a transaction of its own (text as given, parameters bound by position).
    void execute(std::string_view sql, const std::vector<Value>& params = {});

    // The result columns a query would have, without running it.
    [[nodiscard]] std::vector<Column> describe(std::string_view sql);
    // The parameters a statement declares ("?" marks), as the statement takes them.
    [[nodiscard]] std::vector<Column> inputsOf(std::string_view sql);

    // Whether the database is reached through a server (host:path) rather than the embedded engine.
    [[nodiscard]] bool remote() const;

    // The batch whose queued statements must run before any other statement or commit here (db/batch.h).
    // Returns the one set before.
    Batch* setBatch(Batch* batch) { return std::exchange(batch_, batch); }
    void flushBatch();

    // From beginGroup() to commitGroup() every statement on this connection runs in one shared
    // transaction, committed once at the end. A statement that fails inside it is undone alone and
    // the group goes on, so guards behave as with a transaction per statement; a stop before the
    // commit leaves nothing of the group.
    void beginGroup(const GroupOptions& options = {});
    void commitGroup();
    void rollbackGroup();
    [[nodiscard]] Transaction* group() const { return group_.get(); }

    [[nodiscard]] const ConnectionStats& stats() const { return stats_; }

    // Internal to the layer.
    [[nodiscard]] Firebird::IAttachment* attachment() const { return attachment_; }
    // Shared: the cache may let go of a statement (to make room, or before a schema change) while a
    // read still runs on it.
    std::shared_ptr<PreparedStatement> prepare(const std::string& sqlBytes, Transaction& transaction);
    void addUser(ConnectionUser* user) { users_.push_back(user); }
    void removeUser(ConnectionUser* user);
    [[nodiscard]] bool readCommitted() const { return readCommitted_; }
    [[nodiscard]] bool waitOnLocks() const { return waitOnLocks_; }
    // Seconds a statement waits for a row another connection holds before it fails (LockTimeout);
    // 0 does not wait. Applies to transactions started afterwards.
    void setLockWait(int seconds) { lockWaitSeconds_ = seconds; }
    [[nodiscard]] int lockWait() const { return lockWaitSeconds_; }
    [[nodiscard]] unsigned dialect() const { return dialect_; }
    ConnectionStats& mutableStats() { return stats_; }

  private:
    void dropPrepared();

    std::string name_;
    ParamList params_;
    std::function<void(Connection&)> beforeConnect_;
    std::function<void()> afterConnect_;
    Firebird::IAttachment* attachment_ = nullptr;
    std::vector<ConnectionUser*> users_;
    bool readCommitted_ = true;
    bool waitOnLocks_ = true;
    int lockWaitSeconds_ = kDefaultLockWaitSeconds;
    unsigned dialect_ = 3;
    // Statements prepared on this attachment, by their text, most recently used first.
    std::list<std::pair<std::string, std::shared_ptr<PreparedStatement>>> prepared_;
    std::map<std::string, decltype(prepared_)::iterator, std::less<>> preparedIndex_;
    ConnectionStats stats_;
    std::unique_ptr<Transaction> group_;
    Batch* batch_ = nullptr;
};

}  // namespace lumvik::db
