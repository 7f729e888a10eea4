#include "app/shell/platform.h"

#include "db/stop_request.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Needs the types of windows.h, so it must come after it.
#include <shellapi.h>

#include <algorithm>
#include <system_error>

namespace lumvik {

namespace {

// Texts are UTF-8 inside the program; the "A" functions of Windows expect the ANSI code page.
std::string toAnsi(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int wideLength =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0) return utf8;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
    const int ansiLength =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0) return utf8;
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), ansiLength, nullptr, nullptr);
    return ansi;
}

std::wstring toWide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

// Why CreateProcess refused, in a few words.
std::string startFailure(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "not found";
        case ERROR_ACCESS_DENIED:
            return "not executable";
        case ERROR_BAD_EXE_FORMAT:
            return "not a program";
        default:
            return std::system_category().message(static_cast<int>(error));
    }
}

class Win32Platform final : public Platform {
  public:
    explicit Win32Platform(const std::filesystem::path& stationFolder)
        : programDirectory_(stationFolder), station_(!stationFolder.empty()) {
        if (station_) return;
        // The path may be longer than MAX_PATH; a full buffer means it was cut off.
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length =
                ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length == 0) return;
            if (length < buffer.size()) {
                buffer.resize(length);
                break;
            }
            buffer.resize(buffer.size() * 2);
        }
        programDirectory_ = std::filesystem::path(buffer).parent_path();
    }

    std::filesystem::path programDirectory() const override { return programDirectory_; }

    bool fileExists(const std::filesystem::path& file) const override {
        return ::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // The search of CreateProcess begins with the directory of this program, then the working
    // directory, the system's directories and PATH, as WinExec's did; a station folder goes before
    // them all. The program reads its arguments back from the command line with CommandLineToArgvW's
    // rules, which joinCommandLine follows.
    std::optional<std::string> startProgram(const std::vector<std::string>& arguments) override {
        if (arguments.empty() || arguments.front().empty()) return "no program named";
        std::vector<std::string> named = arguments;
        if (station_ && named.front().find_first_of("\\/:") == std::string::npos &&
            fileExists(programDirectory_ / named.front()))
            named.front() = (programDirectory_ / named.front()).string();
        std::wstring commandLine = toWide(joinCommandLine(named));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process))
            return startFailure(::GetLastError());
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return std::nullopt;
    }

    bool windowClassExists(const std::string& windowClass) const override {
        return ::FindWindowA(toAnsi(windowClass).c_str(), nullptr) != nullptr;
    }

    void sleep(std::chrono::milliseconds duration) override { db::stop::sleepFor(duration); }

    LocalTime now() const override {
        using namespace std::chrono;
        SYSTEMTIME local{};
        ::GetLocalTime(&local);
        LocalTime result;
        result.date = year_month_day{year{local.wYear}, month{local.wMonth}, day{local.wDay}};
        result.time = hh_mm_ss<seconds>{hours{local.wHour} + minutes{local.wMinute} + seconds{local.wSecond}};
        return result;
    }

    bool openWithDefault(const std::string& path) override {
        const HINSTANCE result =
            ::ShellExecuteA(nullptr, nullptr, toAnsi(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

  private:
    std::filesystem::path programDirectory_;
    bool station_;
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform(const std::filesystem::path& stationFolder) {
    return std::make_unique<Win32Platform>(stationFolder);
}

// Real windows register their classes with the system themselves.
WindowClassRegistration::WindowClassRegistration(const std::string&) {}

WindowClassRegistration::~WindowClassRegistration() = default;

// A file opened without sharing is the lock: a second open fails with a sharing violation until the
// holder closes it or ends.
std::unique_ptr<FileLock> FileLock::tryAcquire(const std::filesystem::path& file) {
    HANDLE handle = ::CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return nullptr;
        throw std::system_error(static_cast<int>(error), std::system_category(),
                                "cannot open " + file.string());
    }
    return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<std::intptr_t>(handle)));
}

FileLock::~FileLock() {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace lumvik
