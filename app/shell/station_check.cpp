#include "app/shell/station_check.h"

#include "app/shell/auto_claim.h"
#include "app/shell/date_forms.h"
#include "app/shell/machine_list.h"
#include "base/ini_file.h"
#include "base/text.h"
#include "db/connection_params.h"

#include <algorithm>
#include <filesystem>

namespace lumvik {

std::string checkLineText(const CheckLine& line) {
    const char* level = line.level == CheckLevel::Ok     ? "OK  "
                        : line.level == CheckLevel::Warn ? "WARN"
                                                         : "FAIL";
    return std::string(level) + " " + line.subject + ": " + line.text;
}

StationCheck::StationCheck(FormCore& form, Report report) : form_(form), report_(std::move(report)) {}

void StationCheck::report(CheckLevel level, const std::string& subject, const std::string& text) {
    if (level == CheckLevel::Warn) ++warnings_;
    if (level == CheckLevel::Fail) ++failures_;
    // A server's text may run over several lines; a check stays one.
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    report_({level, subject, line});
}

int StationCheck::run(const CheckOptions& options) {
    checkSettings();
    checkConnectionsFile();
    const bool erp = connect(form_.SQLConnection1, "ERP database", "");
    db::writeStoreParams(form_.SQLConSource, settings_.source, settings_.serverKind);
    const bool store = !text::trimmed(settings_.source).empty() &&
                       connect(form_.SQLConSource, "store database", text::trimmed(settings_.source));
    if (store) checkTables(db::Side::Store, form_.SQLConSource);
    if (erp) {
        checkTables(db::Side::Erp, form_.SQLConnection1);
        checkTransferState();
        checkTempProduct();
        checkMachines(options);
        checkClosedDay(options);
    }
    checkSiblings();
    std::vector<db::LookupIndex> missingStore, missingErp;
    if (store) missingStore = checkIndexes(db::Side::Store, form_.SQLConSource);
    if (erp) missingErp = checkIndexes(db::Side::Erp, form_.SQLConnection1);
    if (store) checkRoundTrip(db::Side::Store, form_.SQLConSource);
    if (erp) checkRoundTrip(db::Side::Erp, form_.SQLConnection1);

    if (options.createIndexes) {
        // The warnings of the indexes made no longer stand.
        if (createIndexes(db::Side::Store, form_.SQLConSource, missingStore))
            warnings_ -= static_cast<int>(missingStore.size());
        if (createIndexes(db::Side::Erp, form_.SQLConnection1, missingErp))
            warnings_ -= static_cast<int>(missingErp.size());
    }
    return failures_ > 0 ? kCheckFailed : warnings_ > 0 ? kCheckWarnings : kCheckAllOk;
}

void StationCheck::checkSettings() {
    const std::string subject = "settings";
    const std::filesystem::path file = form_.settingsFile();
    const IniFile ini(file);
    settings_ = readSettings(file);
    if (!ini.existed()) {
        report(CheckLevel::Fail, subject, file.string() + " is missing or cannot be read");
        return;
    }
    settingsRead_ = true;
    if (text::trimmed(settings_.source).empty()) {
        report(CheckLevel::Fail, subject, file.string() + " names no store database (Source)");
        return;
    }
    std::string absent;
    for (const char* key : {"Source", "Target", "Class", "ServerClass", "Auto", "tempid"})
        if (!ini.value(kSettingsSection, key)) absent += (absent.empty() ? "" : ", ") + std::string(key);
    const std::string summary = file.string() + ": store database " + text::trimmed(settings_.source) +
                                ", mode " + std::to_string(settings_.transferMode) + ", server kind " +
                                (settings_.serverKind == 0   ? "Windows"
                                 : settings_.serverKind == 1 ? "Linux"
                                                             : "none") +
                                ", temporary product " + text::trimmed(settings_.tempProduct);
    if (!absent.empty())
        report(CheckLevel::Warn, subject, summary + "; without " + absent + " (read as empty or 0)");
    else
        report(CheckLevel::Ok, subject, summary);
}

void StationCheck::checkConnectionsFile() {
    const std::string subject = "connections";
    const std::filesystem::path& file = form_.connectionsFile();
    const IniFile ini(file);
    const std::string entry = std::string("[") + db::kErpEntryName + "]";
    if (!ini.existed())
        report(CheckLevel::Fail, subject, file.string() + " is missing or cannot be read");
    else if (!ini.hasSection(db::kErpEntryName))
        report(CheckLevel::Fail, subject, file.string() + " has no section " + entry);
    else if (ini.readString(db::kErpEntryName, "DriverName").empty())
        report(CheckLevel::Fail, subject, file.string() + " " + entry + " has no DriverName");
    else if (text::trimmed(ini.readString(db::kErpEntryName, "Database")).empty())
        report(CheckLevel::Fail, subject, file.string() + " " + entry + " has no Database");
    else
        report(CheckLevel::Ok, subject,
               file.string() + " " + entry + ": ERP database " +
                   text::trimmed(ini.readString(db::kErpEntryName, "Database")));
}

bool StationCheck::connect(db::Connection& connection, const std::string& subject,
                           const std::string& database) {
    try {
        connection.open();
    } catch (const std::exception& e) {
        report(CheckLevel::Fail, subject, std::string("cannot connect: ") + e.what());
        return false;
    }
    const std::string name =
        database.empty() ? text::trimmed(connection.params().value("Database")) : database;
    report(CheckLevel::Ok, subject, "connected to " + name);
    return true;
}

bool StationCheck::openOrFail(db::RowSet& rows, const std::string& subject, const std::string& sql,
                              const std::string& param, const std::string& value) {
    try {
        rows.setCommandText(sql);
        if (!param.empty()) rows.setParam(param, db::Value(value));
        rows.open();
    } catch (const std::exception& e) {
        report(CheckLevel::Fail, subject, e.what());
        return false;
    }
    return true;
}

void StationCheck::checkTransferState() {
    const std::string subject = "transfer state";
    db::RowSet rows(&form_.SQLConnection1, "check");
    if (!openOrFail(rows, subject, "SELECT STATE FROM TRAN_STATE")) return;
    if (rows.recordCount() == 0) {
        report(CheckLevel::Fail, subject,
               "TRAN_STATE is empty, so every station would claim the state at once; it needs its one row: "
               "INSERT INTO TRAN_STATE (STATE) VALUES ('0')");
        return;
    }
    rows.first();
    const std::string stateText = rows.field("STATE").asString();
    const int state = text::parseWhole(stateText, 0);
    std::string text = "STATE '" + stateText + "' reads " + std::to_string(state);
    CheckLevel level = CheckLevel::Ok;
    if (state == 1) {
        level = CheckLevel::Warn;
        text +=
            ": a station holds it (a window is open, or was left without giving it back); a transfer is "
            "refused until it reads 0, or run with --force";
    } else if (state == 2) {
        level = CheckLevel::Warn;
        const bool ours =
            form_.platform().fileExists(form_.platform().programDirectory() / kClaimMarkFileName);
        text += ours ? ": left by a transfer from this folder that did not end; the next one takes it over"
                     : ": an automatic transfer holds it (running, or ended without giving it back); a "
                       "transfer is refused until it reads 0, or run with --force";
    } else {
        text += ": nobody holds it";
    }
    if (rows.recordCount() > 1) {
        level = CheckLevel::Warn;
        text = "TRAN_STATE has " + std::to_string(rows.recordCount()) +
               " rows where it should have one (the state is read from the first); " + text;
    }
    report(level, subject, text);
}

void StationCheck::checkTempProduct() {
    // Without settings file, its line has said all there is to say.
    if (!settingsRead_) return;
    const std::string subject = "temporary product";
    const std::string code = text::trimmed(settings_.tempProduct);
    if (code.empty()) {
        report(CheckLevel::Fail, subject, "the settings name none (tempid): every transfer is refused");
        return;
    }
    db::RowSet rows(&form_.SQLConnection1, "check");
    if (!openOrFail(rows, subject, "SELECT PROD_ID FROM PRODUCT WHERE PROD_ID = :CODE", "CODE", code)) return;
    if (rows.recordCount() == 0)
        report(CheckLevel::Fail, subject, code + " is not in PRODUCT: every transfer is refused");
    else
        report(CheckLevel::Ok, subject, code + " is in PRODUCT");
}

void StationCheck::checkMachines(const CheckOptions& options) {
    const std::string subject = "machines";
    db::RowSet rows(&form_.SQLConnection1, "check");
    std::vector<std::string> numbers;
    try {
        rows.setCommandText(kMachineListQuery);
        rows.open();
        for (rows.first(); !rows.eof(); rows.next())
            numbers.push_back(
                machineNumber(machineEntry(rows.field(0).asString(), rows.field(1).asString())));
    } catch (const std::exception& e) {
        report(CheckLevel::Fail, subject, e.what());
        return;
    }
    if (numbers.empty()) {
        report(CheckLevel::Fail, subject,
               "MCH_ITEM lists no machine: nothing is collected and every bill fails its machine look-up");
        return;
    }
    // The machine list takes the table's first column for the machine number.
    if (const std::string first = rows.columns().at(0).name; text::upperAscii(first) != "MCH_NO") {
        report(CheckLevel::Fail, subject,
               "the first column of MCH_ITEM is " + first + ", but the machine list takes it for MCH_NO");
        return;
    }
    std::string listed, unknown;
    for (const auto& number : numbers)
        listed += (listed.empty() ? "" : ", ") + number;
    for (const auto& asked : options.machines.value_or(std::vector<std::string>{}))
        if (std::find(numbers.begin(), numbers.end(), asked) == numbers.end())
            unknown += (unknown.empty() ? "" : ", ") + asked;
    const std::string text = std::to_string(numbers.size()) + " in MCH_ITEM (" + listed + ")";
    if (!unknown.empty())
        report(CheckLevel::Fail, subject,
               text + "; --machines names " + unknown + ", which it does not list");
    else
        report(CheckLevel::Ok, subject, text);
}

void StationCheck::checkClosedDay(const CheckOptions& options) {
    if (!options.date) return;
    const std::string subject = "closed day";
    const std::string day = dates::gregorianText(*options.date);
    db::RowSet rows(&form_.SQLConnection1, "check");
    if (!openOrFail(rows, subject, "SELECT SAL_DATE FROM X_DAYPOS_MASTER WHERE SAL_DATE = :DAY", "DAY", day))
        return;
    const int mode = options.mode.value_or(settings_.transferMode);
    if (rows.recordCount() == 0)
        report(CheckLevel::Ok, subject, day + " is not closed");
    else if (mode == 1)
        report(CheckLevel::Fail, subject,
               day + " is closed (X_DAYPOS_MASTER): a day transfer (mode 1) is refused");
    else
        report(CheckLevel::Warn, subject,
               day + " is closed (X_DAYPOS_MASTER): a day transfer (mode 1) of it would be refused");
}

void StationCheck::checkSiblings() {
    struct Sibling {
        const char* name;
        const char* role;
        CheckLevel whenMissing;
    };
    // The collector runs before every transfer; the others only after one, or after a severe anomaly.
    for (const Sibling& sibling :
         {Sibling{"Harvo.exe", "the collector, started before every transfer", CheckLevel::Fail},
          Sibling{"Quorrel.exe", "the repair tool, started after a severe anomaly", CheckLevel::Warn},
          Sibling{"Wendry.exe", "the uploader, started after a transfer", CheckLevel::Warn}}) {
        const std::filesystem::path file = form_.platform().programDirectory() / sibling.name;
        std::error_code error;
        const auto status = std::filesystem::status(file, error);
        if (error || !std::filesystem::is_regular_file(status)) {
            report(
                sibling.whenMissing, sibling.name,
                std::string(sibling.role) + ": missing from " + form_.platform().programDirectory().string());
            continue;
        }
#ifndef _WIN32
        using std::filesystem::perms;
        if ((status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) ==
            perms::none) {
            report(sibling.whenMissing, sibling.name,
                   std::string(sibling.role) + ": " + file.string() + " is not executable (chmod +x)");
            continue;
        }
#endif
        report(CheckLevel::Ok, sibling.name, std::string(sibling.role) + ": " + file.string());
    }
}

}  // namespace lumvik
