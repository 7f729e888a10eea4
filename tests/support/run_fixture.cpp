#include "tests/support/run_fixture.h"

#include "db/connection_params.h"
#include "db/tables.h"
#include "transfer/loc_ip.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace lumvik::testing {

using db::Value;

Row cols(const std::string& names, const std::vector<db::Value>& values) {
    Row row;
    std::istringstream in(names);
    for (std::string name; in >> name;)
        row.emplace_back(name, values.at(row.size()));
    if (row.size() != values.size()) throw std::logic_error("columns and values differ: " + names);
    return row;
}

void insertRow(db::Connection& connection, const std::string& table, const Row& row) {
    std::string names, marks;
    std::vector<Value> values;
    for (const auto& [name, value] : row) {
        names += (names.empty() ? "" : ",") + name;
        marks += marks.empty() ? "?" : ",?";
        values.push_back(value);
    }
    connection.execute("INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")", values);
}

std::vector<std::string> rowsOf(db::Connection& connection, const std::string& sql) {
    db::RowSet rows(&connection, "rowsOf");
    rows.setCommandText(sql);
    rows.open();
    std::vector<std::string> out;
    for (rows.first(); !rows.eof(); rows.next()) {
        std::string line;
        for (int i = 0; i < rows.fieldCount(); ++i)
            line +=
                (i ? "|" : "") + (rows.field(i).isNull() ? std::string("<null>") : rows.field(i).asString());
        out.push_back(line);
    }
    return out;
}

RunFixture::RunFixture() : platform(dbs.dir.path()) {
    dbs.dir.write(db::kConnectionsFileName, db::connectionEntryText(dbs.erp, kTestPassword));
    store = embeddedConnection(dbs.store, "test-store");
    erp = embeddedConnection(dbs.erp, "test-erp");
    platform.setNow(std::chrono::local_days{std::chrono::year{2012} / 12 / 11} + std::chrono::hours{9});
    seedErp();
}

RunFixture::~RunFixture() {
    transferRun.reset();
    form.reset();
}

void RunFixture::seedErp() {
    insertRow(*erp, "TRAN_STATE", {{"STATE", Value("1")}});
    for (const char* n : {"01", "02", "03"})
        insertRow(*erp, "MCH_ITEM",
                  {{"MCH_NO", Value(n)},
                   {"MCH_NAME", Value(std::string("機") + n)},
                   {"MCH_IP", Value(std::string("10.0.0.") + n)},
                   {"STOCK_ID", Value(std::string("S") + n)}});
    auto product = [&](const char* id, const char* barcode, const char* item, double price, const char* name,
                       double stdCost, double avgCost, Row extra = {}) {
        Row row{{"PROD_ID", Value(id)},     {"PROD_BARCODE", Value(barcode)}, {"PSALE_PRICE", Value(price)},
                {"PROD_NAME", Value(name)}, {"PROD_SCALE", Value("中")},      {"UNITNAME", Value("份")},
                {"STOCK_QTY", Value(5)},    {"FREE_TAX", Value(0)},           {"PUT_ID", Value("P1")},
                {"DEF_PROFIT", Value(0)},   {"STD_COST", Value(stdCost)},     {"AVG_COST", Value(avgCost)},
                {"MS", Value("M")},         {"TAX_KIND", Value("1")}};
        if (item != nullptr) row.emplace_back("PD_ITEMID", Value(item));
        for (auto& e : extra)
            row.push_back(e);
        insertRow(*erp, "PRODUCT", row);
    };
    product("TEMP", "TEMP", "I99", 0, "暫用商品", 0, 0);
    product("A001", "4710001", "I01", 120, "排骨飯", 55, 52.5);
    product("A002", "4710002", "I02", 110, "牛肉麵", 60, 58);
    product("NOCAT", "4719999", nullptr, 10, "未分類", 1, 1);
}

void RunFixture::addBill(int family, const std::string& rocDate, const std::string& salNo,
                         const std::string& machine, double relSal, const Row& extra) {
    Row row{{"SAL_DATE", Value(rocDate)}, {"SAL_NO", Value(salNo)},
            {"MCH_NO", Value(machine)},   {"SAL_TIME", Value("12:00:00")},
            {"HU_PER", Value(2)},         {"CLASS_NO", Value("1")},
            {"SAL_AMT", Value(relSal)},   {"DISCOUNT", Value(0)},
            {"DIS_TTT", Value(0)},        {"REL_SAL", Value(relSal)},
            {"CASH", Value(relSal)},      {"VISA", Value(0)},
            {"DISROL", Value(0)},         {"PDCSHET", Value(0)},
            {"REL_RCV", Value(relSal)},   {"CHANGE", Value(0)}};
    for (const auto& [name, value] : extra) {
        bool replaced = false;
        for (auto& [n, v] : row)
            if (n == name) v = value, replaced = true;
        if (!replaced) row.emplace_back(name, value);
    }
    insertRow(*store, db::family(family).storeMaster, row);
}

