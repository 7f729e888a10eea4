#include "transfer/claimed_rows.h"

#include "app/shell/date_forms.h"
#include "base/text.h"

#include <set>

namespace lumvik::transfer {

void claimRows(RunContext& run, int mode, const std::string& table, const Claim& claim) {
    const std::string setMark = "UPDATE " + table + " SET TRN_CODE = " + claim.mark + " ";
    if (mode == 0)
        run.form.SQLQuery2.execLines({setMark, claim.notMoved});
    else if (mode == 1)
        run.form.SQLQuery2.execLines(
            {setMark, " WHERE SAL_DATE = " + text::quoted(dates::gregorianToRoc(run.chosenDate))});
}

bool SideKeys::findNothing(const std::vector<db::Value>& key) const {
    if (!index_) return false;
    const auto k = index_->key(key);
    return k && index_->count(*k) == 0;
}

void SideKeys::added(const std::vector<db::Value>& stored) {
    if (!index_) return;
    const auto k = index_->key(stored, true);
    if (k)
        index_->add(*k);
    else
        index_.reset();
}

std::size_t copyClaimedRows(RunContext& run, db::RowSet& rows, const std::string& select,
                            const std::string& erpTable, const std::vector<std::string>& keyColumns,
                            const ClaimedRowCopy& copyRow, const std::function<void()>& finishErp) {
    rows.close();
    rows.setCommandText(select);
    rows.open();
    StatementGroup group(run.form.SQLConnection1);
    std::optional<KeyIndex> index;
    if (rows.recordCount() > 0 && run.plainErpTexts()) {
        std::set<std::string> days;
        for (rows.first(); !rows.eof(); rows.next()) {
            try {
                days.insert(dates::rocToGregorian(rows.field("SAL_DATE").asString()));
            } catch (const std::exception&) {
                // Its own conversion ends the copy when its row comes.
            }
        }
        index = loadKeysOfDates(run.form.SQLConnection1, erpTable, keyColumns, {days.begin(), days.end()},
                                /*nullMatchesNull=*/true);
    }
    {
        // The keys go before the ERP's own work after the rows: they are no longer needed.
        SideKeys keys(std::move(index), run.fromMemory, run.erpBatch());
        for (rows.first(); !rows.eof(); rows.next()) {
            const std::string date = dates::rocToGregorian(rows.field("SAL_DATE").asString());
            db::RowSet& lookup = run.form.CDS_T1;
            lookup.close();
            copyRow(rows, date, lookup, keys);
        }
    }
    if (finishErp) finishErp();
    group.commit();
    return static_cast<std::size_t>(rows.recordCount());
}

bool openLookup(db::RowSet& lookup, const std::string& erpTable, const SideKeys& keys,
                const std::vector<db::Value>& key, const std::function<void()>& open) {
    if (keys.findNothing(key)) {
        lookup.setCommandText("SELECT * FROM " + erpTable);
        lookup.openWithoutRows();
        return true;
    }
    open();
    return lookup.recordCount() == 0;
}

}  // namespace lumvik::transfer
