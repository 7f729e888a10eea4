#include "db/fb_client.h"

#include "db/error.h"

#include <firebird/Interface.h>

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <langinfo.h>

#include <clocale>
#include <cstring>
#endif

namespace lumvik::db {

namespace {

#ifndef _WIN32
// The client library and the embedded engine turn the UTF-8 file names we declare into the file
// system's names through the character set of LC_CTYPE. A program that never set its locale is in the
// "C" locale, whose ASCII cannot hold a folder named in Chinese ("Cannot transliterate character
// between character sets"), while Linux names files in UTF-8. So LC_CTYPE is made UTF-8 when it is
// not, before the library is loaded.
void useUtf8FileNames() {
    const char* codeset = ::nl_langinfo(CODESET);
    if (codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0))
        return;
    for (const char* locale : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
        if (std::setlocale(LC_CTYPE, locale) != nullptr) return;
}
#endif

}  // namespace

std::string clientLibraryName() {
    if (const char* env = std::getenv("LUMVIK_FBCLIENT"); env != nullptr && *env != '\0') return env;
#ifdef _WIN32
    return "fbclient.dll";
#else
    return "libfbclient.so.2";
#endif
}

Firebird::IMaster* loadClientLibrary(const std::string& name) {
    using MasterFn = Firebird::IMaster* (*)();
#ifdef _WIN32
    HMODULE lib = LoadLibraryA(name.c_str());
    if (lib == nullptr) throw DbError("Unable to load the database client library " + name);
    auto fn = reinterpret_cast<MasterFn>(GetProcAddress(lib, "fb_get_master_interface"));
#else
    void* lib = dlopen(name.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (lib == nullptr) {
        const char* why = dlerror();
        throw DbError("Unable to load the database client library " + name +
                      (why ? std::string(": ") + why : ""));
    }
    auto fn = reinterpret_cast<MasterFn>(dlsym(lib, "fb_get_master_interface"));
#endif
    if (fn == nullptr)
        throw DbError("The database client library " + name + " has no entry point fb_get_master_interface");
    return fn();
}

Firebird::IMaster* clientMaster() {
    // Loaded once; a failed load is retried at the next use so that an installed library is found.
    static Firebird::IMaster* master = nullptr;
    if (master == nullptr) {
#ifndef _WIN32
        useUtf8FileNames();
#endif
        master = loadClientLibrary(clientLibraryName());
    }
    return master;
}

}  // namespace lumvik::db
