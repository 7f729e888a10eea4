#include "tools/bench/bench_data.h"

#include "app/shell/date_forms.h"
#include "db/tables.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace lumvik::bench {

using db::Value;

void fillErp(db::Connection& erp) {
    erp.beginGroup();
    erp.execute("INSERT INTO TRAN_STATE VALUES ('0')");
    for (int m = 1; m <= 4; ++m)
        erp.execute("INSERT INTO MCH_ITEM VALUES (?, ?, ?, ?)",
                    {Value("0" + std::to_string(m)), Value("機" + std::to_string(m)),
                     Value("10.0.0." + std::to_string(m)), Value("S0" + std::to_string(m % 2 + 1))});
    for (int g = 1; g <= 4; ++g) {
        erp.execute("INSERT INTO PROD_HIITEM VALUES (?, ?, 'T1')",
                    {Value("G" + std::to_string(g)), Value("組" + std::to_string(g))});
        erp.execute("INSERT INTO PROD_ITEM VALUES (?, ?, ?)",
                    {Value("I" + std::to_string(g)), Value("類" + std::to_string(g)),
                     Value("G" + std::to_string(g))});
    }
    erp.execute(
        "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, STD_COST, AVG_COST)"
        " VALUES ('TEMP', 'TEMP', 'I1', 0, '暫用商品', 0, 0)");
    for (int p = 1; p <= 100; ++p) {
        char id[16];
        std::snprintf(id, sizeof id, "P%03d", p);
        erp.execute(
            "INSERT INTO PRODUCT (PROD_ID, PROD_BARCODE, PD_ITEMID, PSALE_PRICE, PROD_NAME, PROD_SCALE,"
            " UNITNAME, STOCK_QTY, FREE_TAX, PUT_ID, DEF_PROFIT, STD_COST, AVG_COST, MS, TAX_KIND)"
            " VALUES (?, ?, ?, ?, ?, '中', '份', 0, 0, 'P1', ?, ?, ?, '', '1')",
            {Value(id), Value(std::string("471") + id), Value("I" + std::to_string(p % 4 + 1)), Value(10 + p),
             Value(std::string("商品") + id), Value(p % 10 == 0 ? 20 : 0), Value(p * 0.4), Value(p * 0.4)});
    }
    erp.execute("INSERT INTO MEMBER VALUES ('M0001', 'C-1')");
    erp.commitGroup();
}

namespace {

// One bill of the day: where it stands and what it is called.
struct DayBill {
    int index;
    std::string day;  // ROC date
    int family;
    std::string machine;
    std::string salNo;
};

// The bill's lines (and, in the sales family, their costs); returns the bill's total.
long addLines(db::Connection& store, const DayBill& bill, int lines) {
    const auto& f = db::family(bill.family);
    long total = 0;
    for (int l = 1; l <= lines; ++l) {
        const int n = bill.index * lines + l;
        char code[16];
        std::snprintf(code, sizeof code, n % 50 == 0 ? "Z%03d" : "P%03d", n % 100 + 1);
        const bool isReturn = n % 40 == 0;
        const int qty = 1 + n % 3;
        const int price = 10 + n % 100 + 1;
        const long amount = (isReturn ? -1L : 1L) * qty * price;
        total += amount;
        store.execute(
            std::string("INSERT INTO ") + f.storeLines +
                " (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, tbar_code, bar_code, CO_NAME, SAL_QTY, U_PRICE,"
                " SAL_CODE, AMT, HEA_AMT, STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share)"
                " VALUES (?, ?, ?, ?, ?, ?, '品名', ?, ?, ?, ?, 0, ?, 1, 1, 0, 0)",
            {Value(bill.day), Value(bill.salNo), Value(std::to_string(l)), Value(code), Value(code),
             Value(code), Value(qty), Value(price), Value(isReturn ? "退" : "銷"), Value(amount),
             Value(price)});
        if (bill.family == 0)
            store.execute(
                "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
                " VALUES (?, ?, ?, ?, ?, ?, ?)",
                {Value(bill.day), Value(bill.salNo), Value(l), Value(code),
                 Value(n % 17 == 0 ? 0.0 : price * 0.4), Value(price), Value(qty)});
    }
    return total;
}

void addHeader(db::Connection& store, const DayBill& bill, long total) {
    store.execute(
        std::string("INSERT INTO ") + db::family(bill.family).storeMaster +
            " (SAL_DATE, SAL_NO, MCH_NO, SAL_TIME, CST_NO, HU_PER, CLASS_NO, MAN_CODE, SAL_AMT,"
            " DISCOUNT, DIS_TTT, REL_SAL, CASH, VISA, DISROL, GIVE, PDCSHET, REL_RCV, CHANGE)"
            " VALUES (?, ?, ?, '12:00:00', ?, 2, ?, 'E01', ?, 0, 0, ?, ?, 0, 0, 0, 0, ?, 0)",
        {Value(bill.day), Value(bill.salNo), Value(bill.machine), Value(bill.index % 5 == 0 ? "M0001" : ""),
         Value(std::to_string(bill.index % 2 + 1)), Value(total), Value(total), Value(total), Value(total)});
}

// Gifts on every 20th bill, discount rolls on every 25th, points on every 5th (a third of them
// without a member).
void addSideRows(db::Connection& store, const DayBill& bill) {
    const std::vector<Value> key{Value(bill.day), Value(bill.salNo), Value(bill.machine)};
    if (bill.index % 20 == 0)
        store.execute(
            "INSERT INTO POS_GIVE (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY,"
            " PRICE) VALUES (?, ?, ?, 1, '1', 'E01', 0, 1, 30)",
            key);
    if (bill.index % 25 == 0)
        store.execute(
            "INSERT INTO POS_DISROL (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY,"
            " PRICE) VALUES (?, ?, ?, 1, '1', 'E01', 50, 1, 50)",
            key);
    if (bill.index % 5 == 0)
        store.execute(
            "INSERT INTO POINT_MASTER (SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, U_POINT, DISROL)"
            " VALUES (?, ?, ?, 3, 0, 0)",
            {Value(bill.day), Value(bill.salNo), bill.index % 15 == 0 ? Value() : Value("M0001")});
}

}  // namespace

void fillStore(db::Connection& store, const Options& o) {
    store.beginGroup();
    std::vector<std::string> days;
    for (int d = 0; d < o.days; ++d) {
        const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::year{2012} / 12 / 10} -
                                               std::chrono::days{d}};
        days.push_back(dates::gregorianToRoc(dates::gregorianText(date)));
    }
    for (int b = 0; b < o.bills; ++b) {
        DayBill bill{b, days[static_cast<std::size_t>(b % o.days)], b % 10 < 7 ? 0 : b % 10 - 6,
                     "0" + std::to_string(b % 4 + 1), ""};
        char salNo[32];
        std::snprintf(salNo, sizeof salNo, "%s%07d", bill.machine.c_str(), b);
        bill.salNo = salNo;
        addHeader(store, bill, addLines(store, bill, o.lines));
        addSideRows(store, bill);
    }
    store.commitGroup();
}

}  // namespace lumvik::bench
