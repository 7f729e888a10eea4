// A transfer stopped at any point is safe to repeat: lumvik-auto is killed at chosen steps of a run,
// then run again to its end, and both databases must end exactly as after one run that was never
// stopped. The database layer's step switch counts the statements and commits of a process, names
// them in a trace, and kills the process just before a given step, as a power cut or a kill would.
// A "day again" run (mode 1) killed anywhere is finished by the next plain run.

#include "tests/support/crash_day.h"
#include "tests/support/program_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace lumvik;
using namespace lumvik::testing;

namespace {

// The `line`-th line insert of the first sales bill that has `lines` lines.
Locate lineOfBillWith(int lines, int line) {
    return [=](const Trace& t) -> std::size_t {
        const std::size_t familyEnd = t.find(kMark);
        for (std::size_t h = t.find(kHeader); h != 0 && h < familyEnd; h = t.find(kHeader, 1, h)) {
            const std::size_t next = t.find(kHeader, 1, h),
                              billEnd = next != 0 && next < familyEnd ? next : familyEnd;
            int count = 0;
            for (std::size_t s = t.find(kLine, 1, h); s != 0 && s < billEnd; s = t.find(kLine, 1, s))
                ++count;
            if (count == lines) return t.find(kLine, line, h);
        }
        return 0;
    };
}

class Crash : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { reference_ = std::make_unique<Reference>(prepareDay, kPlainRun); }
    // The day again (mode 1) on the day the reference transferred, made when first needed.
    static const Reference& dayAgain() {
        if (!dayAgain_)
            dayAgain_ = std::make_unique<Reference>(
                [](const std::filesystem::path& start) { prepareDayAgain(*reference_, start); }, kDayAgain);
        return *dayAgain_;
    }
    static void TearDownTestSuite() {
        dayAgain_.reset();
        reference_.reset();
    }

    // Checks the reference: complete, and a run that did what the points below expect of it.
    static void requireReference(const Reference& reference) {
        ASSERT_FALSE(reference.trace.steps.empty()) << "the uninterrupted run failed: " << reference.failure;
        // The verification found the damaged bill and the run made a second pass.
        ASSERT_NE(reference.log.find("資料檢核有資料1筆異常..!"), std::string::npos) << reference.log;
        ASSERT_FALSE(differences(reference.beginning, reference.end, false).empty());
    }

    // Kills a run of `reference` at each point, runs the day plainly (mode 0) again, and compares both
    // databases with the reference. The runs mostly wait (the run's fixed pauses), so two go at a
    // time, each in a folder of its own.
    void killAndRepeat(const std::vector<StepPoint>& points, const Reference& reference = *reference_,
                       const Arguments& args = kPlainRun) {
        requireReference(reference);
        if (HasFatalFailure()) return;
        std::atomic<std::size_t> next{0};
        auto worker = [&](ProgramFolder& folder) {
            for (std::size_t i = next++; i < points.size(); i = next++)
                killAndRepeatAt(points[i], folder, reference, args);
        };
        ProgramFolder first, second;
        std::thread other(worker, std::ref(second));
        worker(first);
        other.join();
    }

