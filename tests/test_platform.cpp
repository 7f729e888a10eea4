// The Linux platform for real: programs started, window classes held across processes, and the
// stand-in for the sibling programs. Every wait polls against a deadline.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/shell/platform.h"
#include "app/shell/station_folder.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace lumvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using lumvik::testing::readBytes;
using lumvik::testing::TempDir;

// Sets (or removes) an environment variable for a scope; the time zone follows TZ at once.
struct ScopedEnv {
    ScopedEnv(std::string variable, const std::optional<std::string>& value) : name(std::move(variable)) {
        if (const char* old = std::getenv(name.c_str())) previous = old;
        set(value);
    }
    ~ScopedEnv() { set(previous); }
    void set(const std::optional<std::string>& v) const {
        v ? ::setenv(name.c_str(), v->c_str(), 1) : ::unsetenv(name.c_str());
        ::tzset();
    }
    const std::string name;
    std::optional<std::string> previous;
};

struct RemoveOnExit {
    fs::path path;
    ~RemoveOnExit() {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
};

template <typename Condition>
bool waitFor(const Condition& condition, std::chrono::milliseconds timeout = 10s) {
    for (const auto deadline = std::chrono::steady_clock::now() + timeout; !condition();) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The file's content once it is there, "" when it did not come.
std::string awaitFile(const fs::path& file) {
    return waitFor([&] { return fs::exists(file) && fs::file_size(file) > 0; }) ? readBytes(file) : "";
}

// A shell script that writes what `report` prints to `to` all at once, so a report that exists is whole.
void writeScript(const fs::path& file, const std::string& report, const std::string& to = "$1",
                 const std::string& after = "") {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "#!/bin/sh\nto=\"" << to << "\"\n{ " << report
                        << "; } > \"$to.part\" && mv \"$to.part\" \"$to\"\n"
                        << after;
    fs::permissions(file, fs::perms::owner_all);
}

// A child of the test, stopped and reaped on the way out, so that whatever it held is released.
class Child {
  public:
    explicit Child(std::vector<std::string> arguments, int stopSignal = SIGKILL) : stopSignal_(stopSignal) {
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start " + arguments[0]);
    }
    ~Child() { stop(); }
    // The exit status (128 + signal when killed), nothing when it did not end in time.
    std::optional<int> wait(std::chrono::milliseconds timeout = 10s) {
        int status = 0;
        if (!status_ && waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, timeout))
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }
    void stop() {
        if (!status_ && ::kill(pid_, stopSignal_) == 0) wait(1h);
    }

  private:
    pid_t pid_ = 0;
    int stopSignal_;
    std::optional<int> status_;
};

fs::path binDirectory() {
    if (const char* directory = std::getenv("LUMVIK_BIN_DIR")) return directory;
    return makeSystemPlatform()->programDirectory();
}

// Programs are looked for in temp()/path before the usual search path; window classes are held in
// temp()/windows; there is no display.
class PlatformTest : public ::testing::Test {
  protected:
    const fs::path& temp() const { return temp_.path(); }
    fs::path onPath(const std::string& name) const { return temp() / "path" / name; }
    bool exists(const std::string& windowClass) const { return platform->windowClassExists(windowClass); }
    // Starts a script with the file to report to and `arguments`; returns the report.
    std::string reportOf(const std::string& program, const std::vector<std::string>& arguments = {}) {
        const fs::path out = temp() / ("report" + std::to_string(++reports_));
        std::vector<std::string> line{program, out.string()};
        line.insert(line.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(platform->startProgram(line), std::nullopt) << program;
        return awaitFile(out);
    }

    TempDir temp_;
    ScopedEnv path_{"PATH", (temp() / "path").string() + ":" +
                                (std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin")};
    ScopedEnv windows_{"LUMVIK_WINDOW_DIR", (temp() / "windows").string()};
    ScopedEnv noDisplay_{"DISPLAY", std::nullopt};
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    const std::string standin = (binDirectory() / "sibling-standin").string();
    const std::string unique = "lumvik-test-" + std::to_string(::getpid());  // no other program's name
    int reports_ = 0;
};

TEST(PlatformCommandLine, FollowsTheRulesOfWindowsPrograms) {
    const struct {
        std::string line;
        std::vector<std::string> expected;
    } cases[] = {
        {R"(C:\dir\Wendry.exe xx 2012/12/10)", {R"(C:\dir\Wendry.exe)", "xx", "2012/12/10"}},
        {"", {}},
        {"  a \t b  ", {"a", "b"}},
        {R"("C:\Program Files\x.exe" "two words" last)", {R"(C:\Program Files\x.exe)", "two words", "last"}},
        {R"(a"b c"d)", {"ab cd"}},
        {R"("" x "")", {"", "x", ""}},
        {R"(say \"hi\")", {"say", R"("hi")"}},
        {R"("a \"quoted\" word")", {R"(a "quoted" word)"}},
        {R"(a\\b c\\\d)", {R"(a\\b)", R"(c\\\d)"}},
        // A run of backslashes before a quote: each pair gives one, an odd one out escapes the quote.
        {R"(a\\"b c" d)", {R"(a\b c)", "d"}},
        {R"(a\\\"b c)", {R"(a\"b)", "c"}},
        {R"("C:\dir\\" next)", {R"(C:\dir\)", "next"}},
        {R"(x "open to the end)", {"x", "open to the end"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.expected) << "command line: " << c.line;

    // What Windows builds for a program in a folder of any name reads back as the same arguments.
    const std::vector<std::vector<std::string>> joined{
        {R"(C:\q x y\Wendry.exe)", "xx", "2012/12/10"},
        {R"(C:\a b;$c\d\Quorrel.exe)"},
        {"x.exe", "", "two words", "tab\there", R"(say "hi")", R"(end\)", R"(end\\)", R"(\\"\)", "$HOME;&|"},
    };
    for (const auto& arguments : joined)
        EXPECT_EQ(splitCommandLine(joinCommandLine(arguments)), arguments) << joinCommandLine(arguments);
    EXPECT_EQ(joinCommandLine({R"(C:\q x\W.exe)", "xx", "a b", R"(a"b\)"}),
              R"("C:\q x\W.exe" xx "a b" "a\"b\\")");
}

TEST_F(PlatformTest, KnowsTheFolderOfItsExecutableWhichFilesExistAndTheLocalTime) {
    EXPECT_TRUE(fs::equivalent(platform->programDirectory(), binDirectory()));
    std::ofstream(temp() / "present.ini") << "x";
    EXPECT_TRUE(platform->fileExists(temp() / "present.ini"));
    EXPECT_TRUE(platform->fileExists(temp()));
    EXPECT_FALSE(platform->fileExists(temp() / "absent.ini"));

    using namespace std::chrono;
    // Eight hours east of UTC without summer time: universal time would be off by exactly that.
    const ScopedEnv zone("TZ", "CST-8");
    const sys_seconds before = floor<seconds>(system_clock::now()) + 8h;
    const LocalTime now = platform->now();
    ASSERT_TRUE(now.date.ok());
    EXPECT_LE(before, sys_days{now.date} + now.time.to_duration());
    EXPECT_LE(sys_days{now.date} + now.time.to_duration(), floor<seconds>(system_clock::now()) + 8h);
}

TEST_F(PlatformTest, StartsTheProgramBesideItselfElseAsGivenElseFromTheSearchPathOrFails) {
    const RemoveOnExit besideUs{platform->programDirectory() / unique};
    writeScript(besideUs.path, "echo beside; shift; printf '%s\\n' \"$@\"");
    writeScript(onPath(unique), "echo search path");
    // A folder whose name a command line would have to quote, and a shell would read.
    const fs::path folder = temp() / "else \"where\" x\ty $HOME;\\z";
    writeScript(folder / unique, "echo given");
    EXPECT_EQ(reportOf(unique, {"two words", "plain", "say \"hi\"", "", "$HOME;\\\t"}),
              "beside\ntwo words\nplain\nsay \"hi\"\n\n$HOME;\\\t\n");
    EXPECT_EQ(reportOf((folder / unique).string()), "given\n");
    fs::remove(besideUs.path);
    EXPECT_EQ(reportOf(unique), "search path\n");

    const fs::path notExecutable = onPath(unique + "-plain");
    writeScript(notExecutable, "true");
    fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path noInterpreter = temp() / "no-interpreter";
    std::ofstream(noInterpreter) << "#!/nonexistent/interpreter\n";
    fs::permissions(noInterpreter, fs::perms::owner_all);
    // Each says why. The last is found and executable, yet exec fails: only the child can tell.
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{}, "no program named"},
        {{""}, "no program named"},
        {{unique + "-missing", "argument"}, "not found beside the program or along PATH"},
        {{(temp() / "missing").string()}, "not found"},
        {{notExecutable.filename().string()}, notExecutable.string() + " is not executable"},
        {{notExecutable.string()}, "not executable"},
        {{temp().string()}, "a folder, not a program"},
        {{noInterpreter.string()}, "No such file or directory"}};
    for (const auto& [line, why] : refused)
        EXPECT_EQ(platform->startProgram(line), why) << (line.empty() ? "" : line.front());
}

TEST_F(PlatformTest, StartsTheProgramDetachedWithoutWaitingForIt) {
    writeScript(onPath(unique),
                "read -r _ _ _ _ _ session _ < /proc/$$/stat; [ $session = $2 ] && echo our session ||"
                " echo own session; readlink /proc/$$/fd/0; pwd -P; [ -e /proc/$$/fd/$3 ] && echo inherited"
                " || echo closed",
                "$1", "sleep 2\n");
    const int inheritable = ::fcntl(STDERR_FILENO, F_DUPFD, 100);  // without close-on-exec
    ASSERT_GE(inheritable, 100);
    const auto start = std::chrono::steady_clock::now();
    const bool started = !platform->startProgram(
        {unique, (temp() / "out").string(), std::to_string(::getsid(0)), std::to_string(inheritable)});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    ::close(inheritable);
    ASSERT_TRUE(started);
    EXPECT_EQ(awaitFile(temp() / "out"),
              "own session\n/dev/null\n" + fs::canonical(fs::current_path()).string() + "\nclosed\n");
    // Nothing of the start is left for us to reap: not the program, not a helper process.
    const pid_t reaped = ::waitpid(-1, nullptr, WNOHANG);
    const int error = errno;
    EXPECT_EQ(reaped, -1);
    EXPECT_EQ(error, ECHILD);
}

TEST_F(PlatformTest, OpensAPathWithXdgOpenAsOneArgument) {
    writeScript(onPath("xdg-open"), "echo $#; printf '%s\\n' \"$@\"", (temp() / "opened").string());
    ASSERT_TRUE(platform->openWithDefault("/some dir/report 1.txt"));
    EXPECT_EQ(awaitFile(temp() / "opened"), "1\n/some dir/report 1.txt\n");
    const ScopedEnv noOpener("PATH", (temp() / "windows").string());
    EXPECT_FALSE(platform->openWithDefault("/some dir/report 1.txt"));
}

TEST_F(PlatformTest, AWindowClassExistsExactlyWhileItsOneRegistrationLives) {
    {
        const WindowClassRegistration registration("TFHarvo");
        EXPECT_TRUE(exists("TFHarvo"));
        EXPECT_FALSE(exists("TFHarv"));
        EXPECT_THROW(WindowClassRegistration("TFHarvo"), std::system_error);
        EXPECT_TRUE(exists("TFHarvo"));
        EXPECT_TRUE(fs::exists(temp() / "windows" / "TFHarvo.lock"));
        EXPECT_EQ(fs::status(temp() / "windows").permissions() & fs::perms::all, fs::perms::owner_all);
    }
    EXPECT_FALSE(exists("TFHarvo"));
    EXPECT_THROW(WindowClassRegistration("a/b"), std::invalid_argument);

    // Without a directory of their own, they live in the runtime directory, else in /tmp.
    const ScopedEnv noDirectory("LUMVIK_WINDOW_DIR", std::nullopt);
    const std::string windowClass = "LumvikTest" + std::to_string(::getpid());
    const RemoveOnExit inTmp{"/tmp/lumvik-windows-" + std::to_string(::getuid()) + "/" + windowClass +
                             ".lock"};
    {
        const ScopedEnv runtime("XDG_RUNTIME_DIR", temp().string());
        const WindowClassRegistration registration(windowClass);
        EXPECT_TRUE(fs::exists(temp() / "lumvik-windows" / (windowClass + ".lock")));
        EXPECT_TRUE(exists(windowClass));
    }
    const ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    const WindowClassRegistration registration(windowClass);
    EXPECT_TRUE(fs::exists(inTmp.path));
    EXPECT_TRUE(exists(windowClass));
}

TEST_F(PlatformTest, TheStandinHoldsItsClassRecordsItsCallAndActsAsTheSiblingItIsNamedAfter) {
    const fs::path calls = temp() / "calls.log";
    Child held({standin, "--class", "TFHarvo", "--seconds", "60", "--record", calls.string(), "a", "b c"});
    EXPECT_EQ(awaitFile(calls), "sibling-standin a b c\n");  // it registers before it records
    EXPECT_TRUE(exists("TFHarvo"));
    held.stop();  // killed
    EXPECT_FALSE(exists("TFHarvo"));
    Child timed({standin, "--class", "TFormDisQuorrel", "--seconds", "1"});
    EXPECT_TRUE(waitFor([&] { return exists("TFormDisQuorrel"); }));
    EXPECT_EQ(timed.wait(), 0);
    EXPECT_FALSE(exists("TFormDisQuorrel"));
    EXPECT_EQ(Child({standin, "--seconds", "soon"}).wait(), 2);
    EXPECT_EQ(Child({standin, "--class"}).wait(), 2);

    for (const char* name : {"Harvo.exe", "Quorrel.exe", "Wendry.exe"})
        fs::copy_file(standin, temp() / name);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(platform->startProgram({(temp() / "Harvo.exe").string(), "2012/12/10"}), std::nullopt);
    EXPECT_TRUE(waitFor([&] { return exists("TFHarvo"); }));
    EXPECT_TRUE(waitFor([&] { return !exists("TFHarvo"); }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1500ms);
    EXPECT_EQ(Child({(temp() / "Quorrel.exe").string(), "x"}).wait(), 0);
    ASSERT_EQ(platform->startProgram({(temp() / "Wendry.exe").string(), "xx", "2012/12/10"}), std::nullopt);
    const fs::path log = temp() / "siblings.log";
    const std::string expected = "Harvo.exe 2012/12/10\nQuorrel.exe x\nWendry.exe xx 2012/12/10\n";
    EXPECT_TRUE(waitFor([&] { return fs::exists(log) && readBytes(log) == expected; }))
        << (fs::exists(log) ? readBytes(log) : "no " + log.string());
}

TEST_F(PlatformTest, FindsTopLevelX11WindowsByTheirClass) {
    {
        const ScopedEnv unreachable("DISPLAY", ":9997");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(exists("Xmessage"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
    if (std::system("{ command -v Xvfb && command -v xmessage; } > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs Xvfb and xmessage";
    // Xvfb picks a free display itself and writes its number to the descriptor it is given. Without
    // -noreset it would reset when our first check disconnects, dropping the next client.
    const Child server({"sh", "-c", "exec Xvfb -displayfd 3 -nolisten tcp -noreset 3> \"$0\" 2> /dev/null",
                        (temp() / "display").string()},
                       SIGTERM);
    const std::string number = awaitFile(temp() / "display");
    ASSERT_FALSE(number.empty());
    const ScopedEnv onDisplay("DISPLAY", ":" + number.substr(0, number.find('\n')));
    EXPECT_FALSE(exists("Xmessage"));
    Child message({"xmessage", "lumvik"});
    EXPECT_TRUE(waitFor([&] { return exists("Xmessage"); }));
    EXPECT_FALSE(exists("xmessage"));  // the instance name, not the class
    message.stop();
    EXPECT_TRUE(waitFor([&] { return !exists("Xmessage"); }));
}

// A window started from the menu of an installed package finds no station in the program's own folder;
// only a folder this process can write holds one, and the error says how to name a station instead.
TEST_F(PlatformTest, OnlyAFolderThatCanBeWrittenIsTheProgramsOwnStation) {
    EXPECT_TRUE(lumvik::folderWritable(temp()));
    EXPECT_EQ(lumvik::ownFolderProblem(temp()), std::nullopt);
    EXPECT_TRUE(fs::is_empty(temp())) << "the probe stays behind";
    const fs::path file = temp() / "a file";
    std::ofstream(file) << "x";
    for (const fs::path& notAFolder : {file, temp() / "missing"}) {
        EXPECT_FALSE(lumvik::folderWritable(notAFolder)) << notAFolder;
        const auto problem = lumvik::ownFolderProblem(notAFolder);
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(notAFolder.string()), std::string::npos) << *problem;
        EXPECT_NE(problem->find("--folder DIR"), std::string::npos) << *problem;
    }
}

}  // namespace
}  // namespace lumvik
