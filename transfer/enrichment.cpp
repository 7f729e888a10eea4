#include "transfer/enrichment.h"

#include "transfer/key_index.h"

#include <algorithm>

namespace lumvik::transfer {

namespace {

// The restriction each whole-table update is given when the run restricts them: the rows whose value
// changes. A row left out would be written with the value it holds (a NULL category that finds no
// group stays NULL; a NULL card that finds no member stays NULL), and the sub-select still runs for
// every row the update looks at, so a sub-select that fails fails the same.
constexpr const char* kMidItems =
    "UPDATE POS_SUB SET MID_ITEMID = (SELECT PD_GRPID FROM PROD_ITEM WHERE PD_ITEMID = POS_SUB.PD_ITEMID) "
    "WHERE "
    "MID_ITEMID IS NULL";
constexpr const char* kMidItemsChanging =
    " AND (SELECT PD_GRPID FROM PROD_ITEM WHERE PD_ITEMID = POS_SUB.PD_ITEMID) IS NOT NULL";
constexpr const char* kTopItems = " WHERE TOP_ITEMID IS NULL ";
constexpr const char* kTopItemsChanging =
    " WHERE TOP_ITEMID IS NULL AND (SELECT TOP_ITEMID FROM PROD_HIITEM WHERE PD_GRPID = POS_SUB.MID_ITEMID) "
    "IS "
    "NOT NULL ";
constexpr const char* kCards = "WHERE CARD_ID IS NULL OR CARD_ID = '' ";
// An empty card always changes (to the member's card, or to NULL); a NULL one only to a member's card.
constexpr const char* kCardsChanging =
    "WHERE (CARD_ID IS NULL OR CARD_ID = '' ) AND (CARD_ID IS NOT NULL OR (SELECT CARD_ID FROM MEMBER WHERE "
    "MEMBER_ID = POS_MASTER.MEMBER_ID) IS NOT NULL)";

// Rows of POSCHANGE_MASTER inserted per statement when they are named by their addresses.
constexpr std::size_t kRowsPerInsert = 64;

const std::string kUsedPointsHead =
    "INSERT INTO MEMPOINT_USED(SAL_DATE,SAL_NO,MEMBER_ID,CARD_ID,U_POINT,SAL_AMT,CR_DATETIME) ";
const std::string kUsedPointsSelect =
    " SELECT SAL_DATE,SAL_NO,MEMBER_ID,CST_NO AS CARD_ID,SAL_AMT AS U_POINT,SAL_AMT,SAL_DATE||SAL_TIME AS "
    "CR_DATETIME FROM POSCHANGE_MASTER";

// The change bills not yet registered, found in memory: "NOT IN" compares every bill with every
// registered one, the history's included, whatever the indexes. The registered keys are read once, the
// bills once, and the bills the NOT IN would take are inserted by their addresses, in the order the
// statement would have read them. False when the keys cannot be compared in memory.
bool registerUsedPointsFromMemory(RunContext& run) {
    db::Connection& erp = run.form.SQLConnection1;
    const auto registeredKind = keyKinds(erp, "SELECT SAL_DATE||SAL_NO FROM MEMPOINT_USED");
    const auto billKind = keyKinds(erp, "SELECT SAL_DATE||SAL_NO FROM POSCHANGE_MASTER");
    if (!registeredKind || !billKind || registeredKind->front() != KeyKind::Text ||
        billKind->front() != KeyKind::Text)
        return false;
    KeyIndex registered({KeyKind::Text});
    bool anyRegistered = false;
    std::vector<std::string> addresses;
    db::RowSet rows(&erp, "used points");
    rows.setCommandText("SELECT SAL_DATE||SAL_NO FROM MEMPOINT_USED WHERE SAL_DATE||SAL_NO IS NOT NULL");
    rows.open([&](const db::RowSet& row) {
        registered.add({row.field(0)});
        anyRegistered = true;
        return false;
    });
    rows.setCommandText(std::string("SELECT ") + kRowAddress + ", SAL_DATE||SAL_NO FROM POSCHANGE_MASTER");
    rows.open([&](const db::RowSet& row) {
        // NOT IN an empty list holds for every bill; otherwise a NULL key is in no list and out of none.
        const auto key = registered.key({row.field(1)}, true);
        if (!anyRegistered || (key && !key->empty() && registered.count(*key) == 0))
            addresses.push_back(row.field(0).asString());
        return false;
    });
    if (!registered.complete()) return false;
    std::string named = "WHERE RDB$DB_KEY IN (";
    for (std::size_t i = 0; i < kRowsPerInsert; ++i)
        named += (i == 0 ? "" : ",") + std::string(kRowAddressParam);
    named += ")";
    for (std::size_t start = 0; start < addresses.size(); start += kRowsPerInsert) {
        std::vector<db::Value> params;
        for (std::size_t i = 0; i < kRowsPerInsert; ++i)
            params.emplace_back(addresses[std::min(start + i, addresses.size() - 1)]);
        erp.execute(kUsedPointsHead + "\r\n" + kUsedPointsSelect + "\r\n" + named + "\r\n", params);
    }
    return true;
}

}  // namespace

void enrich(RunContext& run) {
    FormCore& form = run.form;
    const bool restricted = run.fromMemory;
    StatementGroup group(form.SQLConnection1);
    form.CDS_T1.close();
    form.CDS_T1.setCommandText(std::string(kMidItems) + (restricted ? kMidItemsChanging : ""));
    form.CDS_T1.execute();
    form.SQLQuery1.execLines(
        {"UPDATE POS_SUB SET TOP_ITEMID = (SELECT TOP_ITEMID FROM PROD_HIITEM WHERE "
         "PD_GRPID = POS_SUB.MID_ITEMID)",
         restricted ? kTopItemsChanging : kTopItems});
    form.SQLQuery1.execLines(
        {"UPDATE POS_MASTER SET CARD_ID = (SELECT CARD_ID FROM MEMBER WHERE MEMBER_ID "
         "= POS_MASTER.MEMBER_ID)",
         restricted ? kCardsChanging : kCards});
    if (run.plainErpTexts() && registerUsedPointsFromMemory(run)) {
        group.commit();
        return;
    }
    // A register row without date or number would make NOT IN never true and stop all registering
    // for good; such rows are left out of the comparison.
    form.SQLQuery1.execLines(
        {kUsedPointsHead, kUsedPointsSelect, "WHERE SAL_DATE||SAL_NO NOT IN ",
         "(SELECT SAL_DATE||SAL_NO FROM MEMPOINT_USED WHERE SAL_DATE||SAL_NO IS NOT NULL)"});
    group.commit();
}

}  // namespace lumvik::transfer
