// The unattended transfer, for scheduled runs: the run of the OK button without a window.

#include "app/shell/auto_claim.h"
#include "app/shell/date_forms.h"
#include "app/shell/form_core.h"
#include "app/shell/forwarding_platform.h"
#include "app/shell/run_history.h"
#include "app/shell/station_check.h"
#include "app/shell/station_folder.h"
#include "app/shell/stop_signals.h"
#include "app/shell/terminal_progress.h"
#include "auto/options.h"
#include "summary/daily_summary.h"
#include "transfer/run.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

using namespace lumvik;
using namespace lumvik::autorun;

namespace {

void printBox(const HeadlessOperator::Box& box) {
    using Kind = HeadlessOperator::Box::Kind;
    const char* kind = box.kind == Kind::Warning       ? "warning"
                       : box.kind == Kind::Information ? "information"
                       : box.kind == Kind::Error       ? "error"
                                                       : "message";
    std::cerr << kind << ": " << box.text << "\n" << std::flush;
}

// The daily summary to standard output: the listing lines of the log pane, without its progress.
int printSummary(FormCore& form, HeadlessOperator& op, const Options& options) {
    op.onLog = nullptr;
    op.setDate(options.date ? *dates::parseDate(*options.date) : form.platform().now().date);
    int status = kCompleted;
    try {
        summary::dailySummary(form);
        if (!op.boxes.empty()) status = kRefused;  // no bill on that day
        for (const auto& line : op.logLines)
            if (line != "CAST .....0K") std::cout << line << "\n";
    } catch (const std::exception& e) {
        op.error(e.what());
        status = form.erpConnected ? kOtherError : kConnectionFailed;
    }
    try {
        summary::cleanUpScratch(form);
    } catch (const std::exception& e) {
        op.error(e.what());
        if (status == kCompleted) status = kOtherError;
    }
    return status;
}

// The choices of this run, the command line over the settings file; false when a machine asked for
// is not in the list.
bool applyChoices(HeadlessOperator& op, const Platform& platform, const Options& options, bool machineList) {
    op.setDate(options.date ? *dates::parseDate(*options.date) : platform.now().date);
    if (options.mode) op.setTransferMode(*options.mode);
    if (options.allDates) op.setAllDates(*options.allDates);
    if (!machineList) return true;  // start-up failed: there is nothing to tick
    if (!options.machines) {
        op.tickAllMachines();
        return true;
    }
    if (op.tickMachines(*options.machines)) return true;
    op.error("--machines names a machine that is not in MCH_ITEM");
    return false;
}

// One transfer from this folder at a time, and the transfer state held for it; an exit status when
// the run may not go on.
std::optional<int> claim(AutoClaim& claim, FormCore& form, bool force) {
    try {
        if (!claim.lockFolder()) return kRefused;
    } catch (const std::exception& e) {
        form.op().error(e.what());
        return kOtherError;
    }
    try {
        if (claim.claimState(force) != AutoClaim::Outcome::Claimed) return kRefused;
    } catch (const std::exception& e) {
        form.op().error(e.what());
        return form.erpConnected ? kOtherError : kConnectionFailed;
    }
    return std::nullopt;
}

// The OK button's run; its exit status.
int transferStatus(transfer::TransferRun& run, Operator& op) {
    try {
        run.bsSkinButton1Click();
        return run.connectFailure() ? kConnectionFailed : kCompleted;
    } catch (const transfer::Abort& quiet) {
        return quiet.reason() == transfer::QuietEnd::SevereAnomaly ? kSevereAnomaly : kRefused;
    } catch (const db::LockTimeout& timeout) {
        op.error(timeout.what());  // the run has logged it
        return kOtherError;
    } catch (const db::DbError& e) {
        op.error(e.what());
        return e.isConnectionLost() ? kConnectionFailed : kOtherError;
    } catch (const std::exception& e) {
        op.error(e.what());
        return kOtherError;
    }
}

void printStats(const transfer::RunCounts& c, std::chrono::steady_clock::duration elapsed,
                std::chrono::steady_clock::duration waited) {
    using seconds = std::chrono::duration<double>;
    const double work = seconds(elapsed - waited).count();
    std::cerr << "stats: " << c.billsCopied << " bills and " << c.linesCopied << " lines copied in "
              << seconds(elapsed).count() << " s, " << work << " s without the fixed waits";
    if (work > 0)
        std::cerr << " (" << static_cast<long>(c.billsCopied / work) << " bills/s, "
                  << static_cast<long>(c.linesCopied / work) << " lines/s)";
    std::cerr << "\n";
}

// The station check, one line per check on standard output; its exit status.
int printCheck(FormCore& form, const Options& options) {
    StationCheck check(form, [](const CheckLine& line) {
        std::cout << checkLineText(line) << "\n" << std::flush;
    });
    CheckOptions checkOptions;
    if (options.date) checkOptions.date = dates::parseDate(*options.date);
    checkOptions.mode = options.mode;
    checkOptions.machines = options.machines;
    checkOptions.createIndexes = options.createIndexes;
    try {
        return check.run(checkOptions);
    } catch (const std::exception& e) {
        std::cout << checkLineText({CheckLevel::Fail, "check", e.what()}) << "\n";
        return kCheckFailed;
    }
}

int printHistory(const Platform& platform, int count) {
    const RunHistory history = RunHistory::ofStation(platform);
    const auto runs = history.lastRuns(static_cast<std::size_t>(count));
    if (runs.empty())
        std::cout << "no transfer recorded in " << history.file().string() << "\n";
    else
        std::cout << historyTable(runs);
    return kCompleted;
}

const char* outcomeOf(int status) {
    switch (status) {
        case kCompleted:
            return kOutcomeCompleted;
        case kRefused:
            return kOutcomeRefused;
        case kSevereAnomaly:
            return kOutcomeSevereAnomaly;
        case kConnectionFailed:
            return kOutcomeConnectionFailed;
        case kStopped:
            return kOutcomeStopped;
        default:
            return kOutcomeError;
    }
}

// Start-up: the settings, the machine list and this run's choices; an exit status when it failed.
std::optional<int> startUp(FormCore& form, HeadlessOperator& op, const Options& options) {
    std::optional<int> status;
    try {
        form.FormCreate();
    } catch (const db::DbError& e) {
        op.error(e.what());
        status = form.erpConnected ? kOtherError : kConnectionFailed;
    } catch (const std::exception& e) {
        // The settings file, before any connection: not a connection failure.
        op.error(e.what());
        status = kOtherError;
    }
    if (options.lockWait) form.setLockWait(*options.lockWait);
    if (!applyChoices(op, form.platform(), options, !status)) status = kOtherError;
    return status;
}

// The claims and the run, its progress drawn on a terminal; the exit status. A stop request passes
// through as db::Stopped.
int claimedRun(FormCore& form, HeadlessOperator& op, AutoClaim& stateClaim, transfer::TransferRun& run,
               const Options& options, TerminalProgress& progress) {
    if (const auto refused = claim(stateClaim, form, options.force)) return *refused;
    op.onBillProgress = [&] {
        const int family = run.counts().family;
        progress.update(family >= 0 ? db::family(family).storeMaster : "", op.billPosition, op.billMaximum);
    };
    return transferStatus(run, op);
}

// Gives the state back when it was claimed; the status to exit with. A failure here is reported but
// does not hide the run's own outcome unless the run had completed.
int release(AutoClaim& stateClaim, Operator& op, int status) {
    std::string failure;
    try {
        stateClaim.release();
        return status;
    } catch (db::LockTimeout& timeout) {
        timeout.setStep("giving the transfer state back");
        op.log(timeout.what());
        failure = timeout.what();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    op.error(failure);
    return status == kCompleted ? kOtherError : status;
}

// Start-up, the claims and the run, recorded in the station's history; the exit status.
int recordedTransfer(FormCore& form, HeadlessOperator& op, WaitTimingPlatform& platform,
                     const Options& options, TerminalProgress& progress) {
    AutoClaim stateClaim(form);
    transfer::TransferRun run(form, {.skipCollector = options.skipCollector});
    const auto history = [&] {
        return RunRecorder(RunHistory::ofStation(platform), platform, op, "lumvik-auto",
                           [](const std::string& text) { std::cerr << "warning: " << text << "\n"; });
    };
    std::optional<RunRecorder> record;
    const auto start = std::chrono::steady_clock::now();
    int status = kStopped;
    try {
        const std::optional<int> failed = startUp(form, op, options);
        record.emplace(history());
        status = failed ? *failed : claimedRun(form, op, stateClaim, run, options, progress);
    } catch (const db::Stopped& stopped) {
        op.log(stopped.what());
    }
    op.onBillProgress = nullptr;
    progress.clear();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // The work is over: a signal from now on stops nothing, and the clean-up's statements must run.
    db::stop::disarm();
    // After a stop the give-back must not wait long for a lock: the process ends within 10 seconds.
    if (status == kStopped) form.setLockWait(std::min(form.SQLConnection1.lockWait(), 3));
    status = release(stateClaim, op, status);

    if (!record) record.emplace(history());  // stopped during start-up
    using Kind = HeadlessOperator::Box::Kind;
    for (const auto& box : op.boxes)
        if (box.kind == Kind::Warning || box.kind == Kind::Error) record->warned(box.text);
    record->finish(outcomeOf(status), status, run.counts().moved);
    if (options.stats) printStats(run.counts(), elapsed, platform.waited());
    return status;
}

// A job without a transfer (the summary, the check); a stop request ends it with status 5.
int stoppable(const std::function<int()>& job) {
    try {
        return job();
    } catch (const db::Stopped& stopped) {
        std::cout << stopped.what() << "\n";
        return kStopped;
    } catch (const db::RunEnd& end) {
        std::cerr << "error: " << end.what() << "\n";  // a lock held too long (the summary's scratch table)
        return kOtherError;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // First, while this is the only thread and before the client library is loaded.
    installStopSignals();

    Options options;
    if (const auto error = parseOptions(std::vector<std::string>(argv + 1, argv + argc), options)) {
        std::cerr << "error: " << *error << "\n(lumvik-auto --help describes the options)\n";
        return kOtherError;
    }
    if (options.help) {
        std::cout << kUsage;
        return kCompleted;
    }

    // A file named on the command line is meant: one that is not there is no reason to fall back on
    // the one beside the program. The station check reports it as one of its failures instead.
    for (const auto& [given, what] : {std::pair{options.files.settings, "settings file"},
                                      std::pair{options.files.connections, "connection definitions file"}}) {
        std::error_code error;
        if (!options.check && !given.empty() && !std::filesystem::exists(given, error)) {
            std::cerr << "error: the " << what << " " << given.string() << " does not exist\n";
            return kOtherError;
        }
    }

    std::optional<std::filesystem::path> folder;
    try {
        folder = existingStationFolder(options.folder);
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
        return kOtherError;
    }

    const auto system = makeSystemPlatform(folder.value_or(std::filesystem::path()));
    WaitTimingPlatform platform(*system);
    if (options.history) return printHistory(platform, *options.history);
    HeadlessOperator op;
    // Only a terminal shows the progress line; it is erased before any other output reaches it.
    TerminalProgress progress(2);
    op.onLog = [&](const std::string& line) {
        progress.clear();
        std::cout << line << "\n" << std::flush;
    };
    op.onBox = [&](const HeadlessOperator::Box& box) {
        progress.clear();
        printBox(box);
    };
    FormCore form(platform, op, options.files);

    if (options.summary) return stoppable([&] { return printSummary(form, op, options); });
    if (options.check) return stoppable([&] { return printCheck(form, options); });
    return recordedTransfer(form, op, platform, options, progress);
}
