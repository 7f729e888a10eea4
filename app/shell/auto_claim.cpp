#include "app/shell/auto_claim.h"

#include "app/shell/state_watch.h"
#include "base/atomic_file.h"

#include <optional>
#include <string>
#include <system_error>

namespace lumvik {

AutoClaim::AutoClaim(FormCore& form) : form_(form) {}

AutoClaim::~AutoClaim() = default;

std::filesystem::path AutoClaim::folderFile(const char* name) const {
    return form_.platform().programDirectory() / name;
}

bool AutoClaim::lockFolder() {
    runLock_ = FileLock::tryAcquire(folderFile(kRunLockFileName));
    if (runLock_) return true;
    form_.op().error("another automatic transfer is running from this folder");
    return false;
}

AutoClaim::Outcome AutoClaim::claimState(bool force) {
    Platform& platform = form_.platform();
    const auto mark = folderFile(kClaimMarkFileName);
    bool takeOver = false;
    std::optional<Claim> claim;
    for (int attempt = 0; attempt < 20 && !claim; ++attempt) {
        if (attempt > 0) platform.sleep(std::chrono::milliseconds(100));
        takeOver = false;
        claim = claimTransferState(form_, 2, [&](int state) {
            if (state != 1 && state != 2) return true;
            if (force) return true;
            // The lock is ours, so a run that left the mark is over.
            takeOver = state == 2 && runLock_ && platform.fileExists(mark);
            return takeOver;
        });
    }
    if (!claim) {
        form_.op().error("the transfer state is being changed by another station; try again later");
        return Outcome::StateBusy;
    }
    if (!claim->claimed) {
        form_.op().error(
            "the transfer state reads " + std::to_string(claim->stateRead) +
            (claim->stateRead == 2 ? " (an automatic transfer is running)" : " (another station holds it)") +
            "; use --force to run anyway");
        return Outcome::StateHeld;
    }
    if (takeOver)
        form_.op().warning(
            "the transfer state was left at 2 by an automatic transfer from this folder that did not end; "
            "this run takes it over");
    try {
        writeFileAtomically(mark, "claimed\r\n");
    } catch (...) {
        form_.releaseTransferState();  // no run without the mark that lets a later run recover
        throw;
    }
    claimed_ = true;
    tookOver_ = takeOver;
    return Outcome::Claimed;
}

void AutoClaim::release() {
    if (!claimed_) return;
    form_.releaseTransferState();
    claimed_ = false;
    std::error_code ignored;
    std::filesystem::remove(folderFile(kClaimMarkFileName), ignored);
}

}  // namespace lumvik
