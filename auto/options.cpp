#include "auto/options.h"

#include "app/shell/date_forms.h"
#include "app/shell/settings.h"
#include "base/text.h"

#include <algorithm>
#include <sstream>

namespace lumvik::autorun {

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
  --lock-wait SECONDS   how long a statement waits for a row another connection holds (an ERP user
                        editing a bill) before the run ends, 0 to 32767, 0 not at all (default: the
                        settings file's [Lumvik] LockWait, else 60)
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

SIGTERM, SIGINT or SIGHUP stops the run at its next step: the unfinished statement group is rolled
back, the transfer state given back, and it exits within 10 seconds with status 5 (a statement still
running after a second is cancelled). A second signal ends it at once, as a kill would; the next run
then takes the state over. A lock that another connection holds for longer than --lock-wait ends
the run with a line naming the table and the step, and status 4; nothing is lost. A "day again" run
(mode 1) that did not finish is done again, without the collector, by the next run before its own.

Exit status: 0 the run completed; 1 refused (closed day, temporary product missing, transfer state
held); 2 severe anomaly (bills stay inconsistent); 3 a connection failed or was lost; 4 any other
error (a lock held too long included); 5 stopped by a signal.
)";

namespace {

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> out;
    std::stringstream in(list);
    for (std::string item; std::getline(in, item, ',');)
        if (!text::trimmed(item).empty()) out.push_back(text::trimmed(item));
    return out;
}

// The options that take a value: what they do with it, or the error text when it is not theirs.
std::optional<std::string> takeValue(const std::string& option, const std::optional<std::string>& value,
                                     Options& o) {
    if (option == "--date") {
        if (!value || !dates::parseDate(*value)) return "--date takes a date YYYY/MM/DD";
        o.date = *value;
    } else if (option == "--mode") {
        const auto mode = value ? text::tryParseWhole(*value) : std::nullopt;
        if (!mode || *mode < 0 || *mode > 2) return "--mode takes 0, 1 or 2";
        o.mode = *mode;
    } else if (option == "--machines") {
        if (!value || text::trimmed(*value).empty())
            return "--machines takes a list of machine numbers or all";
        if (text::trimmed(*value) == "all")
            o.machines.reset();
        else
            o.machines = splitList(*value);
    } else if (option == "--lock-wait") {
        const auto seconds = value ? text::tryParseWhole(*value) : std::nullopt;
        if (!seconds || *seconds < 0 || *seconds > kMaxLockWaitSeconds)
            return "--lock-wait takes a number of seconds from 0 to " + std::to_string(kMaxLockWaitSeconds);
        o.lockWait = *seconds;
    } else if (option == "--settings") {
        if (!value) return "--settings takes a file";
        o.files.settings = *value;
    } else if (option == "--connections") {
        if (!value) return "--connections takes a file";
        o.files.connections = *value;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> parseOptions(const std::vector<std::string>& args, Options& o) {
    const std::vector<std::pair<std::string, bool*>> switches = {
        {"--help", &o.help},   {"-h", &o.help},       {"--skip-collector", &o.skipCollector},
        {"--force", &o.force}, {"--stats", &o.stats}, {"--summary", &o.summary},
    };
    const std::vector<std::string> valued = {"--date",     "--mode",        "--machines",
                                             "--settings", "--connections", "--lock-wait"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--all-dates" || arg == "--no-all-dates") {
            o.allDates = arg == "--all-dates";
            continue;
        }
        bool known = false;
        for (const auto& [name, flag] : switches)
            if (arg == name) *flag = known = true;
        if (known) continue;
        if (std::find(valued.begin(), valued.end(), arg) == valued.end()) return "unknown option " + arg;
        const std::optional<std::string> value =
            i + 1 < args.size() ? std::optional<std::string>(args[++i]) : std::nullopt;
        if (auto error = takeValue(arg, value, o)) return error;
    }
    return std::nullopt;
}

}  // namespace lumvik::autorun
