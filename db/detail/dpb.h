#pragma once

// Internal to the database layer: the parameter block of an attach or a create.

#include "db/detail/status.h"

namespace lumvik::db {

// An empty database parameter block that declares the file name and the strings put into it (user,
// password, role) UTF-8, as texts are inside the program. Undeclared, the client library reads them in
// the system's character set: a folder named in Chinese then fails with "Cannot transliterate character
// between character sets", or names another file. The caller disposes of it.
[[nodiscard]] Firebird::IXpbBuilder* newUtf8Dpb(Status& st);

}  // namespace lumvik::db
