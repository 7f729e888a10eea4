#include "db/test_steps.h"

#include "db/stop_request.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

namespace lumvik::db {

namespace {

// Test-only switches, read from the environment once. LUMVIK_TEST_KILL_AT_STEP=N ends the process
// abruptly (as a power cut or a kill would) just before its Nth step, a step being a statement run
// or a commit; LUMVIK_TEST_TRACE_STEPS=FILE writes one line per step ("N commit" or "N <statement>")
// so a test can see where each step falls; LUMVIK_TEST_PAUSE_AT_STEP=N with LUMVIK_TEST_PAUSE_FILE=F
// creates F.reached just before the Nth step and waits there until F exists (at most a minute), so a
// test can act at that point (stop the server, start a second station); LUMVIK_TEST_PAUSE_AT_TEXT=T
// pauses the same way before the first statement whose text holds T. A stop request ends a pause, so
// that a test can stop the run exactly there.
class StepSwitch {
  public:
    static StepSwitch& instance() {
        static StepSwitch s;
        return s;
    }
    void step(std::string_view what) {
        if (!active_) return;
        ++count_;
        if (count_ == pauseAt_ || (!pauseText_.empty() && what.find(pauseText_) != std::string_view::npos &&
                                   !std::exchange(paused_, true)))
            pause();
        if (count_ == killAt_) {
#ifdef SIGKILL
            std::raise(SIGKILL);
#endif
            std::_Exit(137);
        }
        if (trace_ != nullptr) {
            std::string line(what.substr(0, std::min<std::size_t>(what.size(), 200)));
            std::replace(line.begin(), line.end(), '\n', ' ');
            std::replace(line.begin(), line.end(), '\r', ' ');
            std::fprintf(trace_, "%llu %s\n", static_cast<unsigned long long>(count_), line.c_str());
            std::fflush(trace_);
        }
    }

  private:
    StepSwitch() {
        if (const char* kill = std::getenv("LUMVIK_TEST_KILL_AT_STEP"); kill != nullptr && *kill != '\0')
            killAt_ = std::strtoull(kill, nullptr, 10);
        if (const char* file = std::getenv("LUMVIK_TEST_TRACE_STEPS"); file != nullptr && *file != '\0')
            trace_ = std::fopen(file, "w");
        if (const char* pause = std::getenv("LUMVIK_TEST_PAUSE_AT_STEP"); pause != nullptr && *pause != '\0')
            pauseAt_ = std::strtoull(pause, nullptr, 10);
        if (const char* file = std::getenv("LUMVIK_TEST_PAUSE_FILE"); file != nullptr) pauseFile_ = file;
        if (const char* text = std::getenv("LUMVIK_TEST_PAUSE_AT_TEXT"); text != nullptr) pauseText_ = text;
        if (pauseFile_.empty()) {
            pauseAt_ = 0;
            pauseText_.clear();
        }
        active_ = killAt_ != 0 || pauseAt_ != 0 || !pauseText_.empty() || trace_ != nullptr;
    }
    void pause() const {
        if (std::FILE* reached = std::fopen((pauseFile_ + ".reached").c_str(), "w")) std::fclose(reached);
        for (int i = 0; i < 6000 && !stop::requested(); ++i) {
            if (std::FILE* go = std::fopen(pauseFile_.c_str(), "r")) {
                std::fclose(go);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    bool active_ = false;
    std::uint64_t count_ = 0;
    std::uint64_t killAt_ = 0;
    std::uint64_t pauseAt_ = 0;
    std::string pauseFile_;
    std::string pauseText_;
    bool paused_ = false;
    std::FILE* trace_ = nullptr;
};

}  // namespace

void testStep(std::string_view what) {
    StepSwitch::instance().step(what);
}

}  // namespace lumvik::db
