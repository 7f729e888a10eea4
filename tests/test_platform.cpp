// The Linux platform for real: programs started, window classes held across processes, and the
// stand-in for the sibling programs. Every wait polls against a deadline.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/platform.h"

extern char** environ;

namespace lumvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "lumvik-platform-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category());
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    std::string name_;
    std::optional<std::string> old_;
};

// Removes a file the test put somewhere it does not own.
class ScopedFile {
  public:
    explicit ScopedFile(fs::path path) : path_(std::move(path)) {}
    ~ScopedFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;

  private:
    fs::path path_;
};

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeScript(const fs::path& file, const std::string& body) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "#!/bin/sh\n" << body;
    fs::permissions(file, fs::perms::owner_all);
}

// Scripts write their report beside and move it into place, so a report that exists is complete.
std::string reportTo(const std::string& variable) {
    return " > \"" + variable + ".part\" && mv \"" + variable + ".part\" \"" + variable + "\"\n";
}

std::string quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

pid_t spawn(const std::vector<std::string>& arguments, const posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), environ);
    if (error != 0) throw std::system_error(error, std::generic_category(), "cannot start " + arguments[0]);
    return pid;
}

// A child of the test. One that a failed assertion would leave running is ended on the way out.
class ChildProcess {
  public:
    explicit ChildProcess(pid_t pid, int stopSignal = SIGKILL) : pid_(pid), stopSignal_(stopSignal) {}
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit status (128 + signal when killed), or nothing when it has not ended within the timeout.
    std::optional<int> wait(std::chrono::milliseconds timeout = 10s) {
        if (status_) return status_;
        int status = 0;
        if (!waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, timeout)) return std::nullopt;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

    // Returns once the child is gone and reaped, so that whatever it held has been released.
    void stop() {
        if (status_) return;
        ::kill(pid_, stopSignal_);
        if (!wait(5s)) {
            ::kill(pid_, SIGKILL);
            wait(std::chrono::hours(1));
        }
    }

  private:
    pid_t pid_;
    int stopSignal_;
    std::optional<int> status_;
};

fs::path binDirectory() {
    if (const char* directory = std::getenv("LUMVIK_BIN_DIR")) return directory;
    return makeSystemPlatform()->programDirectory();
}

fs::path standinProgram() {
    const fs::path program = binDirectory() / "sibling-standin";
    if (!fs::exists(program))
        throw std::runtime_error(program.string() + " is missing; build sibling-standin");
    return program;
}

// ---------------------------------------------------------------------------------------------

