// lumvik-auto as a process: a copy of the program in a folder of its own, with its two files beside it
// and embedded databases.

#include "app/shell/date_forms.h"
#include "app/shell/platform.h"
#include "app/shell/settings.h"
#include "base/codepage.h"
#include "db/connection_params.h"
#include "db/test_steps.h"
#include "tests/support/auto_station.h"
#include "tests/support/run_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace lumvik;
using namespace lumvik::testing;
using db::Value;

namespace {

using Auto = AutoStation;

// The file's bytes once it holds `expected`, or what it holds when that did not come in time.
std::string awaitBytes(const std::filesystem::path& file, const std::string& expected) {
    std::string bytes;
    for (int i = 0; i < 500 && bytes != expected; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        bytes = std::filesystem::exists(file) ? readBytes(file) : "";
    }
    return bytes;
}

TEST_F(Auto, ARunPrintsTheLogAndGivesTheTransferStateBack) {
    const Outcome o = runAuto("--date 2012/12/10 --skip-collector --machines 01");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out.rfind("連結就緒..\n", 0), 0u) << o.out;
    EXPECT_NE(o.out.find("\nConnected Successful..!\n"), std::string::npos);
    EXPECT_NE(o.out.find("\n資料檢核完成..!\n資料轉移完成..!\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.err, "information: 資料轉移完成..!\n");
    EXPECT_EQ(readBytes(dbs.dir.path() / "LOC_IP.TXT"), "01        10.0.0.1\r\nEND\r\n");
    EXPECT_EQ(rowsOf(*erp, "SELECT SAL_DATE, SAL_NO, STOCK_ID FROM POS_MASTER"),
              std::vector<std::string>{"2012/12/10|01000001|S1"});
    EXPECT_EQ(rowsOf(*erp, "SELECT PROD_ID, PROD_NAME, SAL_QTY FROM POS_SUB"),
              std::vector<std::string>{"A1|排骨飯|2"});
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
}

TEST_F(Auto, AHeldTransferStateRefusesUnlessForced) {
    erp->execute("UPDATE TRAN_STATE SET STATE = '02'");
    erp->close();
    Outcome o = runAuto("--skip-collector --date 2012/12/10");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("error: the transfer state reads 2"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(scalar(*erp, "SELECT COUNT(*) FROM POS_MASTER"), "0");
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "02");
    EXPECT_FALSE(std::filesystem::exists(dbs.dir.path() / "lumvik-auto.claim"));
    erp->close();
    o = runAuto("--skip-collector --date 2012/12/10 --force");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(scalar(*erp, "SELECT COUNT(*) FROM POS_MASTER"), "1");
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
}

TEST_F(Auto, AClaimLeftByAKilledRunIsTakenOverButNotWhileARunFromTheFolderIsAlive) {
    if (!db::kTestSwitches) GTEST_SKIP() << "needs the step switch: configure with -DLUMVIK_TEST_SWITCHES=ON";
    // Killed in the middle of the copy (its 30th statement or commit): the state stays 2, its mark too.
    Outcome o = runAuto("--date 2012/12/10 --skip-collector", "LUMVIK_TEST_KILL_AT_STEP=30");
    ASSERT_EQ(o.status, 128 + SIGKILL) << o.err;
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "2");
    erp->close();
    ASSERT_TRUE(std::filesystem::exists(dbs.dir.path() / "lumvik-auto.claim"));

    {
        // A transfer from this folder that is still running holds the folder's lock.
        const auto running = FileLock::tryAcquire(dbs.dir.path() / "lumvik-auto.lock");
        ASSERT_NE(running, nullptr);
        o = runAuto("--date 2012/12/10 --skip-collector");
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "error: another automatic transfer is running from this folder\n");
        EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "2");
        erp->close();
    }

    o = runAuto("--date 2012/12/10 --skip-collector");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(
        o.err.find("warning: the transfer state was left at 2 by an automatic transfer from this folder"),
        std::string::npos)
        << o.err;
    EXPECT_EQ(rowsOf(*erp, "SELECT SAL_NO FROM POS_MASTER"), std::vector<std::string>{"01000001"});
    EXPECT_EQ(rowsOf(*erp, "SELECT PROD_ID, SAL_QTY FROM POS_SUB"), std::vector<std::string>{"A1|2"});
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
    EXPECT_FALSE(std::filesystem::exists(dbs.dir.path() / "lumvik-auto.claim"));
}

