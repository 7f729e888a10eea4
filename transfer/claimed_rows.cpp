#include "transfer/claimed_rows.h"

#include "app/shell/date_forms.h"
#include "base/text.h"

namespace lumvik::transfer {

void claimRows(RunContext& run, int mode, const std::string& table, const Claim& claim) {
    const std::string setMark = "UPDATE " + table + " SET TRN_CODE = " + claim.mark + " ";
    if (mode == 0)
        run.form.SQLQuery2.execLines({setMark, claim.notMoved});
    else if (mode == 1)
        run.form.SQLQuery2.execLines(
            {setMark, " WHERE SAL_DATE = " + text::quoted(dates::gregorianToRoc(run.chosenDate))});
}

std::size_t copyClaimedRows(RunContext& run, db::RowSet& rows, const std::string& select,
                            const ClaimedRowCopy& copyRow, const std::function<void()>& finishErp) {
    rows.close();
    rows.setCommandText(select);
    rows.open();
    StatementGroup group(run.form.SQLConnection1);
    for (rows.first(); !rows.eof(); rows.next()) {
        const std::string date = dates::rocToGregorian(rows.field("SAL_DATE").asString());
        db::RowSet& lookup = run.form.CDS_T1;
        lookup.close();
        copyRow(rows, date, lookup);
    }
    if (finishErp) finishErp();
    group.commit();
    return static_cast<std::size_t>(rows.recordCount());
}

}  // namespace lumvik::transfer
