// Bad store data and values written to break out of a statement, through whole runs against real
// embedded databases. Each case plants bad rows or values among sound bills of the same day and
// states where they end: logged and left out, written with a default, or left waiting for the next
// run. Every sound bill of the day must arrive whole all the same: its header and every line, each
// column with the value it has when nothing goes wrong. No password may reach the operator.

#include "app/settings.h"
#include "db/codepage.h"
#include "db/connections.h"
#include "db/tables.h"
#include "db/text.h"
#include "tests/support/run_fixture.h"
#include "transfer/family_prep.h"
#include "transfer/loc_ip.h"
#include "transfer/texts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

using namespace lumvik;
using namespace lumvik::testing;
using db::Value;
using Lines = std::vector<std::string>;
using Kind = HeadlessOperator::Box::Kind;
namespace texts = lumvik::transfer::texts;

namespace {

constexpr const char* kDay = "101/12/10";    // the store's date of every bill
constexpr const char* kDate = "2012/12/10";  // the same day in the ERP
const Value kNull;

// NUMERIC(15,2) and NUMERIC(15,4) at their ends, exactly.
const Value kNumericMax = Value::scaled(999999999999999, -2);
const Value kNumericMin = Value::scaled(-999999999999999, -2);
const Value kCostMax = Value::scaled(999999999999999, -4);

// Column values of an ERP row as the tests read them ("<null>" for NULL).
using Values = std::map<std::string, std::string, std::less<>>;
using Changes = std::vector<std::pair<std::string, std::string>>;

template <std::size_t N>
std::string columnList(const std::array<std::string_view, N>& columns) {
    std::string out;
    for (const auto column : columns)
        out += (out.empty() ? "" : ",") + std::string(column);
    return out;
}

template <std::size_t N>
std::string joined(const std::array<std::string_view, N>& columns, Values values, const Changes& changes) {
    for (const auto& [column, value] : changes) {
        EXPECT_TRUE(values.contains(column)) << "no column " << column;
        values[column] = value;
    }
    std::string out;
    for (const auto column : columns)
        out += (out.empty() ? "" : "|") + values.at(std::string(column));
    return out;
}

// Replaces every "#" of a text by a bill number.
std::string withNumber(std::string text, const std::string& number) {
    for (std::size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + number.size()))
        text.replace(at, 1, number);
    return text;
}

// What becomes of a planted bill (number #): its header and its two lines, each with the columns
// that differ from a sound bill's, or not there at all; and the log lines it gives.
struct Arrival {
    bool header = true;
    Changes headerChanges;
    bool line1 = true;  // the line of A001, which carries the bad value when a line does
    Changes line1Changes;
    bool line2 = true;  // the line of A002
    Changes line2Changes;
    Lines logs;
    std::optional<std::string> erpNumber;  // the number the ERP rows carry, when not the store's
};

Arrival headerWith(Changes changes) {
    Arrival a;
    a.headerChanges = std::move(changes);
    return a;
}

Arrival lineWith(Changes changes, Lines logs = {}) {
    Arrival a;
    a.line1Changes = std::move(changes);
    a.logs = std::move(logs);
    return a;
}

// The header arrives without number, and no line with it.
Arrival withoutNumber() {
    Arrival a;
    a.headerChanges = {{"SAL_NO", ""}};
    a.line1 = a.line2 = false;
    a.erpNumber = "";
    return a;
}

// The header insert fails and names the bill by date and number; the lines go all the same.
Arrival notCopiedHeader() {
    Arrival a;
    a.header = false;
    a.logs = {"2012/12/10#"};
    return a;
}

Arrival withoutLine() {
    Arrival a;
    a.line1 = false;
    return a;
}

// Nothing of the bill reaches the ERP.
Arrival notCopied(Lines logs) {
    Arrival a;
    a.header = a.line1 = a.line2 = false;
    a.logs = std::move(logs);
    return a;
}

class BadData : public RunFixture {
  protected:
    // ---- a sound bill ---------------------------------------------------------------------------

    // Every header column the copy reads, none NULL, none at its default. REL_SAL minus the lines'
    // HEA_AMT equals their AMT less both shares, so that the check of family 0 passes.
    static Row soundHeader() {
        return {{"CO_NO", Value("C1")},
                {"CO_CODE", Value("CC1")},
                {"SAL_TIME", Value("12:00:00")},
                {"CST_NO", Value("M001")},
                {"HU_PER", Value(2)},
                {"CLASS_NO", Value("1")},
                {"MAN_CODE", Value("S1")},
                {"VISA_NO", Value("4000123412341234")},
                {"USE_TYPE", Value("1")},
                {"TAB_NO", Value("T1")},
                {"SAL_AMT", Value(250)},
                {"DISCOUNT", Value(10)},
                {"DIS_TTT", Value(26)},
                {"REL_SAL", Value(214)},
                {"CASH", Value(200)},
                {"VISA", Value(14)},
                {"DISROL", Value(1)},
                {"GIVE", Value(2)},
                {"PDCSHET", Value(3)},
                {"REL_RCV", Value(300.5)},
                {"CHANGE", Value(86.5)},
                {"I_POINT", Value(12)},
                {"U_POINT", Value(6)},
                {"POINT_RATE", Value(0.5)},
                {"POINT_CASH", Value(4)},
                {"CONSUMER", Value(7)},
                {"INV3_SW", Value("1")},
                {"INV3_MODE", Value("2")},
                {"CARD_ID", Value("C01")},
                {"iCash_Give", Value(9)},
                {"VISA_MODE", Value("V")},
                {"DIS_PRICE", Value(30)},
                {"CAN_DATE", Value("101/12/09")},
                {"DIS_NO", Value("D1")},
                {"DIS_PER", Value(12.5)},
                {"MAN_SALE", Value("Y")},
                {"CR_FLAG", Value("N")},
                {"IC_CARD", Value("IC9")},
                {"IC_AMT", Value(40)},
                {"N_RECAMT", Value(8)},
                {"THEA_AMT", Value(11)}};
    }

    // The ERP header of a sound bill.
    static Values soundErpHeader(const std::string& salNo, const std::string& machine) {
        return {{"SAL_DATE", kDate},
                {"SAL_NO", salNo},
                {"MCH_NO", machine},
                {"CO_NO", "C1"},
                {"CO_CODE", "CC1"},
                {"SAL_TIME", "12:00:00"},
                {"MEMBER_ID", "M001"},
                {"HU_PER", "2"},
                {"CLASS_NO", "1"},
                {"SALES_ID", "S1"},
                {"SAL_AMT", "250"},
                {"DISCOUNT", "10"},
                {"DIS_TTT", "26"},
                {"REL_SAL", "214"},
                {"CASH", "200"},
                {"CREDIT", "14"},
                {"DISROL", "1"},
                {"GIVE", "2"},
                {"PDCSHET", "3"},
                {"REL_RCV", "300.5"},
                {"CHANGE", "86.5"},
                {"CREDIT_ID", "4000123412341234"},
                {"USE_TYPE", "1"},
                {"TAB_NO", "T1"},
                {"STORE_ID", ""},
                {"STOCK_ID", "S" + machine},
                {"FLAG", "銷"},
                {"I_POINT", "12"},
                {"U_POINT", "6"},
                {"CARD_ID", "C01"},
                {"ICASH_GIVE", "9"},
                {"VISA_MODE", "V"},
                {"VISA_NO", "4000123412341234"},
                {"CST_NO", "M001"},
                {"DIS_PRICE", "30"},
                {"CAN_DATE", "2012/12/09"},
                {"dis_no", "D1"},
                {"dis_per", "12.5"},
                {"MAN_SALE", "Y"},
                {"CR_FLAG", "N"},
                {"IC_CARD", "IC9"},
                {"IC_AMT", "40"},
                {"N_RECAMT", "8"},
                {"THEA_AMT", "11"},
                {"CHG_DATE", "2012/12/11"},
                {"POINT_CASH", "4"},
                {"POINT_RATE", "0.5"},
                {"CONSUMER", "7"},
                {"INV3_SW", "1"},
                {"INV3_MODE", "2"}};
    }

    // Every line column the copy reads, none NULL, none at its default (PAK_QTY 3 looks for a pack
    // that does not exist, so the product's cost stays).
    static Row soundLine() {
        return {{"CO_NAME", Value("品名")},    {"RCO_NAME", Value("R名")},  {"SAL_QTY", Value(1)},
                {"U_PRICE", Value(120)},       {"PER", Value(1)},           {"SAL_CODE", Value("A")},
                {"V_CODE", Value("V")},        {"AMT", Value(120)},         {"TASTE", Value("少飯")},
                {"TEMP_NO", Value("T9")},      {"HEA_TAX", Value(1)},       {"HEA_AMT", Value(2)},
                {"STD_PRICE_BAS", Value(100)}, {"STD_PRICE", Value(99)},    {"PAK_QTY", Value(3)},
                {"V_BAR_CODE", Value("VB")},   {"TAX_KIND", Value("2")},    {"BAT_CODE", Value("BAT")},
                {"V_PDC_NO", Value("VP")},     {"ORG_QTY", Value(4)},       {"ORG_PRICE", Value(130)},
                {"rdd_price", Value(5)},       {"billid_no", Value("BL1")}, {"dis_per", Value(1)},
                {"dis_amt", Value(2)},         {"ttt_amt", Value(3)},       {"ttt_amt_n", Value(4)},
                {"dis_share", Value(10)},      {"ttt_share", Value(5)},     {"TEMPPRODID", Value("TP")},
                {"PER_AMT", Value(7)}};
    }

