#include "tests/support/auto_station.h"

#include "app/shell/settings.h"
#include "db/connection_params.h"
#include "tests/support/run_fixture.h"

#include <sys/wait.h>
#include <cstdlib>

namespace lumvik::testing {

using db::Value;

void AutoStation::SetUp() {
    const char* bin = std::getenv("LUMVIK_BIN_DIR");
    ASSERT_NE(bin, nullptr) << "LUMVIK_BIN_DIR is not set";
    std::filesystem::copy_file(std::filesystem::path(bin) / "lumvik-auto", dbs.dir.path() / "lumvik-auto");
    dbs.dir.write(db::kConnectionsFileName, db::connectionEntryText(dbs.erp, kTestPassword));
    writeSettingsFor(dbs.store, "TEMP");
    erp = embeddedConnection(dbs.erp);
    store = embeddedConnection(dbs.store);
    insertRow(*erp, "TRAN_STATE", {{"STATE", Value("0")}});
    insertRow(*erp, "MCH_ITEM",
              {{"MCH_NO", Value("01")}, {"MCH_IP", Value("10.0.0.1")}, {"STOCK_ID", Value("S1")}});
    insertRow(*erp, "PRODUCT", {{"PROD_ID", Value("TEMP")}, {"PD_ITEMID", Value("I9")}});
    insertRow(*erp, "PRODUCT",
              {{"PROD_ID", Value("A1")}, {"PD_ITEMID", Value("I1")}, {"PROD_NAME", Value("排骨飯")}});
    insertRow(*store, "POS_MAIN",
              {{"SAL_DATE", Value("101/12/10")},
               {"SAL_NO", Value("01000001")},
               {"MCH_NO", Value("01")},
               {"REL_SAL", Value(240)}});
    insertRow(*store, "POS_MAST",
              {{"SAL_DATE", Value("101/12/10")},
               {"SAL_NO", Value("01000001")},
               {"ORD_NO", Value("1")},
               {"PDC_NO", Value("A1")},
               {"SAL_QTY", Value(2)},
               {"AMT", Value(240)},
               {"HEA_AMT", Value(0)},
               {"dis_share", Value(0)},
               {"ttt_share", Value(0)}});
    // The embedded engine lets one process at a time open a database file.
    erp->close();
    store->close();
}

void AutoStation::writeSettingsFor(const std::string& source, const std::string& tempProduct,
                                   const std::filesystem::path& file) {
    Settings settings;
    settings.source = source;
    settings.serverKind = 1;
    settings.tempProduct = tempProduct;
    writeSettings(file.empty() ? dbs.dir.path() / kSettingsFileName : file, settings);
}

void AutoStation::addSiblings() {
    const char* bin = std::getenv("LUMVIK_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    for (const char* sibling : {"Harvo.exe", "Quorrel.exe", "Wendry.exe"})
        std::filesystem::copy_file(std::filesystem::path(bin) / "sibling-standin", dbs.dir.path() / sibling,
                                   std::filesystem::copy_options::overwrite_existing);
}

Outcome AutoStation::runAuto(const std::string& arguments, const std::string& environment) {
    const auto dir = workingDir.empty() ? programDir : workingDir;
    const auto out = dbs.dir.path() / "out.txt";
    const auto err = dbs.dir.path() / "err.txt";
    // A station folder named in the environment of whoever runs the tests is not theirs.
    const std::string command = "cd '" + dir.string() + "' && unset LUMVIK_FOLDER && " + environment + " '" +
                                (programDir / "lumvik-auto").string() + "' " + arguments + " > '" +
                                out.string() + "' 2> '" + err.string() + "'";
    const int raw = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    o.out = readBytes(out);
    o.err = readBytes(err);
    return o;
}

}  // namespace lumvik::testing
