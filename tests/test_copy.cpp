// The copy of bill headers and bill lines, seen through whole runs in mode 0 against real embedded
// databases: what each ERP column receives, and how a bill or a line that cannot be copied is reported.
// The verification that follows the copy is tested with the runs it repeats, in test_run.
//
// Tests that only look at line values use family 1: the verification reads family 0 alone, so a
// bill there need not add up to its lines.

#include "db/codepage.h"
#include "tests/support/run_fixture.h"
#include "transfer/texts.h"

#include <algorithm>
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
        const Row row{{"PROD_ID", Value(id)},       {"PROD_BARCODE", Value(barcode)},
                      {"PD_ITEMID", item},          {"PSALE_PRICE", Value(100)},
                      {"PROD_NAME", Value(name)},   {"PROD_SCALE", Value("小")},
                      {"UNITNAME", Value("個")},    {"STOCK_QTY", Value(1)},
                      {"FREE_TAX", Value(0)},       {"PUT_ID", Value("P2")},
                      {"DEF_PROFIT", defProfit},    {"STD_COST", Value(stdCost)},
                      {"AVG_COST", Value(avgCost)}, {"MS", Value("M")},
                      {"TAX_KIND", Value("1")}};
        insertRow(*erp, "PRODUCT", row);
    }

    void addExported(const std::string& gregorianDate, const std::string& salNo) {
        insertRow(*erp, "POSTOSALE", {{"SAL_DATE", Value(gregorianDate)}, {"SAL_NO", Value(salNo)}});
    }

    // The line logged right after `line`, "" when there is none.
    [[nodiscard]] std::string loggedAfter(const std::string& line) const {
        auto it = std::find(op.logLines.begin(), op.logLines.end(), line);
        return it == op.logLines.end() || it + 1 == op.logLines.end() ? std::string() : *(it + 1);
    }

    // The stored bytes of a text column of the one row `from` selects, read byte by byte by the
    // server, so that no conversion on the way out can hide a change.
    static std::string storedBytes(db::Connection& connection, const std::string& column,
                                   const std::string& from) {
        const std::string length = scalar(connection, "SELECT OCTET_LENGTH(" + column + ") " + from);
        std::string bytes;
        for (int i = 1; i <= std::stoi(length); ++i)
            bytes += static_cast<char>(
                std::stoi(scalar(connection, "SELECT ASCII_VAL(SUBSTRING(" + column + " FROM " +
                                                 std::to_string(i) + " FOR 1)) " + from)));
        return bytes;
    }
};

// --- Header copy ----------------------------------------------------------------------------------

TEST_F(Copy, HeaderTakesEveryValueOfTheStoreBill) {
    Row header{{"CO_NO", Value("C1")},      {"CO_CODE", Value("CC1")}, {"SAL_TIME", Value(" 12:30 ")},
               {"CST_NO", Value(" M001 ")}, {"HU_PER", Value(3)},      {"CLASS_NO", Value("2")},
               {"MAN_CODE", Value(" S9 ")}, {"SAL_AMT", Value(130)},   {"DISCOUNT", Value(5)},
               {"DIS_TTT", Value(5)},       {"CASH", Value(100)},      {"VISA", Value(20)},
               {"DISROL", Value(1.5)},      {"GIVE", Value(2.5)}};
    const Row more{{"PDCSHET", Value(3)},      {"REL_RCV", Value(150.25)}, {"CHANGE", Value(30.25)},
                   {"I_POINT", Value(12)},     {"U_POINT", Value(6)},      {"DIS_PER", Value(12.5)},
                   {"N_RECAMT", Value(7)},     {"THEA_AMT", Value(8)},     {"POINT_CASH", Value(3.5)},
                   {"POINT_RATE", Value(0.1)}, {"CONSUMER", Value(4)},     {"USE_TYPE", Value("1")}};
    const Row evenMore{{"TAB_NO", Value(" T5 ")}, {"CARD_ID", Value(" C01 ")},
                       {"iCash_Give", Value(9)},  {"VISA_MODE", Value("V")},
                       {"DIS_PRICE", Value(30)},  {"CAN_DATE", Value("101/12/09")},
                       {"DIS_NO", Value(" D1")},  {"MAN_SALE", Value("Y")},
                       {"CR_FLAG", Value("N")},   {"IC_CARD", Value(" IC9 ")},
                       {"IC_AMT", Value(40)},     {"INV3_SW", Value("1")},
                       {"INV3_MODE", Value("2")}, {"VISA_NO", Value("1234567890123456789")}};
    header.insert(header.end(), more.begin(), more.end());
    header.insert(header.end(), evenMore.begin(), evenMore.end());
    addBill(0, "101/12/10", " 01000001 ", " 01 ", 120, header);
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
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
              Lines{"1234567890123456|1234567890123456|1|T5||S01|銷| C01 |9|V| M001 "});
    EXPECT_EQ(erpRows("SELECT DIS_PRICE, CAN_DATE, dis_no, MAN_SALE, CR_FLAG, IC_CARD, IC_AMT, CHG_DATE,"
                      " INV3_SW, INV3_MODE FROM POS_MASTER"),
              Lines{"30|2012/12/09| D1|Y|N| IC9 |40|2012/12/11|1|2"});
    EXPECT_EQ(marks(0), Lines{" 01000001 |True"});
}

