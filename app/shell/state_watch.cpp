#include "app/shell/state_watch.h"

#include "base/text.h"

namespace lumvik {

int readTransferState(FormCore& form) {
    db::SqlQuery& q = form.SQLQuery1;
    q.close();
    q.sql().clear();
    q.sql().add(kTransferStateQuery);
    q.open();
    const int state = text::parseWhole(q.field("STATE").asString(), 0);
    q.close();
    return state;
}

void writeTransferState(FormCore& form, int state) {
    db::SqlQuery& q = form.SQLQuery1;
    q.close();
    q.sql().clear();
    q.sql().add("UPDATE TRAN_STATE SET STATE = '" + std::to_string(state) + "' ");
    q.execSql();
}

std::optional<Claim> claimTransferState(FormCore& form, int state, const std::function<bool(int)>& mayClaim,
                                        const std::function<void()>& beforeWrite) {
    db::Connection& erp = form.SQLConnection1;
    erp.ensureOpen();
    erp.beginGroup({.snapshot = true, .noWait = true});
    try {
        Claim claim;
        claim.stateRead = readTransferState(form);
        if (mayClaim(claim.stateRead)) {
            if (beforeWrite) beforeWrite();
            writeTransferState(form, state);
            claim.claimed = true;
        }
        erp.commitGroup();
        return claim;
    } catch (const db::DbError& e) {
        erp.rollbackGroup();
        if (e.isConflict()) return std::nullopt;
        throw;
    } catch (...) {
        erp.rollbackGroup();
        throw;
    }
}

WatchTick watchTick(FormCore& form, const std::function<void()>& stopTimer) {
    const auto claim = claimTransferState(
        form, 1, [](int state) { return state != 2; }, stopTimer);
    if (!claim) return WatchTick::ReadAgain;
    if (claim->stateRead == 2) {
        form.op().log(kAutomaticTransferRunning);
        form.op().setOkEnabled(false);
        return WatchTick::AutomaticRunning;
    }
    form.op().setOkEnabled(true);
    return WatchTick::Claimed;
}

}  // namespace lumvik