TEST(PlatformCommandLine, FollowsTheRulesOfWindowsPrograms) {
    using Arguments = std::vector<std::string>;
    const struct {
        std::string line;
        Arguments expected;
    } cases[] = {
        {R"(C:\dir\Wendry.exe xx 2012/12/10)", {R"(C:\dir\Wendry.exe)", "xx", "2012/12/10"}},
        {"", {}},
        {" \t ", {}},
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
    for (const auto& c : cases) {
        SCOPED_TRACE("command line: " + c.line);
        EXPECT_EQ(splitCommandLine(c.line), c.expected);
    }
}

// ---------------------------------------------------------------------------------------------

TEST(LinuxPlatform, KnowsTheFolderOfItsExecutableAndWhichFilesExist) {
    TempDir temp;
    const auto platform = makeSystemPlatform();
    EXPECT_TRUE(fs::equivalent(platform->programDirectory(), binDirectory()));
    EXPECT_TRUE(platform->fileExists(platform->programDirectory() / "test_platform"));

    std::ofstream(temp.path() / "present.ini") << "x";
    EXPECT_TRUE(platform->fileExists(temp.path() / "present.ini"));
    EXPECT_TRUE(platform->fileExists(temp.path()));
    EXPECT_FALSE(platform->fileExists(temp.path() / "absent.ini"));
    EXPECT_FALSE(platform->fileExists(temp.path() / "absent" / "deeper.ini"));
}

TEST(LinuxPlatform, TellsTheLocalTime) {
    using namespace std::chrono;
    // A zone eight hours east of UTC without summer time: universal time would be off by exactly that.
    struct ZoneReset {
        ~ZoneReset() { ::tzset(); }
    } resetAfterwards;
    const ScopedEnv zone("TZ", "CST-8");
    ::tzset();
    const auto platform = makeSystemPlatform();

    const sys_seconds before = floor<seconds>(system_clock::now()) + 8h;
    const LocalTime now = platform->now();
    const sys_seconds after = floor<seconds>(system_clock::now()) + 8h;
    ASSERT_TRUE(now.date.ok());
    const sys_seconds shown = sys_days{now.date} + now.time.to_duration();
    EXPECT_LE(before, shown);
    EXPECT_LE(shown, after);
}

class PlatformStartProgram : public ::testing::Test {
  protected:
    PlatformStartProgram() : path_("PATH", (temp_.path() / "path").string() + ":" + originalPath()) {}

    static std::string originalPath() {
        const char* path = std::getenv("PATH");
        return path != nullptr ? path : "/usr/bin:/bin";
    }

    // A name no other program has, so the search cannot find anything but ours.
    static std::string uniqueName(const std::string& stem) {
        return "lumvik-" + stem + "-" + std::to_string(::getpid());
    }

    const fs::path& temp() const { return temp_.path(); }
    fs::path onPath(const std::string& name) const { return temp() / "path" / name; }

    std::unique_ptr<Platform> platform_ = makeSystemPlatform();

  private:
    TempDir temp_;
    ScopedEnv path_;
};

TEST_F(PlatformStartProgram, FindsAProgramOnTheSearchPathAndPassesItsArgumentsApart) {
    const std::string name = uniqueName("arguments");
    writeScript(onPath(name),
                "out=\"$1\"; shift\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done" + reportTo("$out"));
    const fs::path out = temp() / "arguments.txt";

    ASSERT_TRUE(platform_->startProgram(name + " " + quoted(out) + R"( "two words" plain "say \"hi\"")"));
    ASSERT_TRUE(waitFor([&] { return fs::exists(out); }));
    EXPECT_EQ(readFile(out), "two words\nplain\nsay \"hi\"\n");
}

TEST_F(PlatformStartProgram, LooksInTheProgramDirectoryBeforeTheSearchPath) {
    const std::string name = uniqueName("precedence");
    const fs::path besideUs = platform_->programDirectory() / name;
    const ScopedFile removeBesideUs(besideUs);
    writeScript(besideUs, "echo program directory" + reportTo("$1"));
    writeScript(onPath(name), "echo search path" + reportTo("$1"));

    const fs::path first = temp() / "first.txt";
    ASSERT_TRUE(platform_->startProgram(name + " " + quoted(first)));
    ASSERT_TRUE(waitFor([&] { return fs::exists(first); }));
    EXPECT_EQ(readFile(first), "program directory\n");

    fs::remove(besideUs);
    const fs::path second = temp() / "second.txt";
    ASSERT_TRUE(platform_->startProgram(name + " " + quoted(second)));
    ASSERT_TRUE(waitFor([&] { return fs::exists(second); }));
    EXPECT_EQ(readFile(second), "search path\n");
}

TEST_F(PlatformStartProgram, UsesAProgramGivenWithADirectoryAsIs) {
    const std::string name = uniqueName("direct");
    const fs::path elsewhere = temp() / "else where" / name;
    writeScript(elsewhere, "echo given directory" + reportTo("$1"));
    writeScript(onPath(name), "echo search path" + reportTo("$1"));

    const fs::path out = temp() / "direct.txt";
    ASSERT_TRUE(platform_->startProgram(quoted(elsewhere) + " " + quoted(out)));
    ASSERT_TRUE(waitFor([&] { return fs::exists(out); }));
    EXPECT_EQ(readFile(out), "given directory\n");
}

TEST_F(PlatformStartProgram, FailsForProgramsThatCannotBeStarted) {
    const fs::path notExecutable = temp() / "path" / uniqueName("plain-file");
    writeScript(notExecutable, "exit 0\n");
    fs::permissions(notExecutable, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path noInterpreter = temp() / "no-interpreter";
    std::ofstream(noInterpreter) << "#!/nonexistent/interpreter\n";
    fs::permissions(noInterpreter, fs::perms::owner_all);

    EXPECT_FALSE(platform_->startProgram(""));
    EXPECT_FALSE(platform_->startProgram("   "));
    EXPECT_FALSE(platform_->startProgram(uniqueName("missing") + " argument"));
    EXPECT_FALSE(platform_->startProgram(quoted(temp() / "missing")));
    EXPECT_FALSE(platform_->startProgram(notExecutable.filename().string()));
    EXPECT_FALSE(platform_->startProgram(quoted(notExecutable)));
    EXPECT_FALSE(platform_->startProgram(quoted(temp())));
    // Found and executable, yet exec fails: only the child can tell.
    EXPECT_FALSE(platform_->startProgram(quoted(noInterpreter)));
}

TEST_F(PlatformStartProgram, ReturnsWithoutWaitingForTheProgram) {
    const std::string name = uniqueName("slow");
    writeScript(onPath(name), "sleep 2\ntouch \"$1\"\n");
    const fs::path done = temp() / "done";

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(platform_->startProgram(name + " " + quoted(done)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(fs::exists(done));
    EXPECT_TRUE(waitFor([&] { return fs::exists(done); }));
}

TEST_F(PlatformStartProgram, DetachesTheProgramFromThisProcess) {
    const std::string name = uniqueName("detached");
    writeScript(onPath(name),
                "read -r _ _ _ _ _ session _ < /proc/$$/stat\n"
                "{ echo \"$session\"; readlink /proc/$$/fd/0; pwd -P;\n"
                "  if [ -e /proc/$$/fd/$2 ]; then echo inherited; else echo closed; fi; }" +
                    reportTo("$1"));
    const fs::path out = temp() / "detached.txt";
    const int open = ::open(out.parent_path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(open, 0);
    const int inheritable = ::fcntl(open, F_DUPFD, 100);  // without close-on-exec
    ::close(open);
    ASSERT_GE(inheritable, 100);

    const bool started =
        platform_->startProgram(name + " " + quoted(out) + " " + std::to_string(inheritable));
    ::close(inheritable);
    ASSERT_TRUE(started);
    ASSERT_TRUE(waitFor([&] { return fs::exists(out); }));

    std::istringstream report(readFile(out));
    long session = 0;
    std::string input, directory, file;
    report >> session >> input >> directory >> file;
    EXPECT_NE(session, static_cast<long>(::getsid(0)));
    EXPECT_EQ(input, "/dev/null");
    EXPECT_EQ(fs::path(directory), fs::canonical(fs::current_path()));
    EXPECT_EQ(file, "closed");
    // Nothing of the start is left for us to reap: not the program, not a helper process.
    const pid_t reaped = ::waitpid(-1, nullptr, WNOHANG);
    const int error = errno;
    EXPECT_EQ(reaped, -1);
    EXPECT_EQ(error, ECHILD);
}

TEST_F(PlatformStartProgram, OpensAPathWithXdgOpenAsOneArgument) {
    writeScript(onPath("xdg-open"),
                "{ echo $#; printf '%s\\n' \"$@\"; }" + reportTo(temp().string() + "/opened"));
    ASSERT_TRUE(platform_->openWithDefault("/some dir/report 1.txt"));
    ASSERT_TRUE(waitFor([&] { return fs::exists(temp() / "opened"); }));
    EXPECT_EQ(readFile(temp() / "opened"), "1\n/some dir/report 1.txt\n");

    fs::create_directories(temp() / "empty");
    const ScopedEnv noOpener("PATH", (temp() / "empty").string());
    EXPECT_FALSE(platform_->openWithDefault("/some dir/report 1.txt"));
}

// ---------------------------------------------------------------------------------------------

class PlatformWindowClasses : public ::testing::Test {
  protected:
    fs::path windows() const { return temp_.path() / "windows"; }

    std::unique_ptr<Platform> platform_ = makeSystemPlatform();

  private:
    TempDir temp_;
    ScopedEnv directory_{"LUMVIK_WINDOW_DIR", windows().string()};
    ScopedEnv noDisplay_{"DISPLAY", std::nullopt};
};

TEST_F(PlatformWindowClasses, ExistExactlyWhileRegistered) {
    EXPECT_FALSE(platform_->windowClassExists("TFHarvo"));
    {
        const WindowClassRegistration registration("TFHarvo");
        EXPECT_TRUE(platform_->windowClassExists("TFHarvo"));
        EXPECT_FALSE(platform_->windowClassExists("TFormDisQuorrel"));
        EXPECT_FALSE(platform_->windowClassExists("TFHarv"));
        EXPECT_TRUE(fs::exists(windows() / "TFHarvo.lock"));
        EXPECT_EQ(fs::status(windows()).permissions() & fs::perms::all, fs::perms::owner_all);
    }
    EXPECT_FALSE(platform_->windowClassExists("TFHarvo"));
    EXPECT_FALSE(platform_->windowClassExists(""));
    EXPECT_FALSE(platform_->windowClassExists("a/b"));
    EXPECT_THROW(WindowClassRegistration("a/b"), std::invalid_argument);
}

TEST_F(PlatformWindowClasses, AreHeldByOneRegistrationAtATime) {
    const WindowClassRegistration first("TFHarvo");
    EXPECT_THROW(WindowClassRegistration("TFHarvo"), std::system_error);
    EXPECT_TRUE(platform_->windowClassExists("TFHarvo"));
}

TEST_F(PlatformWindowClasses, EndWithAKilledProcess) {
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(30);  // never outlives a test run that went wrong
        try {
            const WindowClassRegistration registration("TFHarvo");
            if (::write(ready[1], "r", 1) != 1) ::_exit(1);
            for (;;)
                ::pause();
        } catch (...) {
            ::_exit(1);
        }
    }
    ChildProcess holder(child);
    ::close(ready[1]);
    pollfd readable{ready[0], POLLIN, 0};
    const bool registered = ::poll(&readable, 1, 10'000) == 1 && (readable.revents & POLLIN) != 0;
    ::close(ready[0]);
    ASSERT_TRUE(registered);

    EXPECT_TRUE(platform_->windowClassExists("TFHarvo"));
    holder.stop();
    EXPECT_EQ(holder.wait(), 128 + SIGKILL);
    EXPECT_FALSE(platform_->windowClassExists("TFHarvo"));
}

TEST(PlatformWindowClassDirectory, FallsBackToTheRuntimeDirectoryThenTmp) {
    TempDir runtime;
    const ScopedEnv noDirectory("LUMVIK_WINDOW_DIR", std::nullopt);
    const ScopedEnv noDisplay("DISPLAY", std::nullopt);
    const auto platform = makeSystemPlatform();
    const std::string windowClass = "LumvikTest" + std::to_string(::getpid());
    {
        const ScopedEnv runtimeDirectory("XDG_RUNTIME_DIR", runtime.path().string());
        const WindowClassRegistration registration(windowClass);
        EXPECT_TRUE(fs::exists(runtime.path() / "lumvik-windows" / (windowClass + ".lock")));
        EXPECT_TRUE(platform->windowClassExists(windowClass));
    }
    {
        const ScopedEnv noRuntimeDirectory("XDG_RUNTIME_DIR", std::nullopt);
        const fs::path lock =
            "/tmp/lumvik-windows-" + std::to_string(::getuid()) + "/" + windowClass + ".lock";
        const ScopedFile removeLock(lock);
        const WindowClassRegistration registration(windowClass);
        EXPECT_TRUE(fs::exists(lock));
        EXPECT_TRUE(platform->windowClassExists(windowClass));
    }
}

// ---------------------------------------------------------------------------------------------

class PlatformSiblingStandin : public ::testing::Test {
  protected:
    fs::path temp() const { return temp_.path(); }

    std::unique_ptr<Platform> platform_ = makeSystemPlatform();

  private:
    TempDir temp_;
    ScopedEnv directory_{"LUMVIK_WINDOW_DIR", (temp_.path() / "windows").string()};
    ScopedEnv noDisplay_{"DISPLAY", std::nullopt};
};

TEST_F(PlatformSiblingStandin, HoldsItsClassUntilKilled) {
    const fs::path log = temp() / "calls.log";
    ChildProcess standin(spawn({standinProgram().string(), "--class", "TFHarvo", "--seconds", "60",
                                "--record", log.string(), "a", "b c"}));
    ASSERT_TRUE(waitFor([&] { return platform_->windowClassExists("TFHarvo"); }));
    EXPECT_EQ(readFile(log), "sibling-standin a b c\n");

    standin.stop();
    EXPECT_FALSE(platform_->windowClassExists("TFHarvo"));
}

TEST_F(PlatformSiblingStandin, ReleasesItsClassWhenItsTimeIsUp) {
    ChildProcess standin(spawn({standinProgram().string(), "--class", "TFormDisQuorrel", "--seconds", "1"}));
    EXPECT_TRUE(waitFor([&] { return platform_->windowClassExists("TFormDisQuorrel"); }));
    EXPECT_EQ(standin.wait(), 0);
    EXPECT_FALSE(platform_->windowClassExists("TFormDisQuorrel"));

    EXPECT_EQ(ChildProcess(spawn({standinProgram().string(), "--seconds", "soon"})).wait(), 2);
    EXPECT_EQ(ChildProcess(spawn({standinProgram().string(), "--class"})).wait(), 2);
}

TEST_F(PlatformSiblingStandin, ActsAsTheSiblingItIsNamedAfter) {
    for (const char* name : {"Harvo.exe", "Quorrel.exe", "Wendry.exe"}) {
        fs::copy_file(standinProgram(), temp() / name);
    }
    const fs::path log = temp() / "siblings.log";

    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(platform_->startProgram(quoted(temp() / "Harvo.exe") + " 2012/12/10"));
    EXPECT_TRUE(waitFor([&] { return platform_->windowClassExists("TFHarvo"); }));
    EXPECT_TRUE(waitFor([&] { return !platform_->windowClassExists("TFHarvo"); }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1500ms);
    EXPECT_EQ(readFile(log), "Harvo.exe 2012/12/10\n");

    EXPECT_EQ(ChildProcess(spawn({(temp() / "Quorrel.exe").string(), "x"})).wait(), 0);
    ASSERT_TRUE(platform_->startProgram(quoted(temp() / "Wendry.exe") + " xx 2012/12/10"));
    const std::string expected = "Harvo.exe 2012/12/10\nQuorrel.exe x\nWendry.exe xx 2012/12/10\n";
    EXPECT_TRUE(waitFor([&] { return readFile(log) == expected; })) << readFile(log);
}

// ---------------------------------------------------------------------------------------------

TEST(PlatformX11Windows, UnreachableDisplayMeansNoWindow) {
    const ScopedEnv display("DISPLAY", ":9997");
    const auto platform = makeSystemPlatform();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform->windowClassExists("Xmessage"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

bool onSearchPath(const std::string& program) {
    return std::system(("command -v " + program + " > /dev/null 2>&1").c_str()) == 0;
}

TEST(PlatformX11Windows, FindsTopLevelWindowsByTheirClass) {
    if (!onSearchPath("Xvfb") || !onSearchPath("xmessage")) GTEST_SKIP() << "needs Xvfb and xmessage";
    TempDir temp;
    const ScopedEnv noLocks("LUMVIK_WINDOW_DIR", (temp.path() / "windows").string());

    // Xvfb picks a free display itself and writes its number to the descriptor it is given.
    int number[2];
    ASSERT_EQ(::pipe2(number, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, number[1], 9);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Without -noreset the server resets when our first check disconnects, dropping the next client.
    const ChildProcess server(spawn({"Xvfb", "-displayfd", "9", "-nolisten", "tcp", "-noreset"}, &actions),
                              SIGTERM);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(number[1]);
    std::string displayNumber;
    pollfd readable{number[0], POLLIN, 0};
    char c = 0;
    while (::poll(&readable, 1, 10'000) == 1 && ::read(number[0], &c, 1) == 1 && c != '\n')
        displayNumber += c;
    ::close(number[0]);
    ASSERT_FALSE(displayNumber.empty());

    const ScopedEnv display("DISPLAY", ":" + displayNumber);
    const auto platform = makeSystemPlatform();
    EXPECT_FALSE(platform->windowClassExists("Xmessage"));
    ChildProcess message(spawn({"xmessage", "lumvik"}));
    EXPECT_TRUE(waitFor([&] { return platform->windowClassExists("Xmessage"); }));
    EXPECT_FALSE(platform->windowClassExists("xmessage"));  // the instance name, not the class
    message.stop();
    EXPECT_TRUE(waitFor([&] { return !platform->windowClassExists("Xmessage"); }));
}

}  // namespace
}  // namespace lumvik