    static void killAndRepeatAt(const StepPoint& point, ProgramFolder& folder, const Reference& reference,
                                const Arguments& args) {
        SCOPED_TRACE(point.where);
        const Trace& trace = reference.trace;
        const std::size_t step = point.stepIn(trace);
        if (step == 0) return;

        folder.copyDatabasesFrom(reference.start.path());
        const Exit killed = folder.run({{"LUMVIK_TEST_KILL_AT_STEP", std::to_string(step)},
                                        {"LUMVIK_TEST_TRACE_STEPS", folder.file("steps.txt")}},
                                       args);
        ASSERT_TRUE(killed.killed()) << killed.describe();
        EXPECT_TRUE(point.logEnd.empty() || std::regex_search(killed.out, std::regex(point.logEnd + "$")))
            << "the killed run's log:\n"
            << killed.out << "expected at its end: " << point.logEnd;
        // It went the reference's way up to the step it was killed at.
        const Trace done(folder.file("steps.txt"));
        ASSERT_EQ(done.steps.size(), step - 1);
        ASSERT_TRUE(std::equal(done.steps.begin(), done.steps.end(), trace.steps.begin()))
            << "the killed run took another way than the reference";
        // Once its claim was committed, the killed run held the transfer state and could not give it back.
        const bool claimed = step > trace.commitAfter(trace.find(kState));
        EXPECT_EQ(folder.snapshot().at("erp.TRAN_STATE").rows, std::vector<std::string>{claimed ? "2" : "0"});

        // Run plainly, without --force: the state the killed run left is taken over.
        const Exit repeat = folder.run();
        ASSERT_TRUE(repeat.completed()) << repeat.describe();
        const std::string diff = differences(reference.end, folder.snapshot());
        EXPECT_TRUE(diff.empty()) << "killed before step " << step << " (" << trace.text(step)
                                  << "), then run again: the end state differs from the uninterrupted run's\n"
                                  << diff;
    }

    static std::unique_ptr<Reference> reference_;
    static std::unique_ptr<Reference> dayAgain_;
};

std::unique_ptr<Reference> Crash::reference_;
std::unique_ptr<Reference> Crash::dayAgain_;

TEST_F(Crash, InTheSalesFamily) {
    const std::string claim = "^UPDATE POS_MAIN SET TRAN_CODE = 'Wait' .*TRAN_CODE IS NULL",
                      ready = "連結就緒\\.\\.\\n" + kTime + kBegun, bill2 = "01000002 " + kZ999;
    const Locate lastHeader = lastBefore(kHeader, at(kMark)), lastLine = lastBefore(kLine, at(kMark));
    killAndRepeat({
        {"transfer state claimed, on that commit", commitAfter(kState), kCommit, kState, "^"},
        {"sales bills claimed ('Wait'), on that commit", commitAfter(claim), kCommit, claim, ready},
        {"1st bill: header written, its lines not read", after(kHeader), kStoreLines, kHeader, kBegun},
        {"1st bill: one line of two written, the 2nd resolved", after(kLine), kLine, kLine, kBegun},
        {"2nd bill: unknown product resolved", at(kLine, 2, at(kHeader, 2)), kLine, kLine, bill2},
        {"four bills written (the 4th a return), the 5th not begun", at(kHeader, 5), kHeader, kLine, kZ999},
        {"three-line bill: two lines written, the 3rd resolved", lineOfBillWith(3, 3), kLine, kLine, kZ999},
        {"last bill (the day before): header written", after(lastHeader), kStoreLines, kHeader, kZ999},
        {"every sales bill written, on their commit", commitAfter(lastLine), kCommit, kLine, kZ999},
        {"sales bills committed, not marked 'True'", at(kMark), kMark, kCommit, kZ999},
        {"on the commit of the sales family's 'True' mark", commitAfter(kMark), kCommit, kMark, kZ999},
    });
}