TEST_F(Auto, RefusalsConnectionFailuresAndBadOptionsHaveTheirOwnStatus) {
    writeSettingsFor(dbs.store, "NONE");
    Outcome o = runAuto("--skip-collector");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "warning: 暫用商品未建檔..\n");

    writeSettingsFor(dbs.dir.file("missing.fdb"), "TEMP");
    o = runAuto("--skip-collector");
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("warning: "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("missing.fdb"), std::string::npos) << o.err;
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
    erp->close();

    std::filesystem::remove(dbs.dir.path() / db::kConnectionsFileName);
    o = runAuto("--skip-collector");
    EXPECT_EQ(o.status, 3);
    EXPECT_NE(o.err.find("dbxconnections.ini"), std::string::npos) << o.err;

    o = runAuto("--mode 5");
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.err.find("--mode"), std::string::npos) << o.err;
    o = runAuto("--lock-wait 40000");
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.err.find("--lock-wait takes a number of seconds from 0 to 32767"), std::string::npos)
        << o.err;
    o = runAuto("--help");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("5 stopped by a signal"), std::string::npos);
}

// The files named on the command line are the ones read; one that is not there, or a settings file
// that is a folder, ends the run before anything is done (status 4).
TEST_F(Auto, TheFilesNamedOnTheCommandLineAreTheOnesReadAndMustBeThere) {
    writeSettingsFor(dbs.dir.file("missing.fdb"), "TEMP", dbs.dir.path() / "alt settings.ini");
    Outcome o = runAuto("--skip-collector --settings 'alt settings.ini'");
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_NE(o.err.find("missing.fdb"), std::string::npos) << o.err;

    o = runAuto("--settings nowhere.ini");
    EXPECT_EQ(o.status, 4);
    EXPECT_EQ(o.err, "error: the settings file nowhere.ini does not exist\n");
    o = runAuto("--connections nowhere.ini");
    EXPECT_EQ(o.status, 4);
    EXPECT_EQ(o.err, "error: the connection definitions file nowhere.ini does not exist\n");

    const auto settings = dbs.dir.path() / kSettingsFileName;
    std::filesystem::remove(settings);
    std::filesystem::create_directory(settings);
    o = runAuto("--skip-collector");
    EXPECT_EQ(o.status, 4);
    EXPECT_EQ(o.err, "error: Cannot read " + settings.string() + ": it is a folder\n");
    EXPECT_EQ(scalar(*erp, "SELECT COUNT(*) FROM POS_MASTER"), "0");
    erp->close();

    // With the files beside the program broken or gone, the ones named carry the run.
    writeSettingsFor(dbs.store, "TEMP", dbs.dir.path() / "alt settings.ini");
    std::filesystem::rename(dbs.dir.path() / db::kConnectionsFileName, dbs.dir.path() / "erp.ini");
    o = runAuto("--skip-collector --date 2012/12/10 --settings 'alt settings.ini' --connections erp.ini");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(scalar(*erp, "SELECT COUNT(*) FROM POS_MASTER"), "1");
}

// Machine lists: none and the empty list tick no machine, a list with an empty item is refused. An
// option given twice, or two that contradict each other, is refused too.
TEST_F(Auto, MachineListsAndOptionsGivenTwiceOrAgainstEachOther) {
    for (const char* none : {"none", "''"}) {
        std::filesystem::remove(dbs.dir.path() / "LOC_IP.TXT");
        const Outcome o = runAuto(std::string("--skip-collector --machines ") + none);
        EXPECT_EQ(o.status, 0) << none << ": " << o.err;
        EXPECT_EQ(readBytes(dbs.dir.path() / "LOC_IP.TXT"), "END\r\n") << none;
    }
    const std::pair<const char*, const char*> refused[] = {
        {"--machines ,,,", "error: --machines ,,, has an empty item"},
        {"--machines 01,,02", "error: --machines 01,,02 has an empty item"},
        {"--machines 01,", "error: --machines 01, has an empty item"},
        {"--all-dates --no-all-dates", "error: --all-dates and --no-all-dates contradict each other"},
        {"--no-all-dates --no-all-dates", "error: --no-all-dates is given twice"},
        {"--date 2012/12/10 --date 2012/12/11", "error: --date is given twice"},
        {"--stats --skip-collector --stats", "error: --stats is given twice"},
    };
    for (const auto& [arguments, error] : refused) {
        const Outcome o = runAuto(arguments);
        EXPECT_EQ(o.status, 4) << arguments;
        EXPECT_EQ(o.err.substr(0, o.err.find('\n')), error) << arguments;
    }
}

