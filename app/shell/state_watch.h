#pragma once

// The transfer state: one row of TRAN_STATE in the ERP database, shared with automatic transfers and
// other stations. 2: an automatic transfer is running; 1: a station holds it for manual transfers;
// 0: nobody holds it.

#include "app/shell/form_core.h"

#include <functional>
#include <optional>

namespace lumvik {

inline constexpr const char* kTransferStateQuery = "SELECT STATE FROM TRAN_STATE ";

// STATE of the first row read as a whole number: "02" is 2; a text that is no whole number, a NULL
// and an empty table read as 0. Uses the general ERP statement object.
[[nodiscard]] int readTransferState(FormCore& form);

// "UPDATE TRAN_STATE SET STATE = '<state>' " on the general ERP statement object.
void writeTransferState(FormCore& form, int state);

// The outcome of a claim: the state read, and whether the claim was written.
struct Claim {
    int stateRead = 0;
    bool claimed = false;
};

// Reads the state and, when mayClaim(state read) says so, writes `state`, as one step: the read and
// the write are the same two statements as above, run in one snapshot transaction that does not wait.
// When another station wrote the row after our read (or is writing it now), the write fails as a
// conflict instead of overwriting that station's value; then nothing is written and std::nullopt
// comes back, so the caller reads again. beforeWrite runs between the read and the write. Any other
// failure is thrown.
[[nodiscard]] std::optional<Claim> claimTransferState(FormCore& form, int state,
                                                      const std::function<bool(int)>& mayClaim,
                                                      const std::function<void()>& beforeWrite = {});

// What one tick of the window's one-second watch found.
enum class WatchTick {
    ReadAgain,         // another station wrote the state between our read and our write
    AutomaticRunning,  // an automatic transfer holds it (2): the OK button stays disabled
    Claimed,           // we hold it (1): the OK button is enabled and the watch has stopped
};

inline constexpr const char* kAutomaticTransferRunning = "自動轉入運行中..!!";

// One tick: claims the state (1) unless it reads 2, in one step; `stopTimer` runs just before the
// claim is written. While an automatic transfer holds the state it logs so and keeps the OK button
// disabled; once claimed it enables the OK button. Failures reach the caller.
WatchTick watchTick(FormCore& form, const std::function<void()>& stopTimer);

}  // namespace lumvik
