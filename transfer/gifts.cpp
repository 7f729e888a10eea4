#include "transfer/gifts.h"

#include "base/text.h"
#include "transfer/claimed_rows.h"
#include "transfer/keyed_write.h"
#include "transfer/texts.h"

namespace lumvik::transfer {

using db::Value;

namespace {

struct GiftTable {
    const char* name;
    const char* logLine;
    const char* sordCondition;
};

// A key value as the look-up quotes it: its text, or NULL for IS NULL.
Value quotedKey(const Value& value) {
    return value.isNull() ? Value() : Value(value.asString());
}

void writeGiftRow(const GiftTable& table, const db::RowSet& row, const std::string& date, db::RowSet& lookup,
                  SideKeys& keys) {
    const bool added =
        openLookup(lookup, table.name, keys,
                   {Value(date), quotedKey(row.field("SAL_NO")), quotedKey(row.field("SORD"))}, [&] {
                       lookup.setCommandText(std::string("SELECT * FROM ") + table.name +
                                             " WHERE SAL_DATE = " + text::quoted(date) +
                                             keyCondition(" AND SAL_NO = ", row.field("SAL_NO")) +
                                             keyCondition(table.sordCondition, row.field("SORD")));
                       lookup.open();
                   });
    const bool written = keyedWrite(lookup,
                                    {{"SAL_DATE", Value(date)},
                                     {"SAL_NO", row.field("SAL_NO")},
                                     {"MCH_NO", row.field("MCH_NO")},
                                     {"SORD", row.field("SORD")},
                                     {"CLASS_NO", row.field("CLASS_NO")},
                                     {"MAN_CODE", row.field("MAN_CODE")},
                                     {"SAL_AMT", row.field("SAL_AMT")},
                                     {"QTY", row.field("QTY")},
                                     {"PRICE", row.field("PRICE")}},
                                    keys.batch());
    if (added && written) keys.added({Value(date), row.field("SAL_NO"), row.field("SORD")});
}

void transferGiftTable(RunContext& run, const GiftTable& table) {
    run.op().log(table.logLine);
    const std::string name = table.name;
    const int mode = run.op().transferMode();
    if (mode == 2) return;
    claimRows(run, mode, name, kClaimW);
    run.counts.moved.sideRows[name] +=
        copyClaimedRows(run, run.form.CDS_S2, "SELECT * FROM " + name + " WHERE TRN_CODE = 'W' ", name,
                        {"SAL_DATE", "SAL_NO", "SORD"},
                        [&](const db::RowSet& row, const std::string& date, db::RowSet& lookup,
                            SideKeys& keys) { writeGiftRow(table, row, date, lookup, keys); });
    run.form.SQLQuery2.execLines({"UPDATE " + name + " SET TRN_CODE = 'Y' ", " WHERE TRN_CODE = 'W' "});
}

}  // namespace

void transferGiftsAndDiscountRolls(RunContext& run) {
    transferGiftTable(run, {"POS_GIVE", texts::kGiftsLine, " AND SORD   = "});
    transferGiftTable(run, {"POS_DISROL", texts::kDiscountRollsLine, " AND SORD = "});
}

}  // namespace lumvik::transfer