    // The ERP line of a sound line of product A001 (line 1) or A002 (line 2).
    static Values soundErpLine(const std::string& salNo, int ordNo, const std::string& machine) {
        const bool first = ordNo == 1;
        const std::string code = first ? "A001" : "A002";
        return {{"SAL_DATE", kDate},
                {"SAL_NO", salNo},
                {"ORD_NO", std::to_string(ordNo)},
                {"PROD_ID", code},
                {"CO_NAME", "品名"},
                {"RCO_NAME", "R名"},
                {"SAL_QTY", "1"},
                {"AMT", "120"},
                {"U_PRICE", "120"},
                {"PER", "1"},
                {"SAL_CODE", "A"},
                {"V_CODE", "V"},
                {"TASTE", "少飯"},
                {"TEMP_NO", "T9"},
                {"BAR_CODE", first ? "4710001" : "4710002"},
                {"PROD_ID2", code},
                {"PROD_NAME", first ? "排骨飯" : "牛肉麵"},
                {"PROD_SCALE", "中"},
                {"UNITNAME", "份"},
                {"STOCK_QTY", "5"},
                {"STOCK_ID", "S" + machine},
                {"STORE_ID", ""},
                {"PD_ITEMID", first ? "I01" : "I02"},
                {"FLAG", "A"},
                {"STD_COST", first ? "55" : "60"},
                {"AVG_COST", first ? "52.5" : "58"},
                {"MS", "M"},
                {"TAX_KIND", "2"},
                {"BAT_CODE", "BAT"},
                {"V_BAR_CODE", "VB"},
                {"V_PDC_NO", "VP"},
                {"PAK_QTY", "3"},
                {"ORG_QTY", "4"},
                {"ORG_PRICE", "130"},
                {"rdd_price", "5"},
                {"bill_no", "BL1"},
                {"tbar_code", "TB" + code},
                {"dis_per", "1"},
                {"dis_amt", "2"},
                {"ttt_amt", "3"},
                {"ttt_amt_n", "4"},
                {"dis_share", "10"},
                {"ttt_share", "5"},
                {"tempprodid", "TP"},
                {"free_tax", "0"},
                {"PUT_ID", "P1"},
                {"PSALE_PRICE", "99"},
                {"STD_PRICE_BAS", "100"},
                {"HEA_TAX", "1"},
                {"HEA_AMT", "2"},
                {"chg_date", "2012/12/11"}};
    }

    // What the temporary product puts into a line whose own code is unknown.
    static Changes temporaryProductLine(const std::string& storeCode, const std::string& barcode) {
        return {{"PROD_ID", "TEMP"},       {"BAR_CODE", "TEMP"},  {"PROD_ID2", storeCode},
                {"PROD_NAME", "暫用商品"}, {"PD_ITEMID", "I99"},  {"STD_COST", "0"},
                {"AVG_COST", "0"},         {"tbar_code", barcode}};
    }

    static Row merged(Row base, const Row& changes) {
        for (const auto& [name, value] : changes) {
            auto it = std::find_if(base.begin(), base.end(), [&](const auto& c) { return c.first == name; });
            if (it == base.end())
                base.emplace_back(name, value);
            else
                it->second = value;
        }
        return base;
    }

    // A bill of the day with the two sound lines; `header` and `line1` change the store values.
    void addBillOfTheDay(int family, const std::string& salNo, const std::string& machine,
                         const Row& header = {}, const Row& line1 = {}, const std::string& date = kDay) {
        addBill(family, date, salNo, machine, 214, merged(soundHeader(), header));
        addLine(family, date, salNo, 1, "A001", 1, 120, merged(soundLine(), line1));
        addLine(family, date, salNo, 2, "A002", 1, 120, soundLine());
    }

    // ---- what the ERP holds ---------------------------------------------------------------------

    Lines erpHeaders(int family, const std::string& salNo) {
        return erpRows("SELECT " + columnList(db::kErpMasterColumns) + " FROM " +
                       db::family(family).erpMaster + " WHERE SAL_NO = " + text::quoted(salNo));
    }
    Lines erpLinesOf(int family, const std::string& salNo) {
        return erpRows("SELECT " + columnList(db::kErpLineColumns) + " FROM " + db::family(family).erpLines +
                       " WHERE SAL_NO = " + text::quoted(salNo) + " ORDER BY ORD_NO");
    }

    // Checks the ERP rows of the bill `salNo` against what `arrival` says, and its log lines.
    void expectArrival(int family, const std::string& salNo, const std::string& machine,
                       const Arrival& arrival) {
        const std::string number = arrival.erpNumber.value_or(salNo);
        Lines headers, lines;
        if (arrival.header)
            headers.push_back(
                joined(db::kErpMasterColumns, soundErpHeader(number, machine), arrival.headerChanges));
        if (arrival.line1)
            lines.push_back(
                joined(db::kErpLineColumns, soundErpLine(number, 1, machine), arrival.line1Changes));
        if (arrival.line2)
            lines.push_back(
                joined(db::kErpLineColumns, soundErpLine(number, 2, machine), arrival.line2Changes));
        std::sort(lines.begin(), lines.end());
        Lines gotLines = erpLinesOf(family, number);
        std::sort(gotLines.begin(), gotLines.end());
        EXPECT_EQ(erpHeaders(family, number), headers);
        EXPECT_EQ(gotLines, lines);
        if (number != salNo) {
            EXPECT_EQ(erpHeaders(family, salNo), Lines{});
            EXPECT_EQ(erpLinesOf(family, salNo), Lines{});
        }
        for (const auto& line : arrival.logs)
            EXPECT_EQ(timesLogged(withNumber(line, salNo)), 1) << withNumber(line, salNo) << "\n"
                                                               << logText();
    }

    // A sound bill arrived whole, and no log line speaks of it.
    void expectWhole(int family, const std::string& salNo, const std::string& machine) {
        SCOPED_TRACE("sound bill " + salNo);
        expectArrival(family, salNo, machine, {});
        for (const auto& line : op.logLines)
            EXPECT_EQ(line.find(salNo), std::string::npos) << line;
    }

    // The code page 950 bytes of a text column of the one row `from` selects, read by the server
    // byte by byte, so that no conversion on the way out can hide a change.
    std::string storedBytes(db::Connection& connection, const std::string& column, const std::string& from) {
        std::string select = "SELECT OCTET_LENGTH(" + column + ")";
        for (int i = 1; i <= 60; ++i)
            select += ", ASCII_VAL(SUBSTRING(" + column + " FROM " + std::to_string(i) + " FOR 1))";
        const Lines rows = rowsOf(connection, select + " " + from);
        if (rows.size() != 1) return "<" + std::to_string(rows.size()) + " rows>";
        std::vector<std::string> parts;
        std::string part;
        for (const char c : rows.front() + "|")
            if (c == '|')
                parts.push_back(std::exchange(part, {}));
            else
                part += c;
        if (parts.front() == "<null>") return "<null>";
        std::string bytes;
        for (int i = 1; i <= std::stoi(parts.front()); ++i)
            bytes += static_cast<char>(std::stoi(parts.at(static_cast<std::size_t>(i))));
        return bytes;
    }

    // An SQL literal of raw code page 950 bytes, which puts them into a text column unconverted.
    static std::string hexLiteral(const std::string& bytes) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out = "x'";
        for (const unsigned char c : bytes) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return out + "'";
    }
};

// ---- NULL in every column the copy reads ------------------------------------------------------------

// One bill per header column, that column NULL, among sound bills; family 1, which the check after the
// copy leaves alone, so that each bill shows the copy's own doing. Texts become empty, numbers written
// as they stand become NULL, numbers read as numbers become 0; a bill without machine is not copied.
// A NULL date ends the run (see the dates below).
TEST_F(BadData, NullInEveryHeaderColumn) {
    const std::map<std::string, Arrival, std::less<>> cases{
        {"SAL_NO", withoutNumber()},
        {"MCH_NO", notCopied({" 機號設置有誤..!", "2012/12/10#!"})},
        {"CO_NO", headerWith({{"CO_NO", ""}})},
        {"CO_CODE", headerWith({{"CO_CODE", ""}})},
        {"SAL_TIME", headerWith({{"SAL_TIME", ""}})},
        {"CST_NO", headerWith({{"MEMBER_ID", ""}, {"CST_NO", ""}})},
        {"HU_PER", headerWith({{"HU_PER", "<null>"}})},
        {"CLASS_NO", headerWith({{"CLASS_NO", ""}})},
        {"MAN_CODE", headerWith({{"SALES_ID", ""}})},
        {"VISA_NO", headerWith({{"CREDIT_ID", ""}, {"VISA_NO", ""}})},
        {"USE_TYPE", headerWith({{"USE_TYPE", ""}})},
        {"TAB_NO", headerWith({{"TAB_NO", ""}})},
        {"SAL_AMT", headerWith({{"SAL_AMT", "<null>"}})},
        {"DISCOUNT", headerWith({{"DISCOUNT", "<null>"}})},
        {"DIS_TTT", headerWith({{"DIS_TTT", "<null>"}})},
        {"REL_SAL", headerWith({{"REL_SAL", "<null>"}})},
        {"CASH", headerWith({{"CASH", "<null>"}})},
        {"VISA", headerWith({{"CREDIT", "<null>"}})},
        {"DISROL", headerWith({{"DISROL", "<null>"}})},
        {"GIVE", headerWith({{"GIVE", "0"}})},
        {"PDCSHET", headerWith({{"PDCSHET", "<null>"}})},
        {"REL_RCV", headerWith({{"REL_RCV", "0"}})},
        {"CHANGE", headerWith({{"CHANGE", "0"}})},
        {"I_POINT", headerWith({{"I_POINT", "0"}})},
        {"U_POINT", headerWith({{"U_POINT", "0"}})},
        {"POINT_RATE", headerWith({{"POINT_RATE", "0"}})},
        {"POINT_CASH", headerWith({{"POINT_CASH", "0"}})},
        {"CONSUMER", headerWith({{"CONSUMER", "0"}})},
        // CHAR(1) columns: an empty text is stored as one blank.
        {"INV3_SW", headerWith({{"INV3_SW", " "}})},
        {"INV3_MODE", headerWith({{"INV3_MODE", " "}})},
        {"CARD_ID", headerWith({{"CARD_ID", ""}})},
        {"iCash_Give", headerWith({{"ICASH_GIVE", "0"}})},
        {"VISA_MODE", headerWith({{"VISA_MODE", ""}})},
        {"DIS_PRICE", headerWith({{"DIS_PRICE", "0"}})},
        {"CAN_DATE", headerWith({{"CAN_DATE", ""}})},
        {"DIS_NO", headerWith({{"dis_no", ""}})},
        {"DIS_PER", headerWith({{"dis_per", "0"}})},
        {"MAN_SALE", headerWith({{"MAN_SALE", ""}})},
        {"CR_FLAG", headerWith({{"CR_FLAG", " "}})},
        {"IC_CARD", headerWith({{"IC_CARD", ""}})},
        {"IC_AMT", headerWith({{"IC_AMT", "0"}})},
        {"N_RECAMT", headerWith({{"N_RECAMT", "0"}})},
        {"THEA_AMT", headerWith({{"THEA_AMT", "0"}})},
    };
    addBillOfTheDay(1, "02G001", "02");
    std::vector<std::pair<std::string, std::string>> planted;  // bill number, column
    for (const auto column : db::kStoreMasterColumns) {
        if (column == "SAL_DATE") continue;  // ends the run: see the dates below
        if (!cases.contains(column)) {
            ADD_FAILURE() << "no expectation for a NULL " << column;
            continue;
        }
        const std::string salNo = "02N" + std::to_string(planted.size() + 100);
        addBillOfTheDay(1, salNo, "02", {{std::string(column), kNull}});
        planted.emplace_back(salNo, column);
    }
    addBillOfTheDay(1, "02G002", "02");
    startUp();
    run();

    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    for (const auto& [salNo, column] : planted) {
        SCOPED_TRACE("NULL " + column + " in " + salNo);
        expectArrival(1, salNo, "02", cases.find(column)->second);
    }
    expectWhole(1, "02G001", "02");
    expectWhole(1, "02G002", "02");
    EXPECT_EQ(storeValue("SELECT COUNT(*) FROM POS_MAID WHERE TRAN_CODE IS DISTINCT FROM 'True'"), "0");
}

