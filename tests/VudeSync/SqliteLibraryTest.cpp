// SQLite as the store finds it when the first database opens: the real
// library, and what an open says when the library cannot be had.
#include "VudeSync/ModelContainer.h"
#include "VudeSync/SqliteDatabase.h"
#include "VudeSync/SqliteLibrary.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

namespace {

std::set<std::string> namesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(SqliteLibrary, WhatCannotBeLoadedSaysWhy)
{
    QTemporaryDir scratch;
    const fs::path text = fs::path(scratch.path().toStdString()) / "text.so";
    std::ofstream(text) << "not a library\n";
    const struct {
        std::string file;
        std::string error;
        std::string reason; // dlerror()'s words, kept after the library's name
        const char* why;
    } rows[] = {
        {"libvude-no-such-sqlite.so.0", "cannot load the SQLite library libvude-no-such-sqlite.so.0: ",
         "cannot open shared object file", "no such library on the search path"},
        {text.string(), "cannot load the SQLite library " + text.string() + ": ", text.string(), "not a library"},
        // Any library the process already has will do for one without SQLite.
        {"libz.so.1", "the SQLite library libz.so.1 lacks sqlite3_bind_blob64: ", "undefined symbol: sqlite3_bind_blob64",
         "another library under the name"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto library = SqliteLibrary::load(row.file.c_str());
        ASSERT_FALSE(library);
        EXPECT_TRUE(library.error().starts_with(row.error)) << library.error();
        EXPECT_NE(library.error().find(row.reason, row.error.size()), std::string::npos) << library.error();
    }
}

TEST(SqliteLibrary, ALoadedTableWritesARowTheStoreReadsBack)
{
    const auto library = SqliteLibrary::load(SqliteLibrary::fileName);
    ASSERT_TRUE(library) << library.error();
    QTemporaryDir scratch;
    const fs::path path = fs::path(scratch.path().toStdString()) / "round-trip.db";

    sqlite3* handle = nullptr;
    ASSERT_EQ(library->open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    ASSERT_EQ(library->exec(handle, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(library->prepare_v2(handle, "INSERT INTO t (name) VALUES (?1)", -1, &insert, nullptr), SQLITE_OK);
    const char text[] = "caf\xC3\xA9 \0 after"; // a NUL inside must survive too
    const std::string name(text, sizeof text - 1);
    library->bind_text64(insert, 1, name.data(), name.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    EXPECT_EQ(library->step(insert), SQLITE_DONE);
    const auto id = library->last_insert_rowid(handle);
    library->finalize(insert);
    ASSERT_EQ(library->close_v2(handle), SQLITE_OK);

    auto database = SqliteDatabase::open(path, SqliteDatabase::OpenMode::readWrite);
    ASSERT_TRUE(database) << database.error();
    auto select = database->prepare("SELECT id, name FROM t");
    ASSERT_TRUE(select) << select.error();
    auto row = select->step();
    ASSERT_TRUE(row && *row);
    EXPECT_EQ(select->integerColumn(0), id);
    EXPECT_EQ(select->textColumn(1), name);
    EXPECT_EQ(select->step().value_or(true), false);
}

TEST(SqliteLibrary, ANeverOpenedDatabaseAndAnUnpreparedStatementFailPlainly)
{
    SqliteDatabase database;
    const auto executed = database.execute("CREATE TABLE t (a)");
    ASSERT_FALSE(executed);
    EXPECT_EQ(executed.error(), "the database is not open");
    EXPECT_FALSE(database.prepare("SELECT 1"));
    EXPECT_FALSE(database.cached("SELECT 1"));
    EXPECT_FALSE(database.queryInteger("SELECT 1"));
    database.setBusyTimeout(std::chrono::milliseconds(10));
    EXPECT_EQ(database.lastInsertRowId(), 0);
    EXPECT_EQ(database.lastErrorMessage(), "the database is not open");

    SqliteStatement statement;
    statement.bindInteger(1, 7);
    statement.bindText(2, "text");
    EXPECT_FALSE(statement.step());
    EXPECT_FALSE(statement.run());
    statement.reset();
    EXPECT_TRUE(statement.isNull(0));
    EXPECT_FALSE(statement.isBlob(0));
    EXPECT_EQ(statement.integerColumn(0), 0);
    EXPECT_EQ(statement.textColumnView(0), "");
    EXPECT_TRUE(statement.blobColumnView(0).empty());
}

// Runs in a child whose loader finds another library under SQLite's name
// first: both stores fail to open with the library's reason, and the folder
// is as it was.
void openStoresWithoutSqlite()
{
    bool intact = false;
    {
        QTemporaryDir scratch;
        const fs::path folder = scratch.path().toStdString();
        const std::string kept = "rows the user cannot lose\n";
        std::ofstream(folder / "Vude.store", std::ios::binary) << kept;
        for (const char* name : {"Vude.store", "New.store"}) {
            auto container = ModelContainer::open(ModelConfiguration{.url = folder / name});
            std::cerr << (container ? std::string("opened") : container.error()) << '\n';
        }
        std::ifstream file(folder / "Vude.store", std::ios::binary);
        const std::string stored(std::istreambuf_iterator<char>(file), {});
        intact = namesIn(folder) == std::set<std::string>{"Vude.store"} && stored == kept;
        std::cerr << (intact ? "intact" : "changed") << std::endl;
    }
    // No exit handlers: the child only reports.
    std::_Exit(intact ? 0 : 1);
}

// Where the loader found `soname`, loading it if it must.
fs::path loadedFile(const char* soname)
{
    void* handle = dlopen(soname, RTLD_LAZY | RTLD_LOCAL);
    if (!handle)
        return {};
    link_map* map = nullptr;
    fs::path file;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map)
        file = map->l_name;
    dlclose(handle);
    return file;
}

TEST(SqliteLibrary, AStoreFailsToOpenWithTheLibrarysReasonAndLosesNothingWhenTheLibraryLacksAFunction)
{
    // The loader reads its search path when a process starts, so the store is
    // opened in a child started with the stand-in first on it. The child runs
    // this test again up to the statement: the folder has a fixed name.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path folder = fs::temp_directory_path() / "sqlite-stand-in";
    const fs::path zlib = loadedFile("libz.so.1");
    ASSERT_FALSE(zlib.empty());
    fs::create_directories(folder);
    if (!fs::is_symlink(folder / SqliteLibrary::fileName))
        fs::create_symlink(zlib, folder / SqliteLibrary::fileName);
    const char* inherited = std::getenv("LD_LIBRARY_PATH");
    const std::string previous = inherited ? inherited : "";
    setenv("LD_LIBRARY_PATH", (folder.string() + (previous.empty() ? "" : ":" + previous)).c_str(), 1);

    const std::string reason = "the SQLite library libsqlite3.so.0 lacks sqlite3_bind_blob64: [^\n]*undefined symbol";
    EXPECT_EXIT(openStoresWithoutSqlite(), testing::ExitedWithCode(0),
                "Could not open the store at [^\n]*/Vude.store: " + reason + ".*\n"
                "Could not open the store at [^\n]*/New.store: " + reason + ".*\nintact");

    if (inherited)
        setenv("LD_LIBRARY_PATH", previous.c_str(), 1);
    else
        unsetenv("LD_LIBRARY_PATH");
    fs::remove_all(folder);
}

} // namespace
