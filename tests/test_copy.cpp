// The copy of bill headers and bill lines, seen through whole runs in mode 0 against real embedded
// databases: what each ERP column receives, how a bill or a line that cannot be copied is reported,
// and the verification that puts inconsistent bills back.
//
// Tests that only look at line values use family 1: the verification reads family 0 alone, so a
// bill there need not add up to its lines.

#include "db/codepage.h"
#include "tests/support/run_fixture.h"
#include "transfer/texts.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

using namespace lumvik;
using namespace lumvik::testing;
using db::Value;
using Kind = HeadlessOperator::Box::Kind;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

namespace {

class Copy : public RunFixture {
  protected:
    void addProduct(const std::string& id, const std::string& barcode, const Value& item,
                    const std::string& name, const Value& defProfit, double stdCost, double avgCost) {
        insertRow(*erp, "PRODUCT",
                  {{"PROD_ID", Value(id)},
                   {"PROD_BARCODE", Value(barcode)},
                   {"PD_ITEMID", item},
                   {"PSALE_PRICE", Value(100)},
                   {"PROD_NAME", Value(name)},
                   {"PROD_SCALE", Value("小")},
                   {"UNITNAME", Value("個")},
                   {"STOCK_QTY", Value(1)},
                   {"FREE_TAX", Value(0)},
                   {"PUT_ID", Value("P2")},
                   {"DEF_PROFIT", defProfit},
                   {"STD_COST", Value(stdCost)},
                   {"AVG_COST", Value(avgCost)},
                   {"MS", Value("M")},
                   {"TAX_KIND", Value("1")}});
    }

    void addExported(const std::string& gregorianDate, const std::string& salNo) {
        insertRow(*erp, "POSTOSALE", {{"SAL_DATE", Value(gregorianDate)}, {"SAL_NO", Value(salNo)}});
    }

    // The TRAN_CODE of every bill of a store family, in bill number order.
    Lines tranCodes(int family) {
        return storeRows(std::string("SELECT SAL_NO, TRAN_CODE FROM ") + db::family(family).storeMaster +
                         " ORDER BY SAL_NO");
    }

