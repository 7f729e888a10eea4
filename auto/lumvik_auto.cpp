// The unattended transfer, for scheduled runs: the run of the OK button without a window.

#include "app/shell/date_forms.h"
#include "app/shell/form_core.h"
#include "app/shell/platform.h"
#include "app/shell/state_watch.h"
#include "base/atomic_file.h"
#include "base/text.h"
#include "summary/daily_summary.h"
#include "transfer/run.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace lumvik;

namespace {

constexpr int kCompleted = 0;
constexpr int kRefused = 1;
constexpr int kSevereAnomaly = 2;
constexpr int kConnectionFailed = 3;
constexpr int kOtherError = 4;

const char* const kUsage =
    R"(usage: lumvik-auto [options]

Runs one transfer from the store database to the ERP database, as the OK button of the window does,
with the settings file and the connection definitions beside the program.

Options:
  --date YYYY/MM/DD     the business day (default: today)
  --mode 0|1|2          0 everything not yet moved, 1 the day again, 2 bills the sales-order check
                        reports (default: the settings file's Class)
  --machines LIST|all   machine numbers to tick, comma-separated (default: all)
  --all-dates           verify every date, not only the chosen one
  --no-all-dates        verify the chosen date only (default: the settings file's Auto)
  --skip-collector      do not start or wait for the collector (the store is already collected)
  --settings FILE       the settings file (default: FormLumvik.ini beside the program)
  --connections FILE    the connection definitions (default: dbxconnections.ini beside the program)
  --force               run even when another station or transfer holds the transfer state
  --stats               print the counts and the work time to standard error at the end
  --summary             no transfer: print the daily summary of --date (default today) as the window's
                        log pane shows it, then remove its scratch table and view
  --help                this text

Every line of the log goes to standard output (UTF-8); message boxes go to standard error as
"warning: TEXT", "information: TEXT" and "error: TEXT".

While it runs it holds the transfer state (TRAN_STATE reads 2) and gives it back (0) when it ends,
also when it fails. It refuses to start while the state reads 1 or 2, unless --force; a 2 left by a
transfer from the same folder that was killed is taken over. Only one transfer runs from a folder at
a time (lumvik-auto.lock beside the program).

Exit status: 0 the run completed; 1 refused (closed day, temporary product missing, transfer state
held); 2 severe anomaly (bills stay inconsistent); 3 a connection failed or was lost; 4 any other
error.
)";

struct Options {
    std::optional<std::string> date;
    std::optional<int> mode;
    std::optional<std::vector<std::string>> machines;  // empty optional: all
    std::optional<bool> allDates;
    bool skipCollector = false;
    bool force = false;
    bool stats = false;
    bool summary = false;
    FormFiles files;
};

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> out;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ',');)
        if (!text::trimmed(item).empty()) out.push_back(text::trimmed(item));
    return out;
}

// Parses the command line; an error text when it cannot.
std::optional<std::string> parse(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--date") {
            const auto v = value();
            if (!v || !dates::parseDate(*v)) return "--date takes a date YYYY/MM/DD";
            o.date = *v;
        } else if (arg == "--mode") {
            const auto v = value();
            const auto mode = v ? text::tryParseWhole(*v) : std::nullopt;
            if (!mode || *mode < 0 || *mode > 2) return "--mode takes 0, 1 or 2";
            o.mode = *mode;
        } else if (arg == "--machines") {
            const auto v = value();
            if (!v || text::trimmed(*v).empty()) return "--machines takes a list of machine numbers or all";
            if (text::trimmed(*v) == "all")
                o.machines.reset();
            else
                o.machines = splitList(*v);
        } else if (arg == "--all-dates") {
            o.allDates = true;
        } else if (arg == "--no-all-dates") {
            o.allDates = false;
        } else if (arg == "--skip-collector") {
            o.skipCollector = true;
        } else if (arg == "--force") {
            o.force = true;
        } else if (arg == "--stats") {
            o.stats = true;
        } else if (arg == "--summary") {
            o.summary = true;
        } else if (arg == "--settings") {
            const auto v = value();
            if (!v) return "--settings takes a file";
            o.files.settings = *v;
        } else if (arg == "--connections") {
            const auto v = value();
            if (!v) return "--connections takes a file";
            o.files.connections = *v;
        } else {
            return "unknown option " + arg;
        }
    }
    return std::nullopt;
}

// The system platform, counting the time spent in the run's fixed waits.
class TimedPlatform : public Platform {
  public:
    explicit TimedPlatform(std::unique_ptr<Platform> inner) : inner_(std::move(inner)) {}
    std::filesystem::path programDirectory() const override { return inner_->programDirectory(); }
    bool fileExists(const std::filesystem::path& file) const override { return inner_->fileExists(file); }
    bool startProgram(const std::string& commandLine) override { return inner_->startProgram(commandLine); }
    bool windowClassExists(const std::string& windowClass) const override {
        return inner_->windowClassExists(windowClass);
    }
    void sleep(std::chrono::milliseconds duration) override {
        const auto start = std::chrono::steady_clock::now();
        inner_->sleep(duration);
        waited += std::chrono::steady_clock::now() - start;
    }
    LocalTime now() const override { return inner_->now(); }
    bool openWithDefault(const std::string& path) override { return inner_->openWithDefault(path); }

    std::chrono::steady_clock::duration waited{};

  private:
    std::unique_ptr<Platform> inner_;
};

