// lumvik-auto stopped by a signal, as a scheduler's time limit or `systemctl stop` stops it: SIGTERM at
// chosen steps of a run (the step switch pauses the run there) and at random moments. Every stopped
// run ends within 10 seconds with status 5, its log line, the transfer state given back and nothing of
// the client library's own shutdown; a plain run afterwards ends exactly as a run never stopped. Built
// twice: on the embedded engine, and (test_stop_server) with the ERP database on the loopback server
// of LUMVIK_TEST_SERVER, where locks held by another connection are tried too.

#include "tests/support/crash_day.h"
#include "tests/support/program_runs.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>
#include <regex>
#include <thread>

using namespace lumvik;
using namespace lumvik::testing;

namespace {

const std::string kStoppedLine = "the transfer was stopped \\(SIGTERM\\)\\n";

#ifdef LUMVIK_STOP_ON_SERVER
constexpr bool onServer() {
    return true;
}
#else
constexpr bool onServer() {
    return false;
}
#endif
// Where the ERP database is: the loopback server, or (empty) a file of the embedded engine.
TestServer engine() {
    return onServer() ? testServer() : TestServer{};
}

class Stop : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (onServer() && engine().host.empty()) return;
        reference_ = std::make_unique<Reference>(prepareDay, kPlainRun, engine());
    }
    static void TearDownTestSuite() {
        if (signals_ > 0)
            std::cout << signals_ << " signals sent, the longest end took " << longest_ << " s\n";
        signals_ = 0;
        longest_ = 0;
        reference_.reset();
    }
    void SetUp() override {
        if (onServer() && engine().host.empty()) GTEST_SKIP() << "LUMVIK_TEST_SERVER is not set";
        ASSERT_FALSE(reference_->trace.steps.empty())
            << "the uninterrupted run failed: " << reference_->failure;
    }

    struct Stopped {
        Exit exit;
        double seconds = 0;  // from the signal to the end of the process
    };
    // SIGTERM to a running program; checks what every stop must leave.
    static Stopped stop(const ProgramFolder& folder, pid_t child) {
        const auto sent = std::chrono::steady_clock::now();
        ::kill(child, SIGTERM);
        Stopped s{folder.wait(child, std::chrono::seconds(30)), 0};
        s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
        {
            const std::lock_guard lock(mutex_);
            ++signals_;
            longest_ = std::max(longest_, s.seconds);
        }
        EXPECT_LT(s.seconds, 10.0) << s.exit.describe();
        EXPECT_EQ((s.exit.out + s.exit.err).find("connection shutdown"), std::string::npos)
            << s.exit.describe();
        EXPECT_EQ(folder.snapshot().at("erp.TRAN_STATE").rows, std::vector<std::string>{"0"});
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "lumvik-auto.claim"));
        return s;
    }
    // A plain run after a stop ends as the uninterrupted one, without taking a state over.
    static void repeatAndCompare(const ProgramFolder& folder, const std::string& what) {
        const Exit repeat = folder.run();
        ASSERT_TRUE(repeat.completed()) << repeat.describe();
        EXPECT_EQ(repeat.err.find("was left at 2"), std::string::npos) << repeat.err;
        const std::string diff = differences(reference_->end, folder.snapshot());
        EXPECT_TRUE(diff.empty()) << what << ", then run again: the end state differs\n" << diff;
    }

    // Two folders at a time, as the runs mostly wait.
    template <class Work>
    static void inTwoFolders(std::size_t count, const Work& work) {
        std::atomic<std::size_t> next{0};
        auto worker = [&](ProgramFolder& folder) {
            for (std::size_t i = next++; i < count; i = next++)
                work(i, folder);
        };
        ProgramFolder first(engine()), second(engine());
        std::thread other(worker, std::ref(second));
        worker(first);
        other.join();
    }

    static void stopAt(const StepPoint& point, ProgramFolder& folder) {
        SCOPED_TRACE(point.where);
        const std::size_t step = point.stepIn(reference_->trace);
        if (step == 0) return;
        folder.copyDatabasesFrom(reference_->start.path());
        const pid_t child = folder.start(folder.pauseAt(step));
        ASSERT_TRUE(folder.waitUntilPaused(child)) << folder.wait(child).describe();
        const Stopped s = stop(folder, child);
        ASSERT_EQ(s.exit.status(), 5) << s.exit.describe();
        EXPECT_TRUE(std::regex_search(s.exit.out, std::regex(point.logEnd + kStoppedLine + "$")))
            << s.exit.out << "expected at its end: " << point.logEnd << kStoppedLine;
        repeatAndCompare(folder, "stopped before step " + std::to_string(step));
    }

    static std::unique_ptr<Reference> reference_;
    static std::mutex mutex_;
    static int signals_;
    static double longest_;
};

