#include "app/shell/form_core.h"

#include "app/shell/machine_list.h"
#include "app/shell/settings.h"
#include "db/connection_params.h"

namespace lumvik {

FormCore::FormCore(Platform& platform, Operator& op, FormFiles files)
    : platform_(platform), op_(op), files_(std::move(files)) {
    if (files_.settings.empty()) files_.settings = platform_.programDirectory() / kSettingsFileName;
    if (files_.connections.empty())
        files_.connections = platform_.programDirectory() / db::kConnectionsFileName;
    db::useConnectionEntry(SQLConnection1, files_.connections);
    SQLConnection1.setAfterConnect([this] { erpConnected = true; });
    SQLConSource.setAfterConnect([this] { sourceConnected = true; });
}

FormCore::~FormCore() {
    SQLConSource.close();
    SQLConnection1.close();
}

void FormCore::FormCreate() {
    totalsFinding = false;
    missingLinesFinding = false;

    const Settings settings = readSettings(settingsFile());
    setLockWait(readLockWait(settingsFile()));
    op_.setSourcePath(settings.source);
    op_.setTargetPath(settings.target);
    op_.setTransferMode(settings.transferMode);
    op_.setServerKind(settings.serverKind);
    op_.setAllDates(settings.allDates);
    op_.setTempProduct(settings.tempProduct);

    ClientDataSet1.close();
    ClientDataSet1.setCommandText(kMachineListQuery);
    ClientDataSet1.open();  // the first use of the ERP connection connects it
    machineAddresses.clear();
    std::vector<std::string> entries;
    for (ClientDataSet1.first(); !ClientDataSet1.eof(); ClientDataSet1.next()) {
        machineAddresses.push_back(ClientDataSet1.field("MCH_IP").asString());
        entries.push_back(
            machineEntry(ClientDataSet1.field(0).asString(), ClientDataSet1.field(1).asString()));
    }
    op_.setMachines(entries);
    ClientDataSet1.close();
    SQLConnection1.close();
}

void FormCore::releaseTransferState() {
    SQLQuery1.close();
    SQLQuery1.sql().clear();
    SQLQuery1.sql().add(kReleaseTransferState);
    SQLQuery1.execSql();
}

bool FormCore::bsSkinButton2Click() {
    releaseTransferState();
    return true;
}

void FormCore::setLockWait(int seconds) {
    SQLConnection1.setLockWait(seconds);
    SQLConSource.setLockWait(seconds);
}

void FormCore::writeSettingsFile() const {
    writeSettings(settingsFile(), Settings{
                                      .source = op_.sourcePath(),
                                      .target = op_.targetPath(),
                                      .transferMode = op_.transferMode(),
                                      .serverKind = op_.serverKind(),
                                      .allDates = op_.allDates(),
                                      .tempProduct = op_.tempProduct(),
                                  });
}

bool FormCore::FormClose() {
    writeSettingsFile();
    if (!op_.confirm(kExitQuestion)) return false;
    releaseTransferState();
    if (scratchCleanup) scratchCleanup();
    return true;
}

void FormCore::FormDestroy() {
    releaseTransferState();
}

void FormCore::leaveOnStop() {
    writeSettingsFile();
    releaseTransferState();
    if (scratchCleanup) scratchCleanup();
}

}  // namespace lumvik
