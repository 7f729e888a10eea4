#include "db/error.h"

#include <algorithm>
#include <utility>

namespace lumvik::db {

DbError::DbError(const std::string& message, std::vector<std::intptr_t> codes, std::string sqlState)
    : std::runtime_error(message), codes_(std::move(codes)), sqlState_(std::move(sqlState)) {}

bool DbError::hasCode(std::intptr_t code) const {
    return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

bool DbError::isConflict() const {
    constexpr std::intptr_t deadlock = 335544336;
    constexpr std::intptr_t lockConflict = 335544345;
    constexpr std::intptr_t updateConflict = 335544451;
    return hasCode(deadlock) || hasCode(lockConflict) || hasCode(updateConflict);
}

bool DbError::isConnectionLost() const {
    for (const std::intptr_t code : {335544528,     // shutdown
                                     335544648,     // conn_lost
                                     335544721,     // network_error
                                     335544726,     // net_read_err
                                     335544727,     // net_write_err
                                     335544741,     // lost_db_connection
                                     335544856}) {  // att_shutdown
        if (hasCode(code)) return true;
    }
    return false;
}

}  // namespace lumvik::db
