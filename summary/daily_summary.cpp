#include "summary/daily_summary.h"

#include "app/shell/date_forms.h"
#include "base/text.h"
#include "summary/number_texts.h"

#include <cstdio>

namespace lumvik::summary {

namespace {

constexpr const char* kBlanks10 = "          ";
constexpr const char* kBlanks20 = "                    ";

std::string hhnnss(const LocalTime& now) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d%02d%02d", static_cast<int>(now.time.hours().count()),
                  static_cast<int>(now.time.minutes().count()), static_cast<int>(now.time.seconds().count()));
    return text;
}

bool relationExists(FormCore& form, const std::string& name) {
    form.SQLQuery1.openLines({"SELECT RDB$RELATION_NAME FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = " +
                              text::quoted(name) + " "});
    const bool exists = !form.SQLQuery1.field(0).asString().empty();
    form.SQLQuery1.close();
    return exists;
}

}  // namespace

void cleanUpScratch(FormCore& form) {
    // A summary that failed half-way may still be reading the view or the table; its read ends here
    // so that the drops are not refused as "in use" by this very connection.
    form.SQLQuery3.close();
    if (relationExists(form, form.scratchView)) form.SQLQuery1.execLines({"drop view " + form.scratchView});
    if (relationExists(form, form.scratchTable))
        form.SQLQuery1.execLines({"drop table " + form.scratchTable});
}

std::string listingLine(const std::string& name, const std::string& name2) {
    return cutToBytes(name + kBlanks20, 26) + " " + cutToBytes(name2 + kBlanks20, 25) + " ";
}

std::string groupRowName(const std::string& groupName, double amount, double quantity) {
    return cutToBytes(groupName + "=NT$" + wholeUnitText(amount) + kBlanks10, 20) +
           cutToBytes(wholeUnitText(quantity) + kBlanks10, 6);
}

namespace {

// The rows of one summary in its scratch table, numbered in the order they are written; every value
// goes in as a quoted literal, numbers included.
class ScratchRows {
  public:
    ScratchRows(FormCore& form, std::string day) : form_(form), day_(std::move(day)) {}
    [[nodiscard]] const std::string& day() const { return day_; }
    [[nodiscard]] std::string onDay() const { return " WHERE SAL_DATE = " + text::quoted(day_); }
    int next() { return ++n_; }
    [[nodiscard]] int current() const { return n_; }
    void insert(const std::string& columns, std::initializer_list<std::string> values) {
        std::string list;
        for (const auto& v : values)
            list += (list.empty() ? "" : ",") + text::quoted(v);
        form_.SQLQuery1.execLines({"INSERT INTO " + form_.scratchTable + columns, "VALUES (" + list + ")"});
    }

