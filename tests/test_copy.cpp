// The copy of bill headers and bill lines, seen through whole runs in mode 0: what each ERP column
// receives. Tests that only look at line values use family 1: the verification reads family 0 alone,
// so a bill there need not add up.

#include "tests/support/run_fixture.h"
#include "transfer/texts.h"

#include <string>
#include <tuple>
#include <vector>

using namespace lumvik;
using namespace lumvik::testing;
using db::Value;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

class Copy : public RunFixture {
  protected:
    void addProduct(const std::string& id, const std::string& barcode, const Value& item,
                    const std::string& name, const Value& defProfit, double stdCost, double avgCost) {
        insertRow(
            *erp, "PRODUCT",
            cols(
                "PROD_ID PROD_BARCODE PD_ITEMID PSALE_PRICE PROD_NAME PROD_SCALE UNITNAME STOCK_QTY FREE_TAX "
                "PUT_ID DEF_PROFIT STD_COST AVG_COST MS TAX_KIND",
                {id, barcode, item, 100, name, "小", "個", 1, 0, "P2", defProfit, stdCost, avgCost, "M",
                 "1"}));
    }
    void addExported(const std::string& gregorianDate, const std::string& salNo) {
        insertRow(*erp, "POSTOSALE", cols("SAL_DATE SAL_NO", {gregorianDate, salNo}));
    }
};

// --- Header copy ----------------------------------------------------------------------------------

// The header takes every value of the store bill, replacing a copy already in the ERP whose lines go,
// even when the store bill has none. VISA_NO keeps its blanks, CREDIT_ID loses them. A whole number
// column kept as a text takes no decimal text. (Bad and unsafe values: test_bad_data.)
TEST_F(Copy, HeaderTakesEveryValueOfTheStoreBillReplacingTheErpCopy) {
    insertRow(*erp, "POS_MASTER",
              cols("SAL_DATE SAL_NO MCH_NO REL_SAL INV3_SW INV3_MODE",
                   {"2012/12/10", "01000001", "01", 999, "X", "X"}));
    insertRow(*erp, "POS_SUB", cols("SAL_DATE SAL_NO ORD_NO", {"2012/12/10", "01000001", "9"}));
    for (const char* salNo : {"02000001", "02000009"})
        insertRow(*erp, "POS_SUBD", cols("SAL_DATE SAL_NO ORD_NO", {"2012/12/10", salNo, "1"}));
    const Row header{
        {"CO_NO", "C1"},   {"CO_CODE", "CC1"}, {"SAL_TIME", " 12:30 "}, {"CST_NO", " M001 "},
        {"HU_PER", 3},     {"CLASS_NO", "2"},  {"MAN_CODE", " S9 "},    {"SAL_AMT", 130},
        {"DISCOUNT", 5},   {"DIS_TTT", 5},     {"CASH", 100},           {"VISA", 20},
        {"DISROL", 1.5},   {"GIVE", 2.5},      {"PDCSHET", 3},          {"REL_RCV", 150.25},
        {"CHANGE", 30.25}, {"I_POINT", 12},    {"U_POINT", 6},          {"DIS_PER", 12.5},
        {"N_RECAMT", 7},   {"THEA_AMT", 8},    {"POINT_CASH", 3.5},     {"POINT_RATE", 0.1},
        {"CONSUMER", 4},   {"USE_TYPE", "1"},  {"TAB_NO", " T5 "},      {"CARD_ID", " C01 "},
        {"iCash_Give", 9}, {"VISA_MODE", "V"}, {"DIS_PRICE", 30},       {"CAN_DATE", "101/12/09"},
        {"DIS_NO", " D1"}, {"MAN_SALE", "Y"},  {"CR_FLAG", "N"},        {"IC_CARD", " IC9 "},
        {"IC_AMT", 40},    {"INV3_SW", "1"},   {"INV3_MODE", "2"},      {"VISA_NO", " 234567890123456789"}};
    addBill(0, "101/12/10", " 01000001 ", " 01 ", 120, header);
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
    for (const std::string column : {"DIS_PRICE", "I_POINT"}) {  // texts in older stores
        store->execute("ALTER TABLE POS_MAID DROP " + column);
        store->execute("ALTER TABLE POS_MAID ADD " + column + " VARCHAR(20)");
    }
    addBill(1, "101/12/10", "02000001", "02", 50, {{"DIS_PRICE", "12.5"}, {"I_POINT", "2.5"}});
    startUp();
    run();

    EXPECT_EQ(
        erpRows("SELECT SAL_DATE, SAL_NO, MCH_NO, CO_NO, CO_CODE, SAL_TIME, MEMBER_ID, HU_PER, CLASS_NO,"
                " SALES_ID FROM POS_MASTER"),
        Lines{"2012/12/10|01000001|01|C1|CC1|12:30|M001|3|2|S9"});
    EXPECT_EQ(erpRows("SELECT SAL_AMT, DISCOUNT, DIS_TTT, REL_SAL, CASH, CREDIT, DISROL, GIVE, PDCSHET FROM "
                      "POS_MASTER"),
              Lines{"130|5|5|120|100|20|1.5|2.5|3"});
    EXPECT_EQ(erpRows("SELECT REL_RCV, CHANGE, I_POINT, U_POINT, dis_per, N_RECAMT, THEA_AMT, POINT_CASH,"
                      " POINT_RATE, CONSUMER FROM POS_MASTER"),
              Lines{"150.25|30.25|12|6|12.5|7|8|3.5|0.1|4"});
    EXPECT_EQ(erpRows("SELECT CREDIT_ID, VISA_NO, USE_TYPE, TAB_NO, STORE_ID, STOCK_ID, FLAG, CARD_ID,"
                      " ICASH_GIVE, VISA_MODE, CST_NO FROM POS_MASTER"),
              Lines{"234567890123456| 234567890123456|1|T5||S01|銷| C01 |9|V| M001 "});
    EXPECT_EQ(erpRows("SELECT DIS_PRICE, CAN_DATE, dis_no, MAN_SALE, CR_FLAG, IC_CARD, IC_AMT, CHG_DATE,"
                      " INV3_SW, INV3_MODE FROM POS_MASTER"),
              Lines{"30|2012/12/09| D1|Y|N| IC9 |40|2012/12/11|1|2"});
    EXPECT_EQ(marks(0), Lines{" 01000001 |True"});
    EXPECT_EQ(erpRows("SELECT ORD_NO, PROD_ID FROM POS_SUB"), Lines{"1|A001"});
    EXPECT_EQ(erpRows("SELECT SAL_NO, DIS_PRICE, I_POINT FROM POS_MASTERD"), Lines{"02000001|0|2.5"});
    EXPECT_EQ(erpRows("SELECT SAL_NO FROM POS_SUBD"), Lines{"02000009"});
}

