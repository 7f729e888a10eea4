#include "tests/support/program_runs.h"

#include "app/shell/settings.h"
#include "db/connection_params.h"
#include "fixtures/demo_data.h"
#include "tests/support/crash_day.h"
#include "tests/support/run_fixture.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace lumvik::testing {

const Arguments kPlainRun = {"--skip-collector", "--date", kDay, "--mode", "0"};
const Arguments kDayAgain = {"--skip-collector", "--date", kDay, "--mode", "1", "--all-dates"};

bool Exit::completed() const {
    return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
}

bool Exit::killed() const {
    return WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL;
}

int Exit::status() const {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string Exit::describe() const {
    std::string how = WIFEXITED(raw)     ? "exit " + std::to_string(WEXITSTATUS(raw))
                      : WIFSIGNALED(raw) ? "signal " + std::to_string(WTERMSIG(raw))
                                         : "raw status " + std::to_string(raw);
    return how + "\nstdout:\n" + out + "stderr:\n" + err;
}

ProgramFolder::ProgramFolder(TestServer server) : server_(std::move(server)) {
    const char* bin = std::getenv("LUMVIK_BIN_DIR");
    if (bin == nullptr) throw std::runtime_error("LUMVIK_BIN_DIR is not set");
    std::filesystem::copy_file(std::filesystem::path(bin) / "lumvik-auto", path() / "lumvik-auto");
    Settings settings;
    settings.source = file("store.fdb");
    settings.serverKind = 1;
    settings.tempProduct = tools::kDemoTempProduct;
    writeSettings(path() / kSettingsFileName, settings);
}

void ProgramFolder::copyDatabasesFrom(const std::filesystem::path& start) {
    erpName_ = server_.host.empty() ? "erp.fdb" : "erp" + std::to_string(++copies_) + ".fdb";
    for (const auto& [from, to] :
         {std::pair<const char*, std::string>{"store.fdb", "store.fdb"}, {"erp.fdb", erpName_}}) {
        std::filesystem::copy_file(start / from, path() / to,
                                   std::filesystem::copy_options::overwrite_existing);
        // The server runs as a user of its own.
        std::filesystem::permissions(
            path() / to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                             std::filesystem::perms::group_read | std::filesystem::perms::group_write |
                             std::filesystem::perms::others_read | std::filesystem::perms::others_write);
    }
    erpAddress_ = server_.host.empty() ? file(erpName_) : server_.host + ":" + file(erpName_);
    write(db::kConnectionsFileName,
          db::connectionEntryText(erpAddress_, server_.host.empty() ? kTestPassword : server_.password));
}

std::unique_ptr<db::Connection> ProgramFolder::erpConnection(const std::string& name) const {
    auto connection = embeddedConnection(erpAddress_, name);
    if (!server_.host.empty()) connection->params().set("Password", server_.password);
    return connection;
}

Snapshot ProgramFolder::snapshot() const {
    return snapshotOf(file("store.fdb"), erpAddress_, false,
                      server_.host.empty() ? kTestPassword : server_.password);
}

pid_t ProgramFolder::start(const Environment& env, const Arguments& args) const {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string_view(*e).rfind("LUMVIK_TEST_", 0) != 0) environment.emplace_back(*e);
    for (const auto& [name, value] : env)
        environment.push_back(name + "=" + value);
    std::vector<std::string> arguments{"./lumvik-auto"};
    arguments.insert(arguments.end(), args.begin(), args.end());
    std::vector<char*> envp, argv;
    for (auto& e : environment)
        envp.push_back(e.data());
    for (auto& a : arguments)
        argv.push_back(a.data());
    envp.push_back(nullptr);
    argv.push_back(nullptr);
    // Database files the test has open in another thread must not stay open (and locked) in the child.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, path().c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t child = 0;
    const int failed = ::posix_spawn(&child, "./lumvik-auto", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    // Never a pid of 0 or below, which a signal would take for a process group or every process.
    if (failed != 0 || child <= 0)
        throw std::runtime_error("lumvik-auto could not be started in " + path().string());
    return child;
}

Exit ProgramFolder::wait(pid_t child, std::chrono::seconds limit) const {
    Exit e;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::waitpid(child, &e.raw, WNOHANG) != child) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &e.raw, 0);
            e.err = "(killed by the test after " + std::to_string(limit.count()) + " s)\n";
            return e;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    e.out = readBytes(path() / "out.txt");
    e.err = readBytes(path() / "err.txt");
    return e;
}

Exit ProgramFolder::run(const Environment& env, const Arguments& args) const {
    return wait(start(env, args));
}

Environment ProgramFolder::pauseAt(std::size_t step) const {
    std::filesystem::remove(path() / "go");
    std::filesystem::remove(path() / "go.reached");
    return {{"LUMVIK_TEST_PAUSE_AT_STEP", std::to_string(step)}, {"LUMVIK_TEST_PAUSE_FILE", file("go")}};
}

bool ProgramFolder::waitUntilPaused(pid_t child) const {
    for (int i = 0; i < 2000; ++i) {
        if (std::filesystem::exists(path() / "go.reached")) return true;
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid != 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

Trace::Trace(const std::filesystem::path& file) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const auto blank = line.find(' ');
        if (blank == std::string::npos || std::to_string(steps.size() + 1) != line.substr(0, blank))
            throw std::runtime_error("trace line out of order: " + line);
        steps.push_back(line.substr(blank + 1));
    }
}

