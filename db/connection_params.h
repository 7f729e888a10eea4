#pragma once

// The two connections of the program and where their parameters come from: the ERP connection
// reads the entry "Orvenna" of "dbxconnections.ini" beside the program at its first connect; the
// store connection is given its whole list by the transfer run before every connect.

#include "db/sql_access.h"

#include <filesystem>
#include <string>

namespace lumvik::db {

inline constexpr const char* kConnectionsFileName = "dbxconnections.ini";
inline constexpr const char* kErpEntryName = "Orvenna";

// The store connection's passwords by server kind (0 "Windows", 1 "Linux").
inline constexpr const char* kWindowsServerPassword = "qorvexdal";
inline constexpr const char* kLinuxServerPassword = "plintova";

// Makes the connection load its parameter lines from the entry "Orvenna" of the definitions file
// (normally "dbxconnections.ini" beside the program) at its first successful connect; later connects keep the
// lines read then, even when the file changes. A missing file, a missing section, or a section without
// DriverName or Database makes the connect fail with a DbError that names what is missing.
void useConnectionEntry(Connection& connection, const std::filesystem::path& file,
                        const std::string& entry = kErpEntryName);

// Writes the store connection's parameter list: Database is the Source Path text; the Password
// follows the server kind, and with no server kind chosen (-1) the Password line stays as it was.
void writeStoreParams(Connection& store, const std::string& sourcePath, int serverKind);

// The lines of a definitions-file entry, as they are to be written for the demo and the tests.
[[nodiscard]] std::string connectionEntryText(const std::string& database, const std::string& password);

}  // namespace lumvik::db
