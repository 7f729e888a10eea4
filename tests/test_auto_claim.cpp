// The claim of an unattended transfer, in-process: the folder's run lock, the transfer state and the
// claim mark that lets the next run from the folder take over a 2 its killed predecessor left.

#include "app/shell/auto_claim.h"
#include "tests/support/run_fixture.h"

#include <filesystem>

using namespace lumvik;
using namespace lumvik::testing;
using Kind = HeadlessOperator::Box::Kind;

namespace {

class AutoClaimTest : public RunFixture {
  protected:
    void SetUp() override {
        seedErp();
        startUp();
    }
    void setState(const std::string& state) { erp->execute("UPDATE TRAN_STATE SET STATE = '" + state + "'"); }
    [[nodiscard]] bool markExists() const {
        return std::filesystem::exists(dbs.dir.path() / kClaimMarkFileName);
    }
};

TEST_F(AutoClaimTest, AFreeStateIsHeldWithItsMarkUntilReleasedAndOtherHoldersRefuseUnlessForced) {
    setState("0");
    {
        AutoClaim claim(*form);
        ASSERT_TRUE(claim.lockFolder());
        EXPECT_EQ(claim.claimState(false), AutoClaim::Outcome::Claimed);
        EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "2");
        EXPECT_TRUE(markExists());
        EXPECT_FALSE(claim.tookOver());

        // A second transfer from the same folder is refused while this one holds the lock.
        AutoClaim second(*form);
        EXPECT_FALSE(second.lockFolder());
        EXPECT_EQ(boxesOf(Kind::Error),
                  std::vector<std::string>{"another automatic transfer is running from this folder"});

        claim.release();
        EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "0");
        EXPECT_FALSE(markExists());
    }

    setState("1");
    AutoClaim held(*form);
    ASSERT_TRUE(held.lockFolder());
    EXPECT_EQ(held.claimState(false), AutoClaim::Outcome::StateHeld);
    EXPECT_EQ(boxesOf(Kind::Error).back(),
              "the transfer state reads 1 (another station holds it); use --force to run anyway");
    EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "1");
    EXPECT_FALSE(markExists());
    EXPECT_EQ(held.claimState(true), AutoClaim::Outcome::Claimed);
    EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "2");
}

TEST_F(AutoClaimTest, ATwoIsTakenOverOnlyWithTheMarkOfThisFolderAndItsLock) {
    setState("2");
    AutoClaim foreign(*form);
    ASSERT_TRUE(foreign.lockFolder());
    EXPECT_EQ(foreign.claimState(false), AutoClaim::Outcome::StateHeld);
    EXPECT_EQ(boxesOf(Kind::Error).back(),
              "the transfer state reads 2 (an automatic transfer is running); use --force to run anyway");

    // The mark of a run from this folder that was killed: taken over, with a warning.
    dbs.dir.write(kClaimMarkFileName, "claimed\r\n");
    EXPECT_EQ(foreign.claimState(false), AutoClaim::Outcome::Claimed);
    EXPECT_TRUE(foreign.tookOver());
    EXPECT_EQ(boxesOf(Kind::Warning).size(), 1u);
    foreign.release();
    EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "0");

    // Without the folder's lock the mark proves nothing: the run that wrote it may still be going.
    setState("2");
    dbs.dir.write(kClaimMarkFileName, "claimed\r\n");
    AutoClaim unlocked(*form);
    EXPECT_EQ(unlocked.claimState(false), AutoClaim::Outcome::StateHeld);
    EXPECT_EQ(erpValue("SELECT STATE FROM TRAN_STATE"), "2");
}

}  // namespace