    // How many log lines equal `line`.
    [[nodiscard]] long timesLogged(const std::string& line) const {
        return std::count(op.logLines.begin(), op.logLines.end(), line);
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
    addBill(0, "101/12/10", " 01000001 ", " 01 ", 120,
            {{"CO_NO", Value("C1")},
             {"CO_CODE", Value("CC1")},
             {"SAL_TIME", Value(" 12:30 ")},
             {"CST_NO", Value(" M001 ")},
             {"HU_PER", Value(3)},
             {"CLASS_NO", Value("2")},
             {"MAN_CODE", Value(" S9 ")},
             {"SAL_AMT", Value(130)},
             {"DISCOUNT", Value(5)},
             {"DIS_TTT", Value(5)},
             {"CASH", Value(100)},
             {"VISA", Value(20)},
             {"DISROL", Value(1.5)},
             {"GIVE", Value(2.5)},
             {"PDCSHET", Value(3)},
             {"REL_RCV", Value(150.25)},
             {"CHANGE", Value(30.25)},
             {"I_POINT", Value(12)},
             {"U_POINT", Value(6)},
             {"DIS_PER", Value(12.5)},
             {"N_RECAMT", Value(7)},
             {"THEA_AMT", Value(8)},
             {"POINT_CASH", Value(3.5)},
             {"POINT_RATE", Value(0.1)},
             {"CONSUMER", Value(4)},
             {"VISA_NO", Value("1234567890123456789")},
             {"USE_TYPE", Value("1")},
             {"TAB_NO", Value(" T5 ")},
             {"CARD_ID", Value(" C01 ")},
             {"iCash_Give", Value(9)},
             {"VISA_MODE", Value("V")},
             {"DIS_PRICE", Value(30)},
             {"CAN_DATE", Value("101/12/09")},
             {"DIS_NO", Value(" D1")},
             {"MAN_SALE", Value("Y")},
             {"CR_FLAG", Value("N")},
             {"IC_CARD", Value(" IC9 ")},
             {"IC_AMT", Value(40)},
             {"INV3_SW", Value("1")},
             {"INV3_MODE", Value("2")}});
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
    EXPECT_EQ(tranCodes(0), Lines{" 01000001 |True"});
}

TEST_F(Copy, HeaderFillsMissingStoreValuesWithDefaults) {
    addBill(1, "101/12/10", "02000001", "02", 50,
            {{"REL_RCV", Value()}, {"CHANGE", Value()}, {"VISA_NO", Value(" 4000 ")}});
    startUp();
    run();

    // GIVE, iCash_Give, the point and decimal columns, DIS_PRICE, IC_AMT and CAN_DATE are NULL in
    // the store; VISA_NO keeps its blanks, CREDIT_ID loses them.
    EXPECT_EQ(
        erpRows("SELECT GIVE, ICASH_GIVE, REL_RCV, CHANGE, I_POINT, U_POINT, dis_per, N_RECAMT, THEA_AMT,"
                " POINT_CASH, POINT_RATE, CONSUMER, DIS_PRICE, IC_AMT, CAN_DATE, CREDIT_ID, VISA_NO"
                " FROM POS_MASTERD"),
        Lines{"0|0|0|0|0|0|0|0|0|0|0|0|0|0||4000| 4000 "});
}

TEST_F(Copy, HeaderNumberTextsThatAreNoNumbersBecomeZero) {
    // Older store databases keep these columns as texts.
    for (const char* column : {"DIS_PRICE", "IC_AMT", "REL_RCV", "CHANGE", "I_POINT"}) {
        store->execute(std::string("ALTER TABLE POS_MAID DROP ") + column);
        store->execute(std::string("ALTER TABLE POS_MAID ADD ") + column + " VARCHAR(20)");
    }
    struct Case {
        const char* column;  // the same name in the store and in the ERP
        const char* stored;
        const char* expected;
    };
    const Case cases[] = {
        {"DIS_PRICE", "12.5", "0"}, {"IC_AMT", "7x", "0"},     {"REL_RCV", "abc", "0"},
        {"CHANGE", "1,5", "0"},     {"I_POINT", "2.5", "2.5"},
    };
    Row extra;
    for (const auto& c : cases)
        extra.emplace_back(c.column, Value(c.stored));
    addBill(1, "101/12/10", "02000001", "02", 50, extra);
    startUp();
    run();

    for (const auto& c : cases)
        EXPECT_EQ(erpValue(std::string("SELECT ") + c.column + " FROM POS_MASTERD"), c.expected)
            << c.column << " = '" << c.stored << "'";
}

class ExportedBill : public Copy, public ::testing::WithParamInterface<int> {};

TEST_P(ExportedBill, IsSkippedOnlyInFamiliesZeroAndOne) {
    const int family = GetParam();
    const db::Family& f = db::family(family);
    addExported("2012/12/10", "01000001");
    addExported("101/12/10", "01000002");  // the ROC form of the date names no bill
    addBill(family, "101/12/10", " 01000001", "01", 120);
    addLine(family, "101/12/10", "01000001", 1, "A001", 1, 120);
    addBill(family, "101/12/10", "01000002", "01", 120);
    addLine(family, "101/12/10", "01000002", 1, "A001", 1, 120);
    startUp();
    run();

    const bool skipped = family <= 1;
    EXPECT_EQ(logged("2012/12/10: 01000001已銷售轉出到銷貨單.."), skipped);
    EXPECT_EQ(erpRows(std::string("SELECT SAL_NO FROM ") + f.erpMaster + " ORDER BY SAL_NO"),
              (skipped ? Lines{"01000002"} : Lines{"01000001", "01000002"}));
    EXPECT_EQ(erpRows(std::string("SELECT SAL_NO FROM ") + f.erpLines + " ORDER BY SAL_NO"),
              (skipped ? Lines{"01000002"} : Lines{"01000001", "01000002"}));
    EXPECT_EQ(tranCodes(family), (Lines{" 01000001|True", "01000002|True"}));
}

INSTANTIATE_TEST_SUITE_P(Families, ExportedBill, ::testing::Values(0, 1, 2, 3));

TEST_F(Copy, ProgressBarsFollowCopiedBillsAndLines) {
    addExported("2012/12/10", "01000001");
    addBill(0, "101/12/10", "01000001", "01", 120);
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
    addBill(0, "101/12/10", "01000002", "01", 120);
    addLine(0, "101/12/10", "01000002", 1, "A001", 1, 120);
    addBill(0, "101/12/10", "01000003", "01", 230);
    addLine(0, "101/12/10", "01000003", 1, "A001", 1, 120);
    addLine(0, "101/12/10", "01000003", 2, "A002", 1, 110);
    addLine(0, "101/12/10", "01000003", 2, "A002", 1, 110);  // identical: one line
    startUp();
    // The store table is read in the order its rows were written: 01000003 is the last bill.
    int repaintsAtStart = -1;
    op.onLog = [&](const std::string& line) {
        if (line == transfer::texts::kFamilyConnected && repaintsAtStart < 0) repaintsAtStart = op.repaints;
    };
    std::vector<int> afterFamilyZero;
    platform.onSleep = [&](std::chrono::milliseconds d) {
        if (d == 500ms && afterFamilyZero.empty())
            afterFamilyZero = {op.billPosition, op.billMaximum, op.linePosition, op.lineMaximum,
                               op.repaints - repaintsAtStart};
    };
    run();

    // Two of three bills: the exported one does not move the bar; a repaint for each bill.
    EXPECT_EQ(afterFamilyZero, (std::vector<int>{2, 3, 2, 2, 3}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, ORD_NO FROM POS_SUB ORDER BY SAL_NO, ORD_NO"),
              (Lines{"01000002|1", "01000003|1", "01000003|2"}));
}

TEST_F(Copy, UnknownMachineAbandonsOnlyItsBill) {
    addBill(0, "101/12/10", "01000001", "09", 120);
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
    addBill(0, "101/12/10", "01000002", " 02 ", 120);
    addLine(0, "101/12/10", "01000002", 1, "A001", 1, 120);
    startUp();
    run();

    EXPECT_EQ(loggedAfter("09 機號設置有誤..!"), "2012/12/1001000001!") << logText();
    EXPECT_EQ(erpRows("SELECT SAL_NO, MCH_NO, STOCK_ID FROM POS_MASTER"), Lines{"01000002|02|S02"});
    EXPECT_EQ(erpRows("SELECT SAL_NO, STOCK_ID FROM POS_SUB"), Lines{"01000002|S02"});
    EXPECT_EQ(tranCodes(0), (Lines{"01000001|True", "01000002|True"}));
}

TEST_F(Copy, BillAlreadyInErpIsReplacedWithAllColumns) {
    insertRow(*erp, "POS_MASTER",
              {{"SAL_DATE", Value("2012/12/10")},
               {"SAL_NO", Value("01000001")},
               {"MCH_NO", Value("01")},
               {"REL_SAL", Value(999)},
               {"INV3_SW", Value("X")},
               {"INV3_MODE", Value("X")}});
    insertRow(*erp, "POS_SUB",
              {{"SAL_DATE", Value("2012/12/10")},
               {"SAL_NO", Value("01000001")},
               {"ORD_NO", Value("9")},
               {"PROD_ID", Value("OLD")},
               {"AMT", Value(999)}});
    addBill(0, "101/12/10", "01000001", "01", 120, {{"INV3_SW", Value("1")}, {"INV3_MODE", Value("2")}});
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT REL_SAL, INV3_SW, INV3_MODE FROM POS_MASTER"), Lines{"120|1|2"});
    EXPECT_EQ(erpRows("SELECT ORD_NO, PROD_ID FROM POS_SUB"), Lines{"1|A001"});
}

TEST_F(Copy, BillWithoutStoreLinesLosesItsErpLines) {
    for (const char* salNo : {"02000001", "02000002"})
        insertRow(*erp, "POS_SUBD",
                  {{"SAL_DATE", Value("2012/12/10")}, {"SAL_NO", Value(salNo)}, {"ORD_NO", Value("1")}});
    addBill(1, "101/12/10", "02000001", "02", 120);
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT SAL_NO FROM POS_MASTERD"), Lines{"02000001"});
    EXPECT_EQ(erpRows("SELECT SAL_NO FROM POS_SUBD"), Lines{"02000002"});
}

TEST_F(Copy, FailedHeaderInsertLogsTheBillAndStillCopiesItsLines) {
    // Year 9000 of the ROC calendar gives an 11-character date, too long for CAN_DATE.
    addBill(0, "101/12/10", "01000001", "01", 120, {{"CAN_DATE", Value("9000/01/01")}});
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
    startUp();
    run();

    EXPECT_TRUE(logged("2012/12/1001000001")) << logText();
    EXPECT_FALSE(logged("2012/12/1001000001!"));
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_MASTER"), "0");
    EXPECT_EQ(erpRows("SELECT SAL_NO, PROD_ID FROM POS_SUB"), Lines{"01000001|A001"});
    EXPECT_EQ(tranCodes(0), Lines{"01000001|True"});
}

class UnconvertibleDate : public Copy, public ::testing::WithParamInterface<int> {};

TEST_P(UnconvertibleDate, EndsTheRunInFamiliesZeroAndOneAndFailsOnlyItsBillOtherwise) {
    const int family = GetParam();
    const db::Family& f = db::family(family);
    addBill(family, "abc/12/10", "01000001", "01", 120);
    addLine(family, "abc/12/10", "01000001", 1, "A001", 1, 120);
    addBill(family, "101/12/10", "01000002", "01", 120);
    addLine(family, "101/12/10", "01000002", 1, "A001", 1, 120);
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
        EXPECT_EQ(tranCodes(family), (Lines{"01000001|Wait", "01000002|Wait"}));
        EXPECT_EQ(storeValue("SELECT COUNT(*) FROM POS_MAIN_CHG WHERE TRAN_CODE IS NULL"), "1");
        EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POSCHANGE_MASTER"), "0");
    } else {
        run();
        EXPECT_TRUE(logged("abc/12/1001000001!")) << logText();
        EXPECT_EQ(erpRows(std::string("SELECT SAL_NO FROM ") + f.erpMaster), Lines{"01000002"});
        EXPECT_EQ(erpRows(std::string("SELECT SAL_NO FROM ") + f.erpLines), Lines{"01000002"});
        EXPECT_EQ(tranCodes(family), (Lines{"01000001|True", "01000002|True"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Families, UnconvertibleDate, ::testing::Values(0, 1, 2, 3));

// --- Line copy ------------------------------------------------------------------------------------

TEST_F(Copy, StoreLinesEqualInEveryColumnBecomeOneErpLine) {
    addBill(1, "101/12/10", "02000001", "02", 0);
    addLine(1, "101/12/10", "02000001", 1, "A001", 1, 120);
    addLine(1, "101/12/10", "02000001", 1, "A001", 1, 120);
    addLine(1, "101/12/10", "02000001", 2, "A002", 1, 110, {{"TASTE", Value("辣")}});
    addLine(1, "101/12/10", "02000001", 2, "A002", 1, 110, {{"TASTE", Value("不辣")}});
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT ORD_NO, TASTE FROM POS_SUBD ORDER BY ORD_NO, TASTE"),
              (Lines{"1|", "2|不辣", "2|辣"}));
}

TEST_F(Copy, LineOfAKnownProductTakesTheProductsValues) {
    addBill(1, "101/12/10", "02000001", "02", 240);
    addLine(1, "101/12/10", "02000001", 1, " A001", 2, 120,
            {{"TASTE", Value("少飯")}, {"tbar_code", Value("TB1")}, {"bar_code", Value("B1")}});
    startUp();
    run();

    EXPECT_EQ(
        erpRows(
            "SELECT SAL_DATE, SAL_NO, ORD_NO, PROD_ID, CO_NAME, TASTE, SAL_QTY, AMT, U_PRICE FROM POS_SUBD"),
        Lines{"2012/12/10|02000001|1|A001|品名|少飯|2|240|120"});
    EXPECT_EQ(erpRows("SELECT PROD_NAME, PROD_SCALE, UNITNAME, STOCK_QTY, BAR_CODE, tbar_code, PD_ITEMID,"
                      " STOCK_ID, STORE_ID, FLAG, MS, PUT_ID, free_tax, PSALE_PRICE, TAX_KIND, chg_date"
                      " FROM POS_SUBD"),
              Lines{"排骨飯|中|份|5|4710001|TB1|I01|S02|||M|P1|0|120|1|2012/12/11"});
}

TEST_F(Copy, ProductCategoryDecidesWhetherTheLineIsCopied) {
    addProduct("EMPTY", "4710003", Value(""), "空分類", Value(0), 1, 1);
    addBill(1, "101/12/10", "02000001", "02", 0);
    addLine(1, "101/12/10", "02000001", 1, "NOCAT ", 1, 10);
    addLine(1, "101/12/10", "02000001", 2, "EMPTY", 1, 10);
    startUp();
    run();

    EXPECT_TRUE(logged("2012/12/1002000001__NOCAT_分類未設置!")) << logText();
    EXPECT_EQ(erpRows("SELECT ORD_NO, PROD_ID, PD_ITEMID FROM POS_SUBD"), Lines{"2|EMPTY|"});
}

TEST_F(Copy, UnknownProductIsReplacedByTheTemporaryProduct) {
    erp->execute("UPDATE PRODUCT SET PSALE_PRICE = 7, STD_COST = 3 WHERE PROD_ID = 'TEMP'");
    addBill(1, "101/12/10", "02000001 ", "02", 30);
    addLine(1, "101/12/10", "02000001", 1, "ZZ9 ", 1, 30,
            {{"tbar_code", Value("TB9")}, {"bar_code", Value("B9")}});
    startUp();
    run();

    EXPECT_TRUE(logged("101/12/10 02000001  ZZ9 商品不存在商品檔中..!!")) << logText();
    EXPECT_EQ(
        erpRows("SELECT PROD_ID, PROD_NAME, BAR_CODE, PSALE_PRICE, STD_COST, PD_ITEMID, PROD_ID2, tbar_code"
                " FROM POS_SUBD"),
        Lines{"TEMP|暫用商品|TEMP|7|3|I99|ZZ9 |B9"});
}

TEST_F(Copy, TemporaryProductWithoutCategoryGivesAnEmptyCategory) {
    erp->execute("UPDATE PRODUCT SET PD_ITEMID = NULL WHERE PROD_ID = 'TEMP'");
    addBill(1, "101/12/10", "02000001", "02", 30);
    addLine(1, "101/12/10", "02000001", 1, "ZZ9", 1, 30);
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT PROD_ID, PD_ITEMID FROM POS_SUBD"), Lines{"TEMP|"});
}

TEST_F(Copy, CodeThatIsAlsoAnotherProductsBarcode) {
    // A fresh table without an index is read in the order its rows were written, so the product
    // carrying the code as its barcode is the first row of the look-up by code or barcode.
    addProduct("Z9", "C77", Value("I09"), "條碼品", Value(0), 1, 1);
    addProduct("C77", "4710077", Value("I77"), "本品", Value(0), 1, 1);
    addBill(1, "101/12/10", "02000001", "02", 0);
    addLine(1, "101/12/10", "02000001", 1, "C77", 1, 10);
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT PROD_ID, PROD_NAME, BAR_CODE, PD_ITEMID, PROD_ID2 FROM POS_SUBD"),
              Lines{"Z9|條碼品|C77|I77|C77"});
}

TEST_F(Copy, QuantitiesSignsAndPackCounts) {
    struct Case {
        int ordNo;
        double qty;
        const char* salCode;
        Value pakQty, orgQty;
        const char* expected;  // ORD_NO|SAL_QTY|AMT|FLAG|PAK_QTY|ORG_QTY
    };
    const Case cases[] = {
        {1, 2, "", Value(1), Value(1), "1|2|240||1|1"},
        {2, 2, "退", Value(1), Value(1), "2|-2|240|退|1|1"},
        {3, -2, "退", Value(1), Value(1), "3|-2|-240|退|1|1"},
        {4, 1.5, "", Value(1), Value(1), "4|0|180||1|1"},
        {5, 1, "", Value(), Value(), "5|1|120||1|1"},
        {6, 1, "", Value(3), Value(4), "6|1|120||3|4"},
    };
    addBill(1, "101/12/10", "02000001", "02", 0);
    Lines expected;
    for (const auto& c : cases) {
        addLine(1, "101/12/10", "02000001", c.ordNo, "A001", c.qty, 120,
                {{"SAL_CODE", Value(c.salCode)}, {"PAK_QTY", c.pakQty}, {"ORG_QTY", c.orgQty}});
        expected.emplace_back(c.expected);
    }
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT ORD_NO, SAL_QTY, AMT, FLAG, PAK_QTY, ORG_QTY FROM POS_SUBD ORDER BY ORD_NO"),
              expected);
}

TEST_F(Copy, SalePriceAndTaxKindPreferTheLinesOwn) {
    struct Case {
        int ordNo;
        Value stdPrice, taxKind;
        const char* expected;  // ORD_NO|PSALE_PRICE|TAX_KIND
    };
    const Case cases[] = {
        {1, Value(0), Value(""), "1|120|1"},
        {2, Value(99), Value("2"), "2|99|2"},
        {3, Value(), Value(), "3|120|1"},
    };
    addBill(1, "101/12/10", "02000001", "02", 0);
    Lines expected;
    for (const auto& c : cases) {
        addLine(1, "101/12/10", "02000001", c.ordNo, "A001", 1, 100,
                {{"STD_PRICE", c.stdPrice}, {"TAX_KIND", c.taxKind}});
        expected.emplace_back(c.expected);
    }
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT ORD_NO, PSALE_PRICE, TAX_KIND FROM POS_SUBD ORDER BY ORD_NO"), expected);
}

TEST_F(Copy, LineCostsFollowProfitPackAndPackCost) {
    addProduct("P20", "4720020", Value("I20"), "毛利品", Value(20), 30, 28);
    addProduct("P125", "4720125", Value("I20"), "小數毛利", Value(12.5), 30, 28);
    addProduct("PNUL", "4720000", Value("I20"), "無毛利", Value(), 30, 28);
    insertRow(*erp, "PROD_SALE",
              {{"SAL_BARCODE", Value("V6")}, {"STD_COST", Value(120)}, {"PACK_QTY", Value(6)}});
    insertRow(*erp, "PROD_SALE",
              {{"SAL_BARCODE", Value("V0")}, {"STD_COST", Value(0)}, {"PACK_QTY", Value(6)}});
    struct Case {
        int ordNo;
        const char* product;
        int pakQty;
        const char* vBarCode;
        const char* expected;  // ORD_NO|STD_COST|AVG_COST
    };
    const Case cases[] = {
        {1, "P20", 1, "", "1|40|40"},         // U_PRICE 50 less 20 percent
        {2, "P20", 6, "V6", "2|40|40"},       // the profit wins over the pack
        {3, "A001", 1, "V6", "3|55|52.5"},    // one piece: the product's costs
        {4, "A001", 6, "V6", "4|20|52.5"},    // 120 for a pack of 6
        {5, "A001", 6, "V0", "5|55|52.5"},    // a pack without cost
        {6, "A001", 6, "NONE", "6|55|52.5"},  // no pack
        {7, "P125", 6, "V6", "7|20|28"},      // 12.5 is no whole number
        {8, "P125", 1, "", "8|30|28"},       {9, "PNUL", 1, "", "9|30|28"},
    };
    addBill(1, "101/12/10", "02000001", "02", 0);
    Lines expected;
    for (const auto& c : cases) {
        addLine(1, "101/12/10", "02000001", c.ordNo, c.product, 1, 50,
                {{"PAK_QTY", Value(c.pakQty)}, {"V_BAR_CODE", Value(c.vBarCode)}});
        expected.emplace_back(c.expected);
    }
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT ORD_NO, STD_COST, AVG_COST FROM POS_SUBD ORDER BY ORD_NO"), expected);
}

TEST_F(Copy, PackOfNoPiecesFailsOnlyItsLine) {
    insertRow(*erp, "PROD_SALE",
              {{"SAL_BARCODE", Value("VZ")}, {"STD_COST", Value(120)}, {"PACK_QTY", Value(0)}});
    addBill(1, "101/12/10", "02000001", "02", 0);
    addLine(1, "101/12/10", "02000001", 1, "A001", 1, 50,
            {{"PAK_QTY", Value(6)}, {"V_BAR_CODE", Value("VZ")}});
    addLine(1, "101/12/10", "02000001", 2, "A002", 1, 50);
    startUp();
    run();

    EXPECT_TRUE(logged("2012/12/1002000001__A001_detail error!")) << logText();
    EXPECT_EQ(erpRows("SELECT ORD_NO, PROD_ID FROM POS_SUBD"), Lines{"2|A002"});
}

TEST_F(Copy, AfterTheFirstCopiedLineMessagesNameTheBillAsItsLinesStoreIt) {
    addBill(1, "101/12/10", "02000001", "02", 0);
    for (int ordNo : {1, 3})
        addLine(1, "101/12/10", "02000001  ", ordNo, "NOCAT", 1, 10);
    addLine(1, "101/12/10", "02000001  ", 2, "A001", 1, 120);
    startUp();
    run();

    const std::string first = "2012/12/1002000001__NOCAT_分類未設置!";
    const std::string later = "2012/12/1002000001  __NOCAT_分類未設置!";
    EXPECT_EQ(timesLogged(first), 1) << logText();
    EXPECT_EQ(timesLogged(later), 1);
    EXPECT_LT(std::find(op.logLines.begin(), op.logLines.end(), first) - op.logLines.begin(),
              std::find(op.logLines.begin(), op.logLines.end(), later) - op.logLines.begin());
    EXPECT_EQ(erpRows("SELECT SAL_NO, ORD_NO FROM POS_SUBD"), Lines{"02000001  |2"});
}

// --- Quotes and code page 950 ---------------------------------------------------------------------

TEST_F(Copy, QuotesAreCopiedLikeAnyOtherCharacter) {
    addProduct("A'1", "4710011", Value("I01"), "O'Brien", Value(0), 1, 1);
    addExported("2012/12/01", "other");
    addBill(0, "101/12/10", "01'000", "01", 130);
    addLine(0, "101/12/10", "01'000", 1, "A'1", 1, 100,
            {{"CO_NAME", Value("It's")}, {"TASTE", Value("'辣'")}});
    addLine(0, "101/12/10", "01'000", 2, "Q'9", 1, 30);
    startUp();
    run();

    EXPECT_EQ(erpRows("SELECT SAL_NO, REL_SAL FROM POS_MASTER"), Lines{"01'000|130"});
    EXPECT_EQ(
        erpRows("SELECT ORD_NO, PROD_ID, PROD_NAME, CO_NAME, TASTE, PROD_ID2 FROM POS_SUB ORDER BY ORD_NO"),
        (Lines{"1|A'1|O'Brien|It's|'辣'|A'1", "2|TEMP|暫用商品|品名||Q'9"}));
    EXPECT_TRUE(logged("101/12/10 01'000 Q'9商品不存在商品檔中..!!")) << logText();
    EXPECT_EQ(tranCodes(0), Lines{"01'000|True"});
}

TEST_F(Copy, CraftedValuesChangeNothingButTheirOwnRow) {
    const std::string crafted = "X' OR '1'='1";
    const std::string dropper = "'; DELETE FROM PRODUCT; --";
    insertRow(*erp, "POS_MASTER", {{"SAL_DATE", Value("2012/12/01")}, {"SAL_NO", Value("OTHER")}});
    insertRow(*erp, "POS_SUB",
              {{"SAL_DATE", Value("2012/12/01")}, {"SAL_NO", Value("OTHER")}, {"ORD_NO", Value("1")}});
    addExported("2012/12/01", "OTHER");
    addBill(0, "101/12/10", crafted, "01", 120);
    addLine(0, "101/12/10", crafted, 1, crafted, 1, 120,
            {{"CO_NAME", Value(dropper)}, {"TASTE", Value(crafted)}, {"bar_code", Value("B1")}});
    addBill(0, "101/12/10", "01000002", "0' OR ''='", 0);
    startUp();
    run();

    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM PRODUCT"), "4");
    EXPECT_EQ(erpRows("SELECT SAL_NO FROM POS_MASTER ORDER BY SAL_NO"), (Lines{"OTHER", crafted}));
    EXPECT_EQ(
        erpRows("SELECT SAL_NO, PROD_ID, CO_NAME, TASTE, tbar_code FROM POS_SUB ORDER BY SAL_NO"),
        (Lines{"OTHER|<null>|<null>|<null>|<null>", crafted + "|TEMP|" + dropper + "|" + crafted + "|B1"}));
    EXPECT_TRUE(logged("101/12/10 " + crafted + " " + crafted + "商品不存在商品檔中..!!")) << logText();
    EXPECT_TRUE(logged("0' OR ''=' 機號設置有誤..!"));
}

TEST_F(Copy, BigFiveTextArrivesByteIdentical) {
    // Second bytes equal to a backslash, and a user-defined character.
    const std::string name = "許功蓋" + cp950::toUtf8("\xFA\x40");
    addBill(0, "101/12/10", "01000001", "01", 120);
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120, {{"CO_NAME", Value(name)}});
    startUp();
    run();

    const std::string storeBytes = storedBytes(*store, "CO_NAME", "FROM POS_MAST");
    EXPECT_EQ(storeBytes, "\xB3\x5C\xA5\x5C\xBB\x5C\xFA\x40");
    EXPECT_EQ(storedBytes(*erp, "CO_NAME", "FROM POS_SUB"), storeBytes);
    EXPECT_EQ(storedBytes(*erp, "PROD_NAME", "FROM POS_SUB"),
              storedBytes(*erp, "PROD_NAME", "FROM PRODUCT WHERE PROD_ID = 'A001'"));
    EXPECT_EQ(erpValue("SELECT CO_NAME FROM POS_SUB"), name);
}

// --- Verification ---------------------------------------------------------------------------------

struct CheckCase {
    bool allDates;
    const char* countLine;
    Lines anomalies;
    Lines mastersAtCheck;
    Lines storeAtCheck;
    Lines finalMasters;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << (c.allDates ? "all dates" : "the chosen day");
}

class Verification : public Copy, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Verification, PutsBillsWhoseHeaderDiffersFromTheirLinesBack) {
    const CheckCase& c = GetParam();
    addBill(0, "101/12/09", "01000009", "01", 999);  // another day
    addLine(0, "101/12/09", "01000009", 1, "A001", 1, 120);
    addBill(0, "101/12/10", "01000010", "01", 999);
    addLine(0, "101/12/10", "01000010", 1, "A001", 1, 120);
    addBill(0, "101/12/10", "01000011", "01", 120);  // consistent
    addLine(0, "101/12/10", "01000011", 1, "A001", 1, 120);
    startUp();
    op.setAllDates(c.allDates);
    Lines masters, lines, marks;
    op.onLog = [&](const std::string& line) {
        if (line != transfer::texts::kCheckDone || !masters.empty()) return;
        masters = erpRows("SELECT SAL_NO FROM POS_MASTER ORDER BY SAL_NO");
        lines = erpRows("SELECT SAL_NO FROM POS_SUB ORDER BY SAL_NO");
        marks = tranCodes(0);
        // Repaired in the store before the repeated run copies the bills again.
        store->execute("UPDATE POS_MAIN SET REL_SAL = 120");
    };
    run();

