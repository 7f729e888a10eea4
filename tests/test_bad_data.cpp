// Bad store data and values written to break out of a statement, through whole runs against real
// embedded databases. Each case plants bad rows or values among sound bills of the same day and
// states where they end: logged and left out, written with a default, or left waiting for the next
// run. Every sound bill of the day must arrive whole all the same: its header and every line, each
// column with the value it has when nothing goes wrong. No password may reach the operator.

#include "app/shell/settings.h"
#include "base/codepage.h"
#include "base/text.h"
#include "db/connection_params.h"
#include "db/tables.h"
#include "tests/support/run_fixture.h"
#include "transfer/family_prep.h"
#include "transfer/loc_ip.h"
#include "transfer/texts.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <sstream>
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
using Pairs = std::vector<std::pair<std::string, std::string>>;
namespace texts = lumvik::transfer::texts;

namespace {

// Designated initializers below name only what differs from a sound bill.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

constexpr const char* kDay = "101/12/10";    // the store's date of every bill
constexpr const char* kDate = "2012/12/10";  // the same day in the ERP
const Value kNull;

// Replaces every "#" of a text by `number`.
std::string withNumber(std::string text, const std::string& number) {
    for (std::size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + number.size()))
        text.replace(at, 1, number);
    return text;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// "NAME=value NAME=value ..." as pairs, each "#" of a value replaced by `text`.
Pairs pairs(const std::string& assignments, const std::string& text = "") {
    Pairs out;
    for (const auto& word : words(assignments))
        out.emplace_back(word.substr(0, word.find('=')), withNumber(word.substr(word.find('=') + 1), text));
    return out;
}

// A row of texts, which the server reads into each column's type ("<null>" for NULL).
Row row(const std::string& assignments, const std::string& text = "") {
    Row out;
    for (const auto& [name, value] : pairs(assignments, text))
        out.emplace_back(name, value == "<null>" ? kNull : Value(value));
    return out;
}

// Inserts rows given as "TABLE NAME=value ...; TABLE ...", each with the columns `keys` too.
void insertRows(db::Connection& connection, const std::string& keys, const std::string& rows,
                const std::string& text = "") {
    std::istringstream in(rows);
    for (std::string one; std::getline(in, one, ';');) {
        const auto at = one.find_first_not_of(' '), end = one.find(' ', at);
        insertRow(connection, one.substr(at, end - at), row(keys + one.substr(end), text));
    }
}

const std::string kStoreKeys = "SAL_DATE=101/12/10 SAL_NO=";  // a store side row's, "#" its bill
const std::string kErpKeys = "SAL_DATE=2012/12/10 SAL_NO=";
const std::string kProduct =
    "PRODUCT PROD_ID=# PROD_NAME=# PROD_BARCODE=4719000 PD_ITEMID=I01 PSALE_PRICE=120 PROD_SCALE=中 "
    "UNITNAME=份 STOCK_QTY=5 FREE_TAX=0 PUT_ID=P1 DEF_PROFIT=0 STD_COST=55 AVG_COST=52.5 MS=M TAX_KIND=1";

// A sound bill's store values: every column the copy reads, none NULL, none at its default. REL_SAL
// minus the lines' HEA_AMT equals their AMT less both shares, so that the check of family 0 passes;
// PAK_QTY 3 looks for a pack that does not exist, so the product's cost stays.
const std::string kSoundHeader =
    "CO_NO=C1 CO_CODE=CC1 SAL_TIME=12:00:00 CST_NO=M001 HU_PER=2 CLASS_NO=1 MAN_CODE=S1 USE_TYPE=1 "
    "TAB_NO=T1 VISA_NO=4000123412341234 SAL_AMT=250 DISCOUNT=10 DIS_TTT=26 REL_SAL=214 CASH=200 VISA=14 "
    "DISROL=1 GIVE=2 PDCSHET=3 REL_RCV=300.5 CHANGE=86.5 I_POINT=12 U_POINT=6 POINT_RATE=0.5 POINT_CASH=4 "
    "CONSUMER=7 INV3_SW=1 INV3_MODE=2 CARD_ID=C01 iCash_Give=9 VISA_MODE=V DIS_PRICE=30 CAN_DATE=101/12/09 "
    "DIS_NO=D1 DIS_PER=12.5 MAN_SALE=Y CR_FLAG=N IC_CARD=IC9 IC_AMT=40 N_RECAMT=8 THEA_AMT=11";
const std::string kSoundLine =
    "CO_NAME=品名 RCO_NAME=R名 SAL_QTY=1 U_PRICE=120 PER=1 PER_AMT=7 SAL_CODE=A V_CODE=V AMT=120 "
    "TASTE=少飯 TEMP_NO=T9 HEA_TAX=1 HEA_AMT=2 STD_PRICE_BAS=100 STD_PRICE=99 PAK_QTY=3 V_BAR_CODE=VB "
    "TAX_KIND=2 BAT_CODE=BAT V_PDC_NO=VP ORG_QTY=4 ORG_PRICE=130 rdd_price=5 billid_no=BL1 dis_per=1 "
    "dis_amt=2 ttt_amt=3 ttt_amt_n=4 dis_share=10 ttt_share=5 TEMPPRODID=TP";
// The ERP columns a store column fills where they are not the one of its name, and what else a
// sound bill's ERP rows hold.
const Pairs kRenamed = pairs(
    "CST_NO=MEMBER_ID,CST_NO MAN_CODE=SALES_ID VISA_NO=CREDIT_ID,VISA_NO VISA=CREDIT iCash_Give=ICASH_GIVE "
    "DIS_NO=dis_no DIS_PER=dis_per SAL_CODE=SAL_CODE,FLAG STD_PRICE=PSALE_PRICE billid_no=bill_no "
    "TEMPPRODID=tempprodid PER_AMT=");
const std::string kErpHeader = "STORE_ID= FLAG=銷 CHG_DATE=2012/12/11 CAN_DATE=2012/12/09";
const std::string kErpLine =
    "PROD_SCALE=中 UNITNAME=份 STOCK_QTY=5 MS=M free_tax=0 PUT_ID=P1 STORE_ID= chg_date=2012/12/11";
const std::string kErpProducts[] = {
    "PROD_ID=A001 PROD_ID2=A001 tbar_code=TBA001 BAR_CODE=4710001 PROD_NAME=排骨飯 PD_ITEMID=I01 "
    "STD_COST=55 AVG_COST=52.5",
    "PROD_ID=A002 PROD_ID2=A002 tbar_code=TBA002 BAR_CODE=4710002 PROD_NAME=牛肉麵 PD_ITEMID=I02 "
    "STD_COST=60 AVG_COST=58"};

std::vector<std::string> targets(const std::string& column) {
    const auto renamed = std::ranges::find(kRenamed, column, &Pairs::value_type::first);
    if (renamed == kRenamed.end()) return {column};
    std::string names = renamed->second;
    std::replace(names.begin(), names.end(), ',', ' ');
    return words(names);
}

// What a NULL, and a text that is no number (none: a text column), become in the ERP; kRowFails: the
// row is not written. Texts become empty (CHAR(1) a blank); numbers written as they stand become NULL
// or fail their row; numbers read as numbers become 0 or their default.
constexpr const char* kRowFails = "<the row fails>";
struct Rule {
    const char *ifNull, *ifNoNumber, *columns;
};
const Rule kRules[] = {
    {"", nullptr,
     "CO_NO CO_CODE SAL_TIME CST_NO CLASS_NO MAN_CODE VISA_NO USE_TYPE TAB_NO CARD_ID VISA_MODE CAN_DATE "
     "DIS_NO MAN_SALE IC_CARD CO_NAME RCO_NAME SAL_CODE V_CODE TASTE TEMP_NO V_BAR_CODE BAT_CODE V_PDC_NO "
     "billid_no TEMPPRODID PER_AMT"},  // PER_AMT is not copied
    {" ", nullptr, "INV3_SW INV3_MODE CR_FLAG"},
    {"<null>", kRowFails, "HU_PER SAL_AMT DISCOUNT DIS_TTT REL_SAL CASH VISA DISROL PDCSHET PER AMT"},
    {"0", kRowFails, "GIVE iCash_Give"},
    {"0", "0",
     "REL_RCV CHANGE I_POINT U_POINT POINT_RATE POINT_CASH CONSUMER DIS_PRICE DIS_PER IC_AMT N_RECAMT "
     "THEA_AMT SAL_QTY U_PRICE HEA_TAX HEA_AMT STD_PRICE_BAS ORG_PRICE rdd_price dis_per dis_amt ttt_amt "
     "ttt_amt_n dis_share ttt_share"},
    {"1", "1", "PAK_QTY ORG_QTY"},
    {"120", "120", "STD_PRICE"},  // the product's price
    {"1", nullptr, "TAX_KIND"}};  // the product's

const Rule* ruleOf(const std::string& column) {
    for (const Rule& rule : kRules)
        if (std::ranges::count(words(rule.columns), column) == 1) return &rule;
    return nullptr;
}

bool ofLines(const std::string& column) {
    return std::ranges::count(db::kStoreLineColumns, column) == 1;
}

// What becomes of a planted bill (number #): its header and two lines, each with the columns that
// differ from a sound bill's, or not there at all; and the log lines it gives, each once.
struct Arrival {
    bool header = true, line1 = true, line2 = true;  // line 1, of A001, carries the bad value
    Pairs headerChanges, line1Changes, line2Changes;
    Lines logs;
    std::optional<std::string> erpNumber;  // the number the ERP rows carry, when not the store's
};

Arrival notCopied(Lines logs) {
    return {.header = false, .line1 = false, .line2 = false, .logs = std::move(logs)};
}

// Where a value of `column` (of the header or the first line) that becomes `value` in the ERP ends.
Arrival outcome(const std::string& column, const std::string& value) {
    const bool line = ofLines(column);
    Arrival a;
    if (value == kRowFails) {
        (line ? a.line1 : a.header) = false;
        a.logs = {std::string(kDate) + "#" + (line ? "__A001" + std::string(texts::kDetailError) : "")};
    }
    for (const auto& target : value == kRowFails ? Lines{} : targets(column))
        (line ? a.line1Changes : a.headerChanges).emplace_back(target, value);
    return a;
}

// What the temporary product puts into a line whose own code is unknown.
Pairs temporaryProduct(const std::string& storeCode, const std::string& barcode) {
    Pairs p = pairs("PROD_ID=TEMP BAR_CODE=TEMP PROD_NAME=暫用商品 PD_ITEMID=I99 STD_COST=0 AVG_COST=0");
    p.insert(p.end(), {{"PROD_ID2", storeCode}, {"tbar_code", barcode}});
    return p;
}

// The columns' values joined with "|", `changes` over `values`; with "," the columns' names.
template <std::size_t N>
std::string joined(const std::array<std::string_view, N>& columns, const Pairs& values = {},
                   const Pairs& changes = {}, const char* separator = "|") {
    std::map<std::string, std::string, std::less<>> all;
    for (const auto& [column, value] : values)
        all[column] = value;  // a later value replaces an earlier
    for (const auto& [column, value] : changes) {
        EXPECT_TRUE(all.contains(column)) << "no column " << column;
        all[column] = value;
    }
    std::string out;
    for (const auto column : columns)
        out += (out.empty() ? "" : separator) +
               (*separator == ',' ? std::string(column) : all.at(std::string(column)));
    return out;
}

// A bill planted among sound ones: its store values that differ from a sound bill's, and where it ends.
struct Plant {
    std::string what;
    Arrival arrival;
    Row header = {}, line = {};  // `line`: its first line's
    Value date = Value(kDay);
};

// A bill with `values` in its header or its first line.
Plant at(bool line, const Row& values, Arrival arrival) {
    std::string what;
    for (const auto& [name, value] : values)
        what += name + (value.isNull() ? " NULL " : " '" + value.asString() + "' ");
    return {what, std::move(arrival), line ? Row{} : values, line ? values : Row{}};
}

class BadData : public RunFixture {
  protected:
    void addBillOfTheDay(int family, const std::string& salNo, const std::string& machine,
                         const Row& header = {}, const Row& line1 = {}, const Value& date = Value(kDay)) {
        const auto sound = [&](const std::string& values, const Row& changes) {
            Row out = row(values);
            out.emplace_back("SAL_DATE", date);
            out.insert(out.end(), changes.begin(), changes.end());  // a later value replaces an earlier
            return out;
        };
        addBill(family, kDay, salNo, machine, 214, sound(kSoundHeader, header));
        addLine(family, kDay, salNo, 1, "A001", 1, 120, sound(kSoundLine, line1));
        addLine(family, kDay, salNo, 2, "A002", 1, 120, sound(kSoundLine, {}));
    }

