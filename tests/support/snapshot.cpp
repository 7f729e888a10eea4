#include "tests/support/snapshot.h"

#include "tests/support/run_fixture.h"

#include <algorithm>
#include <iterator>
#include <sstream>

namespace lumvik::testing {

namespace {

void addTables(Snapshot& snapshot, const std::string& database, const std::string& prefix, bool changeDates,
               const std::string& password = kTestPassword) {
    auto connection = embeddedConnection(database, "snapshot");
    connection->params().set("Password", password);
    for (const std::string& table :
         rowsOf(*connection,
                "SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 "
                "AND RDB$VIEW_BLR IS NULL ORDER BY 1")) {
        TableRows& t = snapshot[prefix + table];
        for (const std::string& column : rowsOf(*connection,
                                                "SELECT TRIM(RDB$FIELD_NAME) FROM RDB$RELATION_FIELDS WHERE "
                                                "RDB$RELATION_NAME = '" +
                                                    table + "' ORDER BY RDB$FIELD_POSITION")) {
            std::string upper = column;
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            // Filled with the day the run runs on, not from the data. (MEMPOINT_USED.CR_DATETIME is
            // the bill's own date and time, so it is compared.)
            if (changeDates || upper != "CHG_DATE") t.columns += (t.columns.empty() ? "" : ",") + column;
        }
        t.rows = rowsOf(*connection, "SELECT " + t.columns + " FROM " + table);
        std::sort(t.rows.begin(), t.rows.end());
    }
    connection->close();
}

}  // namespace

Snapshot snapshotOf(const std::filesystem::path& folder, bool changeDates) {
    Snapshot snapshot;
    addTables(snapshot, (folder / "store.fdb").string(), "store.", changeDates);
    addTables(snapshot, (folder / "erp.fdb").string(), "erp.", changeDates);
    return snapshot;
}

Snapshot snapshotOf(const std::string& store, const std::string& erp, bool changeDates,
                    const std::string& password) {
    Snapshot snapshot;
    addTables(snapshot, store, "store.", changeDates, password);
    addTables(snapshot, erp, "erp.", changeDates, password);
    return snapshot;
}

std::string differences(const Snapshot& reference, const Snapshot& other, bool includeState) {
    std::ostringstream out;
    Snapshot all = reference;
    all.insert(other.begin(), other.end());
    for (const auto& [name, unused] : all) {
        const TableRows none{"(no such table)", {}};
        const TableRows& r = reference.contains(name) ? reference.at(name) : none;
        const TableRows& o = other.contains(name) ? other.at(name) : none;
        if ((!includeState && name == "erp.TRAN_STATE") || (r.columns == o.columns && r.rows == o.rows))
            continue;
        out << name << " (" << r.columns << (r.columns == o.columns ? "" : " became " + o.columns) << "):\n";
        std::vector<std::string> missing, extra;
        std::ranges::set_difference(r.rows, o.rows, std::back_inserter(missing));
        std::ranges::set_difference(o.rows, r.rows, std::back_inserter(extra));
        for (const auto& row : missing)
            out << "  - " << row << "\n";
        for (const auto& row : extra)
            out << "  + " << row << "\n";
    }
    return out.str();
}

}  // namespace lumvik::testing
