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

class Win32Platform final : public Platform {
  public:
    Win32Platform() {
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

    bool startProgram(const std::string& commandLine) override {
        return ::WinExec(toAnsi(commandLine).c_str(), SW_SHOWNORMAL) > 31;
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
};

}  // namespace

std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<Win32Platform>();
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