std::unique_ptr<Reference> Stop::reference_;
std::mutex Stop::mutex_;
int Stop::signals_ = 0;
double Stop::longest_ = 0;

TEST_F(Stop, AtChosenSteps) {
    const std::string ready = "連結就緒\\.\\.\\n" + kTime + kBegun, gifts = "POS_GIVE Tran \\.\\.\\.!\\n",
                      rolls = "POS_DISROL Tran \\.\\.\\.!\\n", costs = "POS_COST Tran \\.\\.\\.!\\n",
                      points = "POINT_MASTER Tran \\.\\.\\.!\\n", late = kBegun + kTime,
                      claim = "^UPDATE POS_MAIN SET TRAN_CODE = 'Wait' .*TRAN_CODE IS NULL",
                      found = "異常資料:101/12/10__01000000重收設定中\\.\\.!\\n",
                      again = "資料檢核完成\\.\\.!\\n連結就緒\\.\\.\\n" + kTime + kBegun,
                      giftWrite = "^INSERT INTO \"POS_GIVE\"", avg = "^UPDATE POS_SUB SET AVG_COST",
                      pointY = "^update POINT_MASTER set TRN_CODE = 'Y'", lines = "^delete from pos_sub",
                      header = "^delete from pos_master", tops = "^UPDATE POS_SUB SET TOP_ITEMID",
                      head1 = "^INSERT INTO POS_MASTERD\\(", lineC = "^INSERT INTO POSCHANGE_SUB ",
                      mark3 = marking("POS_MAIN_S", "True"),
                      missing = "^select sal_date,sal_no from pos_sub where sal_date between",
                      block = "^EXECUTE BLOCK", giftY = marking("POS_GIVE", "Y", "TRN_CODE");
    const Locate pass2 = at(missing);
    // On a server the bills, their lines and the side rows go in batches, one step each.
    const bool server = onServer();
    const auto written = [&](const std::string& lineInsert) { return server ? block : lineInsert; };
    const std::vector<StepPoint> chosen = {
        {"on the commit of the transfer state's claim", commitAfter(kState), kCommit, kState, "^"},
        {"sales bills claimed ('Wait'), on that commit", commitAfter(claim), kCommit, claim, ready},
        server ? StepPoint{"1st batch of bills sent, the next bills' lines not read", after(block),
                           kStoreLines, block, "01000002 " + kZ999}
               : StepPoint{"1st bill: header written, its lines not read", after(kHeader), kStoreLines,
                           kHeader, kBegun},
        {"every sales bill written, on their commit", commitAfter(lastBefore(written(kLine), at(kMark))),
         kCommit, written(kLine), kZ999},
        {"sales bills committed, not marked 'True'", at(kMark), kMark, kCommit, kZ999},
        server ? StepPoint{"family 1: both bills sent, on their commit",
                           commitAfter(lastBefore(block, at(marking("POS_MAID", "True")))), kCommit, block,
                           "02100002 " + kZ999}
               : StepPoint{"family 1: 1st header written", after(head1), "^SELECT \\* FROM POS_MASD WHERE",
                           head1, kTime + kBegun},
        {"change family: both bills written, on their commit",
         commitAfter(lastBefore(written(lineC), at(marking("POS_MAIN_CHG", "True")))), kCommit,
         written(lineC), kTime + kBegun},
        {"family 3 committed, not yet marked 'True'", at(mark3), mark3, kCommit, kTime + kBegun},
        {"enrichment: categories set, cards not", after(tops), "^UPDATE POS_MASTER SET CARD_ID", tops, late},
        server ? StepPoint{"gifts sent, on the commit of the ERP writes",
                           commitAfter(lastBefore(block, at(giftY))), kCommit, block, gifts}
               : StepPoint{"gifts: 1st written, the 2nd not", at(giftWrite, 2), giftWrite, giftWrite, gifts},
        {"discount rolls: on the commit of the store's 'Y'",
         commitAfter(marking("POS_DISROL", "Y", "TRN_CODE")), kCommit, marking("POS_DISROL", "Y", "TRN_CODE"),
         rolls},
        server ? StepPoint{"costs: line costs set, the ERP rows not marked 'Y'", at(kCostsY), kCostsY, block,
                           costs}
               : StepPoint{"costs: two of five line costs set", at(avg, 3), avg, avg, costs},
        {"points: ERP rows marked 'Y', on the commit", after(pointY), kCommit, pointY, points},
        {"verification: damaged bill found, not put back", at(kPutBack), kPutBack, kCommit, found},
        {"verification: ERP lines deleted, the header not", after(lines), header, lines, found},
        // On a server the products are read between the header and its lines.
        {"2nd pass: the damaged bill's header written", after(at(kHeader, 1, pass2)),
         server ? "^SELECT \\* FROM PRODUCT$" : kStoreLines, kHeader, again, 2},
        {"2nd pass: the 2nd verification about to run", at(kTotals, 1, pass2), kTotals, kCommit,
         "銷售資料檢核\\.\\.!\\n", 2},
    };
    inTwoFolders(chosen.size(), [&](std::size_t i, ProgramFolder& folder) { stopAt(chosen[i], folder); });
}