    EXPECT_TRUE(logged(c.countLine)) << logText();
    for (const auto& anomaly : c.anomalies)
        EXPECT_TRUE(logged(anomaly)) << anomaly;
    EXPECT_EQ(timesLogged("異常資料:101/12/09__01000009重收設定中..!"), c.allDates ? 1 : 0);
    EXPECT_EQ(masters, c.mastersAtCheck);
    EXPECT_EQ(lines, c.mastersAtCheck);
    EXPECT_EQ(marks, c.storeAtCheck);
    EXPECT_EQ(erpRows("SELECT SAL_NO, REL_SAL FROM POS_MASTER ORDER BY SAL_NO"), c.finalMasters);
    EXPECT_EQ(tranCodes(0), (Lines{"01000009|True", "01000010|True", "01000011|True"}));
}

INSTANTIATE_TEST_SUITE_P(Days, Verification,
                         ::testing::Values(CheckCase{false,
                                                     "資料檢核有資料1筆異常..!",
                                                     {"異常資料:101/12/10__01000010重收設定中..!"},
                                                     {"01000009", "01000011"},
                                                     {"01000009|True", "01000010|Wait", "01000011|True"},
                                                     {"01000009|999", "01000010|120", "01000011|120"}},
                                           CheckCase{true,
                                                     "資料檢核有資料2筆異常..!",
                                                     {"異常資料:101/12/09__01000009重收設定中..!",
                                                      "異常資料:101/12/10__01000010重收設定中..!"},
                                                     {"01000011"},
                                                     {"01000009|Wait", "01000010|Wait", "01000011|True"},
                                                     {"01000009|120", "01000010|120", "01000011|120"}}),
                         [](const ::testing::TestParamInfo<CheckCase>& info) {
                             return info.param.allDates ? std::string("AllDates") : std::string("ChosenDay");
                         });

TEST_F(Copy, BillThatStaysInconsistentEndsInTheSevereAnomaly) {
    addBill(0, "101/12/10", "01000001", "01", 999);
    addLine(0, "101/12/10", "01000001", 1, "A001", 1, 120);
    startUp();

    EXPECT_EQ(runExpectingQuietEnd(), transfer::QuietEnd::SevereAnomaly);
    EXPECT_EQ(timesLogged("資料檢核有資料1筆異常..!"), 3) << logText();
    EXPECT_EQ(timesLogged("異常資料:101/12/10__01000001重收設定中..!"), 3);
    EXPECT_EQ(boxesOf(Kind::Warning), Lines{"資料嚴重異常,請連絡程式設計師..!"});
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_MASTER"), "0");
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_SUB"), "0");
    EXPECT_EQ(tranCodes(0), Lines{"01000001|Wait"});
}

}  // namespace
