// The transfer of a generated store day, measured: N bills of L lines on four machines in all four
// families, with gifts, discount rolls, costs, points, a few unknown products and returns. The
// collector is skipped and the run's fixed pauses are not counted. For comparison the same number of
// header and line inserts goes through one prepared statement in one transaction: the engine's limit.
// Each engine is measured twice, with the look-up indexes a working installation has and without them,
// as an ERP that our tools did not create may be.
//
//   lumvik-bench [--bills N] [--lines L] [--days D] [--history H] [--history-bills B] [--dir DIR]
//                [--server HOST --password PW] [--no-embedded] [--profile] [--no-indexes|--indexes]
//
// --history adds H earlier days of B bills (500 unless given) to both databases, already moved;
// --profile adds the statements that took the most time; --no-indexes measures only without the look-up
// indexes, --indexes only with them; --days spreads the bills over that many days, as a store that was
// offline sends them.

#include "app/shell/form_core.h"
#include "app/shell/forwarding_platform.h"
#include "base/codepage.h"
#include "db/connection_params.h"
#include "fixtures/schema.h"
#include "tools/bench/bench_data.h"
#include "tools/bench/bench_profile.h"
#include "transfer/run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

using namespace lumvik;
using namespace lumvik::bench;
using db::Value;
using Clock = std::chrono::steady_clock;

namespace {

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

// The same number of header and line inserts as the day, through one prepared statement each, in
// one transaction.
double engineLimitSeconds(const std::string& database, const Options& o, bool indexes) {
    db::createDatabase(database, "SYSDBA", o.password, true);
    auto erp = connect(database, o);
    tools::runScript(*erp, tools::erpSchema());
    if (indexes) tools::runScript(*erp, tools::erpIndexes());
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

// Fresh store and ERP databases in the benchmark's folder, filled, and the connection file beside them.
void prepareDatabases(const std::string& store, const std::string& erp, const Options& o, bool indexes) {
    std::filesystem::remove_all(o.dir);
    std::filesystem::create_directories(o.dir);
    std::filesystem::permissions(o.dir, std::filesystem::perms::all);
    // A store that has had transfers before has its two mark columns.
    tools::createStoreDatabase(store, "SYSDBA", o.password,
                               {.markColumns = o.history > 0, .indexes = indexes}, true);
    tools::createErpDatabase(erp, "SYSDBA", o.password, true, indexes);
    auto erpConnection = connect(erp, o), storeConnection = connect(store, o);
    fillErp(*erpConnection);
    fillHistory(*storeConnection, *erpConnection, o);
    fillStore(*storeConnection, o);
    std::ofstream(o.dir / db::kConnectionsFileName, std::ios::binary)
        << cp950::fromUtf8(db::connectionEntryText(erp, o.password));
}

struct Measured {
    double work = 0;  // seconds, without the fixed waits
    transfer::RunCounts counts;
    db::ConnectionStats erp, store;
};

// One unattended-style transfer of the day in mode 0, all machines ticked, the collector skipped.
Measured runTransfer(const std::string& store, const Options& o, Profile& profile) {
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
    if (o.profile) profile.start();
    transfer::TransferRun run(form, {.skipCollector = true});
    const auto start = Clock::now();
    run.bsSkinButton1Click();
    const auto elapsed = Clock::now() - start;
    profile.stop();
    if (run.connectFailure()) throw std::runtime_error(*run.connectFailure());
    return {std::chrono::duration<double>(elapsed - platform.waited()).count(), run.counts(),
            form.SQLConnection1.stats(), form.SQLConSource.stats()};
}

void measure(const std::string& engine, const std::string& prefix, const Options& o, bool indexes) {
    const std::string label = engine + (indexes ? ", indexes" : ", no indexes");
    const std::string store = prefix + (o.dir / "store.fdb").string();
    const std::string erp = prefix + (o.dir / "erp.fdb").string();
    prepareDatabases(store, erp, o, indexes);
    Profile profile;
    const Measured m = runTransfer(store, o, profile);

    const auto& c = m.counts;
    const double bills = static_cast<double>(o.bills);
    std::printf("%s: work time without the fixed waits: %.2f s\n", label.c_str(), m.work);
    std::printf("%s: bills per second: %.0f (%llu bills copied)\n", label.c_str(), c.billsCopied / m.work,
                static_cast<unsigned long long>(c.billsCopied));
    std::printf("%s: lines per second: %.0f (%llu lines copied)\n", label.c_str(), c.linesCopied / m.work,
                static_cast<unsigned long long>(c.linesCopied));
    std::printf("%s: statements per bill: %.1f\n", label.c_str(),
                (m.erp.statements + m.store.statements) / bills);
    std::printf("%s: commits per bill: %.2f\n", label.c_str(), (m.erp.commits + m.store.commits) / bills);
    std::printf("%s: peak resident memory: %.1f MB\n", label.c_str(), peakResidentMb());
    const double limit = engineLimitSeconds(prefix + (o.dir / "limit.fdb").string(), o, indexes);
    std::printf("%s: engine limit (one transaction, prepared inserts): %.2f s for %d headers and %d lines\n",
                label.c_str(), limit, o.bills, o.bills * o.lines);
    std::printf("%s: ratio of the run to the engine limit: %.1f\n", label.c_str(), m.work / limit);
    if (o.profile) profile.print(label);
    std::fflush(stdout);
}

const char* const kUsage =
    "usage: lumvik-bench [--bills N] [--lines L] [--days D] [--history H] [--history-bills B] [--dir DIR]"
    " [--server HOST --password PW] [--no-embedded] [--profile] [--no-indexes|--indexes]\n";

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        const std::string a = argv[i];
        if (a == "--bills")
            o.bills = std::stoi(next());
        else if (a == "--days")
            o.days = std::max(1, std::stoi(next()));
        else if (a == "--lines")
            o.lines = std::stoi(next());
        else if (a == "--history")
            o.history = std::clamp(std::stoi(next()), 0, 1000);
        else if (a == "--history-bills")
            o.historyBills = std::clamp(std::stoi(next()), 1, 1000);
        else if (a == "--dir")
            o.dir = next();
        else if (a == "--server")
            o.server = next();
        else if (a == "--password")
            o.password = next();
        else if (a == "--no-embedded")
            o.embedded = false;
        else if (a == "--profile")
            o.profile = true;
        else if (a == "--no-indexes")
            o.withIndexes = false;
        else if (a == "--indexes")
            o.withoutIndexes = false;
        else
            return false;
    }
    return o.withIndexes || o.withoutIndexes;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        for (const bool indexes : {true, false}) {
            if (!(indexes ? o.withIndexes : o.withoutIndexes)) continue;
            if (o.embedded) measure("embedded", "", o, indexes);
            if (!o.server.empty()) measure("server " + o.server, o.server + ":", o, indexes);
        }
        std::filesystem::remove_all(o.dir);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "lumvik-bench: " << e.what() << "\n";
        return 1;
    }
}