// A signal once the work is done stops nothing: the state goes back and the run counts as completed.
TEST_F(Stop, AfterTheWorkNothingIsStopped) {
    ProgramFolder folder(engine());
    folder.copyDatabasesFrom(reference_->start.path());
    const pid_t child =
        folder.start(folder.pauseAt(reference_->trace.find("^UPDATE TRAN_STATE SET STATE = '0'")));
    ASSERT_TRUE(folder.waitUntilPaused(child));
    const Stopped s = stop(folder, child);
    EXPECT_EQ(s.exit.status(), 0) << s.exit.describe();
    EXPECT_TRUE(differences(reference_->end, folder.snapshot()).empty());
}

// Thirty signals at random moments of the day's run, three runs in a row each time (the next run
// finishes what the stopped one left, until it is stopped in turn), then a plain run to compare.
TEST_F(Stop, AtRandomMoments) {
    constexpr int kRounds = 10, kSignalsPerRound = 3;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mutex mutex;
    std::mt19937 random(seed);
    int stopped = 0;
    inTwoFolders(kRounds, [&](std::size_t round, ProgramFolder& folder) {
        folder.copyDatabasesFrom(reference_->start.path());
        for (int i = 0; i < kSignalsPerRound; ++i) {
            std::chrono::duration<double> delay{};
            {
                // Not in the first milliseconds, before the program has taken the signals over.
                const std::lock_guard lock(mutex);
                delay = reference_->took * std::uniform_real_distribution<double>(0.05, 1)(random);
            }
            const pid_t child = folder.start();
            std::this_thread::sleep_for(delay);
            const Stopped s = stop(folder, child);
            EXPECT_TRUE(s.exit.status() == 5 || s.exit.completed()) << s.exit.describe();
            const std::lock_guard lock(mutex);
            stopped += s.exit.status() == 5 ? 1 : 0;
        }
        repeatAndCompare(folder, "round " + std::to_string(round));
    });
    std::cout << kRounds * kSignalsPerRound << " signals at random moments stopped " << stopped << " runs\n";
}

#ifdef LUMVIK_STOP_ON_SERVER

// Another connection holds a row the run must write (an ERP user editing a bill): the run waits at
// most --lock-wait, then ends with status 4 and a line that names the table and the step; once the
// row is free, a plain run converges on the day again's end. And a stop while it waits.
class LockWait : public Stop {
  protected:
    static void SetUpTestSuite() {
        Stop::SetUpTestSuite();
        if (reference_)
            dayAgain_ = std::make_unique<Reference>(
                [](const std::filesystem::path& start) { prepareDayAgain(*reference_, start); }, kDayAgain);
    }
    static void TearDownTestSuite() {
        dayAgain_.reset();
        Stop::TearDownTestSuite();
    }

