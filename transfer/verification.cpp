#include "transfer/verification.h"

#include "app/shell/date_forms.h"
#include "base/text.h"
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
    const std::string missingHead =
        "select sal_date,sal_no from pos_master where not exists (select sal_date,sal_no from pos_sub where "
        "pos_sub.sal_date = pos_master.sal_date and pos_sub.sal_no = pos_master.sal_no)";
    check.setCommandText(allDates ? missingHead
                                  : missingHead + "and sal_date between " + text::quoted(from) + " and " +
                                        text::quoted(to));
    check.open();
    form.missingLinesFinding = check.recordCount() > 0;
    if (form.missingLinesFinding) {
        reportAndRemark(run, check);
        form.ACDS1.copyFrom(check);
        deleteCopies(run, form.ACDS1);
    }

    run.op().log(texts::kCheckDone);
}

}  // namespace lumvik::transfer