    // The ERP header (line 0) or a line of a sound bill.
    static Pairs soundErpRow(const std::string& salNo, int line, const std::string& machine) {
        Pairs out{{"SAL_DATE", kDate}, {"SAL_NO", salNo}, {"STOCK_ID", "S" + machine}};
        for (const auto& [column, value] : pairs(line == 0 ? kSoundHeader : kSoundLine))
            for (const auto& target : targets(column))
                out.emplace_back(target, value);
        const Pairs more = pairs(line == 0 ? "MCH_NO=" + machine + " " + kErpHeader
                                           : "ORD_NO=" + std::to_string(line) + " " + kErpLine + " " +
                                                 kErpProducts[line - 1]);
        out.insert(out.end(), more.begin(), more.end());  // after: CAN_DATE as the ERP holds it
        return out;
    }

    // The ERP header and lines of a bill, each row's values joined with "|".
    Lines erpBill(int family, const std::string& salNo) {
        const std::string where = " WHERE SAL_NO = " + text::quoted(salNo);
        Lines rows = erpRows("SELECT " + joined(db::kErpMasterColumns, {}, {}, ",") + " FROM " +
                             db::family(family).erpMaster + where);
        for (const auto& line : erpRows("SELECT " + joined(db::kErpLineColumns, {}, {}, ",") + " FROM " +
                                        db::family(family).erpLines + where + " ORDER BY ORD_NO"))
            rows.push_back(line);
        return rows;
    }

