#include "db/transaction.h"

#include "db/connection.h"
#include "db/detail/observed_work.h"
#include "db/detail/status.h"
#include "db/run_end.h"
#include "db/stop_request.h"
#include "db/test_steps.h"

#include <string>
#include <utility>
#include <vector>

namespace lumvik::db {

using namespace Firebird;

Transaction::Transaction(Connection& connection, bool readOnly, const GroupOptions& options) {
    connection.ensureOpen();
    std::vector<unsigned char> tpb{isc_tpb_version3};
    if (connection.readCommitted() && !options.snapshot) {
        tpb.push_back(isc_tpb_read_committed);
        tpb.push_back(isc_tpb_rec_version);
    } else {
        tpb.push_back(isc_tpb_concurrency);
    }
    const int lockWait = connection.waitOnLocks() && !options.noWait ? connection.lockWait() : 0;
    if (lockWait > 0) {
        // A bounded wait: a lock held elsewhere for longer fails the statement instead of holding the
        // run for ever.
        tpb.push_back(isc_tpb_wait);
        tpb.push_back(isc_tpb_lock_timeout);
        tpb.push_back(4);
        for (int shift = 0; shift < 32; shift += 8)
            tpb.push_back(static_cast<unsigned char>((static_cast<unsigned>(lockWait) >> shift) & 0xFF));
    } else {
        tpb.push_back(isc_tpb_nowait);
    }
    tpb.push_back(readOnly ? isc_tpb_read : isc_tpb_write);
    Status st;
    handle_ = connection.attachment()->startTransaction(&st, static_cast<unsigned>(tpb.size()), tpb.data());
    st.check();
    connection_ = &connection;
    lockWait_ = lockWait;
    readOnly_ = readOnly;
}

Transaction::~Transaction() {
    if (handle_ != nullptr) {
        try {
            rollback();
        } catch (...) {
            // Nothing more can be done for a transaction whose connection is gone.
        }
    }
}

Transaction::Transaction(Transaction&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      connection_(std::exchange(other.connection_, nullptr)),
      lockWait_(other.lockWait_),
      readOnly_(other.readOnly_) {}

Transaction& Transaction::operator=(Transaction&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            try {
                rollback();
            } catch (...) {
            }
        }
        handle_ = std::exchange(other.handle_, nullptr);
        connection_ = std::exchange(other.connection_, nullptr);
        lockWait_ = other.lockWait_;
        readOnly_ = other.readOnly_;
    }
    return *this;
}

void Transaction::commit() {
    if (handle_ == nullptr) return;
    testStep("commit");
    // Ending a read changes nothing; a stop before the commit of a write leaves the write undone.
    if (!readOnly_) stop::point();
    static const std::string commitName = "(commit)";
    const ObservedWork work(commitName, true);
    Status st;
    handle_->commit(&st);
    if (st.failed()) {
        DbError e = st.error();
        rollback();
        throw e;
    }
    handle_ = nullptr;
    if (connection_ != nullptr) ++connection_->mutableStats().commits;
}

void Transaction::rollback() {
    if (handle_ == nullptr) return;
    Status st;
    handle_->rollback(&st);
    if (st.failed()) handle_->release();
    handle_ = nullptr;
}

StatementGroup::StatementGroup(Connection& connection, const GroupOptions& options)
    : connection_(connection) {
    connection_.beginGroup(options);
}

StatementGroup::~StatementGroup() {
    try {
        if (runEndInFlight())
            connection_.rollbackGroup();
        else
            connection_.commitGroup();
    } catch (...) {
        // The connection is gone; the error that ended the unit is the one reported.
    }
}

void StatementGroup::commit() {
    connection_.commitGroup();
}

}  // namespace lumvik::db