TEST_F(Crash, InTheOtherFamiliesAndTheEnrichment) {
    const std::string claim1 = marking("POS_MAID", "Wait"), mark1 = marking("POS_MAID", "True"),
                      head1 = "^INSERT INTO POS_MASTERD\\(", line1 = "^INSERT INTO POS_SUBD ",
                      headC = "^INSERT INTO POSCHANGE_MASTER\\(", lineC = "^INSERT INTO POSCHANGE_SUB ",
                      claim3 = marking("POS_MAIN_S", "Wait"), mark3 = marking("POS_MAIN_S", "True"),
                      line3 = "^INSERT INTO POS_SUBS ", tops = "^UPDATE POS_SUB SET TOP_ITEMID",
                      used = "^INSERT INTO MEMPOINT_USED", begun = kTime + kBegun, late = kBegun + kTime,
                      chgTable = "RDB\\$RELATION_NAME = 'POS_MAIN_CHG'", bill2 = "02100002 " + kZ999;
    const Locate last1 = lastBefore(line1, at(mark1)),
                 lastC = lastBefore(lineC, at(marking("POS_MAIN_CHG", "True")));
    killAndRepeat({
        {"family 1 claimed ('Wait'), on that commit", commitAfter(claim1), kCommit, claim1, begun},
        {"family 1: 1st header written", after(head1), "^SELECT \\* FROM POS_MASD WHERE", head1, begun},
        {"family 1: both bills written, on their commit", commitAfter(last1), kCommit, line1, bill2},
        {"family 1 marked, the change family not begun", after(commitAfter(mark1)), chgTable, kCommit,
         kZ999 + kTime},
        {"change family: 1st header written", after(headC), "^SELECT \\* FROM POS_MAST_CHG WHERE", headC,
         begun},
        {"change family: both bills written, on their commit", commitAfter(lastC), kCommit, lineC, begun},
        {"family 3: on the commit of its claim", commitAfter(claim3), kCommit, claim3, begun},
        {"family 3: 1st bill written, the 2nd's line resolved", at(line3, 2), line3,
         "^SELECT \\* FROM POS_MAST_S WHERE", begun},
        {"family 3 committed, not yet marked 'True'", at(mark3), mark3, kCommit, begun},
        {"every family done, enrichment not begun", after(commitAfter(mark3)), kMidItems, kCommit, late},
        {"enrichment: categories set, cards not", after(tops), "^UPDATE POS_MASTER SET CARD_ID", tops, late},
        {"enrichment: used points registered, on the commit", after(used), kCommit, used, late},
    });
}

TEST_F(Crash, InTheSideTables) {
    const std::string gifts = "POS_GIVE Tran \\.\\.\\.!\\n", rolls = "POS_DISROL Tran \\.\\.\\.!\\n",
                      costs = "POS_COST Tran \\.\\.\\.!\\n", points = "POINT_MASTER Tran \\.\\.\\.!\\n",
                      giftsRead = "^SELECT \\* FROM POS_GIVE WHERE TRN_CODE = 'W'",
                      giftWrite = "^INSERT INTO \"POS_GIVE\"", rollWrite = "^INSERT INTO \"POS_DISROL\"",
                      costsRead = "^SELECT \\* FROM POS_COST WHERE TRN_CODE = 'Wait'",
                      costWrite = "^INSERT INTO \"POS_COST\"", avg = "^UPDATE POS_SUB SET AVG_COST",
                      pointWrite = "^INSERT INTO \"POINT_MASTER\"",
                      pointY = "^update POINT_MASTER set TRN_CODE = 'Y'",
                      giftY = marking("POS_GIVE", "Y", "TRN_CODE"),
                      rollY = marking("POS_DISROL", "Y", "TRN_CODE"),
                      costT = marking("POS_COST", "True", "TRN_CODE"),
                      pointT = marking("POINT_MASTER", "True", "TRN_CODE");
    const Locate giftsClaimed = after(commitAfter(marking("POS_GIVE", "W", "TRN_CODE")));
    killAndRepeat({
        {"gifts claimed ('W'), before they are read", giftsClaimed, giftsRead, kCommit, gifts},
        {"gifts: 1st written, the 2nd not", at(giftWrite, 2), giftWrite, giftWrite, gifts},
        {"gifts written, on the commit of the ERP writes", after(at(giftWrite, 2)), kCommit, giftWrite,
         gifts},
        {"gifts: ERP committed, before the store's 'Y'", at(giftY), giftY, kCommit, gifts},
        {"discount rolls: 1st written, on the 2nd's write", at(rollWrite, 2), rollWrite, rollWrite, rolls},
        {"discount rolls: on the commit of the store's 'Y'", commitAfter(rollY), kCommit, rollY, rolls},
        {"costs claimed ('Wait'), before they are read", at(costsRead), costsRead, kCommit, costs},
        {"costs: three written, the cost of 0 skipped", at(costWrite, 4), costWrite, costWrite, costs},
        {"costs: two of five line costs set", at(avg, 3), avg, avg, costs},
        {"costs: ERP rows marked 'Y', on the commit", after(kCostsY), kCommit, kCostsY, costs},
        {"costs: ERP committed, before the store's 'True'", at(costT), costT, kCommit, costs},
        {"points: a member's written, the member-less passed", at(pointWrite, 2), pointWrite, pointWrite,
         points},
        {"points: ERP rows marked 'Y', on the commit", after(pointY), kCommit, pointY, points},
        {"points: ERP committed, before the store's 'True'", at(pointT), pointT, kCommit, points},
    });
}

