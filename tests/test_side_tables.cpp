// The phases after the bill copy, through whole runs: enrichment of the ERP sales, gifts and discount
// rolls, costs, points.

#include "tests/support/run_fixture.h"
#include "transfer/texts.h"

#include <string>
#include <vector>

using namespace lumvik;
using namespace lumvik::testing;
using db::Value;
using Lines = std::vector<std::string>;

namespace {

const char* const kGiftTables[] = {"POS_GIVE", "POS_DISROL"};

// A store mark, NULL when none.
Value mark(const char* code) {
    return code == nullptr ? Value() : Value(code);
}

class SideTables : public RunFixture {
  protected:
    // One whole run in `mode`, which must end without anomaly; earlier log lines are forgotten.
    void runInMode(int mode) {
        if (!form) startUp();
        op.logLines.clear();
        op.setTransferMode(mode);
        run();
        ASSERT_TRUE(logged(transfer::texts::kCompleted)) << logText();
        ASSERT_EQ(form->retryCounter, 0) << logText();
    }

    void addGift(const std::string& table, const std::string& roc, const std::string& salNo,
                 const Value& sord, const char* code, double amount) {
        insertRow(*store, table,
                  cols("SAL_DATE SAL_NO MCH_NO SORD CLASS_NO MAN_CODE SAL_AMT QTY PRICE TRN_CODE",
                       {roc, salNo, "01", sord, "1", "M1", amount, 2, amount / 2, mark(code)}));
    }
    [[nodiscard]] Lines erpGifts(const std::string& from) {
        return erpRows(
            "SELECT SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY, PRICE FROM " + from +
            " ORDER BY SAL_DATE, SAL_NO, SORD, SAL_AMT");
    }
    void addStoreCost(const std::string& roc, const std::string& salNo, const Value& ordNo, const Value& cost,
                      const char* code) {
        insertRow(*store, "POS_COST",
                  cols("SAL_DATE SAL_NO ORD_NO PROD_ID P_COST U_PRICE SAL_QTY TRN_CODE",
                       {roc, salNo, ordNo, "A001", cost, 120, 2, mark(code)}));
    }
    void addErpCost(const std::string& date, const std::string& salNo, const Value& ordNo, double cost,
                    const char* code) {
        insertRow(*erp, "POS_COST",
                  cols("SAL_DATE SAL_NO ORD_NO PROD_ID P_COST U_PRICE SAL_QTY TRN_CODE",
                       {date, salNo, ordNo, "A001", cost, 120, 1, code}));
    }
    // An ERP sales line written directly, with the costs the line copy would have worked out.
    void addErpSalesLine(const std::string& date, const std::string& salNo) {
        insertRow(
            *erp, "POS_SUB",
            cols("SAL_DATE SAL_NO ORD_NO PROD_ID STD_COST AVG_COST", {date, salNo, "1", "A001", 55.0, 52.5}));
    }
    [[nodiscard]] Lines lineCosts(const std::string& from) {
        return erpRows("SELECT SAL_NO, ORD_NO, PROD_ID, STD_COST, AVG_COST FROM " + from +
                       " ORDER BY SAL_NO, ORD_NO, PROD_ID");
    }
    void addStorePoint(const std::string& roc, const std::string& salNo, const Value& member,
                       const char* code, const Value& iPoint = 10, const Value& disrol = 20) {
        insertRow(*store, "POINT_MASTER",
                  cols("SAL_DATE SAL_NO MEMBER_ID I_POINT U_POINT DISROL TRN_CODE",
                       {roc, salNo, member, iPoint, 3, disrol, mark(code)}));
    }
    [[nodiscard]] Lines storeMarks(const std::string& table) {
        return storeRows("SELECT SAL_NO, TRN_CODE FROM " + table + " ORDER BY SAL_NO");
    }
};

// ---- Claims by mode -------------------------------------------------------------------------------

struct ModeCase {
    int mode;
    Lines gifts;      // each gift table's ERP rows afterwards, "SAL_DATE|SAL_NO|SAL_AMT"
    Lines giftMarks;  // and its store marks
    Lines erp;        // the ERP cost rows afterwards, "SAL_DATE|SAL_NO|P_COST|TRN_CODE"; the point rows alike
    Lines store;      // the cost and the point rows' store marks afterwards
    Lines lines;      // the sales lines' costs afterwards
};

class ByMode : public SideTables, public ::testing::WithParamInterface<ModeCase> {};

// Rows of several days and marks in every side table; which are claimed depends on the mode. A row
// left claimed by an interrupted run ('W' for gifts, 'Wait' for costs and points, and ERP cost and
// point rows left 'W') is finished whatever its day, except for gifts in mode 2.
TEST_P(ByMode, ClaimsByModeAndFinishesRowsLeftByEarlierRuns) {
    const ModeCase& c = GetParam();
    struct {
        const char *roc, *date, *giftCode, *code;
    } const rows[] = {{"101/12/10", "2012/12/10", nullptr, nullptr},
                      {"101/12/09", "2012/12/09", "x", "x"},
                      {"101/12/08", "2012/12/08", "W", "Wait"},
                      {"101/12/10", "2012/12/10", "Y", "True"},
                      {"101/12/09", "2012/12/09", "Y", "True"}};
    for (int i = 0; i < 5; ++i) {
        const std::string salNo = "0100000" + std::to_string(i + 1);
        for (const char* table : kGiftTables)
            addGift(table, rows[i].roc, salNo, 1, rows[i].giftCode, 10 * (i + 1));
        addStoreCost(rows[i].roc, salNo, 1, 41 + i, rows[i].code);
        addStorePoint(rows[i].roc, salNo, "M1", rows[i].code, 41 + i);
        addErpSalesLine(rows[i].date, salNo);
    }
    addErpCost("2012/12/07", "01000006", 1, 46, "W");  // written, never put on its line
    insertRow(*erp, "POINT_MASTER",
              cols("SAL_DATE SAL_NO MEMBER_ID I_POINT TRN_CODE", {"2012/12/07", "01000006", "M6", 46, "W"}));
    addErpSalesLine("2012/12/07", "01000006");
    runInMode(c.mode);

    for (const std::string table : kGiftTables) {
        EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, SAL_AMT FROM " + table + " ORDER BY SAL_DATE, SAL_NO"),
                  c.gifts)
            << table;
        EXPECT_EQ(storeMarks(table), c.giftMarks) << table;
    }
    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, P_COST, TRN_CODE FROM POS_COST ORDER BY SAL_DATE, SAL_NO"),
              c.erp);
    EXPECT_EQ(
        erpRows("SELECT SAL_DATE, SAL_NO, I_POINT, TRN_CODE FROM POINT_MASTER ORDER BY SAL_DATE, SAL_NO"),
        c.erp);
    EXPECT_EQ(storeMarks("POS_COST"), c.store);
    EXPECT_EQ(storeMarks("POINT_MASTER"), c.store);
    EXPECT_EQ(erpRows("SELECT SAL_NO, STD_COST, AVG_COST FROM POS_SUB ORDER BY SAL_NO"), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ByMode,
    ::testing::Values(
        ModeCase{0,
                 {"2012/12/08|01000003|30", "2012/12/09|01000002|20", "2012/12/10|01000001|10"},
                 {"01000001|Y", "01000002|Y", "01000003|Y", "01000004|Y", "01000005|Y"},
                 {"2012/12/07|01000006|46|Y", "2012/12/08|01000003|43|Y", "2012/12/09|01000002|42|Y",
                  "2012/12/10|01000001|41|Y"},
                 {"01000001|True", "01000002|True", "01000003|True", "01000004|True", "01000005|True"},
                 {"01000001|41|41", "01000002|42|42", "01000003|43|43", "01000004|55|52.5",
                  "01000005|55|52.5", "01000006|46|46"}},
        ModeCase{1,
                 {"2012/12/08|01000003|30", "2012/12/10|01000001|10", "2012/12/10|01000004|40"},
                 {"01000001|Y", "01000002|x", "01000003|Y", "01000004|Y", "01000005|Y"},
                 {"2012/12/07|01000006|46|Y", "2012/12/08|01000003|43|Y", "2012/12/10|01000001|41|Y",
                  "2012/12/10|01000004|44|Y"},
                 {"01000001|True", "01000002|x", "01000003|True", "01000004|True", "01000005|True"},
                 {"01000001|41|41", "01000002|55|52.5", "01000003|43|43", "01000004|44|44",
                  "01000005|55|52.5", "01000006|46|46"}},
        ModeCase{2,
                 {},
                 {"01000001|<null>", "01000002|x", "01000003|W", "01000004|Y", "01000005|Y"},
                 {"2012/12/07|01000006|46|Y", "2012/12/08|01000003|43|Y"},
                 {"01000001|<null>", "01000002|x", "01000003|True", "01000004|True", "01000005|True"},
                 {"01000001|55|52.5", "01000002|55|52.5", "01000003|43|43", "01000004|55|52.5",
                  "01000005|55|52.5", "01000006|46|46"}}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return "Mode" + std::to_string(info.param.mode); });

