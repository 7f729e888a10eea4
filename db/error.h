#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumvik::db {

// Any failure of the database layer: the server's own text (or ours, for the layer's own checks),
// the status vector's error codes and the SQLSTATE when the server gave one.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const std::string& message, std::vector<std::intptr_t> codes = {},
                     std::string sqlState = {});

    // The first error code of the status vector (an isc_... number), 0 for the layer's own errors.
    [[nodiscard]] std::intptr_t code() const { return codes_.empty() ? 0 : codes_.front(); }
    // Every error code of the status vector, in order.
    [[nodiscard]] const std::vector<std::intptr_t>& codes() const { return codes_; }
    [[nodiscard]] bool hasCode(std::intptr_t code) const;
    [[nodiscard]] const std::string& sqlState() const { return sqlState_; }
    // Whether another transaction holds or has changed the rows this statement wanted: a lock
    // conflict, an update conflict or a deadlock.
    [[nodiscard]] bool isConflict() const;
    // Whether the connection to the database is gone (network, server shut down).
    [[nodiscard]] bool isConnectionLost() const;

  private:
    std::vector<std::intptr_t> codes_;
    std::string sqlState_;
};

}  // namespace lumvik::db
