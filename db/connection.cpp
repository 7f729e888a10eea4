#include "db/connection.h"

#include "base/codepage.h"
#include "base/text.h"
#include "db/batch.h"
#include "db/detail/dpb.h"
#include "db/detail/open_connections.h"
#include "db/detail/statement_scope.h"
#include "db/detail/status.h"
#include "db/error.h"
#include "db/prepared_statement.h"

#include <algorithm>

namespace lumvik::db {

using namespace Firebird;

namespace {

// How many prepared statements a connection keeps for reuse.
constexpr std::size_t kPreparedCacheSize = 256;

}  // namespace

Connection::Connection(std::string name) : name_(std::move(name)) {}

Connection::~Connection() {
    close();
}

void Connection::open() {
    if (connected()) return;
    if (beforeConnect_) beforeConnect_(*this);
    const std::string database = text::trimmed(params_.value("Database"));
    if (database.empty()) throw DbError(name_ + ": no Database is given for the connection");

    dialect_ = static_cast<unsigned>(text::parseWhole(params_.value("SQLDialect"), 3));
    if (dialect_ < 1 || dialect_ > 3) dialect_ = 3;
    const std::string isolation = text::upperAscii(text::trimmed(params_.value("Interbase TransIsolation")));
    readCommitted_ = isolation != "REPEATABLEREAD";
    waitOnLocks_ = !text::equalsNoCase(text::trimmed(params_.value("WaitOnLocks")), "False");

    IMaster* master = clientMaster();
    Status st;
    // The file name (a path from either file, or host:path) and these strings go as UTF-8.
    IXpbBuilder* dpb = newUtf8Dpb(st);
    auto put = [&](unsigned char tag, const std::string& value) {
        if (!value.empty()) dpb->insertString(&st, tag, value.c_str());
    };
    put(isc_dpb_user_name, params_.value("User_Name"));
    put(isc_dpb_password, params_.value("Password"));
    put(isc_dpb_sql_role_name, params_.value("RoleName"));
    dpb->insertInt(&st, isc_dpb_sql_dialect, static_cast<int>(dialect_));
    st.check();
    IProvider* provider = master->getDispatcher();
    attachment_ =
        provider->attachDatabase(&st, database.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
    provider->release();
    dpb->dispose();
    if (st.failed()) {
        attachment_ = nullptr;
        throw st.error();
    }
    addOpenConnection(this);
    if (afterConnect_) afterConnect_();
}

void Connection::ensureOpen() {
    if (!connected()) open();
}

void Connection::close() {
    // Copy: a user may unregister itself while it closes.
    for (ConnectionUser* user : std::vector<ConnectionUser*>(users_))
        user->connectionClosing();
    dropPrepared();
    if (attachment_ != nullptr) {
        removeOpenConnection(this);
        Status st;
        attachment_->detach(&st);
        if (st.failed()) attachment_->release();
        attachment_ = nullptr;
    }
}

void Connection::dropPrepared() {
    preparedIndex_.clear();
    prepared_.clear();
}

void Connection::removeUser(ConnectionUser* user) {
    std::erase(users_, user);
}

std::shared_ptr<PreparedStatement> Connection::prepare(const std::string& sqlBytes,
                                                       Transaction& transaction) {
    if (auto it = preparedIndex_.find(sqlBytes); it != preparedIndex_.end()) {
        prepared_.splice(prepared_.begin(), prepared_, it->second);
        return prepared_.front().second;
    }
    auto statement = std::make_shared<PreparedStatement>(*this, sqlBytes, transaction);
    if (statement->isDdl()) {
        // A change of the schema must not meet statements still prepared on the tables it changes
        // (the engine refuses to drop or alter what is in use), so the cache is emptied first.
        dropPrepared();
    }
    prepared_.emplace_front(sqlBytes, std::move(statement));
    preparedIndex_[sqlBytes] = prepared_.begin();
    if (prepared_.size() > kPreparedCacheSize) {
        preparedIndex_.erase(prepared_.back().first);
        prepared_.pop_back();
    }
    return prepared_.front().second;
}

void Connection::execute(std::string_view sql, const std::vector<Value>& params) {
    flushBatch();
    StatementScope scope(*this, false);
    const std::shared_ptr<PreparedStatement> statement = prepare(cp950::fromUtf8(sql), scope.transaction());
    const bool ddl = statement->isDdl();
    statement->execute(scope.transaction(), params);
    scope.commit();
    if (ddl) dropPrepared();
}

void Connection::beginGroup(const GroupOptions& options) {
    if (group_) throw DbError(name_ + ": a group of statements is already open");
    group_ = std::make_unique<Transaction>(*this, options.readOnly, options);
}

void Connection::commitGroup() {
    if (!group_) return;
    flushBatch();
    std::unique_ptr<Transaction> group = std::move(group_);
    group->commit();
}

void Connection::rollbackGroup() {
    if (!group_) return;
    std::unique_ptr<Transaction> group = std::move(group_);
    group->rollback();
}

void Connection::flushBatch() {
    if (batch_ != nullptr) batch_->flush();
}

bool Connection::remote() const {
    const std::string database = text::trimmed(params_.value("Database"));
    const auto colon = database.find(':');
    // "C:\..." names a drive; anything longer before the colon names a host.
    return colon != std::string::npos && colon > 1;
}

std::vector<Column> Connection::inputsOf(std::string_view sql) {
    const std::string bytes = cp950::fromUtf8(sql);
    if (auto it = preparedIndex_.find(bytes); it != preparedIndex_.end()) return it->second->second->inputs();
    Transaction transaction(*this, true);
    const std::vector<Column> inputs = prepare(bytes, transaction)->inputs();
    transaction.commit();
    return inputs;
}

std::vector<Column> Connection::describe(std::string_view sql) {
    const std::string bytes = cp950::fromUtf8(sql);
    // A statement prepared before is described without asking the server again.
    if (auto it = preparedIndex_.find(bytes); it != preparedIndex_.end())
        return it->second->second->columns();
    Transaction transaction(*this, true);
    const std::vector<Column> columns = prepare(bytes, transaction)->columns();
    transaction.commit();
    return columns;
}

}  // namespace lumvik::db
