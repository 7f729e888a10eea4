#pragma once

// The main window's non-visual half: the two connections with every statement object and row set
// bound to them, the process-wide flags and counters, the machine address list, and the handlers of
// start-up and leaving. The Qt window and the unattended transfer both drive it through an Operator.
//
// Threading: everything here runs on the window's thread, one handler at a time.

#include "app/shell/operator.h"
#include "app/shell/platform.h"
#include "db/sql_access.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace lumvik {

inline constexpr const char* kReleaseTransferState = "UPDATE TRAN_STATE SET STATE = '0' ";
inline constexpr const char* kExitQuestion = "確定離開本系統.  Exit now?";

// Where the window finds its two files; beside the program unless said otherwise.
struct FormFiles {
    std::filesystem::path settings;     // "FormLumvik.ini"
    std::filesystem::path connections;  // "dbxconnections.ini"
};

class FormCore {
  public:
    FormCore(Platform& platform, Operator& op, FormFiles files = {});
    ~FormCore();
    FormCore(const FormCore&) = delete;
    FormCore& operator=(const FormCore&) = delete;

    [[nodiscard]] Platform& platform() const { return platform_; }
    [[nodiscard]] Operator& op() const { return op_; }
    // The settings file read at start-up and written at leaving: the one given, else FormLumvik.ini
    // beside the program.
    [[nodiscard]] const std::filesystem::path& settingsFile() const { return files_.settings; }
    [[nodiscard]] const std::filesystem::path& connectionsFile() const { return files_.connections; }

    // Window creation: the settings into the choices (and the lock wait into both connections), the
    // machine list from MCH_ITEM, disconnect.
    // A failure (the ERP database unreachable) leaves the settings loaded and the lists empty and
    // reaches the caller, which shows it.
    void FormCreate();

    // The exit button: releases the transfer state. True when the window is then to close.
    bool bsSkinButton2Click();
    // A close request: writes the settings, asks, and on Yes releases the transfer state and removes
    // the scratch objects. True when the window may close.
    bool FormClose();
    // Window destruction: releases the transfer state once more.
    void FormDestroy();
    // Leaving on a stop request (a signal): a close without the question. Writes the settings,
    // releases the transfer state and removes the scratch objects.
    void leaveOnStop();

    // Seconds a statement of either connection waits for a row another connection holds.
    void setLockWait(int seconds);

    // "UPDATE TRAN_STATE SET STATE = '0' " on the general ERP statement object.
    void releaseTransferState();

    // Removes the daily summary's scratch objects; set by the owner of the summary.
    std::function<void()> scratchCleanup;

    // Connections (ERP, store), statement objects and row sets, named as the window names them.
    db::Connection SQLConnection1{"SQLConnection1"};
    db::Connection SQLConSource{"SQLConSource"};
    db::SqlQuery SQLQuery1{SQLConnection1, "SQLQuery1"};
    db::SqlQuery SQLQuery3{SQLConnection1, "SQLQuery3"};
    db::SqlQuery SQL_TQuery{SQLConnection1, "SQL_TQuery"};
    db::SqlQuery SQL_PRODSALE{SQLConnection1, "SQL_PRODSALE"};
    db::SqlQuery SQLQuery2{SQLConSource, "SQLQuery2"};
    db::RowSet ClientDataSet1{&SQLConnection1, "ClientDataSet1"};
    db::RowSet CDS_STOCK{&SQLConnection1, "CDS_STOCK"};
    db::RowSet CDS_T1{&SQLConnection1, "CDS_T1"};
    db::RowSet CDS_T2{&SQLConnection1, "CDS_T2"};
    db::RowSet CDS_T3{&SQLConnection1, "CDS_T3"};
    db::RowSet CDS_S1{&SQLConSource, "CDS_S1"};
    db::RowSet CDS_S2{&SQLConSource, "CDS_S2"};
    db::RowSet aCDS{nullptr, "aCDS"};
    db::RowSet ACDS1{nullptr, "ACDS1"};

    // Process-wide values that outlive a run.
    bool sourceConnected = false;
    bool erpConnected = false;
    bool totalsFinding = false;
    bool missingLinesFinding = false;
    int retryCounter = 0;
    // MCH_IP of each machine-list entry, in list order.
    std::vector<std::string> machineAddresses;
    // The daily summary's scratch view and table, named anew by every summary and read by the
    // clean-up; empty at program start.
    std::string scratchView;
    std::string scratchTable;

  private:
    void writeSettingsFile() const;

    Platform& platform_;
    Operator& op_;
    FormFiles files_;
};

}  // namespace lumvik