// A bill already turned into a sales order is skipped in families 0 and 1, and named; the bill bar
// moves for the bills copied, out of all, the line bar for the lines of the last bill, and every bill
// repaints.
class ExportedBill : public Copy, public ::testing::WithParamInterface<int> {};

TEST_P(ExportedBill, IsSkippedOnlyInFamiliesZeroAndOne) {
    const int family = GetParam();
    const db::Family& f = db::family(family);
    addExported("2012/12/10", "01000001");
    addExported("101/12/10", "01000002");  // the ROC form of the date names no bill
    addBill(family, "101/12/10", " 01000001", "01", 120);
    addLine(family, "101/12/10", "01000001", 1, "A001", 1, 120);
    addSoundBill(family, "101/12/10", "01000002", "01", 120);
    addBill(family, "101/12/10", "01000003", "01", 230);
    addLine(family, "101/12/10", "01000003", 1, "A001", 1, 120);
    addLine(family, "101/12/10", "01000003", 2, "A002", 1, 110);
    startUp();
    // The store table is read in the order its rows were written: 01000003 is the last bill.
    int familiesStarted = 0, familiesDone = 0, repaintsAtStart = 0;
    op.onLog = [&](const std::string& line) {
        if (line == transfer::texts::kFamilyConnected && familiesStarted++ == family)
            repaintsAtStart = op.repaints;
    };
    std::vector<int> bars;
    platform.onSleep = [&](std::chrono::milliseconds d) {
        if (d == 500ms && familiesDone++ == family)
            bars = {op.billPosition, op.billMaximum, op.linePosition, op.lineMaximum,
                    op.repaints - repaintsAtStart};
    };
    run();

    const bool skipped = family <= 1;
    EXPECT_EQ(logged("2012/12/10: 01000001已銷售轉出到銷貨單.."), skipped);
    EXPECT_EQ(bars, (std::vector<int>{skipped ? 2 : 3, 3, 2, 2, 3}));
    const Lines copied = skipped ? Lines{"01000002", "01000003"} : Lines{"01000001", "01000002", "01000003"};
    EXPECT_EQ(erpRows(std::string("SELECT SAL_NO FROM ") + f.erpMaster + " ORDER BY SAL_NO"), copied);
    EXPECT_EQ(erpRows(std::string("SELECT DISTINCT SAL_NO FROM ") + f.erpLines + " ORDER BY SAL_NO"), copied);
    EXPECT_EQ(marks(family), (Lines{" 01000001|True", "01000002|True", "01000003|True"}));
}