// ---- What is written --------------------------------------------------------------------------------

// Gift and discount roll rows are written column for column, NULLs and quotes kept, each into its own
// table; point rows too, except those without member, which are done without being written.
TEST_F(SideTables, RowsAreWrittenColumnForColumnKeepingNullsAndQuotes) {
    const std::string giftColumns = "SAL_DATE SAL_NO MCH_NO SORD CLASS_NO MAN_CODE SAL_AMT QTY PRICE";
    insertRow(*store, "POS_GIVE",
              cols(giftColumns, {"101/12/07", "02000007", "02", 2, "7", "M7", 99.5, 3, 33.17}));
    insertRow(*store, "POS_DISROL",
              cols(giftColumns, {"101/12/10", "01'9", "01", 3, Value(), Value(), 12.5, Value(), Value()}));
    addStorePoint("101/12/10", "01000001", Value(), nullptr);
    addStorePoint("101/12/10", "01000002", "", nullptr);
    addStorePoint("101/12/10", "01'9", "M1", nullptr, Value(), Value());
    addStorePoint("101/12/06", "01000003", "M2", nullptr, 12.5, 20);
    runInMode(0);

    EXPECT_EQ(erpGifts("POS_GIVE"), Lines{"2012/12/07|02000007|02|2|7|M7|99.5|3|33.17"});
    EXPECT_EQ(erpGifts("POS_DISROL"), Lines{"2012/12/10|01'9|01|3|<null>|<null>|12.5|<null>|<null>"});
    EXPECT_EQ(storeMarks("POS_GIVE"), Lines{"02000007|Y"});
    EXPECT_EQ(storeMarks("POS_DISROL"), Lines{"01'9|Y"});
    EXPECT_EQ(
        erpRows("SELECT SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, U_POINT, DISROL, TRN_CODE FROM POINT_MASTER "
                "ORDER BY SAL_DATE, SAL_NO"),
        (Lines{"2012/12/06|01000003|M2|12.5|3|20|Y", "2012/12/10|01'9|M1|<null>|3|<null>|Y"}));
    EXPECT_EQ(storeMarks("POINT_MASTER"),
              (Lines{"01'9|True", "01000001|True", "01000002|True", "01000003|True"}));
}

