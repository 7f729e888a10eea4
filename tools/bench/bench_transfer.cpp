// The transfer of a generated store day, measured: N bills of L lines on four machines in all four
// families, with gifts, discount rolls, costs, points, a few unknown products and returns. The
// collector is skipped and the run's fixed pauses are not counted. For comparison the same number of
// header and line inserts goes through one prepared statement in one transaction: the engine's limit.
//
//   lumvik-bench [--bills N] [--lines L] [--days D] [--dir DIR] [--server HOST --password PW]
//                [--no-embedded] [--profile] [--no-indexes]
//
// --profile adds the statements that took the most time; --no-indexes creates both databases without
// their look-up indexes; --days spreads the bills over that many days, as a store that was offline sends
// them.

#include "app/shell/date_forms.h"
#include "app/shell/form_core.h"
#include "app/shell/forwarding_platform.h"
#include "base/codepage.h"
#include "db/connection_params.h"
#include "db/tables.h"
#include "fixtures/schema.h"
#include "transfer/run.h"

#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

using namespace lumvik;
using db::Value;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int bills = 3000;
    int lines = 5;
    int days = 1;  // the bills spread over this many days up to 2012/12/10, as a backlog
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "lumvik-bench";
    std::string server;
    std::string password = "masterkey";
    bool embedded = true;
    bool profile = false;
    bool indexes = true;
};

// The system platform in a folder of the benchmark's own, with the time of its waits counted; no
// sibling program is started or found.
class BenchPlatform : public WaitTimingPlatform {
  public:
    BenchPlatform(Platform& system, std::filesystem::path dir)
        : WaitTimingPlatform(system), dir_(std::move(dir)) {}
    std::filesystem::path programDirectory() const override { return dir_; }
    std::optional<std::string> startProgram(const std::vector<std::string>&) override { return std::nullopt; }
    bool windowClassExists(const std::string&) const override { return false; }
    bool openWithDefault(const std::string&) override { return true; }

  private:
    std::filesystem::path dir_;
};

std::unique_ptr<db::Connection> connect(const std::string& database, const Options& o) {
    auto c = std::make_unique<db::Connection>("bench");
    c->params().set("Database", database);
    c->params().set("User_Name", "SYSDBA");
    c->params().set("Password", o.password);
    return c;
}

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

void fillStore(db::Connection& store, const Options& o) {
    store.beginGroup();
    std::vector<std::string> days;
    for (int d = 0; d < o.days; ++d) {
        const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::year{2012} / 12 / 10} -
                                               std::chrono::days{d}};
        days.push_back(dates::gregorianToRoc(dates::gregorianText(date)));
    }
    for (int b = 0; b < o.bills; ++b) {
        const std::string& day = days[static_cast<std::size_t>(b % o.days)];
        const int family = b % 10 < 7 ? 0 : b % 10 - 6;
        const auto& f = db::family(family);
        const std::string machine = "0" + std::to_string(b % 4 + 1);
        char salNo[32];
        std::snprintf(salNo, sizeof salNo, "%s%07d", machine.c_str(), b);
        long total = 0;
        for (int l = 1; l <= o.lines; ++l) {
            const int n = b * o.lines + l;
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
                {Value(day), Value(salNo), Value(std::to_string(l)), Value(code), Value(code), Value(code),
                 Value(qty), Value(price), Value(isReturn ? "退" : "銷"), Value(amount), Value(price)});
            if (family == 0)
                store.execute(
                    "INSERT INTO POS_COST (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, P_COST, U_PRICE, SAL_QTY)"
                    " VALUES (?, ?, ?, ?, ?, ?, ?)",
                    {Value(day), Value(salNo), Value(l), Value(code), Value(n % 17 == 0 ? 0.0 : price * 0.4),
                     Value(price), Value(qty)});
        }
        store.execute(
            std::string("INSERT INTO ") + f.storeMaster +
                " (SAL_DATE, SAL_NO, MCH_NO, SAL_TIME, CST_NO, HU_PER, CLASS_NO, MAN_CODE, SAL_AMT,"
                " DISCOUNT, DIS_TTT, REL_SAL, CASH, VISA, DISROL, GIVE, PDCSHET, REL_RCV, CHANGE)"
                " VALUES (?, ?, ?, '12:00:00', ?, 2, ?, 'E01', ?, 0, 0, ?, ?, 0, 0, 0, 0, ?, 0)",
            {Value(day), Value(salNo), Value(machine), Value(b % 5 == 0 ? "M0001" : ""),
             Value(std::to_string(b % 2 + 1)), Value(total), Value(total), Value(total), Value(total)});
        if (b % 20 == 0)
            store.execute(
                "INSERT INTO POS_GIVE (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY,"
                " PRICE) VALUES (?, ?, ?, 1, '1', 'E01', 0, 1, 30)",
                {Value(day), Value(salNo), Value(machine)});
        if (b % 25 == 0)
            store.execute(
                "INSERT INTO POS_DISROL (SAL_DATE, SAL_NO, MCH_NO, SORD, CLASS_NO, MAN_CODE, SAL_AMT, QTY,"
                " PRICE) VALUES (?, ?, ?, 1, '1', 'E01', 50, 1, 50)",
                {Value(day), Value(salNo), Value(machine)});
        if (b % 5 == 0)
            store.execute(
                "INSERT INTO POINT_MASTER (SAL_DATE, SAL_NO, MEMBER_ID, I_POINT, U_POINT, DISROL)"
                " VALUES (?, ?, ?, 3, 0, 0)",
                {Value(day), Value(salNo), b % 15 == 0 ? Value() : Value("M0001")});
    }
    store.commitGroup();
}