    void expectArrival(int family, const std::string& salNo, const std::string& machine, const Arrival& a) {
        const std::string number = a.erpNumber.value_or(salNo);
        Lines expected;
        if (a.header)
            expected.push_back(
                joined(db::kErpMasterColumns, soundErpRow(number, 0, machine), a.headerChanges));
        for (const auto& [line, arrives, changes] :
             {std::tuple{1, a.line1, &a.line1Changes}, {2, a.line2, &a.line2Changes}})
            if (arrives)
                expected.push_back(joined(db::kErpLineColumns, soundErpRow(number, line, machine), *changes));
        EXPECT_EQ(erpBill(family, number), expected);
        if (number != salNo) {
            EXPECT_EQ(erpBill(family, salNo), Lines{});
        }
        for (const auto& line : a.logs)
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

    // Each plant a bill of its own, numbered <machine>P100 on, between the sound <machine>G001 and G002.
    static std::string plantNo(const std::string& machine, std::size_t i) {
        return machine + "P" + std::to_string(100 + i);
    }
    void plant(int family, const std::string& machine, const std::vector<Plant>& plants) {
        addBillOfTheDay(family, machine + "G001", machine);
        for (std::size_t i = 0; i < plants.size(); ++i)
            addBillOfTheDay(family, plantNo(machine, i), machine, plants[i].header, plants[i].line,
                            plants[i].date);
        addBillOfTheDay(family, machine + "G002", machine);
    }
    void expectPlanted(int family, const std::string& machine, const std::vector<Plant>& plants) {
        for (std::size_t i = 0; i < plants.size(); ++i) {
            SCOPED_TRACE(plants[i].what + " in " + plantNo(machine, i));
            expectArrival(family, plantNo(machine, i), machine, plants[i].arrival);
        }
        expectWhole(family, machine + "G001", machine);
        expectWhole(family, machine + "G002", machine);
        EXPECT_EQ(storeRows(std::string("SELECT DISTINCT TRAN_CODE FROM ") + db::family(family).storeMaster),
                  Lines{"True"});
    }
    void runPlanted(int family, const std::string& machine, const std::vector<Plant>& plants) {
        plant(family, machine, plants);
        startUp();
        run();
        ASSERT_TRUE(logged(texts::kCompleted)) << logText();
        expectPlanted(family, machine, plants);
    }

    // The error a press of OK ends with, "" when none.
    std::string runError() {
        try {
            run();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    // The marks of the store's side rows, "TABLE=mark,..." for each table.
    std::string sideMarks() {
        std::string out;
        for (const std::string table : {"POS_GIVE", "POS_DISROL", "POS_COST", "POINT_MASTER"}) {
            std::string marks;
            for (const auto& mark : storeRows("SELECT DISTINCT TRN_CODE FROM " + table))
                marks += (marks.empty() ? "" : ",") + mark;
            out += (out.empty() ? "" : " ") + table + "=" + marks;
        }
        return out;
    }

    // The code page 950 bytes of a text column of the one ERP row `from` selects, read by the server
    // byte by byte, so that no conversion on the way out can hide a change.
    std::string storedBytes(const std::string& column, const std::string& from) {
        std::string select = "SELECT OCTET_LENGTH(" + column + ")";
        for (int i = 1; i <= 60; ++i)
            select += ", ASCII_VAL(SUBSTRING(" + column + " FROM " + std::to_string(i) + " FOR 1))";
        const Lines rows = erpRows(select + " " + from);
        if (rows.size() != 1) return "<" + std::to_string(rows.size()) + " rows>";
        std::istringstream fields(rows.front());
        std::string field, bytes;
        std::getline(fields, field, '|');
        for (int n = std::stoi(field); n > 0 && std::getline(fields, field, '|'); --n)
            bytes += static_cast<char>(std::stoi(field));
        return bytes;
    }

    // An SQL literal of raw bytes, which puts them into a text column unconverted.
    static std::string hexLiteral(const std::string& bytes) {
        std::string out = "x'";
        for (const unsigned char c : bytes)
            out += {"0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
        return out + "'";
    }
};

// ---- NULLs, amounts that are no number, numbers at the ends of their types ------------------------

// One bill per column the copy reads, that column NULL in its header or first line, in family 1, which
// the check after the copy leaves alone. A NULL date of a bill ends the run: see the dates below.
TEST_F(BadData, NullInEveryColumnTheCopyReads) {
    const std::map<std::string, Arrival> keys[] = {
        // of the header, of a line
        {{"SAL_NO", {.line1 = false, .line2 = false, .headerChanges = {{"SAL_NO", ""}}, .erpNumber = ""}},
         {"MCH_NO", notCopied({texts::kUnknownMachine, "2012/12/10#!"})}},
        {{"SAL_DATE", {.line1 = false}},  // no line of the bill
         {"SAL_NO", {.line1 = false}},
         {"ORD_NO", {.line1Changes = {{"ORD_NO", ""}}}},
         {"PDC_NO",
          {.line1Changes = temporaryProduct("", "BA001"), .logs = {"101/12/10 # 商品不存在商品檔中..!!"}}},
         {"tbar_code", {.line1Changes = {{"tbar_code", ""}}}},
         {"bar_code", {}}}};  // only the temporary product takes it
    std::vector<Plant> plants;
    for (const bool line : {false, true})
        for (const auto name :
             line ? std::span<const std::string_view>(db::kStoreLineColumns) : db::kStoreMasterColumns) {
            const std::string column(name);
            const Rule* rule = ruleOf(column);
            if (rule == nullptr && !keys[line].contains(column)) {
                if (column != "SAL_DATE") ADD_FAILURE() << "no expectation for a NULL " << column;
                continue;
            }
            plants.push_back(
                at(line, {{column, kNull}}, rule ? outcome(column, rule->ifNull) : keys[line].at(column)));
        }
    runPlanted(1, "02", plants);
}

// Older store databases keep number columns as texts, and a text may be no number (one of them written
// to break out of a statement). One bill per column and text, in family 3.
TEST_F(BadData, AmountsThatAreNoNumber) {
    std::vector<Plant> plants;
    for (const Rule& rule : kRules)
        for (const std::string& column : words(rule.ifNoNumber ? rule.columns : "")) {
            const std::string table = ofLines(column) ? "POS_MAST_S" : "POS_MAIN_S";
            store->execute("ALTER TABLE " + table + " DROP " + column);
            store->execute("ALTER TABLE " + table + " ADD " + column + " VARCHAR(30)");
            for (const char* noNumber : {"abc", "1,5", "12.5.3", "'; DELETE FROM PRODUCT; --"})
                plants.push_back(
                    at(ofLines(column), {{column, Value(noNumber)}}, outcome(column, rule.ifNoNumber)));
        }
    const Lines products = erpRows("SELECT * FROM PRODUCT ORDER BY PROD_ID");
    runPlanted(3, "02", plants);
    EXPECT_EQ(erpRows("SELECT * FROM PRODUCT ORDER BY PROD_ID"), products);
}

// The largest and smallest value of each kind of number column the copy reads, in bills, lines and
// side tables: each arrives as it stands, except a quantity, which is read as a 32-bit whole number.
TEST_F(BadData, NumbersAtTheEndsOfTheirTypes) {
    const std::string max = "9999999999999.99";
    const std::pair<std::string, std::string> kinds[] = {
        {"32767 -32768", "HU_PER PAK_QTY ORG_QTY"},      // SMALLINT
        {"2147483647 -2147483648", "DIS_PRICE IC_AMT"},  // INTEGER
        {"999.99 -999.99", "DIS_PER"},                   // NUMERIC(5,2)
        {max + " -" + max,
         "SAL_AMT REL_SAL GIVE REL_RCV CHANGE I_POINT iCash_Give AMT U_PRICE ORG_PRICE "
         "rdd_price STD_PRICE STD_PRICE_BAS HEA_AMT dis_share ttt_amt_n"}};  // NUMERIC(15,2)
    std::vector<Plant> plants;
    for (const auto& [ends, columns] : kinds)
        for (const auto& end : words(ends))
            for (const auto& column : words(columns))
                plants.push_back(at(ofLines(column), {{column, Value(end)}}, outcome(column, end)));
    for (const auto& [quantity, arrives] :
         pairs("2147483647=2147483647 -2147483648=-2147483648 2147483648=0 " + max + "=0"))
        plants.push_back(at(true, {{"SAL_QTY", Value(quantity)}}, {.line1Changes = {{"SAL_QTY", arrives}}}));
    plants.push_back(at(true, row("SAL_QTY=2147483647 SAL_CODE=退"),
                        {.line1Changes = pairs("SAL_QTY=-2147483647 SAL_CODE=退 FLAG=退")}));
    // Side rows at the ends of their columns (POS_COST's line number is a SMALLINT in the ERP).
    insertRows(*store, kStoreKeys + "02G001",
               "POS_GIVE MCH_NO=02 SORD=32767 QTY=2147483647 SAL_AMT=# PRICE=#;"
               "POS_GIVE MCH_NO=02 SORD=-32768 QTY=-2147483648 SAL_AMT=-# PRICE=-#;"
               "POS_DISROL MCH_NO=02 SORD=32767 QTY=2147483647 SAL_AMT=# PRICE=#;"
               "POS_DISROL MCH_NO=02 SORD=-32768 QTY=-2147483648 SAL_AMT=-# PRICE=-#;"
               "POS_COST ORD_NO=32767 P_COST=99999999999.9999 PROD_ID=A001 U_PRICE=# SAL_QTY=-#;"
               "POS_COST ORD_NO=-32768 P_COST=-99999999999.9999 PROD_ID=A001 U_PRICE=# SAL_QTY=-#;"
               "POINT_MASTER MEMBER_ID=M001 I_POINT=# U_POINT=-# DISROL=#",
               max);
    runPlanted(1, "02", plants);

    for (const std::string table : {"POS_GIVE", "POS_DISROL"})
        EXPECT_EQ(erpRows("SELECT SORD, QTY, SAL_AMT, PRICE FROM " + table + " ORDER BY SORD"),
                  words(withNumber("-32768|-2147483648|-#|-# 32767|2147483647|#|#", max)))
            << table;
    EXPECT_EQ(erpRows("SELECT ORD_NO, P_COST, U_PRICE, SAL_QTY, TRN_CODE FROM POS_COST ORDER BY ORD_NO"),
              words(withNumber("-32768|-99999999999.9999|#|-#|Y 32767|99999999999.9999|#|-#|Y", max)));
    EXPECT_EQ(erpRows("SELECT I_POINT, U_POINT, DISROL FROM POINT_MASTER"), Lines{withNumber("#|-#|#", max)});
    EXPECT_EQ(sideMarks(), "POS_GIVE=Y POS_DISROL=Y POS_COST=True POINT_MASTER=True");
}

// A cost row whose line number the ERP's SMALLINT cannot hold fails its look-up, which ends the run
// before points and the check. The row waits in the store, the bill copied before stays whole; once
// mended at the source, the next run finishes.
TEST_F(BadData, CostRowWhoseLineNumberTheErpCannotHoldEndsTheRunAtItsLookUp) {
    addBillOfTheDay(0, "01G001", "01");
    insertRows(*store, kStoreKeys + "01G001",
               "POS_COST ORD_NO=2147483647 PROD_ID=A001 P_COST=5; POINT_MASTER MEMBER_ID=M001 I_POINT=5");
    startUp();
    const std::string error = runError();
    EXPECT_NE(error.find("numeric value is out of range"), std::string::npos) << error;
    expectWhole(0, "01G001", "01");
    EXPECT_EQ(sideMarks(), "POS_GIVE= POS_DISROL= POS_COST=Wait POINT_MASTER=<null>");
    EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_COST"), "0");
    EXPECT_FALSE(logged(texts::kChecking));
    EXPECT_EQ(op.boxes, std::vector<HeadlessOperator::Box>{});

    store->execute("UPDATE POS_COST SET ORD_NO = 1");
    op.logLines.clear();
    run();
    expectArrival(0, "01G001", "01", {.line1Changes = pairs("STD_COST=5 AVG_COST=5")});
    EXPECT_EQ(sideMarks(), "POS_GIVE= POS_DISROL= POS_COST=True POINT_MASTER=True");
    EXPECT_EQ(boxesOf(Kind::Information), Lines{texts::kCompleted});
}

// A cost or point row whose bill number is longer than the ERP's column (the store's is widened here) is
// looked for as it stands and found in no row; its write is refused and dropped, as any refused keyed
// write is, and the rows of the bill beside it arrive.
TEST_F(BadData, SideRowsWhoseBillNumberTheErpCannotHoldFindNothingAndTheRunGoesOn) {
    addBillOfTheDay(0, "01G001", "01");
    for (const std::string table : {"POS_COST", "POINT_MASTER"})
        store->execute("ALTER TABLE " + table + " ALTER SAL_NO TYPE VARCHAR(40)");
    const std::string wide = "01G001" + std::string(24, '9');  // 30 characters; the ERP's hold 20
    insertRows(*store, kStoreKeys + wide,
               "POS_COST ORD_NO=1 PROD_ID=A001 P_COST=5; POINT_MASTER MEMBER_ID=M1");
    insertRows(*store, kStoreKeys + "01G001",
               "POS_COST ORD_NO=1 PROD_ID=A001 P_COST=7; POINT_MASTER MEMBER_ID=M2");
    startUp();
    run();
    EXPECT_EQ(boxesOf(Kind::Information), Lines{texts::kCompleted});
    EXPECT_EQ(erpRows("SELECT SAL_NO, P_COST, TRN_CODE FROM POS_COST"), Lines{"01G001|7|Y"});
    EXPECT_EQ(erpRows("SELECT SAL_NO, MEMBER_ID, TRN_CODE FROM POINT_MASTER"), Lines{"01G001|M2|Y"});
    EXPECT_EQ(sideMarks(), "POS_GIVE= POS_DISROL= POS_COST=True POINT_MASTER=True");
}

// ---- Dates that are no dates, an unknown machine ----------------------------------------------------

// A date whose year part is no whole number fails where it is converted. In families 0 and 1 that is
// before a bill is taken up, which ends the run and leaves the bill, those after it and the families
// after it waiting, run after run; mended in the store, they go with the next run.
TEST_F(BadData, DateThatEndsTheRunLeavesTheRestWaiting) {
    addBillOfTheDay(0, "01G001", "01");
    addBillOfTheDay(0, "01D001", "01");
    addBillOfTheDay(0, "01G002", "01");
    addBillOfTheDay(2, "03G001", "03");
    startUp();
    const auto dateOfTheBill = [&](const std::string& date) {
        for (const std::string table : {"POS_MAIN", "POS_MAST"})
            store->execute("UPDATE " + table + " SET SAL_DATE = " + date + " WHERE SAL_NO = '01D001'");
        op.logLines.clear();
    };
    for (const auto& [date, year] : Pairs{{"NULL", ""}, {"''", ""}, {"'abc/12/10'", "abc"}}) {
        SCOPED_TRACE(date);
        dateOfTheBill(date);
        EXPECT_EQ(runError(), "'" + year + "' is not a valid integer value");
        EXPECT_FALSE(logged(texts::kCompleted));
        expectWhole(0, "01G001", "01");
        // The family was never closed: every bill of it waits, the one copied too.
        EXPECT_EQ(marks(0), (Lines{"01D001|Wait", "01G001|Wait", "01G002|Wait"}));
        EXPECT_EQ(erpValue("SELECT COUNT(*) FROM POS_MASTER"), "1");
        EXPECT_EQ(marks(2), Lines{"03G001|<null>"});
    }
    dateOfTheBill("'101/12/10'");
    run();
    for (const char* salNo : {"01D001", "01G001", "01G002"})
        expectWhole(0, salNo, "01");
    expectWhole(2, "03G001", "03");
}

// In families 2 and 3 a year that is no whole number fails inside the bill's own guard, which names the
// bill and goes on. Month and day are taken as they stand. One digit too many, the ERP's SAL_DATE cannot
// hold the date: the bill is looked for as it stands, not found, and its header and each line fail.
TEST_F(BadData, DatesThatOnlyTheirBillSuffers) {
    const auto dated = [](const Value& date, Arrival arrival) {
        return Plant{"date " + date.asString(), std::move(arrival), {}, {}, date};
    };
    const auto arrivesAs = [](const std::string& date) {
        const Pairs changed{{"SAL_DATE", date}};
        return Arrival{.headerChanges = changed, .line1Changes = changed, .line2Changes = changed};
    };
    const std::string tooWide = "2012/012/10#", detailError = texts::kDetailError;
    const std::vector<Plant> sales{
        dated(Value("101/13/45"), arrivesAs("2012/13/45")), dated(Value("101/12"), arrivesAs("2012//12")),
        dated(Value("101/012/10"),
              notCopied({tooWide, tooWide + "__A001" + detailError, tooWide + "__A002" + detailError}))};
    std::vector<Plant> changes = sales;
    for (const auto& [date, logged] :
         {std::pair{kNull, "#!"}, {Value(""), "#!"}, {Value("abc/12/10"), "abc/12/10#!"}})
        changes.push_back(dated(date, notCopied({logged})));
    plant(0, "01", sales);
    plant(2, "03", changes);
    startUp();
    run();
    ASSERT_TRUE(logged(texts::kCompleted)) << logText();
    expectPlanted(0, "01", sales);
    expectPlanted(2, "03", changes);
}

// A bill whose machine is not in MCH_ITEM is named twice and left out whole: also one crafted to match
// any row, and one wider than MCH_ITEM's column (the store's is widened here).
TEST_F(BadData, UnknownMachineIsNamedAndLeftOutWhole) {
    store->execute("ALTER TABLE POS_MAIN ALTER MCH_NO TYPE VARCHAR(20)");
    std::vector<Plant> plants;
    for (const std::string machine : {"09", "0'OR''='", "01234567890123"})
        plants.push_back(at(false, {{"MCH_NO", Value(machine)}},
                            notCopied({machine + texts::kUnknownMachine, "2012/12/10#!"})));
    runPlanted(0, "01", plants);
    EXPECT_EQ(boxesOf(Kind::Information), Lines{texts::kCompleted});
}

// ---- Texts at full width, double-byte and user-defined characters -------------------------------

// Texts as wide as their columns, of code page 950 characters whose second byte is a backslash (許, 功,
// 蓋) and of user-defined ones (FA40 to FEFE), and texts cut inside a character by a POS that cuts at a
// byte width, the last a lone lead byte. The copy carries bytes, not characters: each arrives as the
// store holds it, read back from the ERP byte by byte; only VISA_NO, narrower in the ERP, leaves out a
// character across its 16th byte.
TEST_F(BadData, TextsAtFullWidthAndCutInsideACharacterArriveByteForByte) {
    const std::string backslashes = "\xB3\x5C\xA5\x5C\xBB\x5C", sale = "\xBE\x50";
    const std::string userDefined =
        "\xFA\x40\xFA\x7E\xFA\xA1\xFA\xFE\xFB\x40\xFC\x7E\xFD\xA1\xFD\xFE\xFE\x40\xFE\xFE";
    std::string coName = backslashes + userDefined, productName;  // as wide as CO_NAME and PROD_NAME
    while (coName.size() < 40)
        coName += sale;
    while (productName.size() < 60)
        productName += backslashes;
    const std::string visa = "12345678901234" + backslashes.substr(0, 2) + "67",
                      member = "M123456789" + backslashes + sale + "\xFE\xFE";
    Pairs planted{{"CST_NO", member},
                  {"CARD_ID", userDefined},
                  {"IC_CARD", userDefined},
                  {"CO_NAME", coName},
                  {"CO_NO", backslashes + sale + "\xFA\x40"},
                  {"RCO_NAME", userDefined + userDefined},
                  {"TASTE", userDefined + userDefined + userDefined},
                  {"VISA_NO", visa},
                  {"VISA_NO", "1" + visa}};
    for (const std::string cut : {"\xBE\x50\xA4", "\xA4\x20x", "\xFA\x40\xFE", "\x81"})
        planted.insert(planted.end(), {{"CST_NO", cut}, {"CO_NAME", cut}});
    const auto utf8 = [](const std::string& bytes) { return cp950::toUtf8(bytes); };
    // VISA_NO keeps 16 bytes, 15 when the 16th is the first of 許.
    const auto arrives = [](const std::string& column, const std::string& bytes) {
        return column == "VISA_NO" ? bytes.substr(0, bytes[15] == '\xB3' ? 15 : 16) : bytes;
    };
    std::vector<Plant> plants;
    for (const auto& [column, bytes] : planted)
        plants.push_back(at(ofLines(column), {{column, Value(utf8(bytes))}},
                            outcome(column, utf8(arrives(column, bytes)))));
    // A product whose code and name are as wide as their columns, and an unknown code with a barcode.
    insertRows(*erp, "", kProduct, "PLACEHOLDER");
    erp->execute("UPDATE PRODUCT SET PROD_ID = " + hexLiteral(userDefined) +
                 ", PROD_NAME = " + hexLiteral(productName) + " WHERE PROD_ID = 'PLACEHOLDER'");
    const std::string unknownCode = backslashes + backslashes + backslashes + sale;
    plants.push_back(
        at(true, {{"PDC_NO", Value(utf8(userDefined))}},
           {.line1Changes = pairs("PROD_ID=# PROD_ID2=# BAR_CODE=4719000 PROD_NAME=" + utf8(productName),
                                  utf8(userDefined))}));
    plants.push_back(at(true, {{"PDC_NO", Value(utf8(unknownCode))}, {"bar_code", Value(utf8(userDefined))}},
                        {.line1Changes = temporaryProduct(utf8(unknownCode), utf8(userDefined)),
                         .logs = {"101/12/10 # " + utf8(unknownCode) + texts::kUnknownProduct}}));
    // A bill number as wide as its column, and side rows of full-width keys.
    const std::string billNo = "02" + backslashes + backslashes + backslashes,
                      sideKey = backslashes + "\xFA\x40\xFE\xFE";
    addBillOfTheDay(1, utf8(billNo), "02");
    insertRows(*store, kStoreKeys + "02G001",
               "POS_GIVE SORD=1 MAN_CODE=#; POINT_MASTER I_POINT=1 MEMBER_ID=#", utf8(sideKey));
    runPlanted(1, "02", plants);

    const auto bytesOf = [&](std::size_t plant, int line, const std::string& column) {
        return storedBytes(column, std::string("FROM ") + (line ? "POS_SUBD" : "POS_MASTERD") +
                                       " WHERE SAL_NO = '" + plantNo("02", plant) +
                                       (line ? "' AND ORD_NO = '1'" : "'"));
    };
    for (std::size_t i = 0; i < planted.size(); ++i)
        for (const auto& [column, bytes] = planted[i]; const auto& target : targets(column))
            EXPECT_EQ(bytesOf(i, ofLines(column), target), arrives(column, bytes))
                << column << " into " << target;
    for (const auto& [column, bytes] :
         Pairs{{"PROD_ID", userDefined}, {"PROD_ID2", userDefined}, {"PROD_NAME", productName}})
        EXPECT_EQ(bytesOf(planted.size(), 1, column), bytes) << column;
    EXPECT_EQ(bytesOf(planted.size() + 1, 1, "PROD_ID2"), unknownCode);
    EXPECT_EQ(bytesOf(planted.size() + 1, 1, "tbar_code"), userDefined);
    expectArrival(1, utf8(billNo), "02", {});
    EXPECT_EQ(storedBytes("SAL_NO", "FROM POS_MASTERD WHERE SAL_NO = " + hexLiteral(billNo)), billNo);
    EXPECT_EQ(storedBytes("MAN_CODE", "FROM POS_GIVE"), sideKey);
    EXPECT_EQ(storedBytes("MEMBER_ID", "FROM POINT_MASTER"), sideKey);
}

// ---- Keys the ERP already holds twice ---------------------------------------------------------------

// The ERP holds the bill's header and each side table's key twice (nothing there forbids it). The bill
// is written once, whole; of each pair of side rows one is overwritten and the other kept; rows of
// other keys are not touched; the day's other bill arrives whole.
TEST_F(BadData, KeysTheErpHoldsTwice) {
    for (const char* amount : {"1", "2"})
        insertRows(*erp, kErpKeys + "01G001",
                   "POS_MASTER MCH_NO=01 REL_SAL=#; POS_GIVE SORD=1 SAL_AMT=#; POS_DISROL SORD=1 SAL_AMT=#;"
                   "POS_COST ORD_NO=1 PROD_ID=A001 P_COST=# TRN_CODE=Y;"
                   "POINT_MASTER MEMBER_ID=M0 I_POINT=# TRN_CODE=Y",
                   amount);
    // Rows of other keys of the same bill or day.
    insertRows(*erp, kErpKeys + "01G001",
               "POS_SUB ORD_NO=9 PROD_ID=A002 AMT=1; POS_GIVE SORD=2 SAL_AMT=7; POS_DISROL SORD=2 SAL_AMT=7;"
               "POS_COST ORD_NO=2 PROD_ID=A002 P_COST=7 TRN_CODE=Y");
    insertRows(*erp, kErpKeys + "01G009", "POINT_MASTER MEMBER_ID=M9 I_POINT=7 TRN_CODE=Y");
    addBillOfTheDay(0, "01G001", "01");
    addBillOfTheDay(0, "01G002", "01");
    insertRows(*store, kStoreKeys + "01G001",
               "POS_GIVE MCH_NO=01 SORD=1 SAL_AMT=10; POS_DISROL MCH_NO=01 SORD=1 SAL_AMT=10;"
               "POS_COST ORD_NO=1 PROD_ID=A001 P_COST=40; POINT_MASTER MEMBER_ID=M1 I_POINT=10");
    startUp();
    run();

    expectArrival(0, "01G001", "01", {.line1Changes = pairs("STD_COST=40 AVG_COST=40")});
    expectWhole(0, "01G002", "01");
    // Either row of a pair may be the one kept: "#" stands for its 1 or 2.
    const auto expectKept = [&](const std::string& sql, const std::string& expected) {
        const Lines got = erpRows(sql);
        EXPECT_TRUE(got == words(withNumber(expected, "1")) || got == words(withNumber(expected, "2")))
            << sql << "\n"
            << ::testing::PrintToString(got);
    };
    for (const std::string table : {"POS_GIVE", "POS_DISROL"})
        expectKept("SELECT SORD, SAL_AMT, MCH_NO FROM " + table + " ORDER BY SORD, SAL_AMT",
                   "1|#|<null> 1|10|01 2|7|<null>");
    expectKept("SELECT ORD_NO, P_COST, TRN_CODE FROM POS_COST ORDER BY ORD_NO, P_COST", "1|#|Y 1|40|Y 2|7|Y");
    expectKept("SELECT SAL_NO, MEMBER_ID, I_POINT, TRN_CODE FROM POINT_MASTER ORDER BY SAL_NO, I_POINT",
               "01G001|M0|#|Y 01G001|M1|10|Y 01G009|M9|7|Y");
    EXPECT_EQ(sideMarks(), "POS_GIVE=Y POS_DISROL=Y POS_COST=True POINT_MASTER=True");
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
    Lines shown;  // errors the window would show
    const auto pressOk = [&] {
        if (const std::string error = runError(); !error.empty()) shown.push_back(error);
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
    platform.onSleep = [&](auto) {
        form->SQLConnection1.params().set("Database", dbs.dir.file("no-erp.fdb"));
    };
    pressOk();
    platform.onSleep = nullptr;
    const Lines warnings = boxesOf(Kind::Warning);
    ASSERT_EQ(warnings.size(), 2u) << logText();
    EXPECT_NE(warnings[0].find("no-store.fdb"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("no-erp.fdb"), std::string::npos) << warnings[1];
    for (const auto& [file, text] : Pairs{
             {"missing-database.ini", db::connectionEntryText(dbs.dir.file("no-erp.fdb"), erpSecret)},
             {"no-driver.ini", "[Orvenna]\r\nDatabase=" + dbs.erp + "\r\nPassword=" + erpSecret + "\r\n"}}) {
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

    ASSERT_GE(shown.size(), 2u);
    Lines received = op.logLines;
    for (const auto& box : op.boxes)
        received.push_back(box.text);
    for (const Lines* more : {&shown, &platform.startedCommandLines, &platform.openedPaths})
        received.insert(received.end(), more->begin(), more->end());
    for (const char* file : {transfer::kLocIpFileName, transfer::kCheckQueryFileName, kSettingsFileName})
        EXPECT_TRUE(std::filesystem::exists(dbs.dir.path() / file)) << file;
    for (const auto& entry : std::filesystem::directory_iterator(dbs.dir.path())) {
        const std::string name = entry.path().filename().string();
        // The databases, and the connection entries that hold the password to begin with.
        if (name.ends_with(".fdb") || (name.ends_with(".ini") && name != kSettingsFileName)) continue;
        received.push_back(name + ": " + readBytes(entry.path()));
    }
    for (const auto& text : received)
        for (const std::string& secret : {erpSecret, storeSecret})
            EXPECT_EQ(text.find(secret), std::string::npos) << text;
}

// ---- Texts that try to break out of a statement -----------------------------------------------------

// A text with quotes, backslashes, "%", ";" and "--" in a bill number, a member id, product codes,
// names and every side-table key: the bill arrives with the text as it stands and nothing else moves.
// The text also names a copy without lines, which the check after the copy puts back and deletes by
// that name. The columns that hold it are widened so that the longest text fits, except those it is
// only looked up in (POSTOSALE, PROD_BARCODE, PROD_SALE).
class UnsafeText : public BadData,
                   public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(UnsafeText, ChangesNothingButItsOwnRow) {
    const std::string bad = GetParam().second;
    const auto widen = [](db::Connection& connection, const std::string& columns) {
        for (std::string column : words(columns))
            connection.execute("ALTER TABLE " + column.replace(column.find('.'), 1, " ALTER ") +
                               " TYPE VARCHAR(60)");
    };
    const std::string sides =
        "POS_GIVE.SAL_NO POS_GIVE.MAN_CODE POS_DISROL.SAL_NO POS_DISROL.MAN_CODE "
        "POS_COST.SAL_NO POS_COST.PROD_ID POINT_MASTER.SAL_NO POINT_MASTER.MEMBER_ID ";
    widen(*store,
          sides + "POS_MAIN.SAL_NO POS_MAIN.CST_NO POS_MAST.SAL_NO POS_MAST.PDC_NO POS_MAST.V_BAR_CODE");
    widen(*erp, sides +
                    "POS_MASTER.SAL_NO POS_MASTER.MEMBER_ID POS_MASTER.CST_NO POS_SUB.SAL_NO POS_SUB.PROD_ID "
                    "POS_SUB.PROD_ID2 POS_SUB.V_BAR_CODE PRODUCT.PROD_ID MEMBER.MEMBER_ID");
    // What the ERP holds already: a bill of another day, members, the text as a product, and a copy of
    // the day without lines named by the text.
    insertRows(*erp, "SAL_DATE=2012/12/01 SAL_NO=01000001",
               "POS_MASTER MCH_NO=01 REL_SAL=120; POS_SUB ORD_NO=1 PROD_ID=A001 AMT=120;"
               "POS_GIVE SORD=1 SAL_AMT=77; POS_DISROL SORD=1 SAL_AMT=77;"
               "POS_COST ORD_NO=1 PROD_ID=A001 P_COST=8 TRN_CODE=Y;"
               "POINT_MASTER MEMBER_ID=M001 I_POINT=3 TRN_CODE=Y");
    insertRows(*erp, "",
               "MEMBER MEMBER_ID=# CARD_ID=CARD9; MEMBER MEMBER_ID=M001 CARD_ID=CM1;"
               "PROD_SALE SAL_BARCODE=VB STD_COST=0 PACK_QTY=6;" +
                   kProduct,
               bad);
    insertRows(*erp, kErpKeys + "9#", "POS_MASTER MCH_NO=01 REL_SAL=5", bad);
    const auto untouchable = [&] {  // what the ERP holds of other days, and its products and members
        Lines all;
        const auto tables = words(
            "PRODUCT PROD_SALE MEMBER MCH_ITEM POS_MASTER POS_SUB POS_GIVE POS_DISROL POS_COST POINT_MASTER");
        for (std::size_t i = 0; i < tables.size(); ++i) {
            Lines rows =
                erpRows("SELECT * FROM " + tables[i] + (i < 4 ? "" : " WHERE SAL_DATE <> '2012/12/10'"));
            std::sort(rows.begin(), rows.end());
            all.push_back(tables[i] + ": " + std::to_string(rows.size()));
            all.insert(all.end(), rows.begin(), rows.end());
        }
        return all;
    };
    const Lines before = untouchable();

    addBillOfTheDay(0, "01G001", "01");
    addBillOfTheDay(0, bad, "01", row("CST_NO=# CARD_ID=<null>", bad),
                    row("PDC_NO=# CO_NAME=# TASTE=# V_BAR_CODE=# tbar_code=TB1", bad));
    store->execute(
        "UPDATE POS_MAST SET PDC_NO = ?, bar_code = 'B9', CO_NAME = ? WHERE SAL_NO = ? AND ORD_NO = '2'",
        {Value("9" + bad), Value(bad), Value(bad)});
    addBillOfTheDay(0, "01G002", "01");
    insertRows(
        *store, kStoreKeys + "#",
        "POS_GIVE MCH_NO=01 SORD=1 SAL_AMT=10 MAN_CODE=#; POS_DISROL MCH_NO=01 SORD=1 SAL_AMT=10 MAN_CODE=#;"
        "POS_COST ORD_NO=1 P_COST=11 PROD_ID=#; POINT_MASTER I_POINT=12 MEMBER_ID=#",
        bad);
    insertRows(*store, kStoreKeys + "01G001",
               "POS_GIVE MCH_NO=01 SORD=1 SAL_AMT=20 MAN_CODE=M001;"
               "POS_DISROL MCH_NO=01 SORD=1 SAL_AMT=20 MAN_CODE=M001;"
               "POS_COST ORD_NO=1 P_COST=21 PROD_ID=A001; POINT_MASTER I_POINT=22 MEMBER_ID=M001");
    const std::string storeCounts = "SELECT COUNT(*) FROM POS_MAIN UNION ALL SELECT COUNT(*) FROM POS_MAST";
    const Lines storeBefore = storeRows(storeCounts);
    startUp();
    run();

    EXPECT_EQ(untouchable(), before);
    EXPECT_EQ(storeRows(storeCounts), storeBefore);
    Pairs line2 = temporaryProduct("9" + bad, "B9");
    line2.emplace_back("CO_NAME", bad);
    expectArrival(
        0, bad, "01",
        {.headerChanges = pairs("MEMBER_ID=# CST_NO=# CARD_ID=CARD9", bad),
         .line1Changes = pairs("PROD_ID=# PROD_ID2=# PROD_NAME=# BAR_CODE=4719000 CO_NAME=# TASTE=# "
                               "V_BAR_CODE=# tbar_code=TB1 STD_COST=11 AVG_COST=11",
                               bad),
         .line2Changes = line2,
         .logs = {"101/12/10 # 9#" + std::string(texts::kUnknownProduct)}});
    expectArrival(0, "01G001", "01", {.line1Changes = pairs("STD_COST=21 AVG_COST=21")});
    expectWhole(0, "01G002", "01");
    EXPECT_EQ(erpBill(0, "9" + bad), Lines{});
    EXPECT_EQ(timesLogged(texts::kAnomalyHead + std::string("101/12/10__9") + bad + texts::kAnomalyTail), 1)
        << logText();
    EXPECT_EQ(form->retryCounter, 1);
    EXPECT_EQ(boxesOf(Kind::Information), (Lines{texts::kCompleted, texts::kCompleted}));
    const std::string ofTheDay = " WHERE SAL_DATE = '2012/12/10' ORDER BY ";
    for (const std::string table : {"POS_GIVE", "POS_DISROL"})
        EXPECT_EQ(erpRows("SELECT SAL_NO, SORD, MAN_CODE, SAL_AMT FROM " + table + ofTheDay + "SAL_AMT"),
                  (Lines{withNumber("#|1|#|10", bad), "01G001|1|M001|20"}))
            << table;
    EXPECT_EQ(erpRows("SELECT SAL_NO, ORD_NO, PROD_ID, P_COST, TRN_CODE FROM POS_COST" + ofTheDay + "P_COST"),
              (Lines{withNumber("#|1|#|11|Y", bad), "01G001|1|A001|21|Y"}));
    EXPECT_EQ(erpRows("SELECT SAL_NO, MEMBER_ID, I_POINT, TRN_CODE FROM POINT_MASTER" + ofTheDay + "I_POINT"),
              (Lines{withNumber("#|#|12|Y", bad), "01G001|M001|22|Y"}));
    EXPECT_EQ(storeRows("SELECT DISTINCT TRAN_CODE FROM POS_MAIN"), Lines{"True"});
    EXPECT_EQ(sideMarks(), "POS_GIVE=Y POS_DISROL=Y POS_COST=True POINT_MASTER=True");
}

INSTANTIATE_TEST_SUITE_P(Texts, UnsafeText,
                         ::testing::Values(std::pair{"AlwaysTrue", "X' OR '1'='1"},
                                           std::pair{"DeleteProducts", "'; DELETE FROM PRODUCT; --"},
                                           std::pair{"QuotesAndWildcards", "O'Brien\\ 50%_;--"},
                                           std::pair{"BackslashEscape", "\\'); DELETE FROM POS_SUB; --"},
                                           // the second byte of each character is a backslash
                                           std::pair{"BigFiveBackslashThenQuote", "許功蓋' OR ''='"}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
