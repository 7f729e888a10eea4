// The collector's machine-list file and the summary's number texts.

#include "summary/number_texts.h"
#include "tests/support/temp_dir.h"
#include "transfer/loc_ip.h"

#include "base/atomic_file.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

using namespace lumvik;

namespace {

TEST(LocIp, LinesOfTickedMachinesThenTheTrailerOfTheMode) {
    const std::vector<std::string> entries{"01,[櫃台]", "123456789012,[long]", "7,[x]", "03,[off]"};
    const std::vector<bool> ticks{true, true, true, false};
    const std::vector<std::string> addresses{"192.168.1.11", "10.0.0.2", "", "10.0.0.3"};
    EXPECT_EQ(transfer::locIpBytes(entries, ticks, addresses, 0, "2012/12/10"),
              "01        192.168.1.11\r\n123456789010.0.0.2\r\n7         \r\nEND\r\n");
    EXPECT_EQ(transfer::locIpBytes(entries, {false, false, false, false}, addresses, 1, "2012/12/10"),
              "END:101/12/10\r\n");
    EXPECT_EQ(transfer::locIpBytes(entries, {}, addresses, 2, "2012/12/10"), "");
    EXPECT_EQ(transfer::locIpBytes({"01,[a]"}, {true}, {"h"}, -1, "2012/12/10"), "01        h\r\n");
    // A number in Chinese characters is cut by bytes, never inside a character.
    EXPECT_EQ(transfer::locIpBytes({"一二三四五六,[a]"}, {true}, {"h"}, 2, "2012/12/10"),
              std::string("\xA4\x40\xA4\x47\xA4\x54\xA5\x7C\xA4\xAD") + "h\r\n");
}

TEST(LocIp, TheFileIsReplacedWhole) {
    lumvik::testing::TempDir dir;
    dir.write(transfer::kLocIpFileName, "an older and much longer file\r\n");
    transfer::writeLocIp(dir.path(), "END\r\n");
    EXPECT_EQ(lumvik::testing::readBytes(dir.path() / transfer::kLocIpFileName), "END\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "a temporary file was left";
}

// A writer killed at any moment leaves the old file or the new one, whole: never a mix, a cut or
// nothing.
TEST(LocIp, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    lumvik::testing::TempDir dir;
    const auto file = dir.path() / transfer::kLocIpFileName;
    constexpr std::size_t kSize = 256 * 1024;
    writeFileAtomically(file, std::string(kSize, 'a'));
    std::mt19937 random(7);
    for (int round = 0; round < 15; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                writeFileAtomically(file, std::string(kSize, static_cast<char>('a' + i % 26)));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 20'000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        const std::string bytes = lumvik::testing::readBytes(file);
        ASSERT_EQ(bytes.size(), kSize) << "round " << round;
        EXPECT_EQ(bytes.find_first_not_of(bytes.front()), std::string::npos) << "round " << round;
    }
}

TEST(SummaryNumbers, RoundingGroupingAndDecimals) {
    struct Case {
        double value;
        const char* whole;
        const char* plain;
        const char* twoDecimals;
    };
    for (const Case& c : std::vector<Case>{
             {0, "0", "0", "0.00"},
             {999, "999", "999", "999.00"},
             {12345, "12,345", "12345", "12345.00"},
             {-1500, "-1,500", "-1500", "-1500.00"},
             {1234567.5, "1,234,568", "1234568", "1234567.50"},
             {333.648, "334", "334", "333.65"},
             {12345.0 / 37, "334", "334", "333.65"},
             {2.675, "3", "3", "2.68"},
             {-0.004, "0", "0", "0.00"},
             {-2.5, "-3", "-3", "-2.50"},
         }) {
        EXPECT_EQ(summary::wholeUnitText(c.value), c.whole) << c.value;
        EXPECT_EQ(summary::plainWholeText(c.value), c.plain) << c.value;
        EXPECT_EQ(summary::twoDecimalText(c.value), c.twoDecimals) << c.value;
    }
    EXPECT_DOUBLE_EQ(summary::roundedHalfAway(12345.0 / 37, 2), 333.65);
}

}  // namespace