bool Trace::matches(std::size_t step, const std::string& pattern) const {
    return step >= 1 && step <= steps.size() && std::regex_search(text(step), std::regex(pattern));
}

std::size_t Trace::find(const std::string& pattern, int occurrence, std::size_t after) const {
    const std::regex re(pattern);
    for (std::size_t step = after + 1; step <= steps.size(); ++step)
        if (std::regex_search(text(step), re) && --occurrence == 0) return step;
    return 0;
}

std::size_t Trace::findLast(const std::string& pattern, std::size_t before) const {
    const std::regex re(pattern);
    for (std::size_t step = std::min(before, steps.size() + 1); step-- > 1;)
        if (std::regex_search(text(step), re)) return step;
    return 0;
}

int Trace::passOf(std::size_t step) const {
    int pass = 0;
    const std::regex passBegins("^SELECT PROD_ID,pd_itemid FROM PRODUCT ");
    for (std::size_t s = 1; s <= step && s <= steps.size(); ++s)
        if (std::regex_search(text(s), passBegins)) ++pass;
    return std::max(pass, 1);
}

// The `occurrence`-th step matching `pattern`, counted after the step `from` finds.
Locate at(std::string pattern, int occurrence, Locate from) {
    return [=](const Trace& t) -> std::size_t {
        const std::size_t start = from ? from(t) : 0;
        return from && start == 0 ? 0 : t.find(pattern, occurrence, start);
    };
}
Locate after(Locate found) {
    return [=](const Trace& t) { return found(t) == 0 ? 0 : found(t) + 1; };
}
Locate after(const std::string& pattern) {
    return after(at(pattern));
}
Locate commitAfter(Locate found) {
    return [=](const Trace& t) { return found(t) == 0 ? 0 : t.commitAfter(found(t)); };
}
Locate commitAfter(const std::string& pattern) {
    return commitAfter(at(pattern));
}
// The last step matching `pattern` before the step `end` finds.
Locate lastBefore(std::string pattern, Locate end) {
    return [=](const Trace& t) { return end(t) == 0 ? 0 : t.findLast(pattern, end(t)); };
}

std::size_t StepPoint::stepIn(const Trace& trace) const {
    const std::size_t found = locate(trace);
    EXPECT_NE(found, 0u) << "no such step in the run";
    if (found == 0) return 0;
    for (const std::size_t s : {found, found - 1}) {
        const std::string& pattern = s == found ? step : previous;
        EXPECT_TRUE(trace.matches(s, pattern))
            << "step " << s << " is: " << trace.text(s) << "\nexpected: " << pattern;
    }
    EXPECT_EQ(trace.passOf(found), pass) << "step " << found;
    return found;
}

const std::string kCommit = "^commit$";
const std::string kState = "^UPDATE TRAN_STATE SET STATE = '2'";
const std::string kHeader = "^INSERT INTO POS_MASTER\\(";
const std::string kLine = "^INSERT INTO POS_SUB \\(";
// A bill's lines read from the store.
const std::string kStoreLines = "^SELECT \\* FROM POS_MAST WHERE";
const std::string kMark = "^UPDATE POS_MAIN SET TRAN_CODE = 'True'";
const std::string kPutBack = "^UPDATE POS_MAIN SET TRAN_CODE = 'Wait' .*SAL_NO";
const std::string kTotals = "^select a\\.sal_date";
const std::string kCostsY = "^update POS_COST set TRN_CODE = 'Y'";
const std::string kMidItems = "^UPDATE POS_SUB SET MID_ITEMID";
std::string marking(const std::string& table, const std::string& mark, const char* column) {
    return "^UPDATE " + table + " SET " + column + " = '" + mark + "'";
}
const std::string kTime = "[0-9]{2}:[0-9]{2}:[0-9]{2}\\n";
const std::string kBegun = "Connected Successful\\.\\.!\\n";
const std::string kZ999 = "Z999商品不存在商品檔中\\.\\.!!\\n";

Reference::Reference(const std::function<void(const std::filesystem::path&)>& prepare, const Arguments& args,
                     TestServer server)
    : ran(std::move(server)) {
    prepare(start.path());
    ran.copyDatabasesFrom(start.path());
    beginning = ran.snapshot();
    const auto began = std::chrono::steady_clock::now();
    const Exit e = ran.run({{"LUMVIK_TEST_TRACE_STEPS", ran.file("steps.txt")}}, args);
    took = std::chrono::steady_clock::now() - began;
    if (!e.completed()) {
        failure = e.describe();
        return;
    }
    log = e.out;
    trace = Trace(ran.file("steps.txt"));
    end = ran.snapshot();
}

void prepareDay(const std::filesystem::path& start) {
    TestDatabases dbs;
    auto store = embeddedConnection(dbs.store);
    auto erp = embeddedConnection(dbs.erp);
    fillDay(*store, *erp);
    // The embedded engine lets one process at a time open a database file.
    store->close();
    erp->close();
    std::filesystem::copy_file(dbs.store, start / "store.fdb");
    std::filesystem::copy_file(dbs.erp, start / "erp.fdb");
}

void prepareDayAgain(const Reference& before, const std::filesystem::path& start) {
    std::filesystem::copy_file(before.ran.path() / "store.fdb", start / "store.fdb");
    std::filesystem::copy_file(before.ran.erpFile(), start / "erp.fdb");
    auto store = embeddedConnection((start / "store.fdb").string());
    auto erp = embeddedConnection((start / "erp.fdb").string());
    changeForDayAgain(*store, *erp);
    store->close();
    erp->close();
}

}  // namespace lumvik::testing
