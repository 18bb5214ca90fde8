#pragma once
// SQLite's C functions, looked up in the shared library when the first
// database opens instead of bound when the app starts: nothing before the
// first panel needs a store. Only SqliteDatabase calls through this table.

#include "VudeKit/Expected.h"

#include <sqlite3.h>

#include <string>

// Each function the store uses, by its name without the "sqlite3_" prefix.
#define VUDE_SQLITE_FUNCTIONS(F)                                                                                       \
    F(bind_blob64)                                                                                                     \
    F(bind_double)                                                                                                     \
    F(bind_int64)                                                                                                      \
    F(bind_null)                                                                                                       \
    F(bind_text64)                                                                                                     \
    F(busy_timeout)                                                                                                    \
    F(clear_bindings)                                                                                                  \
    F(close_v2)                                                                                                        \
    F(column_blob)                                                                                                     \
    F(column_bytes)                                                                                                    \
    F(column_double)                                                                                                   \
    F(column_int64)                                                                                                    \
    F(column_text)                                                                                                     \
    F(column_type)                                                                                                     \
    F(errmsg)                                                                                                          \
    F(errstr)                                                                                                          \
    F(exec)                                                                                                            \
    F(extended_result_codes)                                                                                           \
    F(finalize)                                                                                                        \
    F(free)                                                                                                            \
    F(last_insert_rowid)                                                                                               \
    F(open_v2)                                                                                                         \
    F(prepare_v2)                                                                                                      \
    F(reset)                                                                                                           \
    F(step)

struct SqliteLibrary {
    static constexpr const char* fileName = "libsqlite3.so.0";

#define VUDE_SQLITE_MEMBER(name) decltype(&sqlite3_##name) name = nullptr;
    VUDE_SQLITE_FUNCTIONS(VUDE_SQLITE_MEMBER)
#undef VUDE_SQLITE_MEMBER

    /// Loads the library `file` and looks up every function, or says why it
    /// cannot, naming the library and the loader's reason. A loaded library
    /// stays loaded for the life of the process.
    static Expected<SqliteLibrary, std::string> load(const char* file);

    /// The system's library (`fileName`), loaded by the first call from any
    /// thread; every later call gets the same answer.
    static const Expected<SqliteLibrary, std::string>& shared();
};
