#include "transfer/family_prep.h"

#include "app/shell/date_forms.h"
#include "app/shell/machine_list.h"
#include "base/atomic_file.h"
#include "base/codepage.h"
#include "base/text.h"
#include "transfer/texts.h"

namespace lumvik::transfer {

namespace {

void addColumnWhenMissing(FormCore& form, const std::string& table, const char* column, const char* type) {
    db::SqlQuery& q = form.SQLQuery2;
    q.close();
    q.sql().clear();
    q.sql().add("SELECT * FROM RDB$RELATION_FIELDS ");
    q.sql().add(" WHERE RDB$RELATION_NAME = " + text::quoted(table));
    q.sql().add(std::string(" AND RDB$FIELD_NAME = '") + column + "' ");
    q.open();
    const bool missing = q.field("RDB$RELATION_NAME").isNull();
    q.close();
    if (missing) form.SQLQuery2.execLines({"alter table " + table + " ADD " + column + " " + type});
}

void markDay(RunContext& run, const db::Family& family) {
    FormCore& form = run.form;
    // The day's store rows are marked before the ERP copies of the ticked machines are deleted: a
    // failure or a stop in between then leaves bills that are copied again, never deleted copies whose
    // store rows still say 'True'.
    form.SQLQuery2.execLines({std::string("UPDATE ") + family.storeMaster + " SET TRAN_CODE = 'Wait' ",
                              " WHERE SAL_DATE = " + text::quoted(dates::gregorianToRoc(run.chosenDate))});
    const auto entries = run.op().machines();
    const auto ticks = run.op().machineTicks();
    for (std::size_t i = 0; i < entries.size() && i < ticks.size(); ++i) {
        if (!ticks[i]) continue;
        const std::string number = machineNumber(entries[i]);
        for (const auto& lines :
             {std::vector<std::string>{std::string("DELETE FROM ") + family.erpMaster,
                                       " WHERE SAL_DATE = " + text::quoted(run.chosenDate),
                                       " and MCH_NO = " + text::quoted(number)},
              std::vector<std::string>{std::string("DELETE FROM ") + family.erpLines,
                                       " WHERE SAL_DATE = " + text::quoted(run.chosenDate),
                                       " and SAL_NO LIKE " + text::quoted(number + "%")}}) {
            form.SQL_TQuery.close();
            form.SQL_TQuery.sql().clear();
            for (const auto& line : lines)
                form.SQL_TQuery.sql().add(line);
            form.SQL_TQuery.execSql();
        }
    }
}

void markFromSalesOrderCheck(RunContext& run) {
    FormCore& form = run.form;
    const auto& lines = salesOrderCheckLines();
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    writeFileAtomically(run.platform().programDirectory() / kCheckQueryFileName, cp950::fromUtf8(text));
    form.ClientDataSet1.close();
    form.ClientDataSet1.setCommandText(text);
    form.ClientDataSet1.open();
    for (form.ClientDataSet1.first(); !form.ClientDataSet1.eof(); form.ClientDataSet1.next()) {
        const std::string roc = dates::gregorianToRoc(form.ClientDataSet1.field("SAL_DATE").asString());
        form.SQLQuery2.execLines({"UPDATE POS_MAIN SET TRAN_CODE = 'Wait' ",
                                  " WHERE SAL_DATE = " + text::quoted(roc) + " AND SAL_NO = " +
                                      text::quoted(form.ClientDataSet1.field("SAL_NO").asString())});
    }
}

}  // namespace

const std::vector<std::string>& salesOrderCheckLines() {
    static const std::vector<std::string> lines{
        "SELECT a.SAL_DATE, a.SAL_NO, a.MEMBER_ID, a.MASTERBILLID, a.CHG_DATE, ",
        " (select case when sum(amt) is null then 0 else sum(amt) end from sal_sub where masterbillid = "
        "a.MASTERBILLID) as A1,",
        " (select case when sum(TOTAL_money) is null then 0 else sum(TOTAL_money) end from sal_MASTER where "
        "masterbillid = a.MASTERBILLID) AS A2 ",
        " FROM POSTOSALE a ",
        " where (select case when sum(amt) is null then 0 else sum(amt) end  from sal_sub where masterbillid "
        "= "
        "a.MASTERBILLID) <> ",
        " (select case when sum(TOTAL_money) is null then 0 else sum(TOTAL_money) end from sal_MASTER where "
        "masterbillid = a.MASTERBILLID) ",
        " ORDER BY 6",
    };
    return lines;
}

std::exception_ptr prepareFamily(RunContext& run, const db::Family& family) {
    FormCore& form = run.form;
    addColumnWhenMissing(form, family.storeMaster, "TRAN_CODE", "VARCHAR(5)");
    addColumnWhenMissing(form, family.storeMaster, "CARD_ID", "VARCHAR(20)");
    run.op().log(texts::kFamilyConnected);

    std::exception_ptr heldBack;
    const int mode = run.op().transferMode();
    if (mode == 0) {
        try {
            form.SQLQuery2.execLines(
                {std::string("UPDATE ") + family.storeMaster + " SET TRAN_CODE = 'Wait' ",
                 " WHERE TRAN_CODE IS NULL OR TRAN_CODE <> 'True' "});
        } catch (const std::exception&) {
            heldBack = std::current_exception();
        }
    } else if (mode == 1) {
        // The day's deletions and marking are one block whose failure is dropped: the family then
        // copies whatever is 'Wait'.
        try {
            markDay(run, family);
        } catch (const std::exception&) {
        }
    } else if (mode == 2 && family.index == 0) {
        try {
            markFromSalesOrderCheck(run);
        } catch (const std::exception&) {
            heldBack = std::current_exception();
        }
    }

    form.CDS_S1.close();
    form.CDS_S1.setCommandText(std::string("SELECT * FROM ") + family.storeMaster +
                               " WHERE TRAN_CODE = 'Wait' ");
    form.CDS_S1.open();
    return heldBack;
}

void closeFamily(RunContext& run, const db::Family& family) {
    run.form.SQLQuery2.execLines({std::string("UPDATE ") + family.storeMaster + " SET TRAN_CODE = 'True' ",
                                  " WHERE TRAN_CODE = 'Wait' "});
}

}  // namespace lumvik::transfer
