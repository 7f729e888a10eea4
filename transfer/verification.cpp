#include "transfer/verification.h"

#include "app/shell/date_forms.h"
#include "base/text.h"
#include "transfer/key_index.h"
#include "transfer/texts.h"

namespace lumvik::transfer {

namespace {

// Logs the count and every bill found, and puts each back to 'Wait' in the store.
void reportAndRemark(RunContext& run, db::RowSet& rows) {
    run.op().log(texts::kCheckFoundHead + std::to_string(rows.recordCount()) + texts::kCheckFoundTail);
    run.counts.moved.billsRecollected += static_cast<std::uint64_t>(rows.recordCount());
    for (rows.first(); !rows.eof(); rows.next()) {
        const std::string roc = dates::gregorianToRoc(rows.field("SAL_DATE").asString());
        const std::string number = rows.field("SAL_NO").asString();
        run.op().log(texts::kAnomalyHead + roc + "__" + number + texts::kAnomalyTail);
        run.form.SQLQuery2.execLines({"UPDATE POS_MAIN SET TRAN_CODE = 'Wait' ",
                                      " WHERE SAL_DATE = " + text::quoted(roc),
                                      " AND SAL_NO = " + text::quoted(number)});
    }
}

// Deletes the ERP copy of every bill held in `copy`: its lines, then its header.
void deleteCopies(RunContext& run, db::RowSet& copy) {
    StatementGroup group(run.form.SQLConnection1);
    for (copy.first(); !copy.eof(); copy.next()) {
        const std::string date = copy.field("SAL_DATE").asString();
        const std::string number = copy.field("SAL_NO").asString();
        run.form.SQLQuery1.execLines({"delete from pos_sub where sal_date = " + text::quoted(date),
                                      " AND SAL_NO = " + text::quoted(number)});
        run.form.SQLQuery1.execLines({"delete from pos_master where sal_date = " + text::quoted(date),
                                      " AND SAL_NO = " + text::quoted(number)});
    }
}

// The missing-lines check: the headers of the range without any line.
std::string missingLinesCheck(bool allDates, const std::string& from, const std::string& to) {
    const std::string head =
        "select sal_date,sal_no from pos_master where not exists (select sal_date,sal_no from pos_sub where "
        "pos_sub.sal_date = pos_master.sal_date and pos_sub.sal_no = pos_master.sal_no)";
    return allDates ? head : head + "and sal_date between " + text::quoted(from) + " and " + text::quoted(to);
}

// The missing-lines check found in memory: its NOT EXISTS reads POS_SUB once for every header, the
// history's included, before it looks at the date. Here the headers of the range are read (in the order
// the check reads them) and the keys of the range's lines once, and `check` keeps the headers no line
// holds the key of, as the check's own result. A line whose key equals a header's has the header's
// date, so it stands in the same range. False when the keys cannot be compared in memory.
bool missingLinesFromMemory(RunContext& run, db::RowSet& check, const std::string& range) {
    db::Connection& erp = run.form.SQLConnection1;
    const auto headers = keyKinds(erp, "select sal_date,sal_no from pos_master");
    const auto lines = keyKinds(erp, "select sal_date,sal_no from pos_sub");
    if (!headers || !lines || *headers != std::vector{KeyKind::Text, KeyKind::Text} || *lines != *headers)
        return false;
    KeyIndex lineKeys(*lines);
    db::RowSet lineRows(&erp, "line keys");
    lineRows.setCommandText("select sal_date,sal_no from pos_sub" + range);
    lineRows.open([&](const db::RowSet& row) {
        lineKeys.add({row.field(0), row.field(1)});
        return false;
    });
    if (!lineKeys.complete()) return false;
    check.setCommandText("select sal_date,sal_no from pos_master" + range);
    check.open();
    std::vector<bool> missing;
    for (check.first(); !check.eof(); check.next()) {
        const auto key = lineKeys.key({check.field(0), check.field(1)}, true);
        missing.push_back(!key || key->empty() || lineKeys.count(*key) == 0);
    }
    check.keepRows(missing);
    return true;
}

}  // namespace

void verifyAndRecollect(RunContext& run) {
    FormCore& form = run.form;
    const bool allDates = run.op().allDates();
    const std::string from = run.chosenDateValue;
    const std::string to = run.chosenDateValue;

    run.op().setBillProgress(0, 100);
    run.op().log(texts::kChecking);
    run.op().log(texts::kCheckingSales);

    db::RowSet& check = form.ClientDataSet1;
    check.close();
    const std::string totalsHead =
        "select a.sal_date,a.sal_no,a.rel_sal,sum(b.amt-b.dis_share-b.ttt_share) as d_amt from pos_master a "
        "inner "
        "join pos_sub b  on a.sal_date = b.sal_date and a.sal_no = b.sal_no   ";
    const std::string totalsHaving = " having a.rel_sal-sum(b.hea_amt) <> sum(b.amt-b.dis_share-b.ttt_share)";
    check.setCommandText(allDates ? totalsHead + "group by a.sal_date,a.sal_no,a.rel_sal  " + totalsHaving
                                  : totalsHead + "where a.sal_date between " + text::quoted(from) + " and " +
                                        text::quoted(to) + " group by a.sal_date,a.sal_no,a.rel_sal  " +
                                        totalsHaving);
    check.open();
    form.totalsFinding = check.recordCount() > 0;
    if (form.totalsFinding) {
        reportAndRemark(run, check);
        form.aCDS.copyFrom(check);
        deleteCopies(run, form.aCDS);
    }

    check.close();
    const std::string range =
        allDates ? std::string()
                 : " where sal_date between " + text::quoted(from) + " and " + text::quoted(to);
    if (!run.plainErpTexts() || !missingLinesFromMemory(run, check, range)) {
        check.close();
        check.setCommandText(missingLinesCheck(allDates, from, to));
        check.open();
    }
    form.missingLinesFinding = check.recordCount() > 0;
    if (form.missingLinesFinding) {
        reportAndRemark(run, check);
        form.ACDS1.copyFrom(check);
        deleteCopies(run, form.ACDS1);
    }

    run.op().log(texts::kCheckDone);
}

}  // namespace lumvik::transfer
