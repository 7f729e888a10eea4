// The unattended transfer, for scheduled runs: the run of the OK button without a window.

#include "app/shell/auto_claim.h"
#include "app/shell/date_forms.h"
#include "app/shell/form_core.h"
#include "app/shell/forwarding_platform.h"
#include "app/shell/station_folder.h"
#include "auto/options.h"
#include "summary/daily_summary.h"
#include "transfer/run.h"

#include <chrono>
#include <filesystem>
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

}  // namespace

int main(int argc, char** argv) {
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
    // the one beside the program.
    for (const auto& [given, what] : {std::pair{options.files.settings, "settings file"},
                                      std::pair{options.files.connections, "connection definitions file"}}) {
        std::error_code error;
        if (!given.empty() && !std::filesystem::exists(given, error)) {
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
    HeadlessOperator op;
    op.onLog = [](const std::string& line) { std::cout << line << "\n" << std::flush; };
    op.onBox = printBox;
    FormCore form(platform, op, options.files);

    if (options.summary) return printSummary(form, op, options);

    try {
        form.FormCreate();
    } catch (const db::DbError& e) {
        op.error(e.what());
        return form.erpConnected ? kOtherError : kConnectionFailed;
    } catch (const std::exception& e) {
        // The settings file, before any connection: not a connection failure.
        op.error(e.what());
        return kOtherError;
    }
    if (!applyChoices(op, platform, options)) return kOtherError;

    AutoClaim stateClaim(form);
    if (const auto refused = claim(stateClaim, form, options.force)) return *refused;

    const auto start = std::chrono::steady_clock::now();
    transfer::TransferRun run(form, {.skipCollector = options.skipCollector});
    int status = transferStatus(run, op);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    // The state goes back whatever happened; a failure here is reported but does not hide the run's
    // own outcome unless the run had completed.
    try {
        stateClaim.release();
    } catch (const std::exception& e) {
        op.error(e.what());
        if (status == kCompleted) status = kOtherError;
    }

    if (options.stats) printStats(run.counts(), elapsed, platform.waited());
    return status;
}
