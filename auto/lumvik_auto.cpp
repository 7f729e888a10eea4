// The unattended transfer, for scheduled runs: the run of the OK button without a window.

#include "app/shell/auto_claim.h"
#include "app/shell/date_forms.h"
#include "app/shell/form_core.h"
#include "app/shell/forwarding_platform.h"
#include "app/shell/stop_signals.h"
#include "auto/options.h"
#include "summary/daily_summary.h"
#include "transfer/run.h"

#include <algorithm>
#include <chrono>
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
bool applyChoices(HeadlessOperator& op, const Platform& platform, const Options& options) {
    op.setDate(options.date ? *dates::parseDate(*options.date) : platform.now().date);
    if (options.mode) op.setTransferMode(*options.mode);
    if (options.allDates) op.setAllDates(*options.allDates);
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

// Everything from start-up to the end of the run, with the state claimed into `stateClaim`; its exit
// status. A stop request passes through as db::Stopped.
int work(FormCore& form, HeadlessOperator& op, AutoClaim& stateClaim, transfer::TransferRun& run,
         const Options& options) {
    if (options.summary) return printSummary(form, op, options);
    try {
        form.FormCreate();
    } catch (const std::exception& e) {
        op.error(e.what());
        return form.erpConnected ? kOtherError : kConnectionFailed;
    }
    if (options.lockWait) form.setLockWait(*options.lockWait);
    if (!applyChoices(op, form.platform(), options)) return kOtherError;
    if (const auto refused = claim(stateClaim, form, options.force)) return *refused;
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

    const auto system = makeSystemPlatform();
    WaitTimingPlatform platform(*system);
    HeadlessOperator op;
    op.onLog = [](const std::string& line) { std::cout << line << "\n" << std::flush; };
    op.onBox = printBox;
    FormCore form(platform, op, options.files);
    AutoClaim stateClaim(form);
    transfer::TransferRun run(form, {.skipCollector = options.skipCollector});

    const auto start = std::chrono::steady_clock::now();
    int status = kStopped;
    try {
        status = work(form, op, stateClaim, run, options);
    } catch (const db::Stopped& stopped) {
        op.log(stopped.what());
    } catch (const db::RunEnd& end) {
        op.error(end.what());  // a lock held too long outside the run (the summary's scratch table)
        status = kOtherError;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // The work is over: a signal from now on stops nothing, and the clean-up's statements must run.
    db::stop::disarm();
    // After a stop the give-back must not wait long for a lock: the process ends within 10 seconds.
    if (status == kStopped) form.setLockWait(std::min(form.SQLConnection1.lockWait(), 3));
    status = release(stateClaim, op, status);

    if (options.stats && !options.summary) printStats(run.counts(), elapsed, platform.waited());
    return status;
}
