#include "VudeSync/SqliteLibrary.h"

#include <dlfcn.h>

namespace {

std::string loaderError()
{
    // dlerror() is per thread in glibc, so no lock is needed for the text.
    const char* why = dlerror();
    return why ? why : "unknown error";
}

} // namespace

Expected<SqliteLibrary, std::string> SqliteLibrary::load(const char* file)
{
    // RTLD_LOCAL: SQLite's symbols stay out of the app's own lookups.
    void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return unexpected("cannot load the SQLite library " + std::string(file) + ": " + loaderError());
    SqliteLibrary library;
    std::string missing;
#define VUDE_SQLITE_LOOKUP(name)                                                                                       \
    if (missing.empty()) {                                                                                             \
        dlerror();                                                                                                     \
        library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, "sqlite3_" #name));                      \
        if (!library.name)                                                                                             \
            missing = "sqlite3_" #name;                                                                                \
    }
    VUDE_SQLITE_FUNCTIONS(VUDE_SQLITE_LOOKUP)
#undef VUDE_SQLITE_LOOKUP
    if (!missing.empty()) {
        auto error = "the SQLite library " + std::string(file) + " lacks " + missing + ": " + loaderError();
        dlclose(handle);
        return unexpected(std::move(error));
    }
    return library;
}

const Expected<SqliteLibrary, std::string>& SqliteLibrary::shared()
{
    static const Expected<SqliteLibrary, std::string> loaded = load(fileName);
    return loaded;
}
