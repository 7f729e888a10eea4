#pragma once

// The claim of an unattended transfer: one transfer at a time from a station folder, and the shared
// transfer state held (2) for as long as it runs.
//
// Beside the program lie the run lock (held while a transfer runs from this folder; the system drops
// it when the process dies) and the claim mark (written once the state reads 2 for us, removed when we
// give it back). A 2 found together with the mark while we hold the lock was left by a transfer from
// this folder that is over (killed, or its server lost before it could give the state back): it is
// taken over instead of refusing every later run. A 2 without the mark belongs to another station or
// program and refuses.

#include "app/shell/form_core.h"
#include "app/shell/platform.h"

#include <filesystem>
#include <memory>

namespace lumvik {

inline constexpr const char* kRunLockFileName = "lumvik-auto.lock";
inline constexpr const char* kClaimMarkFileName = "lumvik-auto.claim";

class AutoClaim {
  public:
    enum class Outcome {
        Claimed,     // the state reads 2 for us and the mark is written
        FolderBusy,  // another transfer runs from this folder
        StateBusy,   // another station kept changing the state while we tried
        StateHeld,   // the state reads 1 or 2 for someone else
    };

    explicit AutoClaim(FormCore& form);
    ~AutoClaim();
    AutoClaim(const AutoClaim&) = delete;
    AutoClaim& operator=(const AutoClaim&) = delete;

    // Takes the folder's run lock; false (after an error box) when another transfer holds it. Throws
    // when the lock file cannot be opened.
    [[nodiscard]] bool lockFolder();

    // Claims the state once the folder is locked: read and write are one step (claimTransferState),
    // so of two stations starting together exactly one gets it. Up to 20 attempts 100 ms apart while
    // other stations write the row. `force` claims whatever the state reads. Every outcome but Claimed
    // has shown its error box; a take-over shows a warning. Database failures are thrown.
    [[nodiscard]] Outcome claimState(bool force);

    // Gives the state back (0) and removes the mark, when claimed. Throws when the state cannot be
    // written; the mark then stays so that the next run from this folder takes the 2 over.
    void release();

    [[nodiscard]] bool claimed() const { return claimed_; }
    [[nodiscard]] bool tookOver() const { return tookOver_; }

  private:
    [[nodiscard]] std::filesystem::path folderFile(const char* name) const;

    FormCore& form_;
    std::unique_ptr<FileLock> runLock_;
    bool claimed_ = false;
    bool tookOver_ = false;
};

}  // namespace lumvik
