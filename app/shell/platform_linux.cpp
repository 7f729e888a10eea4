#include "app/shell/platform.h"

#include "db/stop_request.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <variant>

extern char** environ;

namespace lumvik {

namespace {

// ---------------------------------------------------------------------------------------------
// Starting programs

// Why a file cannot be run as a program; nothing when it can.
std::optional<std::string> whyNotRunnable(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "not found" : std::strerror(errno);
    if (S_ISDIR(status.st_mode)) return "a folder, not a program";
    if (!S_ISREG(status.st_mode) || ::access(file.c_str(), X_OK) != 0) return "not executable";
    return std::nullopt;
}

// The directories of the search path, in order.
std::vector<std::filesystem::path> searchPath() {
    const char* variable = std::getenv("PATH");
    const std::string list = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::vector<std::filesystem::path> directories;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        std::size_t end = list.find(':', begin);
        if (end == std::string::npos) end = list.size();
        // An empty entry stands for the working directory, as for the shell.
        directories.emplace_back(end == begin ? "." : list.substr(begin, end - begin));
        begin = end + 1;
    }
    return directories;
}

std::optional<std::filesystem::path> findOnSearchPath(const std::string& name) {
    for (const auto& directory : searchPath())
        if (!whyNotRunnable(directory / name)) return directory / name;
    return std::nullopt;
}

[[noreturn]] void reportErrorAndExit(int reportFd) {
    const int error = errno;
    if (::write(reportFd, &error, sizeof error) < 0) {
        // Nobody left to tell.
    }
    ::_exit(127);
}

// Runs in the forked child, so only async-signal-safe calls: the parent may have other threads.
[[noreturn]] void becomeDetachedProgram(const char* executable, char* const* argv, int reportFd) {
    if (::setsid() < 0) reportErrorAndExit(reportFd);
    // The intermediate process ends at once and is reaped by the parent; the program itself is then
    // adopted by init and never left behind as a zombie of ours.
    const pid_t program = ::fork();
    if (program < 0) reportErrorAndExit(reportFd);
    if (program > 0) ::_exit(0);

    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0) reportErrorAndExit(reportFd);
    if (devNull != STDIN_FILENO) ::close(devNull);

    // Ignored signals and the blocked set survive exec; the program should start with a clean slate.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        ::sigaction(signalNumber, &defaultAction, nullptr);
    }
#ifdef CLOSE_RANGE_CLOEXEC
    // Like a Windows program, it inherits none of our files beyond the standard three.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
#endif

    ::execve(executable, argv, environ);
    reportErrorAndExit(reportFd);
}

