#include "tests/support/fake_platform.h"

#include <numeric>
#include <system_error>

namespace lumvik::testing {

using namespace std::chrono;

namespace {

FakePlatform::Clock toClock(const LocalTime& time) {
    return FakePlatform::Clock{local_days{time.date}.time_since_epoch() + time.time.to_duration()};
}

}  // namespace

FakePlatform::FakePlatform(std::filesystem::path programDirectory)
    : programDirectory_(std::move(programDirectory)),
      clock_(toClock(LocalTime{year{2012} / December / 10, hh_mm_ss<seconds>{hours{9}}})) {}

bool FakePlatform::fileExists(const std::filesystem::path& file) const {
    if (fileExistsOverride) return fileExistsOverride(file);
    std::error_code error;
    return std::filesystem::exists(file, error);
}

std::optional<std::string> FakePlatform::startProgram(const std::vector<std::string>& arguments) {
    std::string commandLine;
    for (const auto& argument : arguments)
        commandLine += (commandLine.empty() ? "" : " ") + argument;
    startedCommandLines.push_back(commandLine);
    startedArguments.push_back(arguments);
    if (onStartProgram) onStartProgram(commandLine);
    const auto failure = arguments.empty() ? startFailures.end() : startFailures.find(arguments.front());
    return failure == startFailures.end() ? std::nullopt : std::optional<std::string>(failure->second);
}

bool FakePlatform::windowClassExists(const std::string& windowClass) const {
    if (windowClassCheck) return windowClassCheck(windowClass);
    return presentWindowClasses.contains(windowClass);
}

void FakePlatform::sleep(milliseconds duration) {
    sleeps.push_back(duration);
    clock_ += duration;
    if (onSleep) onSleep(duration);
}

LocalTime FakePlatform::now() const {
    const local_days day = floor<days>(clock_);
    return LocalTime{year_month_day{day}, hh_mm_ss<seconds>{floor<seconds>(clock_ - day)}};
}

void FakePlatform::setNow(const LocalTime& time) {
    clock_ = toClock(time);
}

bool FakePlatform::openWithDefault(const std::string& path) {
    openedPaths.push_back(path);
    return openWithDefaultResult;
}

milliseconds FakePlatform::totalSleep() const {
    return std::accumulate(sleeps.begin(), sleeps.end(), milliseconds{0});
}

}  // namespace lumvik::testing