// A statement's text with its literals as "?", so statements that differ only in values add up.
std::string shape(const std::string& sql) {
    std::string out;
    bool inLiteral = false;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (inLiteral) {
            if (c == '\'') inLiteral = false;
            continue;
        }
        if (c == '\'') {
            inLiteral = true;
            out += '?';
        } else if ((c >= '0' && c <= '9') || (c == '.' && !out.empty() && out.back() == '?')) {
            const bool partOfName = !out.empty() && (std::isalnum(static_cast<unsigned char>(out.back())) ||
                                                     out.back() == '_' || out.back() == '$');
            if (partOfName)
                out += c;
            else if (out.empty() || out.back() != '?')
                out += '?';
        } else {
            out += c;
        }
    }
    return out;
}

long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The same number of header and line inserts as the day, through one prepared statement each, in
// one transaction.
double engineLimitSeconds(const std::string& database, const Options& o) {
    db::createDatabase(database, "SYSDBA", o.password, true);
    auto erp = connect(database, o);
    tools::runScript(*erp, tools::erpSchema());
    if (o.indexes) tools::runScript(*erp, tools::erpIndexes());
    const auto start = Clock::now();
    erp->beginGroup();
    for (int b = 0; b < o.bills; ++b) {
        const std::string salNo = std::to_string(1000000 + b);
        erp->execute(
            "INSERT INTO POS_MASTER (SAL_DATE, SAL_NO, MCH_NO, REL_SAL, FLAG) VALUES (?, ?, '01', ?, '銷')",
            {Value("2012/12/10"), Value(salNo), Value(100)});
        for (int l = 1; l <= o.lines; ++l)
            erp->execute(
                "INSERT INTO POS_SUB (SAL_DATE, SAL_NO, ORD_NO, PROD_ID, SAL_QTY, AMT, PROD_NAME) VALUES"
                " (?, ?, ?, 'P001', 1, 20, '商品')",
                {Value("2012/12/10"), Value(salNo), Value(std::to_string(l))});
    }
    erp->commitGroup();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    erp.reset();
    db::dropDatabase(database, "SYSDBA", o.password);
    return seconds;
}