  private:
    FormCore& form_;
    std::string day_;
    int n_ = 0;
};

void createScratchTable(FormCore& form, ScratchRows& rows) {
    form.SQLQuery1.execLines({"CREATE  TABLE " + form.scratchTable +
                              " ( ID DOUBLE PRECISION, Sal_DATE VARCHAR(10), NAME VARCHAR(100), AMT DOUBLE "
                              "PRECISION, NAME2 VARCHAR(50), AMT2 DOUBLE PRECISION)"});
    const int n = rows.next();
    form.op().log("CAST ....." + std::to_string(n));
    form.SQLQuery1.execLines(
        {"INSERT INTO " + form.scratchTable + "(ID,Sal_DATE,NAME)",
         "SELECT  " + std::to_string(n) + "," + text::quoted(rows.day()) + ",'店  別: '||REP_TITLE",
         "FROM PUB_PARAM"});
}

void addTotal(FormCore& form, ScratchRows& rows) {
    db::SqlQuery& query = form.SQLQuery3;
    query.openLines(
        {"SELECT SAL_DATE,SUM(REL_SAL) AS AMT", "FROM POS_MASTER", rows.onDay(), "GROUP by SAL_DATE"});
    for (; !query.eof(); query.next()) {
        const double total = query.field("AMT").variantFloat();
        const int n = rows.next();
        form.op().log("CAST ....." + std::to_string(n));
        rows.insert("(ID,Sal_DATE,NAME,AMT)", {std::to_string(n), rows.day(),
                                               "總金額=NT$ " + wholeUnitText(total), plainWholeText(total)});
    }
}

void addShifts(FormCore& form, ScratchRows& rows) {
    form.op().log("CAST .....6");
    db::SqlQuery& query = form.SQLQuery3;
    query.openLines({"SELECT  a.SAL_DATE,a.Class_No,B.Wrk_Name,SUM(REL_SAL) as AMT",
                     "FROM POS_MASTER a LEFT OUTER JOIN WRK_ITEM b ON a.Class_No = b.Wrk_No ", rows.onDay(),
                     "GROUP by a.SAL_DATE,a.Class_No,B.Wrk_Name", "ORDER BY a.SAL_DATE,a.Class_No"});
    for (; !query.eof(); query.next()) {
        const double amount = query.field("AMT").variantFloat();
        const std::string name = query.field("Wrk_Name").asString();
        const int n = rows.next();
        form.op().log("CAST .....6" + std::to_string(n));
        rows.insert(
            "(ID,Sal_DATE,NAME,AMT)",
            {std::to_string(n), rows.day(), name + "=NT$ " + wholeUnitText(amount), plainWholeText(amount)});
    }
}

void addAverage(FormCore& form, ScratchRows& rows) {
    form.op().log("CAST .....7");
    db::SqlQuery& query = form.SQLQuery3;
    query.openLines({"SELECT  SAL_DATE,COUNT(*) AS QTY,SUM(REL_SAL) AS AMT ", "FROM POS_MASTER ",
                     rows.onDay(), "GROUP by SAL_DATE"});
    const double bills = query.field("QTY").variantFloat();
    const double average = query.field("AMT").variantFloat() / bills;
    query.close();
    const int n = rows.next();
    rows.insert("(ID,Sal_DATE,NAME,AMT,NAME2,AMT2)",
                {std::to_string(n), rows.day(), "客單價=NT$ " + twoDecimalText(average),
                 twoDecimalText(average), "來客數=NT$ " + wholeUnitText(bills), plainWholeText(bills)});
}

void createCategoryView(FormCore& form) {
    form.op().log("CAST .....8");
    form.SQLQuery1.execLines(
        {"CREATE VIEW " + form.scratchView +
             "(PD_ITEMID,PD_ITEMNAME,PD_GRPID,PD_GRPNAME,TOP_ITEMID,TOP_ITEMNAME,PD_DEPID,PD_DEPNAME) AS "
             "SELECT "
             "a.PD_ITEMID,a.PD_ITEMNAME,a.PD_GRPID,b.PD_GRPNAME,b.TOP_ITEMID,c.TOP_ITEMNAME,d.PD_DEPID,"
             "d.PD_DEPNAME",
         " FROM PROD_ITEM a LEFT OUTER JOIN PROD_HIITEM b  on a.PD_GRPID    = b.PD_GRPID ",
         "                  LEFT OUTER JOIN PROD_TOPITEM c on b.TOP_ITEMID  = c.TOP_ITEMID ",
         "                  LEFT OUTER JOIN PROD_DEPART d  on c.PD_DEPID    = d.PD_DEPID "});
}

void addGroups(FormCore& form, ScratchRows& rows) {
    form.op().log("CAST .....9");
    db::SqlQuery& query = form.SQLQuery3;
    query.openLines(
        {"SELECT  a.SAL_DATE,SUM(a.AMT-a.DIS_SHARE-a.TTT_SHARE) as AMT,SUM(a.SAL_QTY) AS QTY,",
         "        b.PD_GRPID,b.PD_GRPNAME,b.TOP_ITEMID,b.TOP_ITEMNAME,b.PD_DEPID,b.PD_DEPNAME",
         "FROM POS_SUB a LEFT OUTER JOIN " + form.scratchView + " b ON a.PD_ITEMID = b.PD_ITEMID ",
         " WHERE a.SAL_DATE = " + text::quoted(rows.day()),
         "GROUP by a.SAL_DATE,b.PD_GRPID,b.PD_GRPNAME,b.TOP_ITEMID,b.TOP_ITEMNAME,b.PD_DEPID,b.PD_DEPNAME",
         "ORDER BY a.SAL_DATE,b.PD_GRPID,b.TOP_ITEMID,b.PD_DEPID"});
    for (; !query.eof(); query.next()) {
        const double amount = query.field("AMT").variantFloat();
        const double quantity = query.field("QTY").variantFloat();
        const std::string name = query.field("PD_GRPNAME").asString();
        const int n = rows.next();
        form.op().log("CAST .....9" + std::to_string(n));
        rows.insert("(ID,Sal_DATE,NAME,AMT,AMT2)",
                    {std::to_string(n), rows.day(), groupRowName(name, amount, quantity),
                     plainWholeText(amount), plainWholeText(quantity)});
    }
}

// The log pane, cleared, then the scratch table's rows as listing lines.
void listScratchTable(FormCore& form) {
    form.op().log("CAST .....10");
    form.op().clearLog();
    db::SqlQuery& query = form.SQLQuery3;
    query.openLines({"SELECT  *  FROM " + form.scratchTable, "ORDER BY SAL_DATE,ID"});
    for (; !query.eof(); query.next())
        form.op().log(listingLine(query.field("NAME").asString(), query.field("NAME2").asString()));
    query.close();
    form.op().log("CAST .....0K");
}

}  // namespace

void dailySummary(FormCore& form) {
    Operator& op = form.op();
    op.clearLog();
    form.scratchView = "VIEW_Z" + hhnnss(form.platform().now());
    form.scratchTable = "TMP_A" + hhnnss(form.platform().now());
    cleanUpScratch(form);

    ScratchRows rows(form, dates::gregorianText(dates::requireDate(op.dateText())));
    db::SqlQuery& query = form.SQLQuery3;
    query.openLines({"SELECT SAL_DATE ", "FROM POS_MASTER", rows.onDay()});
    const bool noBills = query.field("SAL_DATE").asString().empty();
    query.close();
    if (noBills) {
        op.message(kNoData);
        return;
    }

    createScratchTable(form, rows);
    addTotal(form, rows);
    addShifts(form, rows);
    addAverage(form, rows);
    createCategoryView(form);
    addGroups(form, rows);
    listScratchTable(form);
}

}  // namespace lumvik::summary