    // Starts the day again with --lock-wait `seconds`; where it is about to run the first statement
    // holding `pauseText`, a second connection takes the rows `hold` updates, and the run goes on.
    pid_t startHolding(ProgramFolder& folder, const std::string& hold, const std::string& pauseText,
                       int seconds) {
        folder.copyDatabasesFrom(dayAgain_->start.path());
        Arguments args = kDayAgain;
        args.insert(args.end(), {"--lock-wait", std::to_string(seconds)});
        const pid_t child = folder.start(
            {{"LUMVIK_TEST_PAUSE_AT_TEXT", pauseText}, {"LUMVIK_TEST_PAUSE_FILE", folder.file("go")}}, args);
        EXPECT_TRUE(folder.waitUntilPaused(child));
        holder = folder.erpConnection("holder");
        holder->beginGroup();
        holder->execute(hold);
        folder.write("go", "");
        return child;
    }
    // Lets the rows go, checks the transfer state the run left, runs plainly, and compares with the
    // uninterrupted day again.
    void releaseAndConverge(ProgramFolder& folder, const std::string& stateLeft) {
        holder->rollbackGroup();
        EXPECT_EQ(scalar(*holder, "SELECT STATE FROM TRAN_STATE"), stateLeft);
        holder->close();
        const Exit again = folder.run();
        ASSERT_TRUE(again.completed()) << again.describe();
        const std::string diff = differences(dayAgain_->end, folder.snapshot());
        EXPECT_TRUE(diff.empty()) << diff;
    }

    std::unique_ptr<db::Connection> holder;
    static std::unique_ptr<Reference> dayAgain_;
};

std::unique_ptr<Reference> LockWait::dayAgain_;

TEST_F(LockWait, EndsTheRunNamingTheTableAndTheStep) {
    struct Held {
        std::string hold, pauseText, table, step, stateLeft;
    };
    for (const Held& held : std::vector<Held>{
             {"UPDATE POS_MASTER SET REL_SAL = REL_SAL WHERE SAL_NO = '01000001'", "DELETE FROM POS_MASTER",
              "POS_MASTER", "family 0 (POS_MAIN to POS_MASTER)", "0"},
             {"UPDATE POS_GIVE SET QTY = QTY WHERE SAL_NO = '02000003'", "UPDATE POS_GIVE SET TRN_CODE",
              "POS_GIVE", "the gifts and discount rolls (POS_GIVE, POS_DISROL)", "0"},
             // The give-back itself: the 2 stays, with the mark that lets the next run take it over.
             {"UPDATE TRAN_STATE SET STATE = '1'", "UPDATE TRAN_STATE SET STATE = '0'", "TRAN_STATE",
              "giving the transfer state back", "2"}}) {
        SCOPED_TRACE(held.table);
        ProgramFolder folder(engine());
        const pid_t child = startHolding(folder, held.hold, held.pauseText, 2);
        const auto released = std::chrono::steady_clock::now();
        const Exit e = folder.wait(child);
        EXPECT_LT(std::chrono::steady_clock::now() - released, std::chrono::seconds(2 + 8));
        EXPECT_EQ(e.status(), 4) << e.describe();
        const std::string line =
            "a row of " + held.table +
            " is locked or was changed by another connection; the transfer waited at most "
            "2 s and stopped at: " +
            held.step + "\n";
        EXPECT_NE(e.out.find(line), std::string::npos) << e.out;
        EXPECT_NE(e.err.find("error: " + line), std::string::npos) << e.err;
        releaseAndConverge(folder, held.stateLeft);
    }
}

// Inside a long statement: the run waits on the held row, and SIGTERM cancels the wait.
TEST_F(LockWait, AStopCancelsTheWait) {
    ProgramFolder folder(engine());
    const pid_t child =
        startHolding(folder, "UPDATE POS_MASTER SET REL_SAL = REL_SAL WHERE SAL_NO = '01000001'",
                     "DELETE FROM POS_MASTER", 60);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // waiting on the row by now
    const Stopped s = stop(folder, child);
    EXPECT_EQ(s.exit.status(), 5) << s.exit.describe();
    releaseAndConverge(folder, "0");
}

#endif

}  // namespace
