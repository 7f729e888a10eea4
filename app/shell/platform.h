#pragma once

// What the program needs of the operating system, behind one interface so that tests run with a
// fake clock, fake sleeps and recorded program starts. Two implementations: Linux and Win32.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumvik {

// A moment of local wall-clock time.
struct LocalTime {
    std::chrono::year_month_day date{};
    std::chrono::hh_mm_ss<std::chrono::seconds> time{std::chrono::seconds{0}};
};

class Platform {
  public:
    virtual ~Platform() = default;

    // The directory that holds the program's files and its sibling programs: the directory of the
    // program's executable file (not the working directory), or the station folder the platform was
    // made for.
    [[nodiscard]] virtual std::filesystem::path programDirectory() const = 0;

    [[nodiscard]] virtual bool fileExists(const std::filesystem::path& file) const = 0;

    // Starts a program, shown normally, without waiting for it. The first argument names it: without a
    // directory it is looked for first in programDirectory(), then along the search path. Every
    // argument reaches the program as it is, whatever it holds (blanks, quotes, tabs, $, ;), and is
    // never read by a shell. Nothing when it was started, else why not, in a few words ("not found",
    // "not executable", ...).
    [[nodiscard]] virtual std::optional<std::string> startProgram(
        const std::vector<std::string>& arguments) = 0;

    // Whether a top-level window of this window class exists.
    [[nodiscard]] virtual bool windowClassExists(const std::string& windowClass) const = 0;

    // A stop request (db/stop_request.h) ends the system's sleep early with the stop.
    virtual void sleep(std::chrono::milliseconds duration) = 0;

    [[nodiscard]] virtual LocalTime now() const = 0;

    // Opens a path with its default action (no verb, no parameters, no working directory).
    virtual bool openWithDefault(const std::string& path) = 0;
};

// The implementation for the system the program runs on. Given a station folder, it answers that
// folder as the program's directory, and looks there first for a program named without a directory.
[[nodiscard]] std::unique_ptr<Platform> makeSystemPlatform(const std::filesystem::path& stationFolder = {});

// Splits a command line the way Windows programs do: blanks separate arguments, double quotes group
// blanks into one argument, a backslash before a quote escapes it.
[[nodiscard]] std::vector<std::string> splitCommandLine(const std::string& commandLine);

// The command line that splitCommandLine (and Windows' CommandLineToArgvW) reads back as exactly these
// arguments. The first, the program, is always quoted: unquoted, a path with blanks could name
// another program ("C:\Program Files\x.exe" tried as "C:\Program").
[[nodiscard]] std::string joinCommandLine(const std::vector<std::string>& arguments);

// Held by a program that wants its window class to be found by windowClassExists() on a system
// without such window classes (Linux, with or without a display): as long as the object lives,
// windowClassExists(windowClass) is true for every process of the same user. It ends with the
// process, even when the process is killed.
class WindowClassRegistration {
  public:
    explicit WindowClassRegistration(const std::string& windowClass);
    ~WindowClassRegistration();
    WindowClassRegistration(const WindowClassRegistration&) = delete;
    WindowClassRegistration& operator=(const WindowClassRegistration&) = delete;

  private:
    int handle_ = -1;
};

// An exclusive lock on a file, held for as long as the object lives and given up when the process
// ends, also when it is killed. The file is created when missing and stays.
class FileLock {
  public:
    // nullptr when another process holds the lock; throws when the file cannot be opened.
    [[nodiscard]] static std::unique_ptr<FileLock> tryAcquire(const std::filesystem::path& file);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;
};

}  // namespace lumvik
