#pragma once
// A thin RAII layer over SQLite's C API: a connection that closes itself and
// prepared statements that finalize themselves. Failures come back as values
// carrying SQLite's own message.

#include "VudeKit/Expected.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(SqliteStatement&&) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();

    bool isPrepared() const { return m_statement != nullptr; }

    // Parameters are numbered from 1, as in SQL.
    void bindNull(int index);
    void bindInteger(int index, std::int64_t value);
    void bindDouble(int index, double value);
    void bindText(int index, std::string_view value);
    void bindBlob(int index, std::span<const std::uint8_t> bytes);

    /// Advances to the next row: true when a row is ready, false when done.
    Expected<bool, std::string> step();
    /// Runs a statement that returns no rows.
    Expected<void, std::string> run();
    /// Makes the statement ready to run again, keeping its bindings.
    void reset();

    // Columns are numbered from 0.
    bool isNull(int column) const;
    std::int64_t integerColumn(int column) const;
    double doubleColumn(int column) const;
    std::string textColumn(int column) const;
    /// The text without a copy; valid until the next step or reset.
    std::string_view textColumnView(int column) const;
    bool isBlob(int column) const;
    /// The bytes without a copy; valid until the next step or reset.
    std::span<const std::uint8_t> blobColumnView(int column) const;

private:
    friend class SqliteDatabase;
    SqliteStatement(sqlite3_stmt* statement, sqlite3* database) : m_statement(statement), m_database(database) {}

    sqlite3_stmt* m_statement = nullptr;
    sqlite3* m_database = nullptr;
};

class SqliteDatabase {
public:
    enum class OpenMode { readWriteCreate, readWrite };

    /// Opens (or creates) the database file. The connection is for one thread
    /// at a time; SQLite's own mutexes are not relied on. The first open loads
    /// the library; without it, every open fails with the loader's reason.
    static Expected<SqliteDatabase, std::string> open(const std::filesystem::path& path,
                                                      OpenMode mode = OpenMode::readWriteCreate);

    SqliteDatabase() = default;
    SqliteDatabase(SqliteDatabase&&) noexcept = default;
    SqliteDatabase& operator=(SqliteDatabase&&) noexcept = default;

    bool isOpen() const { return m_handle != nullptr; }

    /// Runs one or more statements that return no rows.
    Expected<void, std::string> execute(std::string_view sql);
    Expected<SqliteStatement, std::string> prepare(std::string_view sql);
    /// The statement for `sql`, prepared at its first use on this connection
    /// and kept for the next ones: reset, its bindings cleared. Valid while
    /// the connection is open; one use of each text at a time.
    Expected<SqliteStatement*, std::string> cached(std::string_view sql);
    /// The first column of the first row of a query, as an integer; none when
    /// the query returns no row.
    Expected<std::optional<std::int64_t>, std::string> queryInteger(std::string_view sql);

    std::int64_t lastInsertRowId() const;
    /// How long a statement waits for another connection's lock before failing.
    void setBusyTimeout(std::chrono::milliseconds timeout);
    /// The last error on this connection, with the statement's context.
    std::string lastErrorMessage() const;

private:
    struct Closer {
        void operator()(sqlite3* handle) const;
    };
    std::unique_ptr<sqlite3, Closer> m_handle;
    // After the handle, so the statements are finalized before it closes.
    std::unordered_map<std::string, SqliteStatement> m_cache;
};
