#pragma once

// The Firebird client library, loaded on first use so that a machine without it gets an error that
// names the library instead of a program that does not start.

#include <string>

namespace Firebird {
class IMaster;
}

namespace lumvik::db {

// The name tried first: $LUMVIK_FBCLIENT when set, else the platform's client library name.
[[nodiscard]] std::string clientLibraryName();

// The master interface of the client library, loading it on the first call. Throws DbError, naming
// the library, when it cannot be loaded or lacks its entry point.
[[nodiscard]] Firebird::IMaster* clientMaster();

// Loads a client library by this name and returns its master interface, or throws DbError naming
// it. The library stays loaded for the life of the process.
[[nodiscard]] Firebird::IMaster* loadClientLibrary(const std::string& name);

}  // namespace lumvik::db