// A cost reaches its copied line through the whole number of the line's ORD_NO ('03' is 3), on no other
// line of the bill nor on the same line of another family, as the number its text spells to the last
// bit. A zero cost is never written and a NULL cost keeps the line's costs: both store rows stay
// waiting. An ERP cost row whose ORD_NO is no whole number stays 'W' and is named. None ends the run,
// and a later run goes over them again without harm.
TEST_F(SideTables, CostsReachTheirLinesOrStayWaiting) {
    erp->execute("ALTER TABLE POS_COST ALTER ORD_NO TYPE VARCHAR(10)");
    addBill(0, "101/12/10", "01000030", "01", 360);
    addLine(0, "101/12/10", "01000030", 3, "A001", 2, 120, {{"ORD_NO", Value("03")}});
    addLine(0, "101/12/10", "01000030", 4, "A001", 1, 120, {{"ORD_NO", Value("04")}});
    addLine(0, "101/12/10", "01000030", 3, "A002", 1, 0, {{"ORD_NO", Value("3")}});
    addBill(1, "101/12/10", "01000030", "01", 240);
    addLine(1, "101/12/10", "01000030", 3, "A001", 2, 120, {{"ORD_NO", Value("03")}});
    addStoreCost("101/12/10", "01000030", 3, 40.125, nullptr);
    const char* const fractions[] = {"14.8", "0.0001", "1234567.8912", "-3.3333"};
    for (int i = 0; i < 4; ++i) {
        const std::string salNo = "0100002" + std::to_string(i);
        addSoundBill(0, "101/12/10", salNo, "01", 120);
        addStoreCost("101/12/10", salNo, 1, fractions[i], nullptr);
    }
    addStoreCost("101/12/05", "01000001", 1, 0, nullptr);
    addStoreCost("101/12/05", "01000002", 1, Value(), nullptr);
    addStoreCost("101/12/05", "01'9", 1, 7, nullptr);
    addErpCost("2012/12/05", "01000008", "1", 8, "W");
    const std::pair<const char*, Value> badOrdNos[] = {
        {"01000011", Value()}, {"01000012", "abc"}, {"01000013", ""}, {"01000014", "2.5"}};
    for (const auto& [salNo, ordNo] : badOrdNos)
        addErpCost("2012/12/05", salNo, ordNo, 9, "W");
    for (const char* salNo :
         {"01000001", "01000002", "01'9", "01000008", "01000011", "01000012", "01000013", "01000014"})
        addErpSalesLine("2012/12/05", salNo);

    for (int pass = 1; pass <= 2; ++pass) {
        SCOPED_TRACE("pass " + std::to_string(pass));
        runInMode(0);
        EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY, TRN_CODE FROM "
                          "POS_COST WHERE SAL_NO = '01000030'"),
                  Lines{"2012/12/10|01000030|3|A001|40.125|120|2|Y"});
        EXPECT_EQ(
            lineCosts("POS_SUB WHERE SAL_NO = '01000030'"),
            (Lines{"01000030|03|A001|40.125|40.125", "01000030|04|A001|55|52.5", "01000030|3|A002|60|58"}));
        EXPECT_EQ(lineCosts("POS_SUBD"), Lines{"01000030|03|A001|55|52.5"});
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_SUB WHERE SAL_NO = '0100002" + std::to_string(i) +
                               "' AND STD_COST = CAST(" + fractions[i] +
                               " AS DOUBLE PRECISION) AND AVG_COST = STD_COST"),
                      "1")
                << fractions[i];
        EXPECT_EQ(
            erpRows("SELECT SAL_NO, ORD_NO, P_COST, TRN_CODE FROM POS_COST WHERE SAL_DATE = '2012/12/05' "
                    "ORDER BY SAL_NO"),
            (Lines{"01'9|1|7|Y", "01000002|1|<null>|Y", "01000008|1|8|Y", "01000011|<null>|9|W",
                   "01000012|abc|9|W", "01000013||9|W", "01000014|2.5|9|W"}));
        EXPECT_EQ(storeMarks("POS_COST"),
                  (Lines{"01'9|True", "01000001|Wait", "01000002|Wait", "01000020|True", "01000021|True",
                         "01000022|True", "01000023|True", "01000030|True"}));
        EXPECT_EQ(lineCosts("POS_SUB WHERE SAL_DATE = '2012/12/05'"),
                  (Lines{"01'9|1|A001|7|7", "01000001|1|A001|55|52.5", "01000002|1|A001|55|52.5",
                         "01000008|1|A001|8|8", "01000011|1|A001|55|52.5", "01000012|1|A001|55|52.5",
                         "01000013|1|A001|55|52.5", "01000014|1|A001|55|52.5"}));
        for (const auto& [salNo, ordNo] : badOrdNos)
            EXPECT_EQ(timesLogged("POS_COST ORD_NO 有誤,保留待修正: 2012/12/05__" + std::string(salNo) +
                                  "__A001__" + ordNo.asString()),
                      1)
                << logText();
        EXPECT_TRUE(logged(transfer::texts::kPointsLine));
    }
}

