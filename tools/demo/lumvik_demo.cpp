// Creates the demo installation beside the program: a store database with one business day, an ERP
// database with machines and products, the settings file and the connection definitions.
//
//   lumvik-demo [--dir DIR]

#include "app/shell/platform.h"
#include "app/shell/settings.h"
#include "db/connection_params.h"
#include "fixtures/demo_data.h"
#include "fixtures/schema.h"

#include <cstring>
#include <fstream>
#include <iostream>

using namespace lumvik;

int main(int argc, char** argv) {
    try {
        std::filesystem::path dir = makeSystemPlatform()->programDirectory();
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
                dir = std::filesystem::absolute(argv[++i]);
            } else {
                std::cerr << "usage: lumvik-demo [--dir DIR]\n";
                return 2;
            }
        }
        const auto dataDir = dir / "demo";
        std::filesystem::create_directories(dataDir);
        const std::string store = (dataDir / "store.fdb").string();
        const std::string erp = (dataDir / "erp.fdb").string();
        // A fresh demo every time: the old files go first.
        std::filesystem::remove(store);
        std::filesystem::remove(erp);

        tools::createStoreDatabase(store, "SYSDBA", "", {.markColumns = false});
        tools::createErpDatabase(erp, "SYSDBA", "");
        {
            db::Connection erpConnection("demo-erp");
            erpConnection.params().set("Database", erp);
            erpConnection.params().set("User_Name", "SYSDBA");
            tools::fillDemoErp(erpConnection);
            db::Connection storeConnection("demo-store");
            storeConnection.params().set("Database", store);
            storeConnection.params().set("User_Name", "SYSDBA");
            tools::fillDemoStore(storeConnection);
        }

        writeSettings(dir / kSettingsFileName, Settings{.source = store,
                                                        .target = "",
                                                        .transferMode = 0,
                                                        .serverKind = 1,
                                                        .allDates = false,
                                                        .tempProduct = tools::kDemoTempProduct});
        // It holds a password: its owner's alone, before the password is in it, also when an older
        // file was readable by all.
        const auto definitions = dir / db::kConnectionsFileName;
        std::filesystem::remove(definitions);
        std::ofstream(definitions, std::ios::binary).close();
        std::filesystem::permissions(
            definitions, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        std::ofstream(definitions, std::ios::binary)
            << db::connectionEntryText(erp, db::kLinuxServerPassword);

        // The sibling programs are played by the stand-in, copied under their names beside the program.
        const auto standIn = dir / "sibling-standin";
        if (std::filesystem::exists(standIn)) {
            for (const char* sibling : {"Harvo.exe", "Quorrel.exe", "Wendry.exe"})
                std::filesystem::copy_file(standIn, dir / sibling,
                                           std::filesystem::copy_options::overwrite_existing);
            std::filesystem::remove(dir / "siblings.log");
        }

        std::cout << "demo store database: " << store << "\n"
                  << "demo ERP database:   " << erp << "\n"
                  << "settings:            " << (dir / kSettingsFileName).string() << "\n"
                  << "connections:         " << (dir / db::kConnectionsFileName).string() << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "lumvik-demo: " << e.what() << "\n";
        return 1;
    }
}
