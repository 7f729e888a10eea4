#pragma once

// A one-line progress for a person watching lumvik-auto on a terminal: the table family being
// copied, the bills done of its total and the rate, redrawn in place and erased when the run ends.
// It draws only when its output is a terminal; in a pipe, a file or the journal it stays silent, so
// that logs hold no half lines.
//
// Threading: the caller's thread.

#include <chrono>
#include <string>

namespace lumvik {

class TerminalProgress {
  public:
    // `fd` is the descriptor drawn on (standard error).
    explicit TerminalProgress(int fd = 2);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    [[nodiscard]] bool active() const { return active_; }

    // `done` of `total` bills of the family named `label`. A new label, or a count that went back,
    // starts the rate afresh. Redraws at most every 100 ms, but always the first and the last bill;
    // an empty label (between families) erases the line.
    void update(const std::string& label, int done, int total);
    // Erases the line, before other output goes to the terminal and at the end.
    void clear();

  private:
    void draw(const std::string& text);

    int fd_;
    bool active_ = false;
    std::size_t shown_ = 0;  // width of the line on the terminal, 0 when none is shown
    std::string label_;
    int done_ = 0;
    std::chrono::steady_clock::time_point started_, drawn_;
};

}  // namespace lumvik
