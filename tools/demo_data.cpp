#include "tools/demo_data.h"

#include <cstdio>
#include <string>
#include <vector>

namespace lumvik::tools {

void fillDemoErp(db::Connection& erp) {
    const std::vector<std::string> statements{
        "INSERT INTO TRAN_STATE (STATE) VALUES ('0')",
        "INSERT INTO MCH_ITEM VALUES ('01', '櫃台一號機', '192.168.1.11', 'S01')",
        "INSERT INTO MCH_ITEM VALUES ('02', '櫃台二號機', '192.168.1.12', 'S01')",
        "INSERT INTO MCH_ITEM VALUES ('03', '外帶機', '192.168.1.13', 'S02')",
        "INSERT INTO MCH_ITEM VALUES ('04', '吧台機', '192.168.1.14', 'S02')",
        "INSERT INTO PUB_PARAM (REP_TITLE) VALUES ('台北信義店')",
        "INSERT INTO WRK_ITEM VALUES ('1', '早班')",
        "INSERT INTO WRK_ITEM VALUES ('2', '晚班')",
        "INSERT INTO PROD_DEPART VALUES ('D1', '餐飲部')",
        "INSERT INTO PROD_TOPITEM VALUES ('T1', '餐點', 'D1')",
        "INSERT INTO PROD_TOPITEM VALUES ('T2', '飲料', 'D1')",
        "INSERT INTO PROD_HIITEM VALUES ('G1', '主餐', 'T1')",
        "INSERT INTO PROD_HIITEM VALUES ('G2', '湯品', 'T1')",
        "INSERT INTO PROD_HIITEM VALUES ('G3', '茶飲', 'T2')",
        "INSERT INTO PROD_ITEM VALUES ('I01', '飯類', 'G1')",
        "INSERT INTO PROD_ITEM VALUES ('I02', '麵類', 'G1')",
        "INSERT INTO PROD_ITEM VALUES ('I03', '湯', 'G2')",
        "INSERT INTO PROD_ITEM VALUES ('I04', '茶', 'G3')",
        "INSERT INTO PROD_ITEM VALUES ('I99', '暫用', 'G1')",
        "INSERT INTO PRODUCT VALUES ('00000000001', '00000000001', 'I99', 0, '暫用商品', '', '份', 0, 0, '', "
        "0, 0, 0, '', '1')",
        "INSERT INTO PRODUCT VALUES ('A001', '4710001', 'I01', 120, '排骨飯', '大', '份', 0, 0, 'P1', 0, 55, "
        "52.5, '', '1')",
        "INSERT INTO PRODUCT VALUES ('A002', '4710002', 'I02', 110, '牛肉麵', '大', '碗', 0, 0, 'P1', 0, 60, "
        "58, '', '1')",
        "INSERT INTO PRODUCT VALUES ('A003', '4710003', 'I03', 40, '貢丸湯', '', '碗', 0, 0, 'P1', 0, 12, "
        "11.5, '', '1')",
        "INSERT INTO PRODUCT VALUES ('B001', '4710101', 'I04', 35, '紅茶', '中', '杯', 0, 0, 'P2', 20, 0, 0, "
        "'', '1')",
        "INSERT INTO PRODUCT VALUES ('B002', '4710102', 'I04', 45, '奶茶', '中', '杯', 0, 0, 'P2', 0, 9, 9, "
        "'', '1')",
        "INSERT INTO PROD_SALE VALUES ('4710102-6', 48, 6)",
        "INSERT INTO MEMBER VALUES ('M0001', 'C-778899')",
        "INSERT INTO MEMBER VALUES ('M0002', 'C-112233')",
    };
    for (const auto& s : statements)
        erp.execute(s);
}

void fillDemoStore(db::Connection& store, const DemoDay& day) {
    struct Line {
        const char* code;
        const char* name;
        int qty;
        int price;
    };
    const std::vector<std::vector<Line>> bills{
        {{"A001", "排骨飯", 2, 120}, {"B001", "紅茶", 2, 35}},
        {{"A002", "牛肉麵", 1, 110}, {"A003", "貢丸湯", 1, 40}},
        {{"B002", "奶茶", 3, 45}},
        {{"A001", "排骨飯", 1, 120}, {"Z999", "季節小菜", 1, 60}},
    };
    using db::Value;
    int billNo = 0;
    for (const char* machine : {"01", "02", "03", "04"}) {
        for (std::size_t b = 0; b < bills.size(); ++b) {
            ++billNo;
            char salNo[32];
            std::snprintf(salNo, sizeof salNo, "%s%06d", machine, billNo);
            int total = 0;
            int ord = 0;
            for (const auto& line : bills[b]) {
                ++ord;
                total += line.qty * line.price;
                store.execute(
                    "INSERT INTO POS_MAST (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, tbar_code, bar_code, CO_NAME, "
                    "SAL_QTY,"
                    " U_PRICE, SAL_CODE, AMT, HEA_AMT, STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share)"
                    " VALUES (?, ?, ?, ?, '', '', ?, ?, ?, '銷', ?, 0, ?, 1, 1, 0, 0)",
                    {Value(day.rocDate), Value(salNo), Value(std::to_string(ord)), Value(line.code),
                     Value(line.name), Value(line.qty), Value(line.price), Value(line.qty * line.price),
                     Value(line.price)});
                // The collector's line costs; a cost of 0 is one the store does not know yet.
                store.execute(
                    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
                    " VALUES (?, ?, ?, ?, ?, ?, ?)",
                    {Value(day.rocDate), Value(salNo), Value(ord), Value(line.code),
                     Value(line.code[0] == 'Z' ? 0.0 : line.price * 0.4), Value(line.price),
                     Value(line.qty)});
            }
            const bool member = b == 1;
            store.execute(
                "INSERT INTO POS_MAIN (SAL_DATE, SAL_NO, MCH_NO, SAL_TIME, CST_NO, HU_PER, CLASS_NO, "
                "MAN_CODE,"
                " SAL_AMT, DISCOUNT, DIS_TTT, REL_SAL, CASH, VISA, DISROL, GIVE, PDCSHET, REL_RCV, CHANGE)"
                " VALUES (?, ?, ?, ?, ?, 2, ?, 'E01', ?, 0, 0, ?, ?, 0, 0, 0, 0, ?, 0)",
                {Value(day.rocDate), Value(salNo), Value(machine),
                 Value(std::string(b % 2 == 0 ? "11:" : "18:") + "3" + std::to_string(b) + ":00"),
                 Value(member ? "M0001" : ""), Value(b % 2 == 0 ? "1" : "2"), Value(total), Value(total),
                 Value(total), Value(total)});
            if (b == 0 || b == 1)
                store.execute(
                    "INSERT INTO POINT_MASTER (SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, U_POINT, DISROL)"
                    " VALUES (?, ?, ?, ?, 0, 0)",
                    {Value(day.rocDate), Value(salNo), member ? Value("M0001") : Value(),
                     Value(total / 100)});
            if (b == 2)
                store.execute(
                    "INSERT INTO POS_GIVE (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY, "
                    "PRICE)"
                    " VALUES (?, ?, ?, 1, '1', 'E01', 0, 1, 45)",
                    {Value(day.rocDate), Value(salNo), Value(machine)});
            if (b == 3)
                store.execute(
                    "INSERT INTO POS_DISROL (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, "
                    "QTY,"
                    " PRICE) VALUES (?, ?, ?, 1, '2', 'E01', 50, 1, 50)",
                    {Value(day.rocDate), Value(salNo), Value(machine)});
        }
    }
    // A change bill paid with member points.
    store.execute(
        "INSERT INTO POS_MAIN_CHG (SAL_DATE, SAL_NO, MCH_NO, SAL_TIME, CST_NO, HU_PER, CLASS_NO, MAN_CODE, "
        "SAL_AMT,"
        " DISCOUNT, DIS_TTT, REL_SAL, CASH, VISA, DISROL, GIVE, PDCSHET, REL_RCV, CHANGE)"
        " VALUES (?, '01900001', '01', '20:00:00', 'M0002', 1, '2', 'E01', 35, 0, 0, 35, 0, 0, 0, 0, 0, 0, "
        "0)",
        {Value(day.rocDate)});
    store.execute(
        "INSERT INTO POS_MAST_CHG (SAL_DATE, SAL_NO, ORD_NO, PDC_NO, CO_NAME, SAL_QTY, U_PRICE, SAL_CODE, "
        "AMT,"
        " HEA_AMT, STD_PRICE, PAK_QTY, ORG_QTY, dis_share, ttt_share)"
        " VALUES (?, '01900001', '1', 'B001', '紅茶', 1, 35, '銷', 35, 0, 35, 1, 1, 0, 0)",
        {Value(day.rocDate)});
}

}  // namespace lumvik::tools