// Starts the program in a session of its own and returns once it runs (or failed to), without
// waiting for it to end: nothing, or why it did not start. The child reports a failed exec through a
// pipe that exec itself closes.
std::optional<std::string> startDetached(const std::filesystem::path& executable,
                                         const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const auto failure = [](int error) { return std::optional<std::string>(std::strerror(error)); };
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return failure(errno);
    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return failure(error);
    }
    if (intermediate == 0) {
        ::close(report[0]);
        becomeDetachedProgram(executable.c_str(), argv.data(), report[1]);
    }
    ::close(report[1]);

    int status = 0;
    while (::waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
    int childError = 0;
    ssize_t received = 0;
    do {
        received = ::read(report[0], &childError, sizeof childError);
    } while (received < 0 && errno == EINTR);
    ::close(report[0]);
    if (received == sizeof childError) return failure(childError);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "it could not be started";
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Window classes

std::filesystem::path windowDirectory() {
    if (const char* directory = std::getenv("LUMVIK_WINDOW_DIR"); directory != nullptr && *directory != 0) {
        return directory;
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != 0) {
        return std::filesystem::path(runtime) / "lumvik-windows";
    }
    return "/tmp/lumvik-windows-" + std::to_string(::getuid());
}

bool usableAsFileName(const std::string& windowClass) {
    return !windowClass.empty() && windowClass.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

std::filesystem::path lockFile(const std::string& windowClass) {
    return windowDirectory() / (windowClass + ".lock");
}

bool registrationHeld(const std::string& windowClass) {
    if (!usableAsFileName(windowClass)) return false;
    const int fd = ::open(lockFile(windowClass).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    int result = 0;
    do {
        result = ::flock(fd, LOCK_SH | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    const bool held = result != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// Just the part of Xlib used here, loaded at run time: the program must run, and build, where there
// is no X11 at all.
namespace x11 {

struct Display;
struct ErrorEvent;
using Window = unsigned long;
struct ClassHint {
    char* name;
    char* className;
};
using ErrorHandler = int (*)(Display*, ErrorEvent*);

struct Library {
    Display* (*openDisplay)(const char*) = nullptr;
    int (*closeDisplay)(Display*) = nullptr;
    Window (*defaultRootWindow)(Display*) = nullptr;
    int (*queryTree)(Display*, Window, Window*, Window*, Window**, unsigned int*) = nullptr;
    int (*getClassHint)(Display*, Window, ClassHint*) = nullptr;
    int (*free)(void*) = nullptr;
    int (*sync)(Display*, int) = nullptr;
    ErrorHandler (*setErrorHandler)(ErrorHandler) = nullptr;
};

template <typename Function>
bool load(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

const Library* library() {
    static const std::optional<Library> loaded = []() -> std::optional<Library> {
        void* handle = ::dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (handle == nullptr) return std::nullopt;
        Library x;
        if (load(handle, "XOpenDisplay", x.openDisplay) && load(handle, "XCloseDisplay", x.closeDisplay) &&
            load(handle, "XDefaultRootWindow", x.defaultRootWindow) &&
            load(handle, "XQueryTree", x.queryTree) && load(handle, "XGetClassHint", x.getClassHint) &&
            load(handle, "XFree", x.free) && load(handle, "XSync", x.sync) &&
            load(handle, "XSetErrorHandler", x.setErrorHandler)) {
            return x;
        }
        ::dlclose(handle);
        return std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

// Windows may vanish while we look at them; Xlib's default handler would end the program for that.
int ignoreError(Display*, ErrorEvent*) {
    return 0;
}

bool hasClass(const Library& x, Display* display, Window window, const std::string& windowClass) {
    ClassHint hint{nullptr, nullptr};
    if (x.getClassHint(display, window, &hint) == 0) return false;
    const bool match = hint.className != nullptr && windowClass == hint.className;
    if (hint.name != nullptr) x.free(hint.name);
    if (hint.className != nullptr) x.free(hint.className);
    return match;
}

std::vector<Window> children(const Library& x, Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (x.queryTree(display, window, &root, &parent, &list, &count) != 0 && list != nullptr) {
        result.assign(list, list + count);
    }
    if (list != nullptr) x.free(list);
    return result;
}

bool anyTopLevelWindowHasClass(const Library& x, Display* display, const std::string& windowClass) {
    for (Window window : children(x, display, x.defaultRootWindow(display))) {
        if (hasClass(x, display, window, windowClass)) return true;
        // A window manager puts each top-level window into a frame of its own, one level further down.
        for (Window inner : children(x, display, window)) {
            if (hasClass(x, display, inner, windowClass)) return true;
        }
    }
    return false;
}

bool topLevelWindowExists(const std::string& windowClass) {
    const char* displayName = std::getenv("DISPLAY");
    if (displayName == nullptr || *displayName == 0) return false;
    const Library* x = library();
    if (x == nullptr) return false;
    const ErrorHandler previous = x->setErrorHandler(&ignoreError);
    bool found = false;
    if (Display* display = x->openDisplay(nullptr); display != nullptr) {
        found = anyTopLevelWindowHasClass(*x, display, windowClass);
        x->sync(display, 0);
        x->closeDisplay(display);
    }
    x->setErrorHandler(previous);
    return found;
}

}  // namespace x11

// ---------------------------------------------------------------------------------------------

class LinuxPlatform final : public Platform {
  public:
    explicit LinuxPlatform(const std::filesystem::path& stationFolder)
        : programDirectory_(stationFolder), station_(!stationFolder.empty()) {
        if (station_) return;
        std::error_code error;
        const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error) programDirectory_ = executable.parent_path();
    }

    std::filesystem::path programDirectory() const override { return programDirectory_; }

    bool fileExists(const std::filesystem::path& file) const override {
        std::error_code error;
        return std::filesystem::exists(file, error);
    }

    std::optional<std::string> startProgram(const std::vector<std::string>& arguments) override {
        if (arguments.empty() || arguments.front().empty()) return "no program named";
        const auto executable = findProgram(arguments.front());
        if (const auto* why = std::get_if<std::string>(&executable)) return *why;
        return startDetached(std::get<std::filesystem::path>(executable), arguments);
    }

    bool windowClassExists(const std::string& windowClass) const override {
        return registrationHeld(windowClass) || x11::topLevelWindowExists(windowClass);
    }

    void sleep(std::chrono::milliseconds duration) override { db::stop::sleepFor(duration); }

    LocalTime now() const override {
        using namespace std::chrono;
        const std::time_t clock = system_clock::to_time_t(system_clock::now());
        std::tm local{};
        ::localtime_r(&clock, &local);
        LocalTime result;
        result.date =
            year_month_day{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                           day{static_cast<unsigned>(local.tm_mday)}};
        // A leap second (tm_sec 60) would otherwise roll over into the next minute.
        result.time = hh_mm_ss<seconds>{hours{local.tm_hour} + minutes{local.tm_min} +
                                        seconds{std::min(local.tm_sec, 59)}};
        return result;
    }

    bool openWithDefault(const std::string& path) override {
        const std::optional<std::filesystem::path> opener = findOnSearchPath("xdg-open");
        return opener && !startDetached(*opener, {"xdg-open", path});
    }

  private:
    // The file to run, or why there is none. Of the places looked in, the first that holds something
    // by that name tells why when none holds a program.
    std::variant<std::filesystem::path, std::string> findProgram(const std::string& name) const {
        if (name.find('/') != std::string::npos) {
            if (const auto why = whyNotRunnable(name)) return *why;
            return std::filesystem::path(name);
        }
        std::vector<std::filesystem::path> places = searchPath();
        if (!programDirectory_.empty()) places.insert(places.begin(), programDirectory_);
        std::optional<std::string> firstWhy;
        for (const auto& directory : places) {
            const auto why = whyNotRunnable(directory / name);
            if (!why) return directory / name;
            if (!firstWhy && *why != "not found") firstWhy = (directory / name).string() + " is " + *why;
        }
        return firstWhy.value_or(station_ ? "not found in the station folder or along PATH"
                                          : "not found beside the program or along PATH");
    }

    std::filesystem::path programDirectory_;
    bool station_;
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform(const std::filesystem::path& stationFolder) {
    return std::make_unique<LinuxPlatform>(stationFolder);
}

WindowClassRegistration::WindowClassRegistration(const std::string& windowClass) {
    if (!usableAsFileName(windowClass)) {
        throw std::invalid_argument("window class \"" + windowClass + "\" cannot name a lock file");
    }
    const std::filesystem::path directory = windowDirectory();
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        throw std::system_error(errno, std::generic_category(), "cannot create " + directory.string());
    }
    // In a shared place such as /tmp, a directory someone else made could fake or hide our windows.
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid()) {
        throw std::runtime_error(directory.string() + " is not a directory of this user");
    }

    const std::filesystem::path file = lockFile(windowClass);
    handle_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (handle_ < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());

    // A check holds its shared lock for an instant only, so a refusal is retried for a while; a lock
    // still held after that belongs to a live registration of the same class elsewhere.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (::flock(handle_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if ((error != EWOULDBLOCK && error != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            ::close(handle_);
            handle_ = -1;
            throw std::system_error(error, std::generic_category(),
                                    "window class " + windowClass + " is held by another process");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Closing the file releases the lock. The file stays: removing it could race with a new registration.
WindowClassRegistration::~WindowClassRegistration() {
    if (handle_ >= 0) ::close(handle_);
}

std::unique_ptr<FileLock> FileLock::tryAcquire(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) return nullptr;
        throw std::system_error(error, std::generic_category(), "cannot lock " + file.string());
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() {
    ::close(static_cast<int>(handle_));
}

}  // namespace lumvik
