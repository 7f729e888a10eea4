#include "db/transaction.h"

#include "db/connection.h"
#include "db/detail/observed_work.h"
#include "db/detail/status.h"
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
    tpb.push_back(connection.waitOnLocks() && !options.noWait ? isc_tpb_wait : isc_tpb_nowait);
    tpb.push_back(readOnly ? isc_tpb_read : isc_tpb_write);
    Status st;
    handle_ = connection.attachment()->startTransaction(&st, static_cast<unsigned>(tpb.size()), tpb.data());
    st.check();
    connection_ = &connection;
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
      connection_(std::exchange(other.connection_, nullptr)) {}

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
    }
    return *this;
}

void Transaction::commit() {
    if (handle_ == nullptr) return;
    testStep("commit");
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
        connection_.commitGroup();
    } catch (...) {
        // The connection is gone; the error that ended the unit is the one reported.
    }
}

void StatementGroup::commit() {
    connection_.commitGroup();
}

}  // namespace lumvik::db
