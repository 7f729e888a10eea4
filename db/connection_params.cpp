#include "db/connection_params.h"

#include "base/ini_file.h"
#include "base/text.h"

#include <memory>

namespace lumvik::db {

void useConnectionEntry(Connection& connection, const std::filesystem::path& file, const std::string& entry) {
    auto loaded = std::make_shared<bool>(false);
    connection.setBeforeConnect([loaded, file, entry](Connection& c) {
        if (*loaded) return;
        if (!std::filesystem::exists(file))
            throw DbError("The connection definitions file " + file.string() + " does not exist");
        IniFile ini(file);
        if (!ini.hasSection(entry))
            throw DbError("The connection definitions file " + file.string() + " has no section [" + entry +
                          "]");
        const auto lines = ini.section(entry);
        auto find = [&](std::string_view name) {
            for (const auto& [key, value] : lines)
                if (text::equalsNoCase(key, name)) return text::trimmed(value);
            return std::string();
        };
        const std::string driver = find("DriverName");
        if (driver.empty())
            throw DbError("The section [" + entry + "] of " + file.string() + " has no DriverName");
        if (!text::equalsNoCase(driver, "Interbase") && !text::equalsNoCase(driver, "Firebird"))
            throw DbError("Unknown driver " + driver + " in the section [" + entry + "] of " + file.string() +
                          " (the driver is Interbase)");
        if (find("Database").empty())
            throw DbError("The section [" + entry + "] of " + file.string() + " has no Database");
        // The entry replaces the whole parameter list.
        c.params().clear();
        for (const auto& [key, value] : lines)
            c.params().set(key, value);
        *loaded = true;
    });
}

void writeStoreParams(Connection& store, const std::string& sourcePath, int serverKind) {
    ParamList& p = store.params();
    p.set("DriverName", "Interbase");
    p.set("Database", sourcePath);
    p.set("RoleName", "RoleName");
    p.set("User_Name", "sysdba");
    if (serverKind == 0)
        p.set("Password", kWindowsServerPassword);
    else if (serverKind == 1)
        p.set("Password", kLinuxServerPassword);
    p.set("SQLDialect", "3");
    p.set("BlobSize", "-1");
    p.set("CommitRetain", "False");
    p.set("WaitOnLocks", "True");
    p.set("LocaleCode", "0000");
    p.set("Interbase TransIsolation", "ReadCommited");
    p.set("Trim Char", "False");
}

std::string connectionEntryText(const std::string& database, const std::string& password) {
    return std::string("[") + kErpEntryName + "]\r\n" +
           "DriverName=Interbase\r\n"
           "Database=" +
           database +
           "\r\n"
           "RoleName=RoleName\r\n"
           "User_Name=sysdba\r\n"
           "Password=" +
           password +
           "\r\n"
           "ServerCharSet=\r\n"
           "SQLDialect=3\r\n"
           "BlobSize=-1\r\n"
           "CommitRetain=False\r\n"
           "WaitOnLocks=True\r\n"
           "ErrorResourceFile=\r\n"
           "LocaleCode=0000\r\n"
           "Interbase TransIsolation=ReadCommited\r\n"
           "Trim Char=False\r\n";
}

}  // namespace lumvik::db