// Older store databases keep some number columns as texts: one that is no number becomes 0. NULLs in
// the store take defaults; VISA_NO keeps its blanks, CREDIT_ID loses them.
TEST_F(Copy, HeaderNumbersFromTextsThatAreNoNumbersAndFromNulls) {
    for (const char* column : {"DIS_PRICE", "IC_AMT", "REL_RCV", "CHANGE", "I_POINT"}) {
        store->execute(std::string("ALTER TABLE POS_MAID DROP ") + column);
        store->execute(std::string("ALTER TABLE POS_MAID ADD ") + column + " VARCHAR(20)");
    }
    addBill(1, "101/12/10", "02000001", "02", 50,
            {{"DIS_PRICE", Value("12.5")},
             {"IC_AMT", Value("7x")},
             {"REL_RCV", Value("abc")},
             {"CHANGE", Value("1,5")},
             {"I_POINT", Value("2.5")}});
    addBill(1, "101/12/10", "02000002", "02", 50,
            {{"REL_RCV", Value()}, {"CHANGE", Value()}, {"VISA_NO", Value(" 4000 ")}});
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT DIS_PRICE, IC_AMT, REL_RCV, CHANGE, I_POINT FROM POS_MASTERD WHERE SAL_NO = "
                      "'02000001'"),
              Lines{"0|0|0|0|2.5"});
    EXPECT_EQ(
        erpRows("SELECT GIVE, ICASH_GIVE, REL_RCV, CHANGE, I_POINT, U_POINT, dis_per, N_RECAMT, THEA_AMT,"
                " POINT_CASH, POINT_RATE, CONSUMER, DIS_PRICE, IC_AMT, CAN_DATE, CREDIT_ID, VISA_NO"
                " FROM POS_MASTERD WHERE SAL_NO = '02000002'"),
        Lines{"0|0|0|0|0|0|0|0|0|0|0|0|0|0||4000| 4000 "});
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

// A bill of an unknown machine is abandoned whole and named; a header the ERP refuses is named and its
// lines are copied all the same; either way the run goes on and the bill is done.
TEST_F(Copy, BillThatCannotBeCopiedIsNamedAndTheRunGoesOn) {
    addSoundBill(0, "101/12/10", "01000001", "09", 120);
    addSoundBill(0, "101/12/10", "01000002", " 02 ", 120);
    // Year 9000 of the ROC calendar gives an 11-character date, too long for CAN_DATE.
    addBill(0, "101/12/10", "01000003", "01", 120, {{"CAN_DATE", Value("9000/01/01")}});
    addLine(0, "101/12/10", "01000003", 1, "A001", 1, 120);
    startUp();
    run();

    EXPECT_EQ(loggedAfter("09 機號設置有誤..!"), "2012/12/1001000001!") << logText();
    EXPECT_TRUE(logged("2012/12/1001000003"));
    EXPECT_FALSE(logged("2012/12/1001000003!"));
    EXPECT_EQ(erpRows("SELECT SAL_NO, MCH_NO, STOCK_ID FROM POS_MASTER"), Lines{"01000002|02|S02"});
    EXPECT_EQ(erpRows("SELECT SAL_NO, STOCK_ID FROM POS_SUB ORDER BY SAL_NO"),
              (Lines{"01000002|S02", "01000003|S01"}));
    EXPECT_EQ(marks(0), (Lines{"01000001|True", "01000002|True", "01000003|True"}));
}

