#include "app/state_watch.h"

#include "db/text.h"

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

}  // namespace lumvik