TEST_F(Crash, InTheVerificationAndTheRepeat) {
    const std::string
        checking = "銷售資料檢核\\.\\.!\\n",
        found = "異常資料:101/12/10__01000000重收設定中\\.\\.!\\n",
        again = "資料檢核完成\\.\\.!\\n連結就緒\\.\\.\\n" + kTime + kBegun,
        costs = "POS_COST Tran \\.\\.\\.!\\n", done = "資料轉移完成\\.\\.!\\n",
        lines = "^delete from pos_sub", header = "^delete from pos_master",
        stateBack = "^UPDATE TRAN_STATE SET STATE = '0'",
        // The first pass's last check; what follows is the second pass the verification asked for.
        missing = "^select sal_date,sal_no from pos_sub where sal_date between";
    const Locate pass2 = at(missing);
    killAndRepeat({
        {"verification: the totals check about to run", at(kTotals), kTotals, kCommit, checking},
        {"verification: damaged bill found, not put back", at(kPutBack), kPutBack, kCommit, found},
        {"verification: on the commit of its 'Wait'", commitAfter(kPutBack), kCommit, kPutBack, found},
        {"verification: ERP lines deleted, the header not", after(lines), header, lines, found},
        {"verification: on the commit of the deletion", after(header), kCommit, header, found},
        {"verification: the missing-lines check about to run", pass2, missing, kCommit, found},
        {"2nd pass: the damaged bill's header written", after(at(kHeader, 1, pass2)), kStoreLines, kHeader,
         again, 2},
        {"2nd pass: its line written, on its commit", after(at(kLine, 1, pass2)), kCommit, kLine, again, 2},
        {"2nd pass: the bill committed, not marked", at(kMark, 1, pass2), kMark, kCommit, again, 2},
        {"2nd pass: the null cost written again, on the commit", after(at(kCostsY, 1, pass2)), kCommit,
         kCostsY, costs, 2},
        {"2nd pass: the 2nd verification about to run", at(kTotals, 1, pass2), kTotals, kCommit, checking, 2},
        {"all done, the transfer state not given back", at(stateBack), stateBack, kCommit, done, 2},
    });
}

