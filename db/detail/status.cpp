#include "db/detail/status.h"

#include "base/codepage.h"
#include "db/stop_request.h"

#include <string>
#include <utility>
#include <vector>

namespace lumvik::db {

using namespace Firebird;

void Status::check() {
    if (!failed()) return;
    DbError e = error();
    if (e.hasCode(isc_cancelled)) stop::point();
    throw e;
}

DbError Status::error() {
    char buffer[4096];
    clientMaster()->getUtilInterface()->formatStatus(buffer, sizeof buffer, &wrapper_);
    std::vector<std::intptr_t> codes;
    std::string sqlState;
    const std::intptr_t* v = wrapper_.getErrors();
    while (v != nullptr && v[0] != isc_arg_end) {
        switch (v[0]) {
            case isc_arg_gds:
                codes.push_back(v[1]);
                v += 2;
                break;
            case isc_arg_cstring:
                v += 3;
                break;
            case isc_arg_sql_state:
                sqlState = reinterpret_cast<const char*>(v[1]);
                v += 2;
                break;
            default:
                v += 2;
                break;
        }
    }
    // The server's text may quote names and values, which are code page 950 bytes.
    return DbError(cp950::toUtf8(buffer), std::move(codes), std::move(sqlState));
}

}  // namespace lumvik::db
