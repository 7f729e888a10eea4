#pragma once

// Internal to the database layer: the status object of one call into the client library.

#include "db/error.h"
#include "db/fb_client.h"

#include <firebird/Interface.h>

namespace lumvik::db {

// A status object for one call into the client library; the library fills it, check() turns an
// error into a DbError.
class Status {
  public:
    Status() : status_(clientMaster()->getStatus()), wrapper_(status_) {}
    ~Status() { status_->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::CheckStatusWrapper* operator&() {
        wrapper_.init();
        return &wrapper_;
    }
    [[nodiscard]] bool failed() const { return (wrapper_.getState() & Firebird::IStatus::STATE_ERRORS) != 0; }
    // A statement cancelled for a stop request fails as that stop (Stopped); anything else as DbError.
    void check();
    [[nodiscard]] DbError error();

  private:
    Firebird::IStatus* status_;
    Firebird::CheckStatusWrapper wrapper_;
};

}  // namespace lumvik::db