// Beside the program: the lock held while a transfer runs from this folder, and the mark that says the
// transfer state's 2 was written by a transfer from this folder and not yet given back.
constexpr const char* kRunLockFile = "lumvik-auto.lock";
constexpr const char* kClaimMarkFile = "lumvik-auto.claim";

// Claims the transfer state (2) for this run; an exit status when the run may not go on. The read and
// the write are one step (claimTransferState), so of two stations starting together exactly one gets
// it; the other reads the 2 of the first and is refused. A 2 that a transfer from this folder left
// behind (killed, or the server lost before it could give the state back) is taken over: the claim mark
// says it was ours, and the run lock, held by us, says that transfer is no longer running.
std::optional<int> claimState(FormCore& form, Platform& platform, HeadlessOperator& op, bool force,
                              const std::filesystem::path& claimMark) {
    bool takeOver = false;
    std::optional<Claim> claim;
    for (int attempt = 0; attempt < 20 && !claim; ++attempt) {
        if (attempt > 0) platform.sleep(std::chrono::milliseconds(100));
        takeOver = false;
        claim = claimTransferState(form, 2, [&](int state) {
            if (state != 1 && state != 2) return true;
            if (force) return true;
            takeOver = state == 2 && platform.fileExists(claimMark);
            return takeOver;
        });
    }
    if (!claim) {
        op.error("the transfer state is being changed by another station; try again later");
        return kRefused;
    }
    if (!claim->claimed) {
        op.error(
            "the transfer state reads " + std::to_string(claim->stateRead) +
            (claim->stateRead == 2 ? " (an automatic transfer is running)" : " (another station holds it)") +
            "; use --force to run anyway");
        return kRefused;
    }
    if (takeOver)
        op.warning(
            "the transfer state was left at 2 by an automatic transfer from this folder that did not end; "
            "this run takes it over");
    try {
        writeFileAtomically(claimMark, "claimed\r\n");
    } catch (...) {
        form.releaseTransferState();  // no run without the mark that lets a later run recover
        throw;
    }
    return std::nullopt;
}

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

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool help = false;
    if (const auto error = parse(argc, argv, options, help)) {
        std::cerr << "error: " << *error << "\n(lumvik-auto --help describes the options)\n";
        return kOtherError;
    }
    if (help) {
        std::cout << kUsage;
        return kCompleted;
    }

    TimedPlatform platform(makeSystemPlatform());
    HeadlessOperator op;
    op.onLog = [](const std::string& line) { std::cout << line << "\n" << std::flush; };
    op.onBox = printBox;
    FormCore form(platform, op, options.files);

    if (options.summary) return printSummary(form, op, options);

    try {
        form.FormCreate();
    } catch (const std::exception& e) {
        op.error(e.what());
        return form.erpConnected ? kOtherError : kConnectionFailed;
    }

    // The choices of this run: the command line over the settings file.
    op.setDate(options.date ? *dates::parseDate(*options.date) : platform.now().date);
    if (options.mode) op.setTransferMode(*options.mode);
    if (options.allDates) op.setAllDates(*options.allDates);
    if (options.machines) {
        if (!op.tickMachines(*options.machines)) {
            op.error("--machines names a machine that is not in MCH_ITEM");
            return kOtherError;
        }
    } else {
        op.tickAllMachines();
    }

    // One automatic transfer at a time from this folder. Holding this lock also tells us that a claim
    // mark found below belongs to a run that is over.
    std::unique_ptr<FileLock> runLock;
    const auto claimMark = platform.programDirectory() / kClaimMarkFile;
    try {
        runLock = FileLock::tryAcquire(platform.programDirectory() / kRunLockFile);
    } catch (const std::exception& e) {
        op.error(e.what());
        return kOtherError;
    }
    if (!runLock) {
        op.error("another automatic transfer is running from this folder");
        return kRefused;
    }

    try {
        if (const auto status = claimState(form, platform, op, options.force, claimMark)) return *status;
    } catch (const std::exception& e) {
        op.error(e.what());
        return form.erpConnected ? kOtherError : kConnectionFailed;
    }

    const auto start = std::chrono::steady_clock::now();
    transfer::TransferRun run(form, {.skipCollector = options.skipCollector});
    int status = kCompleted;
    try {
        run.bsSkinButton1Click();
        if (run.connectFailure()) status = kConnectionFailed;
    } catch (const transfer::Abort& quiet) {
        status = quiet.reason() == transfer::QuietEnd::SevereAnomaly ? kSevereAnomaly : kRefused;
    } catch (const db::DbError& e) {
        op.error(e.what());
        status = e.isConnectionLost() ? kConnectionFailed : kOtherError;
    } catch (const std::exception& e) {
        op.error(e.what());
        status = kOtherError;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;

    // The state goes back whatever happened; a failure here is reported but does not hide the run's
    // own outcome unless the run had completed.
    try {
        form.releaseTransferState();
        std::error_code ignored;
        std::filesystem::remove(claimMark, ignored);
    } catch (const std::exception& e) {
        op.error(e.what());
        if (status == kCompleted) status = kOtherError;
    }

    if (options.stats) {
        using seconds = std::chrono::duration<double>;
        const double work = seconds(elapsed - platform.waited).count();
        const auto& c = run.counts();
        std::cerr << "stats: " << c.billsCopied << " bills and " << c.linesCopied << " lines copied in "
                  << seconds(elapsed).count() << " s, " << work << " s without the fixed waits";
        if (work > 0)
            std::cerr << " (" << static_cast<long>(c.billsCopied / work) << " bills/s, "
                      << static_cast<long>(c.linesCopied / work) << " lines/s)";
        std::cerr << "\n";
    }
    return status;
}
