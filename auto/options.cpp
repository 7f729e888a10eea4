#include "auto/options.h"

#include "app/shell/date_forms.h"
#include "app/shell/settings.h"
#include "base/text.h"

#include <algorithm>
#include <set>

namespace lumvik::autorun {

const char* const kUsage =
    R"(Usage: lumvik-auto [options]

Runs one transfer from the store database to the ERP database, as the OK button of the window does,
with the settings file and the connection definitions of its station folder: the folder given by
--folder, else the one $LUMVIK_FOLDER names, else the program's own folder. That folder also holds
LOC_IP.TXT, the lock and the sibling programs.

Options:
  --date YYYY/MM/DD     the business day (default: today)
  --mode 0|1|2          0 everything not yet moved, 1 the day again, 2 bills the sales-order check
                        reports (default: the settings file's Class)
  --machines LIST|all|none
                        machine numbers to tick, comma-separated; none or "" ticks none (default: all)
  --all-dates           verify every date, not only the chosen one
  --no-all-dates        verify the chosen date only (default: the settings file's Auto)
  --skip-collector      do not start or wait for the collector (the store is already collected)
  --folder DIR          the station folder, which must be there (default: $LUMVIK_FOLDER, else the
                        program's own folder)
  --settings FILE       the settings file, which must be there (default: FormLumvik.ini in the
                        station folder)
  --connections FILE    the connection definitions, which must be there (default: dbxconnections.ini
                        in the station folder)
  --lock-wait SECONDS   how long a statement waits for a row another connection holds (an ERP user
                        editing a bill) before the run ends, 0 to 32767, 0 not at all (default: the
                        settings file's [Lumvik] LockWait, else 60)
  --force               run even when another station or transfer holds the transfer state
  --stats               print the counts and the work time to standard error at the end
  --summary             no transfer: print the daily summary of --date (default today) as the window's
                        log pane shows it, then remove its scratch table and view
  --check               no transfer: check the station (files, both databases, tables and columns,
                        transfer state, temporary product, machines, the day of --date, sibling
                        programs, look-up indexes, Big5 texts), one line per check: OK, WARN or FAIL
  --create-indexes      with --check: create the missing look-up indexes after the check
  --history [N]         no transfer: the last N runs of this station (default 10) from lumvik-runs.jsonl
  --help                this text

An option may be given once; --all-dates and --no-all-dates not together.

Every line of the log goes to standard output (UTF-8); message boxes go to standard error as
"warning: TEXT", "information: TEXT" and "error: TEXT".

While it runs it holds the transfer state (TRAN_STATE reads 2) and gives it back (0) when it ends,
also when it fails. It refuses to start while the state reads 1 or 2, unless --force; a 2 left by a
transfer from the same folder that was killed is taken over. Only one transfer runs from a folder at
a time (lumvik-auto.lock in the station folder).

SIGTERM, SIGINT or SIGHUP stops the run at its next step: the unfinished statement group is rolled
back, the transfer state given back, and it exits within 10 seconds with status 5 (a statement still
running after a second is cancelled). A second signal ends it at once, as a kill would; the next run
then takes the state over. A lock that another connection holds for longer than --lock-wait ends
the run with a line naming the table and the step, and status 4; nothing is lost. A "day again" run
(mode 1) that did not finish is done again, without the collector, by the next run before its own.

Exit status: 0 the run completed; 1 refused (closed day, temporary product missing, transfer state
held); 2 severe anomaly (bills stay inconsistent); 3 a connection failed or was lost; 4 any other
error (bad options, a named file that is not there, a settings file that cannot be read, a lock held
too long); 5 stopped by a signal. --check exits 0 when every check is OK, 1 with warnings only, 2 with a
failure.

Every transfer adds a start line and an end line to lumvik-runs.jsonl in the station folder. When
standard error is a terminal, a progress line (table family, bills done, rate) is redrawn there.
)";

namespace {

// The machine numbers of a list; "none" and the empty list tick none. Nothing when an item is empty
// ("01,,02", ","): a slip of the pen that must not quietly tick fewer machines.
std::optional<std::vector<std::string>> machineList(const std::string& list) {
    std::vector<std::string> out;
    const std::string whole = text::trimmed(list);
    if (whole.empty() || whole == "none") return out;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(whole.find(',', begin), whole.size());
        const std::string item = text::trimmed(std::string_view(whole).substr(begin, end - begin));
        if (item.empty()) return std::nullopt;
        out.push_back(item);
        if (end == whole.size()) return out;
        begin = end + 1;
    }
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
        if (!value) return "--machines takes a list of machine numbers, all or none";
        const auto list = machineList(*value);
        if (!list) return "--machines " + *value + " has an empty item";
        if (text::trimmed(*value) == "all")
            o.machines.reset();
        else
            o.machines = *list;
    } else if (option == "--folder") {
        if (!value || value->empty()) return "--folder takes a folder";
        o.folder = *value;
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
        {"--help", &o.help},
        {"--skip-collector", &o.skipCollector},
        {"--force", &o.force},
        {"--stats", &o.stats},
        {"--summary", &o.summary},
        {"--check", &o.check},
        {"--create-indexes", &o.createIndexes},
    };
    const std::vector<std::string> valued = {"--date",     "--mode",        "--machines", "--folder",
                                             "--settings", "--connections", "--lock-wait"};
    // A second value would silently win over the first; refused rather than guessed at.
    std::set<std::string> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg = args[i] == "-h" ? "--help" : args[i];
        if (arg == "--all-dates" || arg == "--no-all-dates") {
            if (o.allDates && *o.allDates != (arg == "--all-dates"))
                return "--all-dates and --no-all-dates contradict each other";
            if (o.allDates) return arg + " is given twice";
            o.allDates = arg == "--all-dates";
            continue;
        }
        if (arg == "--history") {
            if (!given.insert(arg).second) return arg + " is given twice";
            // The count is optional: a number after it is the count, anything else the next option.
            const auto count = i + 1 < args.size() ? text::tryParseWhole(args[i + 1]) : std::nullopt;
            if (count && *count < 1) return "--history takes a number of runs of at least 1";
            if (count) ++i;
            o.history = count.value_or(kHistoryRuns);
            continue;
        }
        const auto isSwitch = std::find_if(switches.begin(), switches.end(),
                                           [&](const auto& entry) { return entry.first == arg; });
        const bool isValued = std::find(valued.begin(), valued.end(), arg) != valued.end();
        if (isSwitch == switches.end() && !isValued) return "unknown option " + args[i];
        if (!given.insert(arg).second) return arg + " is given twice";
        if (isSwitch != switches.end()) {
            *isSwitch->second = true;
            continue;
        }
        const std::optional<std::string> value =
            i + 1 < args.size() ? std::optional<std::string>(args[++i]) : std::nullopt;
        if (auto error = takeValue(arg, value, o)) return error;
    }
    if (o.createIndexes && !o.check) return "--create-indexes goes with --check";
    if (int(o.check) + int(o.summary) + int(o.history.has_value()) > 1)
        return "--check, --summary and --history are separate runs: give one of them";
    return std::nullopt;
}

}  // namespace lumvik::autorun
