#include "tests/support/crash_day.h"

#include "db/tables.h"
#include "fixtures/demo_data.h"

#include <iterator>
#include <sstream>
#include <stdexcept>

namespace lumvik::testing {

using db::Value;

namespace {

struct StoreLine {
    const char* code;
    double qty;
    double price;
    bool isReturn = false;
};

void addBill(db::Connection& store, int family, const char* roc, const char* salNo, const char* machine,
             const std::vector<StoreLine>& lines, const Row& extra = {}) {
    double total = 0;
    int ord = 0;
    for (const StoreLine& l : lines) {
        const double amount = (l.isReturn ? -1 : 1) * l.qty * l.price;
        total += amount;
        insertRow(store, db::family(family).storeLines,
                  row("SAL_DATE SAL_NO ORD_NO PDC_NO tbar_code bar_code CO_NAME SAL_QTY U_PRICE SAL_CODE AMT "
                      "HEA_AMT STD_PRICE PAK_QTY ORG_QTY dis_share ttt_share",
                      {roc, salNo, std::to_string(++ord), l.code, std::string("T") + l.code,
                       std::string("B") + l.code, "品名", l.qty, l.price, l.isReturn ? "退" : "銷", amount, 0,
                       l.price, 1, 1, 0, 0}));
    }
    Row master = row(
        "SAL_DATE SAL_NO MCH_NO SAL_TIME HU_PER CLASS_NO MAN_CODE SAL_AMT DISCOUNT DIS_TTT REL_SAL CASH VISA "
        "DISROL PDCSHET REL_RCV CHANGE",
        {roc, salNo, machine, "12:30:00", 2, "1", "E01", total, 0, 0, total, total, 0, 0, 0, total, 0});
    master.insert(master.end(), extra.begin(), extra.end());
    insertRow(store, db::family(family).storeMaster, master);
}

}  // namespace

Row row(const std::string& names, std::initializer_list<Value> values) {
    std::istringstream in(names);
    std::vector<std::string> columns{std::istream_iterator<std::string>(in), {}};
    if (columns.size() != values.size()) throw std::logic_error("values do not match the columns " + names);
    Row r;
    auto value = values.begin();
    for (std::string& column : columns)
        r.emplace_back(std::move(column), *value++);
    return r;
}

void fillDay(db::Connection& store, db::Connection& erp) {
    tools::fillDemoErp(erp);
    const Row m1{{"CST_NO", "M0001"}}, m2{{"CST_NO", "M0002"}};
    addBill(store, 0, kRocDay, "01000001", "01", {{"A001", 2, 120}, {"B001", 2, 35}}, m1);
    addBill(store, 0, kRocDay, "01000002", "01", {{"A002", 1, 110}, {"Z999", 1, 60}});
    addBill(store, 0, kRocDay, "02000003", "02", {{"B002", 3, 45}});
    addBill(store, 0, kRocDay, "02000004", "02", {{"A001", 1, 120, true}});
    addBill(store, 0, kRocDay, "03000005", "03", {{"A003", 2, 40}, {"B001", 1, 35}}, m2);
    addBill(store, 0, kRocDay, "04000006", "04", {{"A001", 1, 120}, {"A002", 1, 110}, {"A003", 1, 40}});
    addBill(store, 0, "101/12/09", "01000099", "01", {{"B002", 1, 45}});
    // One row of `table` from its columns' values, in the order `names` gives them.
    const auto into = [](db::Connection& db, const char* table, const char* names) {
        return [&db, table, names](std::initializer_list<Value> values) {
            insertRow(db, table, row(names, values));
        };
    };
    const auto cost = into(store, "POS_COST", "SAL_DATE SAL_NO ORD_NO PROD_ID P_COST U_PRICE SAL_QTY");
    cost({kRocDay, "01000001", 1, "A001", 48, 120.0, 2.0});
    cost({kRocDay, "01000001", 2, "B001", 14, 35.0, 2.0});
    cost({kRocDay, "01000002", 1, "A002", 44, 110.0, 1.0});
    cost({kRocDay, "01000002", 2, "Z999", 0, 60.0, 1.0});
    cost({kRocDay, "03000005", 1, "A003", 16.5, 40.0, 2.0});
    cost({kRocDay, "03000005", 2, "B001", {}, 35.0, 1.0});
    cost({kRocDay, "04000006", 2, "A002", 43.25, 110.0, 1.0});
    const char* const gift = "SAL_DATE SAL_NO MCH_NO SORD CLASS_NO MAN_CODE SAL_AMT QTY PRICE";
    into(store, "POS_GIVE", gift)({kRocDay, "02000003", "02", 1, "1", "E01", 45.0, 1, 45.0});
    into(store, "POS_GIVE", gift)({kRocDay, "02000003", "02", 2, "1", "E01", 35.0, 1, 35.0});
    into(store, "POS_DISROL", gift)({kRocDay, "02000004", "02", 1, "1", "E01", 50.0, 1, 50.0});
    into(store, "POS_DISROL", gift)({kRocDay, "04000006", "04", 1, "1", "E01", 100.0, 1, 100.0});
    const auto points = into(store, "POINT_MASTER", "SAL_DATE SAL_NO MEMBER_ID I_POINT U_POINT DISROL");
    points({kRocDay, "01000001", "M0001", 3.0, 0, 0});
    points({kRocDay, "01000002", {}, 1.0, 0, 0});
    points({kRocDay, "03000005", "M0002", 1.0, 0, 0});
    addBill(store, 1, kRocDay, "01100001", "01", {{"A001", 1, 120}});
    addBill(store, 1, kRocDay, "02100002", "02", {{"B002", 2, 45}, {"Z999", 1, 30}});
    addBill(store, 2, kRocDay, "01900001", "01", {{"B001", 1, 35}}, m2);
    addBill(store, 2, kRocDay, "03900002", "03", {{"A003", 1, 40}}, m1);
    addBill(store, 3, kRocDay, "04300001", "04", {{"A002", 1, 110}});
    addBill(store, 3, kRocDay, "04300002", "04", {{"B001", 1, 35, true}});

    // Transferred before; its ERP copy lost 20 of its line amount since.
    addBill(store, 0, kRocDay, "01000000", "01", {{"A001", 1, 120}}, {{"TRAN_CODE", "True"}});
    into(erp, "POS_MASTER", "SAL_DATE SAL_NO MCH_NO REL_SAL STOCK_ID")({kDay, "01000000", "01", 120, "S01"});
    into(erp, "POS_SUB", "SAL_DATE SAL_NO ORD_NO PROD_ID SAL_QTY AMT HEA_AMT dis_share ttt_share")(
        {kDay, "01000000", "1", "A001", 1, 100, 0, 0, 0});
}

void changeForDayAgain(db::Connection& store, db::Connection& erp) {
    store.execute("UPDATE POS_COST SET P_COST = 8 WHERE SAL_NO = '01000001'");
    store.execute("UPDATE POS_GIVE SET SAL_AMT = 40, PRICE = 40 WHERE SAL_NO = '02000003' AND SORD = 1");
    store.execute("UPDATE POS_DISROL SET SAL_AMT = 90, PRICE = 90 WHERE SAL_NO = '04000006'");
    store.execute("UPDATE POINT_MASTER SET I_POINT = 5 WHERE SAL_NO = '01000001'");
    store.execute("DELETE FROM POS_MASD WHERE SAL_NO = '02100002'");
    store.execute("DELETE FROM POS_MAID WHERE SAL_NO = '02100002'");
    addBill(store, 3, kRocDay, "04300003", "04", {{"A003", 2, 40}});
    erp.execute("UPDATE POS_SUB SET AMT = 5 WHERE SAL_NO = '01000099'");
}

}  // namespace lumvik::testing
