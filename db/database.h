#pragma once

#include <string>

namespace lumvik::db {

// Creates a new database (SQL dialect 3, no default character set) and closes it again. With
// forcedWrites false the engine does not flush every commit to disk: for tests only.
void createDatabase(const std::string& database, const std::string& user, const std::string& password,
                    bool forcedWrites = true);
// Removes a database the way the engine does it (it must not be in use).
void dropDatabase(const std::string& database, const std::string& user, const std::string& password);

}  // namespace lumvik::db