void measure(const std::string& label, const std::string& prefix, const Options& o) {
    std::filesystem::remove_all(o.dir);
    std::filesystem::create_directories(o.dir);
    std::filesystem::permissions(o.dir, std::filesystem::perms::all);
    const std::string store = prefix + (o.dir / "store.fdb").string();
    const std::string erp = prefix + (o.dir / "erp.fdb").string();
    tools::createStoreDatabase(store, "SYSDBA", o.password, {.markColumns = false, .indexes = o.indexes},
                               true);
    tools::createErpDatabase(erp, "SYSDBA", o.password, true, o.indexes);
    fillErp(*connect(erp, o));
    fillStore(*connect(store, o), o);
    std::ofstream(o.dir / db::kConnectionsFileName, std::ios::binary)
        << cp950::fromUtf8(db::connectionEntryText(erp, o.password));

    const auto system = makeSystemPlatform();
    BenchPlatform platform(*system, o.dir);
    HeadlessOperator op;
    FormCore form(platform, op);
    form.FormCreate();
    op.setSourcePath(store);
    op.setServerKind(-1);  // no server kind: the password set below stays
    op.setTempProduct("TEMP");
    op.setDate(std::chrono::year{2012} / 12 / 10);
    op.setTransferMode(0);
    op.tickAllMachines();
    form.SQLConSource.params().set("Password", o.password);
    struct Spent {
        std::chrono::nanoseconds time{};
        std::uint64_t calls = 0;
    };
    std::map<std::string, Spent> spent;
    if (o.profile)
        db::setStatementObserver([&spent](const std::string& sql, std::chrono::nanoseconds t, bool started) {
            auto& s = spent[shape(sql)];
            s.time += t;
            if (started) ++s.calls;
        });
    transfer::TransferRun run(form, {.skipCollector = true});
    const auto start = Clock::now();
    run.bsSkinButton1Click();
    const auto elapsed = Clock::now() - start;
    db::setStatementObserver(nullptr);
    if (run.connectFailure()) throw std::runtime_error(*run.connectFailure());

    const double work = std::chrono::duration<double>(elapsed - platform.waited()).count();
    const auto& c = run.counts();
    const auto erpStats = form.SQLConnection1.stats();
    const auto storeStats = form.SQLConSource.stats();
    const double bills = static_cast<double>(o.bills);
    std::printf("%s: work time without the fixed waits: %.2f s\n", label.c_str(), work);
    std::printf("%s: bills per second: %.0f (%llu bills copied)\n", label.c_str(), c.billsCopied / work,
                static_cast<unsigned long long>(c.billsCopied));
    std::printf("%s: lines per second: %.0f (%llu lines copied)\n", label.c_str(), c.linesCopied / work,
                static_cast<unsigned long long>(c.linesCopied));
    std::printf("%s: statements per bill: %.1f\n", label.c_str(),
                (erpStats.statements + storeStats.statements) / bills);
    std::printf("%s: commits per bill: %.2f\n", label.c_str(),
                (erpStats.commits + storeStats.commits) / bills);
    std::printf("%s: peak resident memory: %.1f MB\n", label.c_str(), peakResidentKb() / 1024.0);
    const double limit = engineLimitSeconds(prefix + (o.dir / "limit.fdb").string(), o);
    std::printf("%s: engine limit (one transaction, prepared inserts): %.2f s for %d headers and %d lines\n",
                label.c_str(), limit, o.bills, o.bills * o.lines);
    std::printf("%s: ratio of the run to the engine limit: %.1f\n", label.c_str(), work / limit);
    if (o.profile) {
        std::vector<std::pair<std::string, Spent>> top(spent.begin(), spent.end());
        std::sort(top.begin(), top.end(),
                  [](const auto& a, const auto& b) { return a.second.time > b.second.time; });
        for (std::size_t i = 0; i < top.size() && i < 15; ++i) {
            std::string sql = top[i].first.substr(0, 110);
            std::replace(sql.begin(), sql.end(), '\r', ' ');
            std::replace(sql.begin(), sql.end(), '\n', ' ');
            std::printf("%s: %8.2f s %7llu x  %s\n", label.c_str(),
                        std::chrono::duration<double>(top[i].second.time).count(),
                        static_cast<unsigned long long>(top[i].second.calls), sql.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        if (std::strcmp(argv[i], "--bills") == 0)
            o.bills = std::stoi(next());
        else if (std::strcmp(argv[i], "--days") == 0)
            o.days = std::max(1, std::stoi(next()));
        else if (std::strcmp(argv[i], "--lines") == 0)
            o.lines = std::stoi(next());
        else if (std::strcmp(argv[i], "--dir") == 0)
            o.dir = next();
        else if (std::strcmp(argv[i], "--server") == 0)
            o.server = next();
        else if (std::strcmp(argv[i], "--password") == 0)
            o.password = next();
        else if (std::strcmp(argv[i], "--no-embedded") == 0)
            o.embedded = false;
        else if (std::strcmp(argv[i], "--profile") == 0)
            o.profile = true;
        else if (std::strcmp(argv[i], "--no-indexes") == 0)
            o.indexes = false;
        else {
            std::cerr << "usage: lumvik-bench [--bills N] [--lines L] [--days D] [--dir DIR] [--server HOST "
                         "--password PW]"
                         " [--no-embedded] [--profile] [--no-indexes]\n";
            return 2;
        }
    }
    try {
        if (o.embedded) measure("embedded", "", o);
        if (!o.server.empty()) measure("server " + o.server, o.server + ":", o);
        std::filesystem::remove_all(o.dir);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "lumvik-bench: " << e.what() << "\n";
        return 1;
    }
}
