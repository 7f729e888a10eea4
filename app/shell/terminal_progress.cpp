#include "app/shell/terminal_progress.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace lumvik {

namespace {

bool isTerminal(int fd) {
#ifdef _WIN32
    return ::_isatty(fd) != 0;
#else
    return ::isatty(fd) == 1;
#endif
}

void writeAll(int fd, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
#ifdef _WIN32
        const int n = ::_write(fd, bytes.data() + at, static_cast<unsigned>(bytes.size() - at));
#else
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
#endif
        if (n <= 0) return;  // a terminal that went away: the progress is not worth an error
        at += static_cast<std::size_t>(n);
    }
}

}  // namespace

TerminalProgress::TerminalProgress(int fd) : fd_(fd), active_(isTerminal(fd)) {}

TerminalProgress::~TerminalProgress() {
    clear();
}

void TerminalProgress::update(const std::string& label, int done, int total) {
    if (!active_) return;
    if (label.empty()) {
        clear();
        label_.clear();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const bool fresh = label != label_ || done < done_;
    if (fresh) {
        label_ = label;
        started_ = now;
    }
    done_ = done;
    if (!fresh && done != total && now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    std::string text = label + "  " + std::to_string(done) + " of " + std::to_string(total) + " bills";
    const double seconds = std::chrono::duration<double>(now - started_).count();
    if (seconds >= 0.1 && done > 0)
        text += ", " + std::to_string(static_cast<long>(done / seconds)) + " bills/s";
    draw(text);
}

void TerminalProgress::draw(const std::string& text) {
    // The text is plain ASCII: its bytes are its columns. Blanks cover what a longer line left.
    std::string line = "\r" + text;
    if (shown_ > text.size()) line += std::string(shown_ - text.size(), ' ') + "\r" + text;
    writeAll(fd_, line);
    shown_ = text.size();
}

void TerminalProgress::clear() {
    if (!active_ || shown_ == 0) return;
    writeAll(fd_, "\r" + std::string(shown_, ' ') + "\r");
    shown_ = 0;
}

}  // namespace lumvik
