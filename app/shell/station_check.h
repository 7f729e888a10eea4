#pragma once

// The station check: will a transfer work on this station? It reads the settings and connection files,
// opens both databases, and looks at everything a run relies on (tables and columns, the transfer
// state, the temporary product, the machines, the day, the sibling programs, the look-up indexes, the
// Big5 texts), without writing to the user's tables. One line per check: OK, WARN (the run works, but
// not as well as it could, or someone should look) or FAIL (the run will not do its work).
//
// Threading: the caller's thread, like the rest of the station core.

#include "app/shell/form_core.h"
#include "app/shell/settings.h"
#include "db/lookup_indexes.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lumvik {

enum class CheckLevel { Ok, Warn, Fail };

struct CheckLine {
    CheckLevel level;
    std::string subject;
    std::string text;
};

// "OK   subject: text", "WARN subject: text", "FAIL subject: text".
[[nodiscard]] std::string checkLineText(const CheckLine& line);

struct CheckOptions {
    // The business day whose closing is checked (none: not checked).
    std::optional<std::chrono::year_month_day> date;
    // The transfer mode of the runs to come; the settings file's when not given.
    std::optional<int> mode;
    // The machines the runs will tick; every machine when not given.
    std::optional<std::vector<std::string>> machines;
    // After the check, create the missing look-up indexes (one transaction per database).
    bool createIndexes = false;
};

// Exit statuses of the check.
inline constexpr int kCheckAllOk = 0;
inline constexpr int kCheckWarnings = 1;
inline constexpr int kCheckFailed = 2;

class StationCheck {
  public:
    using Report = std::function<void(const CheckLine&)>;

    // The form gives the files and the two connections; `report` receives every line as it is found.
    StationCheck(FormCore& form, Report report);

    // Runs every check; kCheckAllOk, kCheckWarnings or kCheckFailed. Missing indexes that
    // createIndexes made no longer count.
    [[nodiscard]] int run(const CheckOptions& options);

    // The character the round trip sends besides two common ones: Big5 user-defined FA 40.
    static constexpr const char* kRoundTripBytes = "\xB4\xFA\xB8\xD5\xFA\x40";  // 測試 and FA 40

  private:
    using Catalogue = std::map<std::string, std::set<std::string>>;  // upper-case table -> columns

    void report(CheckLevel level, const std::string& subject, const std::string& text);
    void checkSettings();
    void checkConnectionsFile();
    bool connect(db::Connection& connection, const std::string& subject, const std::string& database);
    // Opens `rows` on `sql`, with one named parameter when `param` is given; a failure is the
    // subject's FAIL line, and false.
    bool openOrFail(db::RowSet& rows, const std::string& subject, const std::string& sql,
                    const std::string& param = {}, const std::string& value = {});
    void checkTransferState();
    void checkTempProduct();
    void checkMachines(const CheckOptions& options);
    void checkClosedDay(const CheckOptions& options);
    void checkSiblings();

    // station_check_schema.cpp: the databases' own structure.
    void checkTables(db::Side side, db::Connection& connection);
    [[nodiscard]] std::vector<db::LookupIndex> checkIndexes(db::Side side, db::Connection& connection);
    void checkRoundTrip(db::Side side, db::Connection& connection);
    bool createIndexes(db::Side side, db::Connection& connection,
                       const std::vector<db::LookupIndex>& missing);

    FormCore& form_;
    Report report_;
    Settings settings_;
    bool settingsRead_ = false;
    Catalogue catalogue_[2];  // by db::Side
    int warnings_ = 0;
    int failures_ = 0;
};

}  // namespace lumvik
