// The station check's look at the databases' own structure: the tables and columns, the look-up
// indexes, and a Big5 text sent to each server and back.

#include "app/shell/required_schema.h"
#include "app/shell/station_check.h"
#include "base/codepage.h"
#include "base/text.h"

#include <algorithm>

namespace lumvik {

namespace {

const char* sideName(db::Side side) {
    return side == db::Side::Store ? "store" : "ERP";
}

std::string joined(const std::vector<std::string>& items, const char* separator = ", ") {
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// Every row of a catalogue query, each as its columns' texts.
std::vector<std::vector<std::string>> catalogueRows(db::Connection& connection, const std::string& sql) {
    db::RowSet rows(&connection, "check");
    rows.setCommandText(sql);
    rows.open();
    std::vector<std::vector<std::string>> out;
    for (rows.first(); !rows.eof(); rows.next()) {
        std::vector<std::string> row;
        for (int i = 0; i < rows.fieldCount(); ++i)
            row.push_back(text::upperAscii(text::trimmed(rows.field(i).asString())));
        out.push_back(std::move(row));
    }
    return out;
}

// The active indexes of a database: their column lists by table, and every index name.
struct IndexCatalogue {
    std::map<std::string, std::vector<std::vector<std::string>>> columns;
    std::set<std::string> names;
};

IndexCatalogue readIndexes(db::Connection& connection) {
    IndexCatalogue out;
    std::string current;
    for (const auto& row :
         catalogueRows(connection,
                       "SELECT i.RDB$RELATION_NAME, i.RDB$INDEX_NAME, s.RDB$FIELD_NAME FROM RDB$INDICES i "
                       "JOIN RDB$INDEX_SEGMENTS s ON s.RDB$INDEX_NAME = i.RDB$INDEX_NAME "
                       "WHERE COALESCE(i.RDB$INDEX_INACTIVE, 0) = 0 "
                       "ORDER BY i.RDB$INDEX_NAME, s.RDB$FIELD_POSITION")) {
        if (row[1] != current) out.columns[row[0]].emplace_back();
        current = row[1];
        out.names.insert(row[1]);
        out.columns[row[0]].back().push_back(row[2]);
    }
    return out;
}

}  // namespace

void StationCheck::checkTables(db::Side side, db::Connection& connection) {
    const std::string subject = std::string(sideName(side)) + " tables";
    Catalogue& catalogue = catalogue_[static_cast<int>(side)];
    try {
        for (const auto& row :
             catalogueRows(connection, "SELECT RDB$RELATION_NAME, RDB$FIELD_NAME FROM RDB$RELATION_FIELDS"))
            catalogue[row[0]].insert(row[1]);
    } catch (const std::exception& e) {
        report(CheckLevel::Fail, subject, e.what());
        return;
    }
    std::vector<std::string> missingTables, lacking;
    // Tables that lack the same columns the transfer adds itself, told in one sentence.
    std::vector<std::pair<std::string, std::vector<std::string>>> toBeAdded;
    int tables = 0;
    for (const RequiredTable& required : requiredTables()) {
        if (required.side != side) continue;
        ++tables;
        const auto found = catalogue.find(text::upperAscii(required.table));
        if (found == catalogue.end()) {
            missingTables.push_back(required.table);
            continue;
        }
        auto absent = [&](const std::vector<std::string>& columns) {
            std::vector<std::string> out;
            for (const auto& column : columns)
                if (!found->second.count(text::upperAscii(column))) out.push_back(column);
            return out;
        };
        if (const auto columns = absent(required.columns); !columns.empty())
            lacking.push_back(required.table + " lacks " + joined(columns));
        if (const auto columns = absent(required.addedByTransfer); !columns.empty()) {
            const std::string list = joined(columns);
            auto same = std::find_if(toBeAdded.begin(), toBeAdded.end(),
                                     [&](const auto& e) { return e.first == list; });
            if (same == toBeAdded.end()) same = toBeAdded.insert(toBeAdded.end(), {list, {}});
            same->second.push_back(required.table);
        }
    }
    if (!missingTables.empty()) lacking.insert(lacking.begin(), "missing " + joined(missingTables));
    if (!lacking.empty())
        report(CheckLevel::Fail, subject, joined(lacking, "; "));
    else
        report(CheckLevel::Ok, subject,
               "all " + std::to_string(tables) + " tables with the columns a transfer uses");
    for (const auto& [columns, tablesLacking] : toBeAdded)
        report(CheckLevel::Warn, subject,
               joined(tablesLacking) + (tablesLacking.size() == 1 ? " lacks " : " lack ") + columns +
                   ", which the next transfer adds itself");
}

std::vector<db::LookupIndex> StationCheck::checkIndexes(db::Side side, db::Connection& connection) {
    IndexCatalogue indexes;
    try {
        indexes = readIndexes(connection);
    } catch (const std::exception& e) {
        report(CheckLevel::Fail, std::string(sideName(side)) + " indexes", e.what());
        return {};
    }
    const Catalogue& catalogue = catalogue_[static_cast<int>(side)];
    std::vector<db::LookupIndex> missing;
    int present = 0;
    for (db::LookupIndex wanted : db::lookupIndexes(side)) {
        const auto table = catalogue.find(wanted.table);
        // A table or column that is not there is the table check's failure, not an index to make.
        if (table == catalogue.end() ||
            std::any_of(wanted.columns.begin(), wanted.columns.end(),
                        [&](const std::string& c) { return !table->second.count(c); }))
            continue;
        // An index serves the look-up when its first columns are the look-up's, in any order (a key
        // or a unique constraint counts too).
        std::vector<std::string> key = wanted.columns;
        std::sort(key.begin(), key.end());
        bool served = false;
        for (const auto& segments : indexes.columns[wanted.table]) {
            if (segments.size() < key.size()) continue;
            std::vector<std::string> leading(segments.begin(),
                                             segments.begin() + static_cast<long>(key.size()));
            std::sort(leading.begin(), leading.end());
            served = served || leading == key;
        }
        if (served) {
            ++present;
            continue;
        }
        // An index of that name on other columns would make the statement fail.
        for (int n = 2; indexes.names.count(wanted.name); ++n)
            wanted.name = wanted.name.substr(0, 28) + "_" + std::to_string(n);
        indexes.names.insert(wanted.name);
        report(CheckLevel::Warn, std::string(sideName(side)) + " index",
               wanted.describe() + " has no look-up index, so every look-up reads the whole table: " +
                   wanted.statement() + ";");
        missing.push_back(wanted);
    }
    if (missing.empty())
        report(CheckLevel::Ok, std::string(sideName(side)) + " indexes",
               "all " + std::to_string(present) + " look-up indexes are there");
    return missing;
}

bool StationCheck::createIndexes(db::Side side, db::Connection& connection,
                                 const std::vector<db::LookupIndex>& missing) {
    if (missing.empty()) return true;
    // All or none: a half-indexed database would hide which statement failed.
    try {
        connection.beginGroup();
        for (const auto& index : missing)
            connection.execute(index.statement());
        connection.commitGroup();
    } catch (const std::exception& e) {
        connection.rollbackGroup();
        report(CheckLevel::Fail, std::string(sideName(side)) + " indexes",
               std::string("none was created: ") + e.what());
        return false;
    }
    for (const auto& index : missing)
        report(CheckLevel::Ok, std::string(sideName(side)) + " index created", index.statement());
    return true;
}

void StationCheck::checkRoundTrip(db::Side side, db::Connection& connection) {
    const std::string subject = std::string("Big5 round trip (") + sideName(side) + ")";
    // The text goes through the character set of a column that holds the store's Chinese names.
    const std::string table = side == db::Side::Store ? "POS_MAST" : "POS_SUB";
    std::string charset = "NONE";
    try {
        const auto rows =
            catalogueRows(connection,
                          "SELECT c.RDB$CHARACTER_SET_NAME FROM RDB$RELATION_FIELDS r "
                          "JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = r.RDB$FIELD_SOURCE "
                          "JOIN RDB$CHARACTER_SETS c ON c.RDB$CHARACTER_SET_ID = f.RDB$CHARACTER_SET_ID "
                          "WHERE r.RDB$RELATION_NAME = '" +
                              table + "' AND r.RDB$FIELD_NAME = 'CO_NAME'");
        if (!rows.empty() && !rows[0][0].empty() &&
            rows[0][0].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string::npos)
            charset = rows[0][0];
    } catch (const std::exception&) {
        // The table check has said what is wrong; the text still goes through NONE.
    }
    const std::string sent = cp950::toUtf8(kRoundTripBytes);
    const std::string type = "VARCHAR(40) CHARACTER SET " + charset;
    const std::string what =
        "B4 FA B8 D5 FA 40 (" + cp950::toUtf8("\xB4\xFA\xB8\xD5") + " and the user-defined character FA 40)";
    const std::string through = " (through " + table + ".CO_NAME's character set " + charset + ")";
    // The server compares what it received with the code page 950 bytes, and sends it back: a text
    // that came back right only because it was spoilt the same way both ways does not pass.
    db::RowSet rows(&connection, "check");
    try {
        rows.setCommandText(
            "SELECT CAST(:TEXT AS " + type + ") AS ECHO, CASE WHEN CAST(CAST(:TEXT AS " + type +
            ") AS VARCHAR(40) CHARACTER SET OCTETS) = x'B4FAB8D5FA40' THEN 1 ELSE 0 END AS SAME "
            "FROM RDB$DATABASE");
        rows.setParam("TEXT", db::Value(sent));
        rows.open();
    } catch (const std::exception& e) {
        report(CheckLevel::Fail, subject, "the server refused " + what + through + ": " + e.what());
        return;
    }
    if (rows.field("SAME").asString() != "1")
        report(CheckLevel::Fail, subject, "the server received other bytes than " + what + through);
    else if (rows.field("ECHO").asString() != sent)
        report(CheckLevel::Fail, subject, what + " came back as other bytes" + through);
    else
        report(CheckLevel::Ok, subject, what + " went to the server and came back unchanged" + through);
}

}  // namespace lumvik
