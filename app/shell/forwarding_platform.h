#pragma once

// Platforms that change one or two calls of another: every call is passed on unless a subclass
// overrides it. The window keeps painting during its waits, the unattended program and the benchmark
// count the time spent in the run's fixed waits.

#include "app/shell/platform.h"

#include <chrono>

namespace lumvik {

class ForwardingPlatform : public Platform {
  public:
    explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

    std::filesystem::path programDirectory() const override { return inner_.programDirectory(); }
    bool fileExists(const std::filesystem::path& file) const override { return inner_.fileExists(file); }
    std::optional<std::string> startProgram(const std::vector<std::string>& arguments) override {
        return inner_.startProgram(arguments);
    }
    bool windowClassExists(const std::string& windowClass) const override {
        return inner_.windowClassExists(windowClass);
    }
    void sleep(std::chrono::milliseconds duration) override { inner_.sleep(duration); }
    LocalTime now() const override { return inner_.now(); }
    bool openWithDefault(const std::string& path) override { return inner_.openWithDefault(path); }

  protected:
    [[nodiscard]] Platform& inner() const { return inner_; }

  private:
    Platform& inner_;
};

// Counts the time spent in sleeps, so that a run's work time can be told without its fixed waits.
class WaitTimingPlatform : public ForwardingPlatform {
  public:
    using ForwardingPlatform::ForwardingPlatform;

    void sleep(std::chrono::milliseconds duration) override {
        const auto start = std::chrono::steady_clock::now();
        inner().sleep(duration);
        waited_ += std::chrono::steady_clock::now() - start;
    }
    [[nodiscard]] std::chrono::steady_clock::duration waited() const { return waited_; }

  private:
    std::chrono::steady_clock::duration waited_{};
};

}  // namespace lumvik