// One bill per line column, that column NULL in the bill's first line. A line without date or number
// is no line of the bill; a line without product code is tied to the temporary product, and named.
TEST_F(BadData, NullInEveryLineColumn) {
    const std::map<std::string, Arrival, std::less<>> cases{
        {"SAL_DATE", withoutLine()},
        {"SAL_NO", withoutLine()},
        {"ORD_NO", lineWith({{"ORD_NO", ""}})},
        {"PDC_NO", lineWith(temporaryProductLine("", "BA001"), {"101/12/10 # 商品不存在商品檔中..!!"})},
        {"tbar_code", lineWith({{"tbar_code", ""}})},
        {"bar_code", {}},  // only the temporary product takes it
        {"CO_NAME", lineWith({{"CO_NAME", ""}})},
        {"RCO_NAME", lineWith({{"RCO_NAME", ""}})},
        {"SAL_QTY", lineWith({{"SAL_QTY", "0"}})},
        {"U_PRICE", lineWith({{"U_PRICE", "0"}})},
        {"PER", lineWith({{"PER", "<null>"}})},
        {"PER_AMT", {}},  // not copied
        {"SAL_CODE", lineWith({{"SAL_CODE", ""}, {"FLAG", ""}})},
        {"V_CODE", lineWith({{"V_CODE", ""}})},
        {"AMT", lineWith({{"AMT", "<null>"}})},
        {"TASTE", lineWith({{"TASTE", ""}})},
        {"TEMP_NO", lineWith({{"TEMP_NO", ""}})},
        {"HEA_TAX", lineWith({{"HEA_TAX", "0"}})},
        {"HEA_AMT", lineWith({{"HEA_AMT", "0"}})},
        {"STD_PRICE_BAS", lineWith({{"STD_PRICE_BAS", "0"}})},
        {"STD_PRICE", lineWith({{"PSALE_PRICE", "120"}})},  // the product's price
        {"PAK_QTY", lineWith({{"PAK_QTY", "1"}})},
        {"V_BAR_CODE", lineWith({{"V_BAR_CODE", ""}})},
        {"TAX_KIND", lineWith({{"TAX_KIND", "1"}})},  // the product's
        {"BAT_CODE", lineWith({{"BAT_CODE", ""}})},
        {"V_PDC_NO", lineWith({{"V_PDC_NO", ""}})},
        {"ORG_QTY", lineWith({{"ORG_QTY", "1"}})},
        {"ORG_PRICE", lineWith({{"ORG_PRICE", "0"}})},
        {"rdd_price", lineWith({{"rdd_price", "0"}})},
        {"billid_no", lineWith({{"bill_no", ""}})},
        {"dis_per", lineWith({{"dis_per", "0"}})},
        {"dis_amt", lineWith({{"dis_amt", "0"}})},
        {"ttt_amt", lineWith({{"ttt_amt", "0"}})},
        {"ttt_amt_n", lineWith({{"ttt_amt_n", "0"}})},
        {"dis_share", lineWith({{"dis_share", "0"}})},
        {"ttt_share", lineWith({{"ttt_share", "0"}})},
        {"TEMPPRODID", lineWith({{"tempprodid", ""}})},
    };
    addBillOfTheDay(1, "02G001", "02");
    std::vector<std::pair<std::string, std::string>> planted;  // bill number, column
    for (const auto column : db::kStoreLineColumns) {
        if (!cases.contains(column)) {
            ADD_FAILURE() << "no expectation for a NULL " << column;
            continue;
        }
        const std::string salNo = "02L" + std::to_string(planted.size() + 100);
        addBillOfTheDay(1, salNo, "02", {}, {{std::string(column), kNull}});
        planted.emplace_back(salNo, column);
    }
    addBillOfTheDay(1, "02G002", "02");
    startUp();
    run();

    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    for (const auto& [salNo, column] : planted) {
        SCOPED_TRACE("NULL " + column + " in " + salNo);
        expectArrival(1, salNo, "02", cases.find(column)->second);
    }
    expectWhole(1, "02G001", "02");
    expectWhole(1, "02G002", "02");
}

// ---- Dates that are no dates ------------------------------------------------------------------------

// A date whose year part is no whole number fails where it is converted: in families 0 and 1 before a
// bill is taken up, which ends the run and leaves the bill and those after it waiting for the next
// run; in families 2 and 3 inside the bill's own guard, which names the bill and goes on. Month and day
// are taken as they stand.
struct DateCase {
    const char* name;
    std::optional<const char*> date;  // NULL when none
    int family;
    const char* error;      // the run's error, when the run ends
    const char* logged;     // the bill's lines ("\n" between), when only the bill fails
    const char* arrivesAs;  // the ERP date, when the bill arrives
};

void PrintTo(const DateCase& c, std::ostream* os) {
    *os << c.name;
}

class Dates : public BadData, public ::testing::WithParamInterface<DateCase> {};

