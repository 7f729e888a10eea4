#pragma once

// Where a measured run spent its time: the statements, prepares and commits the database layer ran,
// added up by their shape (the text with its literals as "?").

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

namespace lumvik::bench {

// A statement's text with its literals as "?", so statements that differ only in values add up.
[[nodiscard]] std::string shape(const std::string& sql);

class Profile {
  public:
    // Watches the database layer's statements until stop() (or the end of the profile).
    void start();
    void stop();
    ~Profile() { stop(); }
    // The `count` shapes that took the most time, one line each after `label`.
    void print(const std::string& label, std::size_t count = 15) const;

  private:
    struct Spent {
        std::chrono::nanoseconds time{};
        std::uint64_t calls = 0;
    };
    std::map<std::string, Spent> spent_;
    std::unordered_map<std::string, std::string> shapes_;  // statement text -> its shape
    bool watching_ = false;
};

// The peak resident memory of this process so far.
[[nodiscard]] double peakResidentMb();

}  // namespace lumvik::bench