// ---- Keyed writes ---------------------------------------------------------------------------------

// Sending the day again overwrites the ERP rows written for it instead of adding more, also when the
// store row's key holds a NULL. (Keys the ERP already holds twice: test_bad_data.)
TEST_F(SideTables, RunningTheDayAgainOverwritesInsteadOfDoubling) {
    for (const std::string table : kGiftTables) {
        addGift(table, "101/12/10", "01000001", 1, nullptr, 10);
        addGift(table, "101/12/10", "01000001", 2, nullptr, 20);
        addGift(table, "101/12/10", "01000002", Value(), nullptr, 10);
    }
    addStoreCost("101/12/10", "01000001", 1, 40, nullptr);
    addStoreCost("101/12/10", "01000002", Value(), 40, nullptr);
    addErpSalesLine("2012/12/10", "01000001");
    addStorePoint("101/12/10", "01000001", "M1", nullptr, 10);
    runInMode(1);
    const std::string first = " WHERE SAL_NO = '01000001'";
    for (const std::string table : kGiftTables)
        store->execute("UPDATE " + table + " SET SAL_AMT = 15, QTY = 5, MAN_CODE = 'M9'" + first +
                       " AND SORD = 1");
    store->execute("UPDATE POS_COST SET P_COST = 42, SAL_QTY = 3" + first);
    store->execute("UPDATE POINT_MASTER SET I_POINT = 12, MEMBER_ID = 'M2'" + first);
    runInMode(1);
    runInMode(1);

    for (const std::string table : kGiftTables) {
        EXPECT_EQ(erpGifts(table),
                  (Lines{"2012/12/10|01000001|01|1|1|M9|15|5|5", "2012/12/10|01000001|01|2|1|M1|20|2|10",
                         "2012/12/10|01000002|01|<null>|1|M1|10|2|5"}))
            << table;
        EXPECT_EQ(storeMarks(table), (Lines{"01000001|Y", "01000001|Y", "01000002|Y"}));
    }
    // The row without line number is written, and stays 'W' as it reaches no line.
    EXPECT_EQ(
        erpRows("SELECT SAL_DATE, SAL_NO, ORD_NO, P_COST, SAL_QTY, TRN_CODE FROM POS_COST ORDER BY SAL_NO"),
        (Lines{"2012/12/10|01000001|1|42|3|Y", "2012/12/10|01000002|<null>|40|2|W"}));
    EXPECT_EQ(lineCosts("POS_SUB"), Lines{"01000001|1|A001|42|42"});
    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, TRN_CODE FROM POINT_MASTER"),
              Lines{"2012/12/10|01000001|M2|12|Y"});
    EXPECT_EQ(storeMarks("POS_COST"), (Lines{"01000001|True", "01000002|True"}));
    EXPECT_EQ(storeMarks("POINT_MASTER"), Lines{"01000001|True"});
}

