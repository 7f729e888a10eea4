#include "transfer/side_tables.h"

#include "app/shell/date_forms.h"
#include "base/text.h"
#include "transfer/texts.h"

#include <cstdlib>
#include <vector>

namespace lumvik::transfer {

using db::Value;

namespace {

// The line cost statement, its values bound. The keys are compared as wide texts, as the quoted
// texts were: a key longer than the line's column then matches no line instead of failing.
constexpr const char* kCostStatement =
    "UPDATE POS_SUB SET AVG_COST = ?\r\n, STD_COST = ?\r\nWHERE SAL_DATE = CAST(? AS VARCHAR(255))\r\n"
    "AND SAL_NO = CAST(? AS VARCHAR(255))\r\nAND PROD_ID = CAST(? AS VARCHAR(255))\r\n"
    "and CAST(ORD_NO AS Int) = ?";

// A number text as the SQL literal it spells: digits with an optional point are an exact decimal,
// a text with an exponent is a double.
Value costLiteral(const std::string& number) {
    if (number.find_first_of("Ee") != std::string::npos) return Value(std::strtod(number.c_str(), nullptr));
    std::int64_t mantissa = 0;
    int scale = 0;
    bool afterPoint = false;
    for (const char c : number) {
        if (c == '.') {
            afterPoint = true;
        } else if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            if (afterPoint) --scale;
        }
    }
    return Value::scaled(number.front() == '-' ? -mantissa : mantissa, scale);
}

// One ERP row through its look-up row set: the first row found is overwritten, otherwise a row is
// added; only the columns given are set. A row the ERP refuses is dropped.
void keyedWrite(db::RowSet& lookup, const std::vector<std::pair<const char*, Value>>& columns) {
    if (lookup.recordCount() > 0) {
        lookup.first();
        lookup.edit();
    } else {
        lookup.insert();
    }
    for (const auto& [name, value] : columns)
        lookup.setField(name, value);
    lookup.post();
    (void)lookup.applyUpdates(0);
}

// The condition of a look-up on one key column: "<condition>'value'", or IS NULL for a NULL key, so
// that a row whose key holds a NULL finds the ERP row written for it before instead of adding one
// more on every run.
std::string keyCondition(std::string condition, const Value& value) {
    if (!value.isNull()) return condition + text::quoted(value.asString());
    return condition.replace(condition.rfind('='), 1, "IS NULL");
}

struct GiftTable {
    const char* name;
    const char* logLine;
    const char* sordCondition;
};

void transferGiftTable(RunContext& run, const GiftTable& table) {
    FormCore& form = run.form;
    run.op().log(table.logLine);
    const std::string name = table.name;
    const int mode = run.op().transferMode();
    if (mode == 2) return;
    if (mode == 0)
        form.SQLQuery2.execLines(
            {"UPDATE " + name + " SET TRN_CODE = 'W' ", " WHERE TRN_CODE IS NULL OR TRN_CODE <> 'Y' "});
    else if (mode == 1)
        form.SQLQuery2.execLines(
            {"UPDATE " + name + " SET TRN_CODE = 'W' ",
             " WHERE SAL_DATE = " + text::quoted(dates::gregorianToRoc(run.chosenDate))});

    db::RowSet& rows = form.CDS_S2;
    rows.close();
    rows.setCommandText("SELECT * FROM " + name + " WHERE TRN_CODE = 'W' ");
    rows.open();
    StatementGroup group(form.SQLConnection1);
    for (rows.first(); !rows.eof(); rows.next()) {
        const std::string date = dates::rocToGregorian(rows.field("SAL_DATE").asString());
        db::RowSet& lookup = form.CDS_T1;
        lookup.close();
        lookup.setCommandText("SELECT * FROM " + name + " WHERE SAL_DATE = " + text::quoted(date) +
                              keyCondition(" AND SAL_NO = ", rows.field("SAL_NO")) +
                              keyCondition(table.sordCondition, rows.field("SORD")));
        lookup.open();
        keyedWrite(lookup, {{"SAL_DATE", Value(date)},
                            {"SAL_NO", rows.field("SAL_NO")},
                            {"MCH_NO", rows.field("MCH_NO")},
                            {"SORD", rows.field("SORD")},
                            {"CLASS_NO", rows.field("CLASS_NO")},
                            {"MAN_CODE", rows.field("MAN_CODE")},
                            {"SAL_AMT", rows.field("SAL_AMT")},
                            {"QTY", rows.field("QTY")},
                            {"PRICE", rows.field("PRICE")}});
    }
    group.commit();
    form.SQLQuery2.execLines({"UPDATE " + name + " SET TRN_CODE = 'Y' ", " WHERE TRN_CODE = 'W' "});
}

// The claim of the store's cost and point rows by mode ('Wait'); mode 2 and no mode claim nothing.
void claimWait(RunContext& run, const std::string& table) {
    const int mode = run.op().transferMode();
    if (mode == 0)
        run.form.SQLQuery2.execLines({"UPDATE " + table + " SET TRN_CODE = 'Wait' ",
                                      " WHERE TRN_CODE IS NULL OR TRN_CODE <> 'True'  "});
    else if (mode == 1)
        run.form.SQLQuery2.execLines(
            {"UPDATE " + table + " SET TRN_CODE = 'Wait' ",
             " WHERE SAL_DATE = " + text::quoted(dates::gregorianToRoc(run.chosenDate))});
}

// The ERP rows whose cost could not be put on a line stay 'W', named in the log, so that they are seen
// and mended at the source instead of ending the run.
struct CostKey {
    Value date, salNo, prodId, ordNo;
};

}  // namespace