// A bill already in the ERP is written anew, every column; its ERP lines go, even when the store has none.
TEST_F(Copy, BillAlreadyInErpIsReplaced) {
    const Row header{{"SAL_DATE", Value("2012/12/10")}, {"SAL_NO", Value("01000001")},
                     {"MCH_NO", Value("01")},           {"REL_SAL", Value(999)},
                     {"INV3_SW", Value("X")},           {"INV3_MODE", Value("X")}};
    insertRow(*erp, "POS_MASTER", header);
    insertRow(*erp, "POS_SUB",
              {{"SAL_DATE", Value("2012/12/10")}, {"SAL_NO", Value("01000001")}, {"ORD_NO", Value("9")}});
    for (const char* salNo : {"02000001", "02000002"})
        insertRow(*erp, "POS_SUBD",
                  {{"SAL_DATE", Value("2012/12/10")}, {"SAL_NO", Value(salNo)}, {"ORD_NO", Value("1")}});
    addBill(0, "101/12/10", "01000001", "01", 120, {{"INV3_SW", Value("1")}, {"INV3_MODE", Value("2")}});
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
    addBill(1, "101/12/10", "02000001", "02", 120);
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT REL_SAL, INV3_SW, INV3_MODE FROM POS_MASTER"), Lines{"120|1|2"});
    EXPECT_EQ(erpRows("SELECT ORD_NO, PROD_ID FROM POS_SUB"), Lines{"1|A001"});
    EXPECT_EQ(erpRows("SELECT SAL_NO FROM POS_MASTERD"), Lines{"02000001"});
    EXPECT_EQ(erpRows("SELECT SAL_NO FROM POS_SUBD"), Lines{"02000002"});
}

class UnconvertibleDate : public Copy, public ::testing::WithParamInterface<int> {};