// A program folder whose name a command line would misread, on databases in folders named in Chinese
// (the settings file and the connection definitions hold their paths in code page 950): the transfer
// runs and the uploader gets its arguments whole. An uploader that cannot be started is reported.
TEST_F(Auto, RunsFromAFolderOfAnyNameOnDatabasesInChineseFolders) {
    const auto storeFile = dbs.dir.path() / "門市 資料" / "store.fdb";
    const auto erpFile = dbs.dir.path() / "總部" / "erp.fdb";
    for (const auto& [from, to] : {std::pair{dbs.store, storeFile}, std::pair{dbs.erp, erpFile}}) {
        std::filesystem::create_directory(to.parent_path());
        std::filesystem::rename(from, to);
    }
    programDir = dbs.dir.path() / "q\"x y\t$HOME;\\z 門市";
    std::filesystem::create_directory(programDir);
    std::filesystem::copy_file(dbs.dir.path() / "lumvik-auto", programDir / "lumvik-auto");
    std::filesystem::copy_file(std::filesystem::path(std::getenv("LUMVIK_BIN_DIR")) / "sibling-standin",
                               programDir / "Wendry.exe");
    writeSettingsFor(storeFile.string(), "TEMP", programDir / kSettingsFileName);
    std::ofstream(programDir / db::kConnectionsFileName, std::ios::binary)
        << cp950::fromUtf8(db::connectionEntryText(erpFile.string(), kTestPassword));

    Outcome o = runAuto("--date 2012/12/10 --skip-collector --mode 1");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(awaitBytes(programDir / "siblings.log", "Wendry.exe xx 2012/12/10\n"),
              "Wendry.exe xx 2012/12/10\n");
    auto erpConnection = embeddedConnection(erpFile.string());
    EXPECT_EQ(rowsOf(*erpConnection, "SELECT SAL_NO, STOCK_ID FROM POS_MASTER"),
              std::vector<std::string>{"01000001|S1"});
    erpConnection->close();

    std::filesystem::remove(programDir / "Wendry.exe");
    std::filesystem::create_directory(programDir / "Wendry.exe");
    o = runAuto("--date 2012/12/10 --skip-collector --mode 1");
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string failure =
        "cannot start " + (programDir / "Wendry.exe").string() + ": a folder, not a program";
    EXPECT_NE(o.err.find("warning: " + failure + "\n"), std::string::npos) << o.err;
    EXPECT_NE(o.out.find(failure + "\n"), std::string::npos) << o.out;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A station folder apart from the program, named by --folder (relative to the working directory, and
// over LUMVIK_FOLDER) or by LUMVIK_FOLDER alone, with the run started from a third folder: the files,
// the marks and the sibling programs are the station's. The siblings beside the program, the program's
// folder and the working directory are left alone.
TEST_F(Auto, AStationFolderHoldsTheFilesTheMarksAndTheSiblings) {
    const std::filesystem::path bin = std::getenv("LUMVIK_BIN_DIR");
    const auto station = dbs.dir.path() / "station";
    programDir = dbs.dir.path() / "programs";
    workingDir = dbs.dir.path() / "elsewhere";
    for (const auto& folder : {station, programDir, workingDir})
        std::filesystem::create_directory(folder);
    std::filesystem::rename(dbs.dir.path() / "lumvik-auto", programDir / "lumvik-auto");
    for (const char* sibling : {"Harvo.exe", "Wendry.exe"}) {
        std::filesystem::copy_file(bin / "sibling-standin", station / sibling);
        std::filesystem::copy_file(bin / "sibling-standin", programDir / sibling);
    }
    for (const char* file : {kSettingsFileName, db::kConnectionsFileName})
        std::filesystem::rename(dbs.dir.path() / file, station / file);
    // The collector's window class in a place of this test's own, apart from other tests' collectors.
    const std::string windows = "LUMVIK_WINDOW_DIR='" + (dbs.dir.path() / "windows").string() + "'";

    Outcome o;
    std::thread run([&] {
        o = runAuto("--date 2012/12/10 --machines 01 --folder ../station",
                    windows + " LUMVIK_FOLDER=/nowhere");
    });
    // The collector runs for a while: the transfer state is claimed by then, and its mark is written.
    const std::string collector = awaitBytes(station / "siblings.log", "Harvo.exe\n");
    const bool markWhileRunning = std::filesystem::exists(station / "lumvik-auto.claim");
    run.join();
    EXPECT_EQ(collector, "Harvo.exe\n");
    EXPECT_TRUE(markWhileRunning);
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string today = dates::gregorianText(makeSystemPlatform()->now().date);
    EXPECT_EQ(awaitBytes(station / "siblings.log", "Harvo.exe\nWendry.exe xx " + today + "\n"),
              "Harvo.exe\nWendry.exe xx " + today + "\n");
    EXPECT_EQ(readBytes(station / "LOC_IP.TXT"), "01        10.0.0.1\r\nEND\r\n");
    EXPECT_EQ(namesIn(station),
              (std::vector<std::string>{"FormLumvik.ini", "Harvo.exe", "LOC_IP.TXT", "Wendry.exe",
                                        "dbxconnections.ini", "lumvik-auto.lock", "lumvik-runs.jsonl",
                                        "siblings.log"}));
    EXPECT_EQ(namesIn(programDir), (std::vector<std::string>{"Harvo.exe", "Wendry.exe", "lumvik-auto"}));
    EXPECT_EQ(namesIn(workingDir), std::vector<std::string>{});
    EXPECT_EQ(scalar(*erp, "SELECT COUNT(*) FROM POS_MASTER"), "1");
    erp->close();

    o = runAuto("--date 2012/12/10 --skip-collector --mode 1",
                windows + " LUMVIK_FOLDER='" + station.string() + "'");
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string both = "Harvo.exe\nWendry.exe xx " + today + "\nWendry.exe xx 2012/12/10\n";
    EXPECT_EQ(awaitBytes(station / "siblings.log", both), both);
    EXPECT_EQ(namesIn(programDir), (std::vector<std::string>{"Harvo.exe", "Wendry.exe", "lumvik-auto"}));
    EXPECT_EQ(scalar(*erp, "SELECT STATE FROM TRAN_STATE"), "0");
    erp->close();

    // A station folder that is not there is not quietly replaced by another.
    o = runAuto("--folder missing");
    EXPECT_EQ(o.status, 4);
    EXPECT_EQ(o.err, "error: the station folder " + (workingDir / "missing").string() + " does not exist\n");
}

// The demo's connection definitions hold a password: readable by their owner only, also when an older
// file was readable by all. Like the settings, they name the databases in code page 950, so that a
// station folder named in Chinese works.
TEST(Demo, WritesTheConnectionDefinitionsForItsOwnerOnlyInCodePage950) {
    const TempDir dir;
    const auto station = dir.path() / "台北店";
    std::filesystem::create_directory(station);
    const auto definitions = station / db::kConnectionsFileName;
    std::ofstream(definitions) << "old";
    std::filesystem::permissions(definitions, std::filesystem::perms::all);
    const std::string demo = std::string(std::getenv("LUMVIK_BIN_DIR")) + "/lumvik-demo";
    ASSERT_EQ(std::system((demo + " --folder '" + station.string() + "' > /dev/null").c_str()), 0);
    EXPECT_EQ(std::filesystem::status(definitions).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string written = readBytes(definitions);
    EXPECT_NE(written.find("[Orvenna]"), std::string::npos);
    EXPECT_NE(written.find("Database=" + cp950::fromUtf8((station / "demo" / "erp.fdb").string()) + "\r\n"),
              std::string::npos)
        << written;
    EXPECT_EQ(readSettings(station / kSettingsFileName).source, (station / "demo" / "store.fdb").string());
}

}  // namespace