// ---- Enrichment -----------------------------------------------------------------------------------

// Categories and cards are filled where missing or empty, never overwritten; a category whose item or
// group is not known yet is filled by a later run. Every change bill is registered once in the
// used-points register, by this run or a later one; rows of the register without date or number must
// not stop the registering.
TEST_F(SideTables, EnrichmentFillsWhatIsMissingOnce) {
    const auto insert = [&](const char* table, const std::string& names,
                            std::vector<std::vector<Value>> rows) {
        for (const auto& values : rows)
            insertRow(*erp, table, cols(names, values));
    };
    insert("PROD_ITEM", "PD_ITEMID PD_GRPID", {{"I01", "G01"}, {"I02", "G02"}, {"I03", "G03"}});
    insert("PROD_HIITEM", "PD_GRPID TOP_ITEMID", {{"G01", "T01"}, {"G02", "T02"}, {"G09", "T09"}});
    insert("POS_SUB", "SAL_DATE SAL_NO PROD_ID ORD_NO PD_ITEMID MID_ITEMID TOP_ITEMID",
           {{"2012/11/30", "01000001", "A001", "1", "I01", Value(), Value()},
            {"2012/11/30", "01000001", "A001", "2", "I02", "G09", Value()},  // kept though PROD_ITEM says G02
            {"2012/11/30", "01000001", "A001", "3", "I01", Value(), "TX"},   // top level set before: kept
            {"2012/11/30", "01000001", "A001", "4", "I05", Value(), Value()},  // no PROD_ITEM row yet
            {"2012/11/30", "01000001", "A001", "5", "I03", Value(),
             Value()},  // no PROD_HIITEM row for its group
            {"2012/11/30", "01000001", "A001", "6", "I02", "G01", "T77"}});
    insert("MEMBER", "MEMBER_ID CARD_ID", {{"M1", "C1"}, {"M2", "C2"}});
    insert("POS_MASTER", "SAL_DATE MCH_NO SAL_NO MEMBER_ID CARD_ID",
           {{"2012/11/30", "01", "01000001", "M1", "CKEEP"},  // a card already there is kept
            {"2012/11/30", "01", "01000002", "M1", Value()},
            {"2012/11/30", "01", "01000003", "M2", ""},
            {"2012/11/30", "01", "01000004", "M9", ""},  // no such member: ends NULL
            {"2012/11/30", "01", "01000005", Value(), Value()}});
    insert("MEMPOINT_USED", "SAL_DATE SAL_NO CARD_ID U_POINT SAL_AMT CR_DATETIME",
           {{Value(), "03000099", Value(), 1, Value(), Value()},
            {"2012/01/01", Value(), Value(), 1, Value(), Value()},
            {"2012/11/29", "03000000", "C0", 5, 5, "x"}});
    const std::string changeBills = "SAL_DATE SAL_NO SAL_TIME CST_NO SAL_AMT";
    insert("POSCHANGE_MASTER", changeBills,
           {{"2012/11/29", "03000000", "09:00:00", "C0", 99},  // registered before
            {"2012/11/30", "03000001", "10:00:00", "C1", 150},
            {"2012/12/01", "03000002", "11:30:00", "C2", 80.5}});
    const std::string registered =
        "SELECT SAL_DATE, SAL_NO, CARD_ID, U_POINT, SAL_AMT, CR_DATETIME FROM MEMPOINT_USED "
        "WHERE SAL_DATE IS NOT NULL AND SAL_NO IS NOT NULL ORDER BY SAL_DATE, SAL_NO";
    Lines once{"2012/11/29|03000000|C0|5|5|x", "2012/11/30|03000001|C1|150|150|2012/11/3010:00:00",
               "2012/12/01|03000002|C2|80.5|80.5|2012/12/0111:30:00"};
    const std::string categories = "SELECT ORD_NO, MID_ITEMID, TOP_ITEMID FROM POS_SUB ORDER BY ORD_NO";
    runInMode(0);
    EXPECT_EQ(erpRows(categories),
              (Lines{"1|G01|T01", "2|G09|T09", "3|G01|TX", "4|<null>|<null>", "5|G03|<null>", "6|G01|T77"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, CARD_ID FROM POS_MASTER ORDER BY SAL_NO"),
              (Lines{"01000001|CKEEP", "01000002|C1", "01000003|C2", "01000004|<null>", "01000005|<null>"}));
    EXPECT_EQ(erpRows(registered), once);

    insert("PROD_ITEM", "PD_ITEMID PD_GRPID", {{"I05", "G02"}});
    insert("PROD_HIITEM", "PD_GRPID TOP_ITEMID", {{"G03", "T03"}});
    erp->execute("UPDATE PROD_ITEM SET PD_GRPID = 'G02' WHERE PD_ITEMID = 'I01'");
    erp->execute("UPDATE PROD_HIITEM SET TOP_ITEMID = 'T66' WHERE PD_GRPID = 'G01'");
    insert("POSCHANGE_MASTER", changeBills, {{"2012/12/02", "03000003", "12:00:00", "C3", 7}});
    runInMode(0);
    EXPECT_EQ(erpRows(categories),
              (Lines{"1|G01|T01", "2|G09|T09", "3|G01|TX", "4|G02|T02", "5|G03|T03", "6|G01|T77"}));
    once.push_back("2012/12/02|03000003|C3|7|7|2012/12/0212:00:00");
    EXPECT_EQ(erpRows(registered), once);
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM MEMPOINT_USED"), "6");
}

}  // namespace