TEST_P(UnconvertibleDate, EndsTheRunInFamiliesZeroAndOneAndFailsOnlyItsBillOtherwise) {
    const int family = GetParam();
    const db::Family& f = db::family(family);
    addSoundBill(family, "abc/12/10", "01000001", "01", 120);
    addSoundBill(family, "101/12/10", "01000002", "01", 120);
    if (family <= 1) addBill(2, "101/12/10", "03000001", "01", 0);  // a family the run never reaches
    startUp();

    if (family <= 1) {
        std::string error;
        try {
            run();
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error, "'abc' is not a valid integer value");
        EXPECT_EQ(marks(family), (Lines{"01000001|Wait", "01000002|Wait"}));
        EXPECT_EQ(storeValue("SELECT COUNT(*) FROM POS_MAIN_CHG WHERE TRAN_CODE IS NULL"), "1");
    } else {
        run();
        EXPECT_TRUE(logged("abc/12/1001000001!")) << logText();
        EXPECT_EQ(erpRows(std::string("SELECT SAL_NO FROM ") + f.erpMaster), Lines{"01000002"});
        EXPECT_EQ(erpRows(std::string("SELECT SAL_NO FROM ") + f.erpLines), Lines{"01000002"});
        EXPECT_EQ(marks(family), (Lines{"01000001|True", "01000002|True"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Families, UnconvertibleDate, ::testing::Values(0, 1, 2, 3));

// --- Line copy ------------------------------------------------------------------------------------

// A line takes its product's values: those of the first product whose code or barcode is the line's
// code, with the category of the exact code. An unknown code is replaced by the temporary product,
// whose field is read trimmed.
TEST_F(Copy, LineTakesItsProductsValuesOrTheTemporaryProducts) {
    erp->execute("UPDATE PRODUCT SET PSALE_PRICE = 7, STD_COST = 3 WHERE PROD_ID = 'TEMP'");
    // A fresh table without an index is read in the order its rows were written, so the product
    // carrying the code as its barcode is the first row of the look-up by code or barcode.
    addProduct("Z9", "C77", Value("I09"), "條碼品", Value(0), 1, 1);
    addProduct("C77", "4710077", Value("I77"), "本品", Value(0), 1, 1);
    addBill(1, "101/12/10", "02000001 ", "02", 0);
    addLine(1, "101/12/10", "02000001", 1, " A001", 2, 120,
            {{"TASTE", Value("少飯")}, {"tbar_code", Value("TB1")}, {"bar_code", Value("B1")}});
    addLine(1, "101/12/10", "02000001", 2, "ZZ9 ", 1, 30,
            {{"tbar_code", Value("TB9")}, {"bar_code", Value("B9")}});
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
}

// A product without category (NULL) is not copied, and is named; an empty category is a category, and
// the temporary product's missing one is empty. Until a line is copied, messages name the bill by its
// header's number; after, as its lines store it.
TEST_F(Copy, LineOfAProductWithoutCategoryIsNamedAndLeftOut) {
    erp->execute("UPDATE PRODUCT SET PD_ITEMID = NULL WHERE PROD_ID = 'TEMP'");
    addProduct("EMPTY", "4710003", Value(""), "空分類", Value(0), 1, 1);
    addBill(1, "101/12/10", "02000001", "02", 0);
    addLine(1, "101/12/10", "02000001  ", 1, "NOCAT ", 1, 10);
    addLine(1, "101/12/10", "02000001  ", 2, "EMPTY", 1, 10);
    addLine(1, "101/12/10", "02000001  ", 3, "NOCAT", 1, 10);
    addLine(1, "101/12/10", "02000001  ", 4, "ZZ9", 1, 10);
    startUp();
    run();

    EXPECT_EQ(timesLogged("2012/12/1002000001__NOCAT_分類未設置!"), 1) << logText();
    EXPECT_EQ(timesLogged("2012/12/1002000001  __NOCAT_分類未設置!"), 1);
    EXPECT_EQ(erpRows("SELECT SAL_NO, ORD_NO, PROD_ID, PD_ITEMID FROM POS_SUBD ORDER BY ORD_NO"),
              (Lines{"02000001  |2|EMPTY|", "02000001  |4|TEMP|"}));
}

// Quantity, sign, pack counts, sale price, tax kind and costs of a line, one line of one bill per case.
TEST_F(Copy, LineValues) {
    addProduct("P20", "4720020", Value("I20"), "毛利品", Value(20), 30, 28);
    addProduct("P125", "4720125", Value("I20"), "小數毛利", Value(12.5), 30, 28);
    addProduct("PNUL", "4720000", Value("I20"), "無毛利", Value(), 30, 28);
    for (const auto& [barcode, cost, pack] : {std::tuple{"V6", 120, 6}, {"V0", 0, 6}, {"VZ", 120, 0}})
        insertRow(*erp, "PROD_SALE",
                  {{"SAL_BARCODE", Value(barcode)}, {"STD_COST", Value(cost)}, {"PACK_QTY", Value(pack)}});
    auto pack = [](int pieces, const char* barcode) {
        return Row{{"PAK_QTY", Value(pieces)}, {"V_BAR_CODE", Value(barcode)}};
    };
    const Value none;
    struct Case {
        const char* product;
        double qty, price;
        Row extra;
        const char* expected;  // SAL_QTY|AMT|FLAG|PAK_QTY|ORG_QTY|PSALE_PRICE|TAX_KIND|STD_COST|AVG_COST
    };
    const Case cases[] = {
        // Quantities: whole numbers, negative for a return.
        {"A001", 2, 120, {}, "2|240||1|1|120|1|55|52.5"},
        {"A001", 2, 120, {{"SAL_CODE", Value("退")}}, "-2|240|退|1|1|120|1|55|52.5"},
        {"A001", -2, 120, {{"SAL_CODE", Value("退")}}, "-2|-240|退|1|1|120|1|55|52.5"},
        {"A001", 1.5, 120, {}, "0|180||1|1|120|1|55|52.5"},
        // Pack counts: 1 when NULL.
        {"A001", 1, 120, {{"PAK_QTY", none}, {"ORG_QTY", none}}, "1|120||1|1|120|1|55|52.5"},
        {"A001", 1, 120, {{"PAK_QTY", Value(3)}, {"ORG_QTY", Value(4)}}, "1|120||3|4|120|1|55|52.5"},
        // Sale price and tax kind: the line's own when it has one.
        {"A001", 1, 100, {{"STD_PRICE", Value(99)}, {"TAX_KIND", Value("2")}}, "1|100||1|1|99|2|55|52.5"},
        {"A001", 1, 100, {{"STD_PRICE", Value(0)}, {"TAX_KIND", Value("")}}, "1|100||1|1|120|1|55|52.5"},
        {"A001", 1, 100, {{"STD_PRICE", none}, {"TAX_KIND", none}}, "1|100||1|1|120|1|55|52.5"},
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

// --- Quotes and code page 950 ---------------------------------------------------------------------

// Quotes and crafted values are copied as they stand, and change nothing but their own row; code page
// 950 text arrives byte for byte, second bytes equal to a backslash and user-defined characters too.
TEST_F(Copy, TextsAreCopiedAsTheyStand) {
    const std::string crafted = "X' OR '1'='1";
    const std::string dropper = "'; DELETE FROM PRODUCT; --";
    const std::string bigFive = "許功蓋" + cp950::toUtf8("\xFA\x40");
    addProduct("A'1", "4710011", Value("I01"), "O'Brien", Value(0), 1, 1);
    insertRow(*erp, "POS_MASTER", {{"SAL_DATE", Value("2012/12/01")}, {"SAL_NO", Value("OTHER")}});
    insertRow(*erp, "POS_SUB",
              {{"SAL_DATE", Value("2012/12/01")}, {"SAL_NO", Value("OTHER")}, {"ORD_NO", Value("1")}});
    addExported("2012/12/01", "OTHER");
    addBill(0, "101/12/10", crafted, "01", 130);
    addLine(0, "101/12/10", crafted, 1, "A'1", 1, 100,
            {{"CO_NAME", Value(dropper)}, {"TASTE", Value("'辣'")}});
    addLine(0, "101/12/10", crafted, 2, crafted, 1, 30,
            {{"CO_NAME", Value(bigFive)}, {"TASTE", Value(crafted)}, {"bar_code", Value("B1")}});
    addBill(0, "101/12/10", "01000002", "0' OR ''='", 0);
    startUp();
    run();

    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM PRODUCT"), "5");
    EXPECT_EQ(erpRows("SELECT SAL_NO, REL_SAL FROM POS_MASTER ORDER BY SAL_NO"),
              (Lines{"OTHER|<null>", crafted + "|130"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, PROD_ID, PROD_NAME, CO_NAME, TASTE, PROD_ID2, tbar_code FROM POS_SUB"
                      " ORDER BY SAL_NO, ORD_NO"),
              (Lines{"OTHER|<null>|<null>|<null>|<null>|<null>|<null>",
                     crafted + "|A'1|O'Brien|" + dropper + "|'辣'|A'1|TBA'1",
                     crafted + "|TEMP|暫用商品|" + bigFive + "|" + crafted + "|" + crafted + "|B1"}));
    EXPECT_TRUE(logged("101/12/10 " + crafted + " " + crafted + "商品不存在商品檔中..!!")) << logText();
    EXPECT_TRUE(logged("0' OR ''=' 機號設置有誤..!"));
    EXPECT_EQ(marks(0), (Lines{"01000002|True", crafted + "|True"}));
    const std::string storeBytes = storedBytes(*store, "CO_NAME", "FROM POS_MAST WHERE ORD_NO = '2'");
    EXPECT_EQ(storeBytes, "\xB3\x5C\xA5\x5C\xBB\x5C\xFA\x40");
    EXPECT_EQ(storedBytes(*erp, "CO_NAME", "FROM POS_SUB WHERE ORD_NO = '2'"), storeBytes);
    EXPECT_EQ(storedBytes(*erp, "PROD_NAME", "FROM POS_SUB WHERE ORD_NO = '2'"),
              storedBytes(*erp, "PROD_NAME", "FROM PRODUCT WHERE PROD_ID = 'TEMP'"));
}

}  // namespace