// A day again killed anywhere, then a plain run (mode 0, what a scheduled job runs next): it finishes
// the day again first and ends as the uninterrupted day again, its second pass included.
TEST_F(Crash, InADayAgain) {
    const std::string day = "WHERE SAL_DATE = '101/12/10'",
                      marked = "^UPDATE POS_MAIN SET TRAN_CODE = 'Wait' .*" + day,
                      deleted02 = "^DELETE FROM POS_MASTER .*MCH_NO = '02'",
                      deleted04d = "^DELETE FROM POSCHANGE_MASTER .*MCH_NO = '04'",
                      headC = "^INSERT INTO POSCHANGE_MASTER\\(",
                      claim3 = "^UPDATE POS_MAIN_S SET TRAN_CODE = 'Wait' .*" + day,
                      mark3 = marking("POS_MAIN_S", "True"), usedRead = "FROM MEMPOINT_USED",
                      chgRead = "FROM POSCHANGE_MASTER$", giftsW = marking("POS_GIVE", "W", "TRN_CODE"),
                      giftRead = "^SELECT \\* FROM POS_GIVE WHERE SAL_DATE",
                      giftWrite = "^UPDATE \"POS_GIVE\"", rollY = marking("POS_DISROL", "Y", "TRN_CODE"),
                      costsRead = "^SELECT \\* FROM POS_COST WHERE TRN_CODE = 'Wait'",
                      avg = "^UPDATE POS_SUB SET AVG_COST", pointWrite = "^UPDATE \"POINT_MASTER\"",
                      lines = "^delete from pos_sub", header = "^delete from pos_master",
                      missing = "^select sal_date,sal_no from pos_sub";
    const Locate pass2 = at(missing);
    killAndRepeat(
        {
            {"sales family: the day marked 'Wait', on that commit", commitAfter(marked), kCommit, marked,
             kBegun},
            {"sales family: machine 01's copies deleted, 02's not", at(deleted02), deleted02, kCommit,
             kBegun},
            {"sales family: every bill written, on their commit", commitAfter(lastBefore(kLine, at(kMark))),
             kCommit, kLine, kZ999},
            {"sales family committed, not marked 'True'", at(kMark), kMark, kCommit, kZ999},
            {"change family: copies of machines 01 to 03 deleted", at(deleted04d), deleted04d, kCommit,
             kBegun},
            {"change family: 1st header written", after(headC), "^SELECT \\* FROM POS_MAST_CHG WHERE", headC,
             kBegun},
            {"family 3: the day marked 'Wait', on that commit", commitAfter(claim3), kCommit, claim3, kBegun},
            {"family 3 committed, not yet marked 'True'", at(mark3), mark3, kCommit, kBegun},
            // No bill of the day is new to the used points: they are only read.
            {"lines copied and enriched, on that commit; gifts not begun", commitAfter(usedRead), kCommit,
             chgRead, kBegun + kTime},
            {"gifts of the day claimed ('W'), on that commit", commitAfter(giftsW), kCommit, giftsW, ""},
            {"gifts: 1st written again, 2nd looked up", at(giftRead, 2), giftRead, giftWrite, ""},
            {"discount rolls: ERP committed, before the store's 'Y'", at(rollY), rollY, kCommit, ""},
            {"costs of the day claimed ('Wait'), before they are read", at(costsRead), costsRead, kCommit,
             ""},
            {"costs: two of five line costs set", at(avg, 3), avg, avg, ""},
            {"points: the 1st written again, on the 2nd's look-up", after(at(pointWrite)),
             "^Select \\* from POINT_MASTER", pointWrite, ""},
            {"verification: the bill of the day before found, not put back", at(kPutBack), kPutBack, kCommit,
             ""},
            {"verification: its ERP lines deleted, the header not", after(lines), header, lines, ""},
            {"2nd pass: the bill's header written", after(at(kHeader, 1, pass2)), kStoreLines, kHeader, "",
             2},
            {"2nd pass: the 2nd verification about to run", at(kTotals, 1, pass2), kTotals, kCommit, "", 2},
            {"all done, the transfer state not given back", at("^UPDATE TRAN_STATE SET STATE = '0'"),
             "^UPDATE TRAN_STATE SET STATE = '0'", kCommit, "", 2},
        },
        dayAgain(), kDayAgain);
}

// A killed run leaves what its commits left, so killing just after every commit reaches every state a
// kill can leave. Slow (one repeat per commit): run it with --gtest_also_run_disabled_tests.
TEST_F(Crash, DISABLED_AfterEveryCommit) {
    std::vector<StepPoint> points;
    const Trace& t = reference_->trace;
    for (std::size_t c = t.find(kCommit); c != 0 && c < t.steps.size(); c = t.find(kCommit, 1, c))
        points.push_back({"after the commit at step " + std::to_string(c),
                          [c](const Trace&) { return c + 1; }, ".", kCommit, "", t.passOf(c + 1)});
    killAndRepeat(points);
}

// The reference itself: a run that was not stopped, repeated, changes nothing more.
TEST_F(Crash, ACompletedRunRepeatedChangesNothing) {
    requireReference(*reference_);
    if (HasFatalFailure()) return;
    ProgramFolder program;
    program.copyDatabasesFrom(reference_->start.path());
    ASSERT_TRUE(program.run().completed());
    const Exit repeat = program.run();
    ASSERT_TRUE(repeat.completed()) << repeat.describe();
    EXPECT_EQ(repeat.out.find("資料檢核有資料"), std::string::npos) << repeat.out;
    const std::string diff = differences(reference_->end, program.snapshot());
    EXPECT_TRUE(diff.empty()) << "a second run changed what the first left:\n" << diff;
}

}  // namespace
