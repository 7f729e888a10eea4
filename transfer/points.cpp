#include "transfer/points.h"

#include "transfer/bill_state.h"
#include "transfer/claimed_rows.h"
#include "transfer/keyed_write.h"
#include "transfer/texts.h"

namespace lumvik::transfer {

using db::Value;

namespace {

void writePointRow(const db::RowSet& row, const std::string& date, db::RowSet& lookup, SideKeys& keys) {
    const Value salNo(row.field("SAL_NO").asString());
    // A row without a member is not written: its look-up is of no use.
    const bool noMember = row.field("MEMBER_ID").asString().empty();
    if (noMember && keys.fromMemory()) return;
    const bool added = openLookup(lookup, "POINT_MASTER", keys, {Value(date), salNo}, [&] {
        // Compared as wide texts: a store SAL_NO longer than the ERP's finds no row instead of failing.
        lookup.setCommandText("Select * from POINT_MASTER  WHERE SAL_DATE = " + wideKey(":SAL_DATE") +
                              "  AND SAL_NO = " + wideKey(":SAL_NO") + " ");
        lookup.setParam("SAL_DATE", Value(date));
        lookup.setParam("SAL_NO", salNo);
        lookup.open();
    });
    if (noMember) return;
    const bool written = keyedWrite(lookup,
                                    {{"SAL_DATE", Value(date)},
                                     {"SAL_NO", salNo},
                                     {"MEMBER_ID", row.field("MEMBER_ID")},
                                     {"I_POINT", Value(row.field("I_POINT").asString())},
                                     {"U_POINT", row.field("U_POINT")},
                                     {"DISROL", row.field("DISROL")},
                                     {"TRN_CODE", Value("W")}},
                                    keys.batch());
    if (added && written) keys.added({Value(date), salNo});
}

}  // namespace

void transferPoints(RunContext& run) {
    FormCore& form = run.form;
    run.op().log(texts::kPointsLine);
    claimRows(run, run.op().transferMode(), "POINT_MASTER", kClaimWait);
    run.counts.moved.sideRows["POINT_MASTER"] +=
        copyClaimedRows(run, form.CDS_S1, "SELECT * FROM POINT_MASTER WHERE TRN_CODE = 'Wait' ",
                        "POINT_MASTER", {"SAL_DATE", "SAL_NO"}, writePointRow, [&] {
                            form.ClientDataSet1.close();
                            form.ClientDataSet1.setCommandText(
                                "update POINT_MASTER set TRN_CODE = 'Y' where trn_code = 'W' ");
                            form.ClientDataSet1.execute();
                        });
    form.SQLQuery2.execLines({"UPDATE POINT_MASTER SET TRN_CODE = 'True' ", " WHERE TRN_CODE = 'Wait'  "});
}

}  // namespace lumvik::transfer