TEST_P(Dates, DatesThatAreNoDates) {
    const DateCase& c = GetParam();
    const std::string machine = c.family == 0 ? "01" : "03";
    const std::string before = machine + "G001", bad = machine + "D001", after = machine + "G002";
    addBillOfTheDay(c.family, before, machine);
    addBillOfTheDay(c.family, bad, machine);
    for (const char* table : {db::family(c.family).storeMaster, db::family(c.family).storeLines})
        store->execute(std::string("UPDATE ") + table +
                       " SET SAL_DATE = " + (c.date ? text::quoted(*c.date) : std::string("NULL")) +
                       " WHERE SAL_NO = '" + bad + "'");
    addBillOfTheDay(c.family, after, machine);
    addBillOfTheDay(c.family == 0 ? 2 : 0, "09G001", "01");  // a family after it, or before it
    startUp();

    std::string error;
    try {
        run();
    } catch (const std::exception& e) {
        error = e.what();
    }
    const db::Family& f = db::family(c.family);
    expectWhole(c.family, before, machine);
    if (c.error != nullptr) {
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(logged(texts::kCompleted));
        // The family was never closed: every bill of it waits, the one copied too.
        EXPECT_EQ(marks(c.family), (Lines{bad + "|Wait", before + "|Wait", after + "|Wait"}));
        EXPECT_EQ(erpRows(std::string("SELECT COUNT(*) FROM ") + f.erpMaster), Lines{"1"});
        EXPECT_EQ(marks(2), Lines{"09G001|<null>"});  // the run never reached it
        // Mended in the store, the bill and those after it go with the next run.
        for (const char* table : {f.storeMaster, f.storeLines})
            store->execute(std::string("UPDATE ") + table + " SET SAL_DATE = '101/12/10' WHERE SAL_NO = '" +
                           bad + "'");
        op.logLines.clear();
        run();
        expectWhole(c.family, bad, machine);
        expectWhole(c.family, after, machine);
        expectWhole(2, "09G001", "01");
        return;
    }
    EXPECT_EQ(error, "");
    EXPECT_TRUE(logged(texts::kCompleted)) << logText();
    expectWhole(c.family, after, machine);
    expectWhole(c.family == 0 ? 2 : 0, "09G001", "01");
    EXPECT_EQ(marks(c.family), (Lines{bad + "|True", before + "|True", after + "|True"}));
    if (c.logged != nullptr) {
        std::string lines = c.logged;
        for (std::size_t end = lines.find('\n'); !lines.empty(); end = lines.find('\n')) {
            const std::string line = lines.substr(0, end);
            lines = end == std::string::npos ? std::string() : lines.substr(end + 1);
            EXPECT_EQ(timesLogged(withNumber(line, bad)), 1) << withNumber(line, bad) << "\n" << logText();
        }
        EXPECT_EQ(erpHeaders(c.family, bad), Lines{});
        EXPECT_EQ(erpLinesOf(c.family, bad), Lines{});
    } else {
        const Changes date{{"SAL_DATE", c.arrivesAs}};
        EXPECT_EQ(erpHeaders(c.family, bad),
                  Lines{joined(db::kErpMasterColumns, soundErpHeader(bad, machine), date)});
        EXPECT_EQ(erpLinesOf(c.family, bad),
                  (Lines{joined(db::kErpLineColumns, soundErpLine(bad, 1, machine), date),
                         joined(db::kErpLineColumns, soundErpLine(bad, 2, machine), date)}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Dates,
    ::testing::Values(
        DateCase{"NullInSales", std::nullopt, 0, "'' is not a valid integer value", nullptr, nullptr},
        DateCase{"EmptyInSales", "", 0, "'' is not a valid integer value", nullptr, nullptr},
        DateCase{"LettersInSales", "abc/12/10", 0, "'abc' is not a valid integer value", nullptr, nullptr},
        DateCase{"MonthThirteenInSales", "101/13/45", 0, nullptr, nullptr, "2012/13/45"},
        DateCase{"NoDayInSales", "101/12", 0, nullptr, nullptr, "2012//12"},
        DateCase{"NullInChanges", std::nullopt, 2, nullptr, "#!", nullptr},
        DateCase{"EmptyInChanges", "", 2, nullptr, "#!", nullptr},
        DateCase{"LettersInChanges", "abc/12/10", 2, nullptr, "abc/12/10#!", nullptr},
        DateCase{"MonthThirteenInChanges", "101/13/45", 2, nullptr, nullptr, "2012/13/45"},
        DateCase{"NoDayInChanges", "101/12", 2, nullptr, nullptr, "2012//12"},
        // One digit too many: the ERP's SAL_DATE cannot hold "2012/012/10". The bill is looked for as it
        // stands, not found, and its header and each line fail on their own.
        DateCase{"TooWideForTheErpInSales", "101/012/10", 0, nullptr,
                 "2012/012/10#\n2012/012/10#__A001_detail error!\n2012/012/10#__A002_detail error!", nullptr},
        DateCase{"TooWideForTheErpInChanges", "101/012/10", 2, nullptr,
                 "2012/012/10#\n2012/012/10#__A001_detail error!\n2012/012/10#__A002_detail error!",
                 nullptr}),
    [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

// ---- An unknown machine ---------------------------------------------------------------------------

// A bill whose machine is not in MCH_ITEM is named twice and left out whole; the bills around it arrive
// whole. A machine number crafted to match any row finds nothing either, and one wider than MCH_ITEM's
// column (the store's is widened here) is looked for and not found like any other.
class UnknownMachine : public BadData, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnknownMachine, IsNamedAndLeftOutWhole) {
    const std::string machine = GetParam();
    store->execute("ALTER TABLE POS_MAIN ALTER MCH_NO TYPE VARCHAR(20)");  // wider than MCH_ITEM's
    addBillOfTheDay(0, "01G001", "01");
    addBillOfTheDay(0, "01U001", machine);
    addBillOfTheDay(0, "01G002", "01");
    startUp();
    run();

    expectArrival(0, "01U001", machine, notCopied({machine + " 機號設置有誤..!", "2012/12/10#!"}));
    expectWhole(0, "01G001", "01");
    expectWhole(0, "01G002", "01");
    EXPECT_EQ(marks(0), (Lines{"01G001|True", "01G002|True", "01U001|True"}));
    EXPECT_EQ(boxesOf(Kind::Information), Lines{texts::kCompleted});
}

const char* const kMachineCaseNames[] = {"NotInTheList", "CraftedToMatchAny", "WiderThanTheList"};

INSTANTIATE_TEST_SUITE_P(Machines, UnknownMachine, ::testing::Values("09", "0'OR''='", "01234567890123"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(kMachineCaseNames[info.index]);
                         });

// ---- Amounts that are no number ---------------------------------------------------------------------

// Older store databases keep number columns as texts, and a text may be no number. One bill per
// column and text, in family 3. A header value written as it stands makes the header insert fail: the
// bill is named by date and number and its lines still go. A line value written as it stands fails its
// line, named. Values read as numbers become 0, or their default.
TEST_F(BadData, AmountsThatAreNoNumber) {
    const std::map<std::string, Arrival, std::less<>> headerCases{
        {"SAL_AMT", notCopiedHeader()},
        {"DISCOUNT", notCopiedHeader()},
        {"DIS_TTT", notCopiedHeader()},
        {"REL_SAL", notCopiedHeader()},
        {"CASH", notCopiedHeader()},
        {"VISA", notCopiedHeader()},
        {"DISROL", notCopiedHeader()},
        {"GIVE", notCopiedHeader()},
        {"PDCSHET", notCopiedHeader()},
        {"iCash_Give", notCopiedHeader()},
        {"HU_PER", notCopiedHeader()},
        {"REL_RCV", headerWith({{"REL_RCV", "0"}})},
        {"CHANGE", headerWith({{"CHANGE", "0"}})},
        {"I_POINT", headerWith({{"I_POINT", "0"}})},
        {"U_POINT", headerWith({{"U_POINT", "0"}})},
        {"POINT_RATE", headerWith({{"POINT_RATE", "0"}})},
        {"POINT_CASH", headerWith({{"POINT_CASH", "0"}})},
        {"CONSUMER", headerWith({{"CONSUMER", "0"}})},
        {"DIS_PER", headerWith({{"dis_per", "0"}})},
        {"N_RECAMT", headerWith({{"N_RECAMT", "0"}})},
        {"THEA_AMT", headerWith({{"THEA_AMT", "0"}})},
        {"DIS_PRICE", headerWith({{"DIS_PRICE", "0"}})},
        {"IC_AMT", headerWith({{"IC_AMT", "0"}})},
    };
    Arrival failedLine = withoutLine();
    failedLine.logs = {"2012/12/10#__A001_detail error!"};
    const std::map<std::string, Arrival, std::less<>> lineCases{
        {"AMT", failedLine},
        {"PER", failedLine},
        {"SAL_QTY", lineWith({{"SAL_QTY", "0"}})},
        {"U_PRICE", lineWith({{"U_PRICE", "0"}})},
        {"HEA_TAX", lineWith({{"HEA_TAX", "0"}})},
        {"HEA_AMT", lineWith({{"HEA_AMT", "0"}})},
        {"STD_PRICE_BAS", lineWith({{"STD_PRICE_BAS", "0"}})},
        {"STD_PRICE", lineWith({{"PSALE_PRICE", "120"}})},
        {"PAK_QTY", lineWith({{"PAK_QTY", "1"}})},
        {"ORG_QTY", lineWith({{"ORG_QTY", "1"}})},
        {"ORG_PRICE", lineWith({{"ORG_PRICE", "0"}})},
        {"rdd_price", lineWith({{"rdd_price", "0"}})},
        {"dis_per", lineWith({{"dis_per", "0"}})},
        {"dis_amt", lineWith({{"dis_amt", "0"}})},
        {"ttt_amt", lineWith({{"ttt_amt", "0"}})},
        {"ttt_amt_n", lineWith({{"ttt_amt_n", "0"}})},
        {"dis_share", lineWith({{"dis_share", "0"}})},
        {"ttt_share", lineWith({{"ttt_share", "0"}})},
    };
    const char* const noNumbers[] = {"abc", "1,5", "12.5.3", "'; DELETE FROM PRODUCT; --"};
    for (const auto& [column, arrival] : headerCases) {
        store->execute("ALTER TABLE POS_MAIN_S DROP " + column);
        store->execute("ALTER TABLE POS_MAIN_S ADD " + column + " VARCHAR(30)");
    }
    for (const auto& [column, arrival] : lineCases) {
        store->execute("ALTER TABLE POS_MAST_S DROP " + column);
        store->execute("ALTER TABLE POS_MAST_S ADD " + column + " VARCHAR(30)");
    }
    const Lines products = erpRows("SELECT * FROM PRODUCT ORDER BY PROD_ID");
    addBillOfTheDay(3, "02G001", "02");
    struct Planted {
        std::string salNo, what;
        const Arrival* arrival;
    };
    std::vector<Planted> planted;
    for (const char* noNumber : noNumbers) {
        for (const auto& [column, arrival] : headerCases) {
            const std::string salNo = "02H" + std::to_string(planted.size() + 100);
            addBillOfTheDay(3, salNo, "02", {{column, Value(noNumber)}});
            planted.push_back({salNo, column + " '" + noNumber + "'", &arrival});
        }
        for (const auto& [column, arrival] : lineCases) {
            const std::string salNo = "02L" + std::to_string(planted.size() + 100);
            addBillOfTheDay(3, salNo, "02", {}, {{column, Value(noNumber)}});
            planted.push_back({salNo, column + " '" + noNumber + "'", &arrival});
        }
    }
    addBillOfTheDay(3, "02G002", "02");
    startUp();
    run();

    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    for (const auto& p : planted) {
        SCOPED_TRACE(p.what + " in " + p.salNo);
        expectArrival(3, p.salNo, "02", *p.arrival);
    }
    expectWhole(3, "02G001", "02");
    expectWhole(3, "02G002", "02");
    EXPECT_EQ(erpRows("SELECT * FROM PRODUCT ORDER BY PROD_ID"), products);
    EXPECT_EQ(storeValue("SELECT COUNT(*) FROM POS_MAIN_S WHERE TRAN_CODE IS DISTINCT FROM 'True'"), "0");
}

// ---- Numbers at the ends of their column types ------------------------------------------------------

// The largest and smallest value of each kind of number column the copy reads: SMALLINT, INTEGER,
// NUMERIC(15,2) and NUMERIC(5,2) in bills, lines and side tables. Each arrives as it stands, except a
// quantity, which is read as a 32-bit whole number: beyond that, or with a fraction, it is 0.
TEST_F(BadData, NumbersAtTheEndsOfTheirTypes) {
    struct Case {
        const char* name;
        Row header, line;
        Arrival arrival;
    };
    const Value smallMax(32767), smallMin(-32768), intMax(std::int64_t{2147483647}),
        intMin(std::int64_t{-2147483648});
    const std::string max = "9999999999999.99", min = "-9999999999999.99";
    const Case cases[] = {
        {"HU_PER max", {{"HU_PER", smallMax}}, {}, headerWith({{"HU_PER", "32767"}})},
        {"HU_PER min", {{"HU_PER", smallMin}}, {}, headerWith({{"HU_PER", "-32768"}})},
        {"DIS_PRICE max", {{"DIS_PRICE", intMax}}, {}, headerWith({{"DIS_PRICE", "2147483647"}})},
        {"DIS_PRICE min", {{"DIS_PRICE", intMin}}, {}, headerWith({{"DIS_PRICE", "-2147483648"}})},
        {"IC_AMT max", {{"IC_AMT", intMax}}, {}, headerWith({{"IC_AMT", "2147483647"}})},
        {"IC_AMT min", {{"IC_AMT", intMin}}, {}, headerWith({{"IC_AMT", "-2147483648"}})},
        {"SAL_AMT max", {{"SAL_AMT", kNumericMax}}, {}, headerWith({{"SAL_AMT", max}})},
        {"REL_SAL min", {{"REL_SAL", kNumericMin}}, {}, headerWith({{"REL_SAL", min}})},
        {"GIVE max", {{"GIVE", kNumericMax}}, {}, headerWith({{"GIVE", max}})},
        {"REL_RCV max", {{"REL_RCV", kNumericMax}}, {}, headerWith({{"REL_RCV", max}})},
        {"CHANGE min", {{"CHANGE", kNumericMin}}, {}, headerWith({{"CHANGE", min}})},
        {"I_POINT max", {{"I_POINT", kNumericMax}}, {}, headerWith({{"I_POINT", max}})},
        {"iCash_Give min", {{"iCash_Give", kNumericMin}}, {}, headerWith({{"ICASH_GIVE", min}})},
        {"DIS_PER max", {{"DIS_PER", Value::scaled(99999, -2)}}, {}, headerWith({{"dis_per", "999.99"}})},
        {"DIS_PER min", {{"DIS_PER", Value::scaled(-99999, -2)}}, {}, headerWith({{"dis_per", "-999.99"}})},
        {"SAL_QTY 32-bit max", {}, {{"SAL_QTY", intMax}}, lineWith({{"SAL_QTY", "2147483647"}})},
        {"SAL_QTY 32-bit min", {}, {{"SAL_QTY", intMin}}, lineWith({{"SAL_QTY", "-2147483648"}})},
        {"SAL_QTY past 32 bits",
         {},
         {{"SAL_QTY", Value(std::int64_t{2147483648})}},
         lineWith({{"SAL_QTY", "0"}})},
        {"SAL_QTY max", {}, {{"SAL_QTY", kNumericMax}}, lineWith({{"SAL_QTY", "0"}})},
        {"return of 32-bit max",
         {},
         {{"SAL_QTY", intMax}, {"SAL_CODE", Value("退")}},
         lineWith({{"SAL_QTY", "-2147483647"}, {"SAL_CODE", "退"}, {"FLAG", "退"}})},
        {"AMT max", {}, {{"AMT", kNumericMax}}, lineWith({{"AMT", max}})},
        {"AMT min", {}, {{"AMT", kNumericMin}}, lineWith({{"AMT", min}})},
        {"U_PRICE max", {}, {{"U_PRICE", kNumericMax}}, lineWith({{"U_PRICE", max}})},
        {"PAK_QTY max", {}, {{"PAK_QTY", smallMax}}, lineWith({{"PAK_QTY", "32767"}})},
        {"PAK_QTY min", {}, {{"PAK_QTY", smallMin}}, lineWith({{"PAK_QTY", "-32768"}})},
        {"ORG_QTY max", {}, {{"ORG_QTY", smallMax}}, lineWith({{"ORG_QTY", "32767"}})},
        {"ORG_QTY min", {}, {{"ORG_QTY", smallMin}}, lineWith({{"ORG_QTY", "-32768"}})},
        {"ORG_PRICE max", {}, {{"ORG_PRICE", kNumericMax}}, lineWith({{"ORG_PRICE", max}})},
        {"rdd_price min", {}, {{"rdd_price", kNumericMin}}, lineWith({{"rdd_price", min}})},
        {"STD_PRICE max", {}, {{"STD_PRICE", kNumericMax}}, lineWith({{"PSALE_PRICE", max}})},
        {"STD_PRICE_BAS max", {}, {{"STD_PRICE_BAS", kNumericMax}}, lineWith({{"STD_PRICE_BAS", max}})},
        {"HEA_AMT min", {}, {{"HEA_AMT", kNumericMin}}, lineWith({{"HEA_AMT", min}})},
        {"dis_share max", {}, {{"dis_share", kNumericMax}}, lineWith({{"dis_share", max}})},
        {"ttt_amt_n min", {}, {{"ttt_amt_n", kNumericMin}}, lineWith({{"ttt_amt_n", min}})},
    };
    addBillOfTheDay(1, "02G001", "02");
    for (std::size_t i = 0; i < std::size(cases); ++i)
        addBillOfTheDay(1, "02X" + std::to_string(100 + i), "02", cases[i].header, cases[i].line);
    addBillOfTheDay(1, "02G002", "02");
    // Side rows at the ends of their columns (POS_COST's line number is a SMALLINT in the ERP).
    for (const char* table : {"POS_GIVE", "POS_DISROL"})
        for (const auto& [sord, qty, amount] :
             {std::tuple{smallMax, intMax, kNumericMax}, {smallMin, intMin, kNumericMin}})
            insertRow(*store, table,
                      {{"SAL_DATE", Value(kDay)},
                       {"SAL_NO", Value("02G001")},
                       {"MCH_NO", Value("02")},
                       {"SORD", sord},
                       {"QTY", qty},
                       {"SAL_AMT", amount},
                       {"PRICE", amount}});
    for (const auto& [ordNo, cost] :
         {std::pair{smallMax, kCostMax}, std::pair{smallMin, Value::scaled(-999999999999999, -4)}})
        insertRow(*store, "POS_COST",
                  {{"SAL_DATE", Value(kDay)},
                   {"SAL_NO", Value("02G001")},
                   {"ORD_NO", ordNo},
                   {"PROD_ID", Value("A001")},
                   {"P_COST", cost},
                   {"U_PRICE", kNumericMax},
                   {"SAL_QTY", kNumericMin}});
    insertRow(*store, "POINT_MASTER",
              {{"SAL_DATE", Value(kDay)},
               {"SAL_NO", Value("02G001")},
               {"MEMBER_ID", Value("M001")},
               {"I_POINT", kNumericMax},
               {"U_POINT", kNumericMin},
               {"DISROL", kNumericMax}});
    startUp();
    run();

    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        expectArrival(1, "02X" + std::to_string(100 + i), "02", cases[i].arrival);
    }
    expectWhole(1, "02G001", "02");
    expectWhole(1, "02G002", "02");
    for (const char* table : {"POS_GIVE", "POS_DISROL"})
        EXPECT_EQ(erpRows(std::string("SELECT SORD, QTY, SAL_AMT, PRICE FROM ") + table + " ORDER BY SORD"),
                  (Lines{"-32768|-2147483648|" + min + "|" + min, "32767|2147483647|" + max + "|" + max}))
            << table;
    EXPECT_EQ(erpRows("SELECT ORD_NO, P_COST, U_PRICE, SAL_QTY, TRN_CODE FROM POS_COST ORDER BY ORD_NO"),
              (Lines{"-32768|-99999999999.9999|" + max + "|" + min + "|Y",
                     "32767|99999999999.9999|" + max + "|" + min + "|Y"}));
    EXPECT_EQ(erpRows("SELECT I_POINT, U_POINT, DISROL FROM POINT_MASTER"),
              Lines{max + "|" + min + "|" + max});
    for (const char* table : {"POS_GIVE", "POS_DISROL", "POS_COST", "POINT_MASTER"})
        EXPECT_EQ(
            storeRows(std::string("SELECT DISTINCT TRN_CODE FROM ") + table),
            Lines{std::string(table).starts_with("POS_GIVE") || std::string(table) == "POS_DISROL" ? "Y"
                                                                                                   : "True"})
            << table;
}

// A cost row whose line number the ERP's SMALLINT cannot hold cannot even be looked up: the look-up
// fails and ends the run, as a failing look-up does, before points and the check. The row waits in
// the store and every bill copied before it stays whole; once mended at the source, the next run
// finishes.
TEST_F(BadData, CostRowWhoseLineNumberTheErpCannotHoldEndsTheRunAtItsLookUp) {
    addBillOfTheDay(0, "01G001", "01");
    insertRow(*store, "POS_COST",
              {{"SAL_DATE", Value(kDay)},
               {"SAL_NO", Value("01G001")},
               {"ORD_NO", Value(std::int64_t{2147483647})},
               {"PROD_ID", Value("A001")},
               {"P_COST", Value(5)}});
    insertRow(*store, "POINT_MASTER",
              {{"SAL_DATE", Value(kDay)},
               {"SAL_NO", Value("01G001")},
               {"MEMBER_ID", Value("M001")},
               {"I_POINT", Value(5)}});
    startUp();

    std::string error;
    try {
        run();
    } catch (const std::exception& e) {
        error = e.what();
    }
    EXPECT_NE(error.find("numeric value is out of range"), std::string::npos) << error;
    expectWhole(0, "01G001", "01");
    EXPECT_EQ(storeRows("SELECT ORD_NO, TRN_CODE FROM POS_COST"), Lines{"2147483647|Wait"});
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_COST"), "0");
    EXPECT_EQ(storeRows("SELECT TRN_CODE FROM POINT_MASTER"), Lines{"<null>"});
    EXPECT_FALSE(logged(texts::kChecking));
    EXPECT_EQ(op.boxes, std::vector<HeadlessOperator::Box>{});

    store->execute("UPDATE POS_COST SET ORD_NO = 1");
    op.logLines.clear();
    run();
    Arrival costed;
    costed.line1Changes = {{"STD_COST", "5"}, {"AVG_COST", "5"}};
    expectArrival(0, "01G001", "01", costed);
    EXPECT_EQ(storeRows("SELECT TRN_CODE FROM POS_COST UNION ALL SELECT TRN_CODE FROM POINT_MASTER"),
              (Lines{"True", "True"}));
    EXPECT_EQ(boxesOf(Kind::Information), Lines{texts::kCompleted});
}

// ---- Texts at full width, double-byte and user-defined characters -------------------------------

// Raw code page 950 bytes, planted in the store without any conversion and read back from the ERP
// byte by byte. 許, 功 and 蓋 end in a backslash byte; FA40 to FEFE are user-defined characters.
const std::string kBackslashes = "\xB3\x5C\xA5\x5C\xBB\x5C";
const std::string kSale = "\xBE\x50";
const std::string kUserDefined =
    "\xFA\x40\xFA\x7E\xFA\xA1\xFA\xFE\xFB\x40\xFC\x7E\xFD\xA1\xFD\xFE\xFE\x40\xFE\xFE";  // 20 bytes

TEST_F(BadData, TextsAtFullWidthArriveByteForByte) {
    std::string coName = kBackslashes + kUserDefined;  // 40 bytes, as wide as CO_NAME
    while (coName.size() < 40)
        coName += kSale;
    const std::string rcoName = kUserDefined + kUserDefined;               // 40
    const std::string taste = kUserDefined + kUserDefined + kUserDefined;  // 60
    std::string productName;                                               // 60, as wide as PROD_NAME
    while (productName.size() < 60)
        productName += kBackslashes;
    const std::string knownCode = kUserDefined;                                          // 20
    const std::string unknownCode = kBackslashes + kBackslashes + kBackslashes + kSale;  // 20
    const std::string member = "M123456789" + kBackslashes + kSale + "\xFE\xFE";         // 20
    const std::string coNo = kBackslashes + kSale + "\xFA\x40";                    // 10, as wide as CO_NO
    const std::string billNo = "02" + kBackslashes + kBackslashes + kBackslashes;  // 20
    // VISA_NO is 20 wide in the store and 16 in the ERP: a character across the 16th byte is left out.
    const std::string visaAcross =
        "123456789012345\xB3\x5C"
        "67";
    const std::string visaWithin =
        "12345678901234\xB3\x5C"
        "67";
    const auto utf8 = [](const std::string& bytes) { return cp950::toUtf8(bytes); };

    insertRow(*erp, "PRODUCT",
              {{"PROD_ID", Value("PLACEHOLDER")},
               {"PROD_BARCODE", Value("4719000")},
               {"PD_ITEMID", Value("I01")},
               {"PSALE_PRICE", Value(120)},
               {"PROD_SCALE", Value("中")},
               {"UNITNAME", Value("份")},
               {"STOCK_QTY", Value(5)},
               {"FREE_TAX", Value(0)},
               {"PUT_ID", Value("P1")},
               {"DEF_PROFIT", Value(0)},
               {"STD_COST", Value(55)},
               {"AVG_COST", Value(52.5)},
               {"MS", Value("M")},
               {"TAX_KIND", Value("1")}});
    erp->execute("UPDATE PRODUCT SET PROD_ID = " + hexLiteral(knownCode) +
                 ", PROD_NAME = " + hexLiteral(productName) + " WHERE PROD_ID = 'PLACEHOLDER'");
    addBillOfTheDay(1, "02G001", "02");
    addBillOfTheDay(1, "02W001", "02");
    addBillOfTheDay(1, "02W002", "02");
    addBillOfTheDay(1, "02W003", "02");
    addBillOfTheDay(1, "02G002", "02");
    store->execute("UPDATE POS_MAID SET CST_NO = " + hexLiteral(member) +
                   ", CARD_ID = " + hexLiteral(kUserDefined) + ", VISA_NO = " + hexLiteral(visaAcross) +
                   ", CO_NO = " + hexLiteral(coNo) + ", IC_CARD = " + hexLiteral(kUserDefined) +
                   " WHERE SAL_NO = '02W001'");
    store->execute("UPDATE POS_MAID SET VISA_NO = " + hexLiteral(visaWithin) + " WHERE SAL_NO = '02W002'");
    store->execute("UPDATE POS_MASD SET PDC_NO = " + hexLiteral(knownCode) +
                   ", CO_NAME = " + hexLiteral(coName) + ", RCO_NAME = " + hexLiteral(rcoName) +
                   ", TASTE = " + hexLiteral(taste) + " WHERE SAL_NO = '02W001' AND ORD_NO = '1'");
    store->execute("UPDATE POS_MASD SET PDC_NO = " + hexLiteral(unknownCode) +
                   ", bar_code = " + hexLiteral(kUserDefined) + " WHERE SAL_NO = '02W001' AND ORD_NO = '2'");
    for (const char* table : {"POS_MAID", "POS_MASD"})
        store->execute(std::string("UPDATE ") + table + " SET SAL_NO = " + hexLiteral(billNo) +
                       " WHERE SAL_NO = '02W003'");
    insertRow(*store, "POS_GIVE",
              {{"SAL_DATE", Value(kDay)},
               {"SAL_NO", Value("02W001")},
               {"SORD", Value(1)},
               {"MAN_CODE", Value("X")}});
    store->execute("UPDATE POS_GIVE SET MAN_CODE = " + hexLiteral(kBackslashes + "\xFA\x40\xFE\xFE"));
    insertRow(*store, "POINT_MASTER",
              {{"SAL_DATE", Value(kDay)},
               {"SAL_NO", Value("02W001")},
               {"MEMBER_ID", Value("X")},
               {"I_POINT", Value(1)}});
    store->execute("UPDATE POINT_MASTER SET MEMBER_ID = " + hexLiteral(kUserDefined));
    startUp();
    run();

    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    const std::string header = "FROM POS_MASTERD WHERE SAL_NO = '02W001'";
    for (const auto& [column, bytes] :
         std::vector<std::pair<const char*, std::string>>{{"MEMBER_ID", member},
                                                          {"CST_NO", member},
                                                          {"CARD_ID", kUserDefined},
                                                          {"CO_NO", coNo},
                                                          {"IC_CARD", kUserDefined},
                                                          {"VISA_NO", "123456789012345"},
                                                          {"CREDIT_ID", "123456789012345"}})
        EXPECT_EQ(storedBytes(*erp, column, header), bytes) << column;
    for (const char* column : {"VISA_NO", "CREDIT_ID"})
        EXPECT_EQ(storedBytes(*erp, column, "FROM POS_MASTERD WHERE SAL_NO = '02W002'"),
                  visaWithin.substr(0, 16))
            << column;
    const std::string line1 = "FROM POS_SUBD WHERE SAL_NO = '02W001' AND ORD_NO = '1'";
    for (const auto& [column, bytes] :
         std::vector<std::pair<const char*, std::string>>{{"CO_NAME", coName},
                                                          {"RCO_NAME", rcoName},
                                                          {"TASTE", taste},
                                                          {"PROD_ID", knownCode},
                                                          {"PROD_ID2", knownCode},
                                                          {"PROD_NAME", productName}})
        EXPECT_EQ(storedBytes(*erp, column, line1), bytes) << column;
    const std::string line2 = "FROM POS_SUBD WHERE SAL_NO = '02W001' AND ORD_NO = '2'";
    EXPECT_EQ(storedBytes(*erp, "PROD_ID2", line2), unknownCode);
    EXPECT_EQ(storedBytes(*erp, "tbar_code", line2), kUserDefined);
    EXPECT_EQ(timesLogged("101/12/10 02W001 " + utf8(unknownCode) + texts::kUnknownProduct), 1) << logText();
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_SUBD WHERE SAL_NO = " + hexLiteral(billNo)), "2");
    EXPECT_EQ(storedBytes(*erp, "SAL_NO",
                          "FROM POS_MASTERD WHERE SAL_NO STARTING WITH '02' AND SAL_NO NOT STARTING "
                          "WITH '02G' AND SAL_NO NOT STARTING WITH '02W'"),
              billNo);
    EXPECT_EQ(storedBytes(*erp, "MAN_CODE", "FROM POS_GIVE"), kBackslashes + "\xFA\x40\xFE\xFE");
    EXPECT_EQ(storedBytes(*erp, "MEMBER_ID", "FROM POINT_MASTER"), kUserDefined);

    // Every other value of these bills is what a sound bill has.
    Arrival wide;
    wide.headerChanges = {{"MEMBER_ID", utf8(member)},     {"CST_NO", utf8(member)},
                          {"CARD_ID", utf8(kUserDefined)}, {"CO_NO", utf8(coNo)},
                          {"IC_CARD", utf8(kUserDefined)}, {"VISA_NO", "123456789012345"},
                          {"CREDIT_ID", "123456789012345"}};
    wide.line1Changes = {
        {"PROD_ID", utf8(knownCode)}, {"PROD_ID2", utf8(knownCode)}, {"PROD_NAME", utf8(productName)},
        {"BAR_CODE", "4719000"},      {"CO_NAME", utf8(coName)},     {"RCO_NAME", utf8(rcoName)},
        {"TASTE", utf8(taste)}};
    wide.line2Changes = temporaryProductLine(utf8(unknownCode), utf8(kUserDefined));
    expectArrival(1, "02W001", "02", wide);
    expectArrival(1, "02W002", "02",
                  headerWith({{"VISA_NO", utf8(visaWithin.substr(0, 16))},
                              {"CREDIT_ID", utf8(visaWithin.substr(0, 16))}}));
    Arrival numbered;
    numbered.erpNumber = utf8(billNo);
    expectArrival(1, "02W003", "02", numbered);
    expectWhole(1, "02G001", "02");
    expectWhole(1, "02G002", "02");
}

// A POS that cuts a name at a byte width can leave the first byte of a double-byte character at its
// end, or a lead byte before a byte that cannot follow it. The copy carries bytes, not characters:
// such a text arrives as the store holds it.
TEST_F(BadData, TextCutInsideACharacterArrivesAsStored) {
    const std::string cases[] = {
        "\xBE\x50\xA4",  // the first half of a character at the end
        "\xA4\x20x",     // a lead byte before a blank
        "\xFA\x40\xFE",  // a user-defined character, then half of one
        "\x81",          // a lone lead byte
    };
    addBillOfTheDay(1, "02G001", "02");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string salNo = "02C" + std::to_string(100 + i);
        addBillOfTheDay(1, salNo, "02");
        store->execute("UPDATE POS_MASD SET CO_NAME = " + hexLiteral(cases[i]) + " WHERE SAL_NO = '" + salNo +
                       "' AND ORD_NO = '1'");
        store->execute("UPDATE POS_MAID SET CST_NO = " + hexLiteral(cases[i]) + " WHERE SAL_NO = '" + salNo +
                       "'");
    }
    addBillOfTheDay(1, "02G002", "02");
    startUp();
    run();

    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string salNo = "02C" + std::to_string(100 + i);
        SCOPED_TRACE(salNo);
        EXPECT_EQ(
            storedBytes(*erp, "CO_NAME", "FROM POS_SUBD WHERE SAL_NO = '" + salNo + "' AND ORD_NO = '1'"),
            cases[i]);
        EXPECT_EQ(storedBytes(*erp, "CST_NO", "FROM POS_MASTERD WHERE SAL_NO = '" + salNo + "'"), cases[i]);
        EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_SUBD WHERE SAL_NO = '" + salNo + "'"), "2");
    }
    expectWhole(1, "02G001", "02");
    expectWhole(1, "02G002", "02");
}

// ---- Keys the ERP already holds twice ---------------------------------------------------------------

// The ERP holds the bill's header and each side table's key twice (nothing there forbids it). The bill
// is written once, whole; of each pair of side rows one is overwritten and the other kept; rows of
// other keys are not touched; the day's other bill arrives whole.
TEST_F(BadData, KeysTheErpHoldsTwice) {
    for (const double amount : {1.0, 2.0}) {
        insertRow(*erp, "POS_MASTER",
                  {{"SAL_DATE", Value(kDate)},
                   {"SAL_NO", Value("01G001")},
                   {"MCH_NO", Value("01")},
                   {"REL_SAL", Value(amount)}});
        for (const char* table : {"POS_GIVE", "POS_DISROL"})
            insertRow(*erp, table,
                      {{"SAL_DATE", Value(kDate)},
                       {"SAL_NO", Value("01G001")},
                       {"SORD", Value(1)},
                       {"SAL_AMT", Value(amount)}});
        insertRow(*erp, "POS_COST",
                  {{"SAL_DATE", Value(kDate)},
                   {"SAL_NO", Value("01G001")},
                   {"ORD_NO", Value(1)},
                   {"PROD_ID", Value("A001")},
                   {"P_COST", Value(amount)},
                   {"TRN_CODE", Value("Y")}});
        insertRow(*erp, "POINT_MASTER",
                  {{"SAL_DATE", Value(kDate)},
                   {"SAL_NO", Value("01G001")},
                   {"MEMBER_ID", Value("M0")},
                   {"I_POINT", Value(amount)},
                   {"TRN_CODE", Value("Y")}});
    }
    insertRow(*erp, "POS_SUB",
              {{"SAL_DATE", Value(kDate)},
               {"SAL_NO", Value("01G001")},
               {"ORD_NO", Value("9")},
               {"PROD_ID", Value("A002")},
               {"AMT", Value(1)}});
    // Rows of other keys of the same bill or day.
    for (const char* table : {"POS_GIVE", "POS_DISROL"})
        insertRow(*erp, table,
                  {{"SAL_DATE", Value(kDate)},
                   {"SAL_NO", Value("01G001")},
                   {"SORD", Value(2)},
                   {"SAL_AMT", Value(7)}});
    insertRow(*erp, "POS_COST",
              {{"SAL_DATE", Value(kDate)},
               {"SAL_NO", Value("01G001")},
               {"ORD_NO", Value(2)},
               {"PROD_ID", Value("A002")},
               {"P_COST", Value(7)},
               {"TRN_CODE", Value("Y")}});
    insertRow(*erp, "POINT_MASTER",
              {{"SAL_DATE", Value(kDate)},
               {"SAL_NO", Value("01G009")},
               {"MEMBER_ID", Value("M9")},
               {"I_POINT", Value(7)},
               {"TRN_CODE", Value("Y")}});
    addBillOfTheDay(0, "01G001", "01");
    addBillOfTheDay(0, "01G002", "01");
    for (const char* table : {"POS_GIVE", "POS_DISROL"})
        insertRow(*store, table,
                  {{"SAL_DATE", Value(kDay)},
                   {"SAL_NO", Value("01G001")},
                   {"MCH_NO", Value("01")},
                   {"SORD", Value(1)},
                   {"SAL_AMT", Value(10)}});
    insertRow(*store, "POS_COST",
              {{"SAL_DATE", Value(kDay)},
               {"SAL_NO", Value("01G001")},
               {"ORD_NO", Value(1)},
               {"PROD_ID", Value("A001")},
               {"P_COST", Value(40)}});
    insertRow(*store, "POINT_MASTER",
              {{"SAL_DATE", Value(kDay)},
               {"SAL_NO", Value("01G001")},
               {"MEMBER_ID", Value("M1")},
               {"I_POINT", Value(10)}});
    startUp();
    run();

    Arrival costed;
    costed.line1Changes = {{"STD_COST", "40"}, {"AVG_COST", "40"}};
    expectArrival(0, "01G001", "01", costed);
    expectWhole(0, "01G002", "01");
    auto oneOf = [](const Lines& got, const Lines& either, const Lines& other) {
        return got == either || got == other ? ::testing::AssertionSuccess()
                                             : ::testing::AssertionFailure() << ::testing::PrintToString(got);
    };
    for (const std::string table : {"POS_GIVE", "POS_DISROL"}) {
        EXPECT_TRUE(oneOf(erpRows("SELECT SORD, SAL_AMT, MCH_NO FROM " + table + " ORDER BY SORD, SAL_AMT"),
                          {"1|1|<null>", "1|10|01", "2|7|<null>"}, {"1|2|<null>", "1|10|01", "2|7|<null>"}))
            << table;
        EXPECT_EQ(storeRows("SELECT TRN_CODE FROM " + table), Lines{"Y"}) << table;
    }
    EXPECT_TRUE(oneOf(erpRows("SELECT ORD_NO, P_COST, TRN_CODE FROM POS_COST ORDER BY ORD_NO, P_COST"),
                      {"1|1|Y", "1|40|Y", "2|7|Y"}, {"1|2|Y", "1|40|Y", "2|7|Y"}));
    EXPECT_TRUE(
        oneOf(erpRows("SELECT SAL_NO, MEMBER_ID, I_POINT, TRN_CODE FROM POINT_MASTER ORDER BY SAL_NO, "
                      "I_POINT"),
              {"01G001|M0|1|Y", "01G001|M1|10|Y", "01G009|M9|7|Y"},
              {"01G001|M0|2|Y", "01G001|M1|10|Y", "01G009|M9|7|Y"}));
    EXPECT_EQ(storeRows("SELECT TRN_CODE FROM POS_COST UNION ALL SELECT TRN_CODE FROM POINT_MASTER"),
              (Lines{"True", "True"}));
    EXPECT_EQ(boxesOf(Kind::Information), Lines{texts::kCompleted});
}

// ---- No password reaches the operator ---------------------------------------------------------------

// Distinctive passwords for both connections; then a sound run, a run in mode 2, a run whose store and
// one whose ERP cannot be reached, start-ups whose connection entry is broken, and leaving. Nothing the
// operator is shown or given (log lines, boxes, errors, files beside the program, command lines) holds
// either password.
TEST_F(BadData, NoPasswordReachesTheOperator) {
    const std::string erpSecret = "Erp#Pw-7Qx!secret", storeSecret = "Store#Pw-3Zk!secret";
    dbs.dir.write(db::kConnectionsFileName, db::connectionEntryText(dbs.erp, erpSecret));
    dbs.dir.write("Wendry.exe", "");
    addBillOfTheDay(0, "01G001", "01");
    Lines shown;  // errors and other texts the window would show
    auto pressOk = [&] {
        try {
            run();
        } catch (const std::exception& e) {
            shown.push_back(e.what());
        }
    };
    startUp();
    op.setServerKind(-1);  // no server kind: the store's Password line stays as set here
    form->SQLConSource.params().set("Password", storeSecret);
    pressOk();
    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    EXPECT_EQ(form->SQLConSource.params().value("Password"), storeSecret);
    EXPECT_EQ(form->SQLConnection1.params().value("Password"), erpSecret);

    op.setTransferMode(2);
    pressOk();
    op.setTransferMode(0);

    op.setSourcePath(dbs.dir.file("no-store.fdb"));
    pressOk();
    op.setSourcePath(dbs.store);
    // The ERP goes away while the collector runs, after the run's checks have used it.
    platform.onSleep = [&](std::chrono::milliseconds) {
        form->SQLConnection1.params().set("Database", dbs.dir.file("no-erp.fdb"));
    };
    pressOk();
    platform.onSleep = nullptr;
    Lines warnings = boxesOf(Kind::Warning);
    ASSERT_EQ(warnings.size(), 2u) << logText();
    EXPECT_NE(warnings[0].find("no-store.fdb"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("no-erp.fdb"), std::string::npos) << warnings[1];

    // Start-ups whose connection entry cannot be used.
    const std::pair<const char*, std::string> brokenEntries[] = {
        {"missing-database.ini", db::connectionEntryText(dbs.dir.file("no-erp.fdb"), erpSecret)},
        {"no-driver.ini", "[Orvenna]\r\nDatabase=" + dbs.erp + "\r\nPassword=" + erpSecret + "\r\n"},
    };
    for (const auto& [file, text] : brokenEntries) {
        dbs.dir.write(file, text);
        FormCore broken(platform, op, FormFiles{.settings = {}, .connections = dbs.dir.path() / file});
        try {
            broken.FormCreate();
            ADD_FAILURE() << file << " started up";
        } catch (const std::exception& e) {
            shown.push_back(e.what());
        }
    }
    form->SQLConnection1.params().set("Database", dbs.erp);
    op.confirmAnswers = {true};
    EXPECT_TRUE(form->FormClose());

    Lines received = op.logLines;
    for (const auto& box : op.boxes)
        received.push_back(box.text);
    received.insert(received.end(), shown.begin(), shown.end());
    received.insert(received.end(), platform.startedCommandLines.begin(), platform.startedCommandLines.end());
    received.insert(received.end(), platform.openedPaths.begin(), platform.openedPaths.end());
    for (const auto& entry : std::filesystem::directory_iterator(dbs.dir.path())) {
        const std::string name = entry.path().filename().string();
        // The databases, and the connection entries that hold the password to begin with.
        if (name.ends_with(".fdb") || (name.ends_with(".ini") && name != kSettingsFileName)) continue;
        received.push_back(name + ": " + readBytes(entry.path()));
    }
    for (const char* file : {transfer::kLocIpFileName, transfer::kCheckQueryFileName, kSettingsFileName})
        EXPECT_TRUE(std::filesystem::exists(dbs.dir.path() / file)) << file;
    ASSERT_GE(shown.size(), 2u);
    for (const auto& text : received)
        for (const std::string& secret : {erpSecret, storeSecret})
            EXPECT_EQ(text.find(secret), std::string::npos) << text;
}

// ---- Texts that try to break out of a statement -----------------------------------------------------

// A text with quotes, backslashes, "%", ";" and "--" in a bill number, a member id, product codes,
// names and every side-table key: the bill arrives with the text as it stands and nothing else moves.
// The text also names a copy without lines, so that the check after the copy puts it back and deletes
// it by that name. The columns that hold it are widened so that the longest text fits, except those it
// is only looked up in (POSTOSALE, PROD_BARCODE, PROD_SALE), which then hold no such text.
struct NamedText {
    const char* name;
    const char* text;
};

const NamedText kUnsafeTexts[] = {
    {"AlwaysTrue", "X' OR '1'='1"},
    {"DeleteProducts", "'; DELETE FROM PRODUCT; --"},
    {"QuotesAndWildcards", "O'Brien\\ 50%_;--"},
    {"BackslashEscape", "\\'); DELETE FROM POS_SUB; --"},
    {"BigFiveBackslashThenQuote", "許功蓋' OR ''='"},  // the second byte of each character is a backslash
};

void PrintTo(const NamedText& t, std::ostream* os) {
    *os << t.name;
}

class UnsafeText : public BadData, public ::testing::WithParamInterface<NamedText> {
  protected:
    void widen() {
        const std::pair<const char*, const char*> storeColumns[] = {
            {"POS_MAIN", "SAL_NO"},       {"POS_MAIN", "CST_NO"},     {"POS_MAST", "SAL_NO"},
            {"POS_MAST", "PDC_NO"},       {"POS_MAST", "V_BAR_CODE"}, {"POS_GIVE", "SAL_NO"},
            {"POS_GIVE", "MAN_CODE"},     {"POS_DISROL", "SAL_NO"},   {"POS_DISROL", "MAN_CODE"},
            {"POS_COST", "SAL_NO"},       {"POS_COST", "PROD_ID"},    {"POINT_MASTER", "SAL_NO"},
            {"POINT_MASTER", "MEMBER_ID"}};
        for (const auto& [table, column] : storeColumns)
            store->execute(std::string("ALTER TABLE ") + table + " ALTER " + column + " TYPE VARCHAR(60)");
        const std::pair<const char*, const char*> erpColumns[] = {
            {"POS_MASTER", "SAL_NO"},      {"POS_MASTER", "MEMBER_ID"}, {"POS_MASTER", "CST_NO"},
            {"POS_SUB", "SAL_NO"},         {"POS_SUB", "PROD_ID"},      {"POS_SUB", "PROD_ID2"},
            {"POS_SUB", "V_BAR_CODE"},     {"PRODUCT", "PROD_ID"},      {"POS_GIVE", "SAL_NO"},
            {"POS_GIVE", "MAN_CODE"},      {"POS_DISROL", "SAL_NO"},    {"POS_DISROL", "MAN_CODE"},
            {"POS_COST", "SAL_NO"},        {"POS_COST", "PROD_ID"},     {"POINT_MASTER", "SAL_NO"},
            {"POINT_MASTER", "MEMBER_ID"}, {"MEMBER", "MEMBER_ID"}};
        for (const auto& [table, column] : erpColumns)
            erp->execute(std::string("ALTER TABLE ") + table + " ALTER " + column + " TYPE VARCHAR(60)");
    }

    // Everything of the ERP that the bad rows must not touch.
    Lines untouchable() {
        Lines all;
        for (const char* sql : {"SELECT * FROM PRODUCT ORDER BY PROD_ID", "SELECT * FROM PROD_SALE",
                                "SELECT * FROM MEMBER ORDER BY 1", "SELECT * FROM MCH_ITEM ORDER BY 1",
                                "SELECT * FROM POS_MASTER WHERE SAL_DATE <> '2012/12/10' ORDER BY SAL_NO",
                                "SELECT * FROM POS_SUB WHERE SAL_DATE <> '2012/12/10' ORDER BY SAL_NO",
                                "SELECT * FROM POS_GIVE WHERE SAL_DATE <> '2012/12/10'",
                                "SELECT * FROM POS_DISROL WHERE SAL_DATE <> '2012/12/10'",
                                "SELECT * FROM POS_COST WHERE SAL_DATE <> '2012/12/10'",
                                "SELECT * FROM POINT_MASTER WHERE SAL_DATE <> '2012/12/10'"}) {
            const Lines rows = erpRows(sql);
            all.push_back(std::string(sql) + ": " + std::to_string(rows.size()));
            all.insert(all.end(), rows.begin(), rows.end());
        }
        return all;
    }
};

TEST_P(UnsafeText, ChangesNothingButItsOwnRow) {
    const std::string bad = GetParam().text;
    widen();
    // What is already in the ERP, of another day.
    const std::string otherDay = "2012/12/01";
    insertRow(*erp, "POS_MASTER",
              {{"SAL_DATE", Value(otherDay)},
               {"SAL_NO", Value("01000001")},
               {"MCH_NO", Value("01")},
               {"REL_SAL", Value(120)}});
    insertRow(*erp, "POS_SUB",
              {{"SAL_DATE", Value(otherDay)},
               {"SAL_NO", Value("01000001")},
               {"ORD_NO", Value("1")},
               {"PROD_ID", Value("A001")},
               {"AMT", Value(120)}});
    for (const char* table : {"POS_GIVE", "POS_DISROL"})
        insertRow(*erp, table,
                  {{"SAL_DATE", Value(otherDay)},
                   {"SAL_NO", Value("01000001")},
                   {"SORD", Value(1)},
                   {"SAL_AMT", Value(77)}});
    insertRow(*erp, "POS_COST",
              {{"SAL_DATE", Value(otherDay)},
               {"SAL_NO", Value("01000001")},
               {"ORD_NO", Value(1)},
               {"PROD_ID", Value("A001")},
               {"P_COST", Value(8)},
               {"TRN_CODE", Value("Y")}});
    insertRow(*erp, "POINT_MASTER",
              {{"SAL_DATE", Value(otherDay)},
               {"SAL_NO", Value("01000001")},
               {"MEMBER_ID", Value("M001")},
               {"I_POINT", Value(3)},
               {"TRN_CODE", Value("Y")}});
    insertRow(*erp, "MEMBER", {{"MEMBER_ID", Value(bad)}, {"CARD_ID", Value("CARD9")}});
    insertRow(*erp, "MEMBER", {{"MEMBER_ID", Value("M001")}, {"CARD_ID", Value("CM1")}});
    insertRow(*erp, "PRODUCT",
              {{"PROD_ID", Value(bad)},
               {"PROD_BARCODE", Value("4719000")},
               {"PD_ITEMID", Value("I01")},
               {"PSALE_PRICE", Value(120)},
               {"PROD_NAME", Value(bad)},
               {"PROD_SCALE", Value("中")},
               {"UNITNAME", Value("份")},
               {"STOCK_QTY", Value(5)},
               {"FREE_TAX", Value(0)},
               {"PUT_ID", Value("P1")},
               {"DEF_PROFIT", Value(0)},
               {"STD_COST", Value(55)},
               {"AVG_COST", Value(52.5)},
               {"MS", Value("M")},
               {"TAX_KIND", Value("1")}});
    insertRow(*erp, "PROD_SALE",
              {{"SAL_BARCODE", Value("VB")}, {"STD_COST", Value(0)}, {"PACK_QTY", Value(6)}});
    // A copy of the day without lines, named by the text: the check deletes it by that name.
    insertRow(*erp, "POS_MASTER",
              {{"SAL_DATE", Value(kDate)},
               {"SAL_NO", Value("9" + bad)},
               {"MCH_NO", Value("01")},
               {"REL_SAL", Value(5)}});
    const Lines before = untouchable();

    addBillOfTheDay(0, "01G001", "01");
    addBillOfTheDay(0, bad, "01", {{"CST_NO", Value(bad)}, {"CARD_ID", kNull}},
                    {{"PDC_NO", Value(bad)},
                     {"CO_NAME", Value(bad)},
                     {"TASTE", Value(bad)},
                     {"V_BAR_CODE", Value(bad)},
                     {"tbar_code", Value("TB1")}});
    store->execute(
        "UPDATE POS_MAST SET PDC_NO = ?, bar_code = 'B9', CO_NAME = ? WHERE SAL_NO = ? AND ORD_NO = '2'",
        {Value("9" + bad), Value(bad), Value(bad)});
    addBillOfTheDay(0, "01G002", "01");
    for (const char* table : {"POS_GIVE", "POS_DISROL"}) {
        insertRow(*store, table,
                  {{"SAL_DATE", Value(kDay)},
                   {"SAL_NO", Value(bad)},
                   {"MCH_NO", Value("01")},
                   {"SORD", Value(1)},
                   {"MAN_CODE", Value(bad)},
                   {"SAL_AMT", Value(10)}});
        insertRow(*store, table,
                  {{"SAL_DATE", Value(kDay)},
                   {"SAL_NO", Value("01G001")},
                   {"MCH_NO", Value("01")},
                   {"SORD", Value(1)},
                   {"MAN_CODE", Value("M1")},
                   {"SAL_AMT", Value(20)}});
    }
    for (const auto& [salNo, product, cost] :
         {std::tuple{bad, bad, 33}, std::tuple{std::string("01G001"), std::string("A001"), 44}})
        insertRow(*store, "POS_COST",
                  {{"SAL_DATE", Value(kDay)},
                   {"SAL_NO", Value(salNo)},
                   {"ORD_NO", Value(1)},
                   {"PROD_ID", Value(product)},
                   {"P_COST", Value(cost)}});
    for (const auto& [salNo, member, points] :
         {std::tuple{bad, bad, 7}, std::tuple{std::string("01G001"), std::string("M001"), 5}})
        insertRow(*store, "POINT_MASTER",
                  {{"SAL_DATE", Value(kDay)},
                   {"SAL_NO", Value(salNo)},
                   {"MEMBER_ID", Value(member)},
                   {"I_POINT", Value(points)}});
    const Lines storeBefore =
        storeRows("SELECT COUNT(*) FROM POS_MAIN UNION ALL SELECT COUNT(*) FROM POS_MAST");
    startUp();
    run();

    EXPECT_EQ(untouchable(), before);
    EXPECT_EQ(storeRows("SELECT COUNT(*) FROM POS_MAIN UNION ALL SELECT COUNT(*) FROM POS_MAST"),
              storeBefore);
    {
        SCOPED_TRACE("the bill of the text");
        Arrival arrival;
        arrival.headerChanges = {{"MEMBER_ID", bad}, {"CST_NO", bad}, {"CARD_ID", "CARD9"}};
        arrival.line1Changes = {{"PROD_ID", bad},        {"PROD_ID2", bad},    {"PROD_NAME", bad},
                                {"BAR_CODE", "4719000"}, {"CO_NAME", bad},     {"TASTE", bad},
                                {"V_BAR_CODE", bad},     {"tbar_code", "TB1"}, {"STD_COST", "33"},
                                {"AVG_COST", "33"}};
        arrival.logs = {"101/12/10 # 9#商品不存在商品檔中..!!"};
        arrival.line2Changes = temporaryProductLine("9" + bad, "B9");
        arrival.line2Changes.emplace_back("CO_NAME", bad);
        expectArrival(0, bad, "01", arrival);
    }
    Arrival costed;
    costed.line1Changes = {{"STD_COST", "44"}, {"AVG_COST", "44"}};
    expectArrival(0, "01G001", "01", costed);
    expectArrival(0, "01G002", "01", {});
    EXPECT_EQ(erpHeaders(0, "9" + bad), Lines{});
    EXPECT_EQ(timesLogged("異常資料:101/12/10__9" + bad + "重收設定中..!"), 1) << logText();
    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_EQ(boxesOf(Kind::Information), (Lines{texts::kCompleted, texts::kCompleted}));

    for (const char* table : {"POS_GIVE", "POS_DISROL"}) {
        EXPECT_EQ(erpRows(std::string("SELECT SAL_NO, SORD, MAN_CODE, SAL_AMT FROM ") + table +
                          " WHERE SAL_DATE = '2012/12/10' ORDER BY SAL_AMT"),
                  (Lines{bad + "|1|" + bad + "|10", "01G001|1|M1|20"}))
            << table;
        EXPECT_EQ(storeRows(std::string("SELECT DISTINCT TRN_CODE FROM ") + table), Lines{"Y"}) << table;
    }
    EXPECT_EQ(erpRows("SELECT SAL_NO, ORD_NO, PROD_ID, P_COST, TRN_CODE FROM POS_COST WHERE SAL_DATE = "
                      "'2012/12/10' ORDER BY P_COST"),
              (Lines{bad + "|1|" + bad + "|33|Y", "01G001|1|A001|44|Y"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, MEMBER_ID, I_POINT, TRN_CODE FROM POINT_MASTER WHERE SAL_DATE = "
                      "'2012/12/10' ORDER BY I_POINT"),
              (Lines{"01G001|M001|5|Y", bad + "|" + bad + "|7|Y"}));
    Lines marksAfter = marks(0);
    std::sort(marksAfter.begin(), marksAfter.end());
    Lines marksExpected{"01G001|True", "01G002|True", bad + "|True"};
    std::sort(marksExpected.begin(), marksExpected.end());
    EXPECT_EQ(marksAfter, marksExpected);
    for (const char* table : {"POS_COST", "POINT_MASTER"})
        EXPECT_EQ(storeRows(std::string("SELECT DISTINCT TRN_CODE FROM ") + table), Lines{"True"}) << table;
}

INSTANTIATE_TEST_SUITE_P(Texts, UnsafeText, ::testing::ValuesIn(kUnsafeTexts),
                         [](const ::testing::TestParamInfo<NamedText>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