void RunFixture::addLine(int family, const std::string& rocDate, const std::string& salNo, int ordNo,
                         const std::string& productCode, double qty, double price, const Row& extra) {
    Row row{{"SAL_DATE", Value(rocDate)},
            {"SAL_NO", Value(salNo)},
            {"ORD_NO", Value(std::to_string(ordNo))},
            {"PDC_NO", Value(productCode)},
            {"tbar_code", Value("TB" + productCode)},
            {"bar_code", Value("B" + productCode)},
            {"CO_NAME", Value("品名")},
            {"SAL_QTY", Value(qty)},
            {"U_PRICE", Value(price)},
            {"SAL_CODE", Value("")},
            {"AMT", Value(qty * price)},
            {"HEA_AMT", Value(0)},
            {"STD_PRICE", Value(0)},
            {"PAK_QTY", Value(1)},
            {"ORG_QTY", Value(1)},
            {"dis_share", Value(0)},
            {"ttt_share", Value(0)}};
    for (const auto& [name, value] : extra) {
        bool replaced = false;
        for (auto& [n, v] : row)
            if (n == name) v = value, replaced = true;
        if (!replaced) row.emplace_back(name, value);
    }
    insertRow(*store, db::family(family).storeLines, row);
}

void RunFixture::addSoundBill(int family, const std::string& rocDate, const std::string& salNo,
                              const std::string& machine, double amount, const char* mark) {
    Row extra;
    if (mark != nullptr) extra.emplace_back("TRAN_CODE", Value(mark));
    addBill(family, rocDate, salNo, machine, amount, extra);
    addLine(family, rocDate, salNo, 1, "A001", 1, amount);
}

void RunFixture::startUp() {
    form = std::make_unique<FormCore>(platform, op);
    form->FormCreate();
    op.setSourcePath(dbs.store);
    op.setServerKind(0);
    op.setTempProduct("TEMP");
    op.setDate(std::chrono::year{2012} / 12 / 10);
    transferRun = std::make_unique<transfer::TransferRun>(*form);
}

void RunFixture::run(transfer::RunOptions options) {
    if (!form) startUp();
    transferRun = std::make_unique<transfer::TransferRun>(*form, options);
    transferRun->bsSkinButton1Click();
}

transfer::QuietEnd RunFixture::runExpectingQuietEnd() {
    try {
        run();
    } catch (const transfer::Abort& quiet) {
        return quiet.reason();
    }
    ADD_FAILURE() << "the run did not end quietly";
    return transfer::QuietEnd::ClosedDay;
}

std::vector<std::string> RunFixture::marks(int family) {
    return storeRows(std::string("SELECT SAL_NO, TRAN_CODE FROM ") + db::family(family).storeMaster +
                     " ORDER BY SAL_NO");
}

std::vector<std::string> RunFixture::erpBills(int family) {
    return erpRows(std::string("SELECT SAL_DATE, SAL_NO, MCH_NO FROM ") + db::family(family).erpMaster +
                   " ORDER BY SAL_DATE, SAL_NO");
}

std::vector<std::string> RunFixture::erpLines(int family) {
    return erpRows(std::string("SELECT SAL_DATE, SAL_NO FROM ") + db::family(family).erpLines +
                   " ORDER BY SAL_DATE, SAL_NO, ORD_NO");
}

std::vector<std::string> RunFixture::boxesOf(HeadlessOperator::Box::Kind kind) const {
    std::vector<std::string> out;
    for (const auto& box : op.boxes)
        if (box.kind == kind) out.push_back(box.text);
    return out;
}

bool RunFixture::logged(const std::string& line) const {
    return std::find(op.logLines.begin(), op.logLines.end(), line) != op.logLines.end();
}

long RunFixture::timesLogged(const std::string& line) const {
    return std::count(op.logLines.begin(), op.logLines.end(), line);
}

std::string RunFixture::logText() const {
    std::string out;
    for (const auto& line : op.logLines)
        out += line + "\n";
    return out;
}

std::string RunFixture::locIp() const {
    return readBytes(dbs.dir.path() / transfer::kLocIpFileName);
}

}  // namespace lumvik::testing