INSTANTIATE_TEST_SUITE_P(Families, ExportedBill, ::testing::Values(0, 1, 2, 3));

// --- Line copy ------------------------------------------------------------------------------------

// A line takes the values of the first product whose code or barcode is its code, with the category of
// the exact code. An unknown code takes the temporary product, whose field is read trimmed, and its
// category, empty when it has none. A product without category (NULL) is named and left out; an empty
// category is a category. Until a line is copied, messages name the bill by its header's number; after,
// as its lines store it.
TEST_F(Copy, LineTakesItsProductsValuesOrTheTemporaryProducts) {
    erp->execute("UPDATE PRODUCT SET PSALE_PRICE = 7, STD_COST = 3 WHERE PROD_ID = 'TEMP'");
    // A fresh table without an index is read in the order its rows were written, so the product
    // carrying the code as its barcode is the first row of the look-up by code or barcode.
    addProduct("Z9", "C77", "I09", "條碼品", 0, 1, 1);
    addProduct("C77", "4710077", "I77", "本品", 0, 1, 1);
    addProduct("EMPTY", "4710003", "", "空分類", 0, 1, 1);
    addBill(1, "101/12/10", "02000001 ", "02", 0);
    addLine(1, "101/12/10", "02000001", 1, " A001", 2, 120,
            cols("TASTE tbar_code bar_code", {"少飯", "TB1", "B1"}));
    addLine(1, "101/12/10", "02000001", 2, "ZZ9 ", 1, 30, cols("tbar_code bar_code", {"TB9", "B9"}));
    addLine(1, "101/12/10", "02000001", 3, "C77", 1, 10);
    startUp();
    op.setTempProduct("  TEMP  ");
    run();

    EXPECT_TRUE(logged("101/12/10 02000001  ZZ9 商品不存在商品檔中..!!")) << logText();
    EXPECT_EQ(
        erpRows("SELECT ORD_NO, PROD_ID, PROD_ID2, PROD_NAME, BAR_CODE, tbar_code, PD_ITEMID, PSALE_PRICE,"
                " STD_COST FROM POS_SUBD ORDER BY ORD_NO"),
        (Lines{"1|A001| A001|排骨飯|4710001|TB1|I01|120|55", "2|TEMP|ZZ9 |暫用商品|TEMP|B9|I99|7|3",
               "3|Z9|C77|條碼品|C77|TBC77|I77|100|1"}));
    EXPECT_EQ(erpRows("SELECT SAL_DATE, SAL_NO, CO_NAME, TASTE, SAL_QTY, AMT, U_PRICE, PROD_SCALE, UNITNAME,"
                      " STOCK_QTY, STOCK_ID, STORE_ID, FLAG, MS, PUT_ID, free_tax, TAX_KIND, chg_date"
                      " FROM POS_SUBD WHERE ORD_NO = '1'"),
              Lines{"2012/12/10|02000001|品名|少飯|2|240|120|中|份|5|S02|||M|P1|0|1|2012/12/11"});

    erp->execute("UPDATE PRODUCT SET PD_ITEMID = NULL WHERE PROD_ID = 'TEMP'");
    addBill(1, "101/12/10", "02000002", "02", 0);
    int ordNo = 0;
    for (const char* code : {"NOCAT ", "EMPTY", "NOCAT", "ZZ9"})
        addLine(1, "101/12/10", "02000002  ", ++ordNo, code, 1, 10);
    op.logLines.clear();
    run();
    EXPECT_EQ(timesLogged("2012/12/1002000002__NOCAT_分類未設置!"), 1) << logText();
    EXPECT_EQ(timesLogged("2012/12/1002000002  __NOCAT_分類未設置!"), 1);
    EXPECT_EQ(erpRows("SELECT SAL_NO, ORD_NO, PROD_ID, PD_ITEMID FROM POS_SUBD WHERE SAL_NO <> '02000001' "
                      "ORDER BY ORD_NO"),
              (Lines{"02000002  |2|EMPTY|", "02000002  |4|TEMP|"}));
}

