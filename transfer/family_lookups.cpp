#include "transfer/family_lookups.h"

#include "app/shell/date_forms.h"
#include "base/text.h"

#include <set>

namespace lumvik::transfer {

using db::Value;

namespace {

// Bills whose store lines are read together; their rows stay in memory until the next window.
constexpr int kBillsPerWindow = 10000;

// What "SELECT * FROM POSTOSALE WHERE SAL_DATE = '9999'" finds, the look-up of bills that are never
// skipped: the same for every bill.
bool exportedAlways(RunContext& run) {
    db::SqlQuery& q = run.form.SQL_TQuery;
    q.close();
    q.sql().clear();
    q.sql().add("SELECT * FROM POSTOSALE ");
    q.sql().add("WHERE SAL_DATE = '9999' ");
    q.open();
    const bool found = !q.field("SAL_NO").isNull();
    q.close();
    return found;
}

}  // namespace

std::optional<bool> FamilyLookups::holds(const std::optional<KeyIndex>& index, const std::string& date,
                                         const std::string& number) {
    if (!index) return std::nullopt;
    const auto key = index->key({Value(date), Value(number)});
    if (!key) return std::nullopt;
    return index->count(*key) > 0;
}

void FamilyLookups::added(std::optional<KeyIndex>& index, const std::string& date,
                          const std::string& number) {
    if (!index) return;
    const auto key = index->key({Value(date), Value(number)}, true);
    if (key)
        index->add(*key);
    else
        index.reset();
}

void FamilyLookups::removed(std::optional<KeyIndex>& index, const std::string& date,
                            const std::string& number) {
    if (!index) return;
    const auto key = index->key({Value(date), Value(number)});
    if (key)
        index->removeAll(*key);
    else
        index.reset();
}

FamilyLookups loadFamilyLookups(RunContext& run, const db::Family& family, db::RowSet& bills) {
    FamilyLookups lookups;
    if (!run.fromMemory) return lookups;
    if (run.plainErpTexts()) {
        std::set<std::string> distinct;
        for (bills.first(); !bills.eof(); bills.next()) {
            try {
                distinct.insert(dates::rocToGregorian(bills.field("SAL_DATE").asString()));
            } catch (const std::exception&) {
                // A bill whose date is no date fails at its own look-up, as before.
            }
        }
        const std::vector<std::string> days(distinct.begin(), distinct.end());
        db::Connection& erp = run.form.SQLConnection1;
        if (family.index >= 2 || run.op().transferMode() == 2)
            lookups.exportedAlways = exportedAlways(run);
        else
            lookups.exported = loadKeysOfDates(erp, "POSTOSALE", {"SAL_DATE", "SAL_NO"}, days);
        lookups.bills = loadKeysOfDates(erp, family.erpMaster, {"SAL_DATE", "SAL_NO"}, days);
        lookups.lines = loadKeysOfDates(erp, family.erpLines, {"SAL_DATE", "SAL_NO"}, days);
    }
    if (run.plainStoreTexts())
        lookups.storeLines = StoreLines::forTable(run.form.SQLConSource, family.storeLines);
    bills.first();
    return lookups;
}

void readStoreLinesFor(FamilyLookups& lookups, db::RowSet& bills) {
    const int at = bills.position();
    if (!lookups.storeLines || at < lookups.windowEnd) return;
    const int end = std::min(at + kBillsPerWindow, bills.recordCount());
    std::vector<std::pair<std::string, std::string>> window;
    for (int row = at; row < end; ++row) {
        bills.moveTo(row);
        window.emplace_back(bills.field("SAL_DATE").asString(),
                            text::trimmed(bills.field("SAL_NO").asString()));
    }
    bills.moveTo(at);
    if (lookups.storeLines->read(window))
        lookups.windowEnd = end;
    else
        lookups.storeLines.reset();
}

}  // namespace lumvik::transfer