void enrich(RunContext& run) {
    FormCore& form = run.form;
    StatementGroup group(form.SQLConnection1);
    form.CDS_T1.close();
    form.CDS_T1.setCommandText(
        "UPDATE POS_SUB SET MID_ITEMID = (SELECT PD_GRPID FROM PROD_ITEM WHERE PD_ITEMID = "
        "POS_SUB.PD_ITEMID) WHERE "
        "MID_ITEMID IS NULL");
    form.CDS_T1.execute();
    form.SQLQuery1.execLines(
        {"UPDATE POS_SUB SET TOP_ITEMID = (SELECT TOP_ITEMID FROM PROD_HIITEM WHERE "
         "PD_GRPID = POS_SUB.MID_ITEMID)",
         " WHERE TOP_ITEMID IS NULL "});
    form.SQLQuery1.execLines(
        {"UPDATE POS_MASTER SET CARD_ID = (SELECT CARD_ID FROM MEMBER WHERE MEMBER_ID "
         "= POS_MASTER.MEMBER_ID)",
         "WHERE CARD_ID IS NULL OR CARD_ID = '' "});
    // A register row without date or number would make NOT IN never true and stop all registering
    // for good; such rows are left out of the comparison.
    form.SQLQuery1.execLines(
        {"INSERT INTO MEMPOINT_USED(SAL_DATE,SAL_NO,MEMBER_ID,CARD_ID,U_POINT,SAL_AMT,CR_DATETIME) ",
         " SELECT SAL_DATE,SAL_NO,MEMBER_ID,CST_NO AS CARD_ID,SAL_AMT AS "
         "U_POINT,SAL_AMT,SAL_DATE||SAL_TIME AS "
         "CR_DATETIME FROM POSCHANGE_MASTER",
         "WHERE SAL_DATE||SAL_NO NOT IN ",
         "(SELECT SAL_DATE||SAL_NO FROM MEMPOINT_USED WHERE SAL_DATE||SAL_NO IS NOT NULL)"});
    group.commit();
}

void transferGiftsAndDiscountRolls(RunContext& run) {
    transferGiftTable(run, {"POS_GIVE", texts::kGiftsLine, " AND SORD   = "});
    transferGiftTable(run, {"POS_DISROL", texts::kDiscountRollsLine, " AND SORD = "});
}

