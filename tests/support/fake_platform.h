#pragma once

// A platform for tests: a fake clock that only sleeps move, recorded program starts and openings,
// and window classes that exist as the test says.

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/shell/platform.h"

namespace lumvik::testing {

class FakePlatform : public Platform {
  public:
    using Clock = std::chrono::local_time<std::chrono::milliseconds>;

    // The clock starts at 2012/12/10 09:00:00 unless set otherwise.
    explicit FakePlatform(std::filesystem::path programDirectory = "/lumvik-fake/bin");

    std::filesystem::path programDirectory() const override { return programDirectory_; }
    void setProgramDirectory(std::filesystem::path directory) { programDirectory_ = std::move(directory); }

    // The real file system unless fileExistsOverride is set.
    bool fileExists(const std::filesystem::path& file) const override;

    // Records the arguments, calls onStartProgram with them joined by blanks, and fails with the reason
    // startFailures holds for the program (the first argument), if any.
    std::optional<std::string> startProgram(const std::vector<std::string>& arguments) override;

    // windowClassCheck when set, else whether the class is in presentWindowClasses.
    bool windowClassExists(const std::string& windowClass) const override;

    // Records the duration, advances the clock by it, then calls onSleep. Never really sleeps.
    void sleep(std::chrono::milliseconds duration) override;

    LocalTime now() const override;
    void setNow(Clock time) { clock_ = time; }
    void setNow(const LocalTime& time);
    void advance(std::chrono::milliseconds duration) { clock_ += duration; }
    Clock clock() const { return clock_; }

    // Records the path, returns openWithDefaultResult.
    bool openWithDefault(const std::string& path) override;

    // The sum of all recorded sleeps.
    std::chrono::milliseconds totalSleep() const;

    std::function<bool(const std::filesystem::path&)> fileExistsOverride;

    // Each start's arguments joined by blanks, and as they were given.
    std::vector<std::string> startedCommandLines;
    std::vector<std::vector<std::string>> startedArguments;
    std::function<void(const std::string& commandLine)> onStartProgram;
    std::map<std::string, std::string> startFailures;

    std::set<std::string> presentWindowClasses;
    std::function<bool(const std::string& windowClass)> windowClassCheck;

    std::vector<std::chrono::milliseconds> sleeps;
    std::function<void(std::chrono::milliseconds duration)> onSleep;

    std::vector<std::string> openedPaths;
    bool openWithDefaultResult = true;

  private:
    std::filesystem::path programDirectory_;
    Clock clock_;
};

}  // namespace lumvik::testing