// Quantity, sign, pack counts, sale price, tax kind and costs of a line, one line of one bill per case.
TEST_F(Copy, LineValues) {
    addProduct("P20", "4720020", "I20", "毛利品", 20, 30, 28);
    addProduct("P125", "4720125", "I20", "小數毛利", 12.5, 30, 28);
    addProduct("PNUL", "4720000", "I20", "無毛利", Value(), 30, 28);
    for (const auto& [barcode, cost, pack] : {std::tuple{"V6", 120, 6}, {"V0", 0, 6}, {"VZ", 120, 0}})
        insertRow(*erp, "PROD_SALE", cols("SAL_BARCODE STD_COST PACK_QTY", {barcode, cost, pack}));
    auto pack = [](int pieces, const char* barcode) { return cols("PAK_QTY V_BAR_CODE", {pieces, barcode}); };
    struct Case {
        const char* product;
        double qty, price;
        Row extra;
        const char* expected;  // SAL_QTY|AMT|FLAG|PAK_QTY|ORG_QTY|PSALE_PRICE|TAX_KIND|STD_COST|AVG_COST
    };
    const Case cases[] = {
        // Quantities: whole numbers, negative for a return.
        {"A001", 2, 120, {}, "2|240||1|1|120|1|55|52.5"},
        {"A001", 2, 120, {{"SAL_CODE", "退"}}, "-2|240|退|1|1|120|1|55|52.5"},
        {"A001", -2, 120, {{"SAL_CODE", "退"}}, "-2|-240|退|1|1|120|1|55|52.5"},
        {"A001", 1.5, 120, {}, "0|180||1|1|120|1|55|52.5"},
        // Pack counts: 1 when NULL.
        {"A001", 1, 120, {{"PAK_QTY", Value()}, {"ORG_QTY", Value()}}, "1|120||1|1|120|1|55|52.5"},
        {"A001", 1, 120, {{"PAK_QTY", 3}, {"ORG_QTY", 4}}, "1|120||3|4|120|1|55|52.5"},
        // Sale price and tax kind: the line's own when it has one.
        {"A001", 1, 100, {{"STD_PRICE", 99}, {"TAX_KIND", "2"}}, "1|100||1|1|99|2|55|52.5"},
        {"A001", 1, 100, {{"STD_PRICE", 0}, {"TAX_KIND", ""}}, "1|100||1|1|120|1|55|52.5"},
        {"A001", 1, 100, {{"STD_PRICE", Value()}, {"TAX_KIND", Value()}}, "1|100||1|1|120|1|55|52.5"},
        // Costs: a whole profit percentage off the price, else a pack's cost per piece, else the product's.
        {"P20", 1, 50, {}, "1|50||1|1|100|1|40|40"},
        {"P20", 1, 50, pack(6, "V6"), "1|50||6|1|100|1|40|40"},
        {"P125", 1, 50, pack(6, "V6"), "1|50||6|1|100|1|20|28"},  // 12.5 is no whole number
        {"P125", 1, 50, {}, "1|50||1|1|100|1|30|28"},
        {"PNUL", 1, 50, {}, "1|50||1|1|100|1|30|28"},
        {"A001", 1, 50, pack(1, "V6"), "1|50||1|1|120|1|55|52.5"},  // one piece
        {"A001", 1, 50, pack(6, "V6"), "1|50||6|1|120|1|20|52.5"},
        {"A001", 1, 50, pack(6, "V0"), "1|50||6|1|120|1|55|52.5"},  // a pack without cost
        {"A001", 1, 50, pack(6, "NONE"), "1|50||6|1|120|1|55|52.5"},
        {"A002", 1, 50, pack(6, "VZ"), nullptr},  // a pack of no pieces: this line fails alone
    };
    addBill(1, "101/12/10", "02000001", "02", 0);
    Lines expected;
    int ordNo = 0;
    for (const auto& c : cases) {
        addLine(1, "101/12/10", "02000001", ++ordNo, c.product, c.qty, c.price, c.extra);
        if (c.expected != nullptr) expected.push_back(std::to_string(ordNo) + "|" + c.expected);
    }
    addLine(1, "101/12/10", "02000001", 1, "A001", 2, 120);  // equal to the first in every column: one line
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT ORD_NO, SAL_QTY, AMT, FLAG, PAK_QTY, ORG_QTY, PSALE_PRICE, TAX_KIND, STD_COST,"
                      " AVG_COST FROM POS_SUBD ORDER BY CAST(ORD_NO AS INTEGER)"),
              expected);
    EXPECT_TRUE(logged("2012/12/1002000001__A002_detail error!")) << logText();
}

}  // namespace
