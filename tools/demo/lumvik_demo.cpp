// Creates a demo station: a store database with one business day, an ERP database with machines and
// products, the settings file, the connection definitions and the sibling programs' stand-ins. The
// station is the folder given by --folder, else the one $LUMVIK_FOLDER names, else the program's own
// folder; it is created when missing.
//
//   lumvik-demo [--folder DIR]

#include "app/shell/platform.h"
#include "app/shell/settings.h"
#include "app/shell/station_folder.h"
#include "base/codepage.h"
#include "db/connection_params.h"
#include "fixtures/demo_data.h"
#include "fixtures/schema.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>

using namespace lumvik;

namespace {

// The stand-in for the sibling programs: beside this program in a build, in the package's private
// folder (/usr/lib/lumvik) when installed. Nothing when neither has it.
std::optional<std::filesystem::path> findStandIn(const std::filesystem::path& programDirectory) {
    for (const auto& candidate : {programDirectory / "sibling-standin",
                                  programDirectory / ".." / "lib" / "lumvik" / "sibling-standin"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate.lexically_normal();
    }
    return std::nullopt;
}

// Both databases made anew in DIR/demo, with the demo day.
void makeDatabases(const std::string& store, const std::string& erp) {
    // A fresh demo every time: the old files go first.
    std::filesystem::remove(store);
    std::filesystem::remove(erp);
    tools::createStoreDatabase(store, "SYSDBA", "", {.markColumns = false});
    tools::createErpDatabase(erp, "SYSDBA", "");
    db::Connection erpConnection("demo-erp");
    erpConnection.params().set("Database", erp);
    erpConnection.params().set("User_Name", "SYSDBA");
    tools::fillDemoErp(erpConnection);
    db::Connection storeConnection("demo-store");
    storeConnection.params().set("Database", store);
    storeConnection.params().set("User_Name", "SYSDBA");
    tools::fillDemoStore(storeConnection);
}

void writeStationFiles(const std::filesystem::path& dir, const std::string& store, const std::string& erp) {
    writeSettings(dir / kSettingsFileName, Settings{.source = store,
                                                    .target = "",
                                                    .transferMode = 0,
                                                    .serverKind = 1,
                                                    .allDates = false,
                                                    .tempProduct = tools::kDemoTempProduct});
    // It holds a password: its owner's alone, before the password is in it, also when an older file
    // was readable by all.
    const auto definitions = dir / db::kConnectionsFileName;
    std::filesystem::remove(definitions);
    std::ofstream(definitions, std::ios::binary).close();
    std::filesystem::permissions(definitions,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    // Code page 950, as the program reads it: the folder may be named in Chinese.
    std::ofstream(definitions, std::ios::binary)
        << cp950::fromUtf8(db::connectionEntryText(erp, db::kLinuxServerPassword));
}

// The sibling programs are played by the stand-in, copied under their names into the station.
std::optional<std::filesystem::path> copyStandIns(const std::filesystem::path& dir,
                                                  const std::filesystem::path& programDirectory) {
    const auto standIn = findStandIn(programDirectory);
    if (!standIn) return std::nullopt;
    for (const char* sibling : {"Harvo.exe", "Quorrel.exe", "Wendry.exe"})
        std::filesystem::copy_file(*standIn, dir / sibling,
                                   std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(dir / "siblings.log");
    return standIn;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::filesystem::path programDirectory = makeSystemPlatform()->programDirectory();
        std::optional<std::string> given;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc && !given && *argv[i + 1] != 0) {
                given = argv[++i];
            } else {
                std::cerr << "usage: lumvik-demo [--folder DIR]\n";
                return 2;
            }
        }
        const std::filesystem::path dir = requestedStationFolder(given).value_or(programDirectory);
        const auto dataDir = dir / "demo";
        std::filesystem::create_directories(dataDir);
        const std::string store = (dataDir / "store.fdb").string();
        const std::string erp = (dataDir / "erp.fdb").string();
        makeDatabases(store, erp);
        writeStationFiles(dir, store, erp);
        const auto standIn = copyStandIns(dir, programDirectory);

        std::cout << "station folder:      " << dir.string() << "\n"
                  << "demo store database: " << store << "\n"
                  << "demo ERP database:   " << erp << "\n"
                  << "settings:            " << (dir / kSettingsFileName).string() << "\n"
                  << "connections:         " << (dir / db::kConnectionsFileName).string() << "\n"
                  << "sibling programs:    "
                  << (standIn ? "stand-ins copied from " + standIn->string()
                              : std::string("none (no stand-in)"))
                  << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "lumvik-demo: " << e.what() << "\n";
        return 1;
    }
}
