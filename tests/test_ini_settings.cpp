#include "app/shell/settings.h"
#include "base/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace lumvik;
namespace fs = std::filesystem;

namespace {

class IniSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("lumvik-ini-" + std::to_string(std::random_device()()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path file() const { return dir_ / kSettingsFileName; }
    void put(const std::string& bytes) const { std::ofstream(file(), std::ios::binary) << bytes; }
    std::string bytes() const {
        std::ifstream in(file(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir_;
};

}  // namespace

TEST_F(IniSettings, ReadsAndUpdatesAFileWrittenOnWindows) {
    // "\xBE\x50" is 銷 in code page 950.
    put("; kept as it is\r\n[Other]\r\nSource=not this one\r\n\r\n[con]\r\n source = C:\\POS\\DATA.GDB \r\n"
        "TARGET=\"D:\\ERP\\ERP.GDB\"\r\n; a note\r\nclass=1\r\ntempid=\xBE\x50"
        "A01\r\n\r\n[Con]\r\nAuto=True\r\n");
    const Settings read = readSettings(file());
    EXPECT_EQ(read, (Settings{"C:\\POS\\DATA.GDB", "D:\\ERP\\ERP.GDB", 1, 0, false, "銷A01"}));

    writeSettings(file(), Settings{"C:\\POS\\NEW.GDB", "D:\\ERP\\ERP.GDB", 2, 1, true, "銷B "});
    // Existing keys keep their place and spelling; missing ones join the first [Con] section.
    EXPECT_EQ(bytes(),
              "; kept as it is\r\n[Other]\r\nSource=not this one\r\n\r\n[con]\r\nsource=C:\\POS\\NEW.GDB\r\n"
              "TARGET=D:\\ERP\\ERP.GDB\r\n; a note\r\nclass=2\r\ntempid=\xBE\x50"
              "B \r\nServerClass=1\r\n"
              "Auto=True\r\n\r\n[Con]\r\nAuto=True\r\n");
    EXPECT_EQ(readSettings(file()).tempProduct, "銷B");  // blanks around values do not survive, as on Windows
}

TEST_F(IniSettings, MissingFileGivesDefaultsAndWritingCreatesAllKeys) {
    EXPECT_EQ(readSettings(file()), Settings{});
    writeSettings(file(), readSettings(file()));
    EXPECT_EQ(bytes(),
              "[Con]\r\nSource=\r\nTarget=\r\nClass=0\r\nServerClass=0\r\nAuto=False\r\ntempid=\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
        << "a temporary file was left behind";
}

TEST_F(IniSettings, JunkValuesReadAsTheNearestChoice) {
    const std::tuple<const char*, int, int, bool> cases[] = {
        // Class/ServerClass text, mode, server kind, Auto for the text "True" when the mode text is "1"
        {"7", 2, 1, false},   {"-5", -1, -1, false}, {"x", 0, 0, false},  {"-1", -1, -1, false},
        {"1.5", 0, 0, false}, {"", 0, 0, false},     {" 1 ", 1, 1, true},
    };
    for (const auto& [number, mode, server, allDates] : cases) {
        SCOPED_TRACE(number);
        put(std::string("[Con]\nClass=") + number + "\nServerClass=" + number +
            "\nAuto=" + (allDates ? "True" : "true") + "\n");
        const Settings read = readSettings(file());
        EXPECT_EQ(read.transferMode, mode);
        EXPECT_EQ(read.serverKind, server);
        EXPECT_EQ(read.allDates, allDates);
    }
    for (const char* notTicked : {"true", "1", "TRUE", "Yes"}) {
        put(std::string("[Con]\r\nAuto=") + notTicked + "\r\n");
        EXPECT_FALSE(readSettings(file()).allDates) << notTicked;
    }
}

TEST_F(IniSettings, TheLockWaitIsAKeyOfOurOwnThatWritingKeeps) {
    for (const auto& [text, seconds] :
         std::vector<std::pair<std::string, int>>{{"", 60},
                                                  {"[Lumvik]\nLockWait=5\n", 5},
                                                  {"[Lumvik]\nLockWait=0\n", 0},
                                                  {"[Lumvik]\nLockWait=x\n", 60},
                                                  {"[Lumvik]\nLockWait=40000\n", 60},
                                                  {"[Con]\nLockWait=5\n", 60}}) {
        put(text);
        EXPECT_EQ(readLockWait(file()), seconds) << text;
    }
    put("[Lumvik]\r\nLockWait=7\r\n");
    writeSettings(file(), Settings{});
    EXPECT_EQ(readLockWait(file()), 7);
}

TEST_F(IniSettings, IniFileReadsTheWayWindowsDoes) {
    put("\xEF\xBB\xBF[A]\nK=\"quoted \" \nE=\"\nO=\"open\nS='single'\nM='mixed\"\nU=銷\nbare line\n"
        "[ b ]\nk1 = one\nK2=a=b\n[a]\nK=later\n");
    const IniFile ini(file());
    EXPECT_TRUE(ini.existed());
    EXPECT_EQ(ini.value("a", "k"), "quoted ");  // one pair of quotes removed, the first [A] counts
    EXPECT_EQ(ini.value("A", "E"), "\"");
    EXPECT_EQ(ini.value("A", "O"), "\"open");
    EXPECT_EQ(ini.value("A", "S"), "single");
    EXPECT_EQ(ini.value("A", "M"), "'mixed\"");
    EXPECT_EQ(ini.value("A", "U"), "銷");  // after a UTF-8 byte order mark the file is UTF-8
    EXPECT_EQ(ini.value("A", "bare line"), std::nullopt);
    EXPECT_EQ(ini.readString("B", "missing", "fallback"), "fallback");
    EXPECT_TRUE(ini.hasSection("B"));
    EXPECT_FALSE(ini.hasSection("C"));
    using Keys = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(ini.section("b"), (Keys{{"k1", "one"}, {"K2", "a=b"}}));
    EXPECT_FALSE(IniFile(dir_ / "none.ini").existed());
}

TEST_F(IniSettings, SaveFailureNamesTheFile) {
    IniFile ini(dir_ / "no such folder" / "x.ini");
    ini.writeString("S", "K", "V");
    try {
        ini.save();
        FAIL() << "saved into a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("x.ini"), std::string::npos) << e.what();
    }
}