void transferCosts(RunContext& run) {
    FormCore& form = run.form;
    run.op().log(texts::kCostsLine);
    claimWait(run, "POS_COST");

    db::RowSet& rows = form.CDS_S1;
    rows.close();
    rows.setCommandText("SELECT * FROM POS_COST WHERE TRN_CODE = 'Wait' ");
    rows.open();
    StatementGroup group(form.SQLConnection1);
    for (rows.first(); !rows.eof(); rows.next()) {
        const std::string date = dates::rocToGregorian(rows.field("SAL_DATE").asString());
        db::RowSet& lookup = form.CDS_T1;
        lookup.close();
        // A row without line number finds the ERP row written for it before, instead of adding one
        // more on every run.
        const bool noOrdNo = rows.field("ORD_NO").isNull();
        lookup.setCommandText(
            noOrdNo ? "Select * from POS_COST  WHERE SAL_DATE = :SAL_DATE  AND SAL_NO = :SAL_NO  AND "
                      "ORD_NO IS NULL "
                    : "Select * from POS_COST  WHERE SAL_DATE = :SAL_DATE  AND SAL_NO = :SAL_NO  AND "
                      "ORD_NO = :ORD_NO ");
        lookup.setParam("SAL_DATE", Value(date));
        lookup.setParam("SAL_NO", Value(rows.field("SAL_NO").asString()));
        if (!noOrdNo) lookup.setParam("ORD_NO", rows.field("ORD_NO"));
        lookup.open();
        const Value& cost = rows.field("P_COST");
        if (!cost.isNull() && cost.asFloat() == 0) continue;
        keyedWrite(lookup, {{"SAL_DATE", Value(date)},
                            {"SAL_NO", Value(rows.field("SAL_NO").asString())},
                            {"ORD_NO", rows.field("ORD_NO")},
                            {"PROD_ID", Value(rows.field("PROD_ID").asString())},
                            {"P_COST", cost},
                            {"U_PRICE", rows.field("U_PRICE")},
                            {"SAL_QTY", rows.field("SAL_QTY")},
                            {"TRN_CODE", Value("W")}});
    }

    db::RowSet& written = form.ClientDataSet1;
    written.close();
    written.setCommandText("SELECT * FROM POS_COST WHERE TRN_CODE = 'W' ");
    written.open();
    std::vector<CostKey> leftWaiting;
    for (written.first(); !written.eof(); written.next()) {
        const std::string ordNo = written.field("ORD_NO").asString();
        const std::string salDate = written.field("SAL_DATE").asString();
        const std::string salNo = written.field("SAL_NO").asString();
        const std::string prodId = written.field("PROD_ID").asString();
        if (!text::tryParseWhole(ordNo)) {
            run.op().log(std::string("POS_COST ORD_NO") + texts::kBadOrdNo + salDate + "__" + salNo + "__" +
                         prodId + "__" + ordNo);
            leftWaiting.push_back({written.field("SAL_DATE"), written.field("SAL_NO"),
                                   written.field("PROD_ID"), written.field("ORD_NO")});
            continue;
        }
        // A cost the store does not know leaves the costs the line copy worked out.
        if (written.field("P_COST").isNull()) continue;
        const std::string costText =
            text::generalNumber(text::parseDecimal(written.field("P_COST").asString()));
        // The cost's general number text, bound as the literal it would be (an exact decimal, or a
        // double when it has an exponent), so one prepared statement serves every row.
        const Value cost = costLiteral(costText);
        form.SQLConnection1.execute(kCostStatement,
                                    {cost, cost, Value(salDate), Value(salNo), Value(prodId),
                                     Value(static_cast<std::int64_t>(*text::tryParseWhole(ordNo)))});
    }

    std::string closing = "update POS_COST set TRN_CODE = 'Y' where trn_code = 'W' ";
    std::vector<Value> keys;
    for (const auto& key : leftWaiting) {
        closing +=
            " and not (SAL_DATE is not distinct from ? and SAL_NO is not distinct from ? and PROD_ID is not "
            "distinct "
            "from ? and ORD_NO is not distinct from ?)";
        keys.insert(keys.end(), {key.date, key.salNo, key.prodId, key.ordNo});
    }
    if (keys.empty()) {
        written.close();
        written.setCommandText(closing);
        written.execute();
    } else {
        form.SQLConnection1.execute(closing, keys);
    }
    group.commit();
    form.SQLQuery2.execLines(
        {"UPDATE POS_COST SET TRN_CODE = 'True' ", " WHERE TRN_CODE = 'Wait' AND P_COST <> 0 "});
}

void transferPoints(RunContext& run) {
    FormCore& form = run.form;
    run.op().log(texts::kPointsLine);
    claimWait(run, "POINT_MASTER");

    db::RowSet& rows = form.CDS_S1;
    rows.close();
    rows.setCommandText("SELECT * FROM POINT_MASTER WHERE TRN_CODE = 'Wait' ");
    rows.open();
    StatementGroup group(form.SQLConnection1);
    for (rows.first(); !rows.eof(); rows.next()) {
        const std::string date = dates::rocToGregorian(rows.field("SAL_DATE").asString());
        db::RowSet& lookup = form.CDS_T1;
        lookup.close();
        lookup.setCommandText(
            "Select * from POINT_MASTER  WHERE SAL_DATE = :SAL_DATE  AND SAL_NO = :SAL_NO ");
        lookup.setParam("SAL_DATE", Value(date));
        lookup.setParam("SAL_NO", Value(rows.field("SAL_NO").asString()));
        lookup.open();
        if (rows.field("MEMBER_ID").asString().empty()) continue;
        keyedWrite(lookup, {{"SAL_DATE", Value(date)},
                            {"SAL_NO", Value(rows.field("SAL_NO").asString())},
                            {"MEMBER_ID", rows.field("MEMBER_ID")},
                            {"I_POINT", Value(rows.field("I_POINT").asString())},
                            {"U_POINT", rows.field("U_POINT")},
                            {"DISROL", rows.field("DISROL")},
                            {"TRN_CODE", Value("W")}});
    }
    form.ClientDataSet1.close();
    form.ClientDataSet1.setCommandText("update POINT_MASTER set TRN_CODE = 'Y' where trn_code = 'W' ");
    form.ClientDataSet1.execute();
    group.commit();
    form.SQLQuery2.execLines({"UPDATE POINT_MASTER SET TRN_CODE = 'True' ", " WHERE TRN_CODE = 'Wait'  "});
}

}  // namespace lumvik::transfer
