#include "VudeSync/SqliteDatabase.h"

#include "VudeSync/SqliteLibrary.h"

#include <utility>

namespace {

// Called only with a handle that SQLite gave out, which exists only once the
// library has loaded: a statement never prepared or a database never opened
// stays away from the table, since the library may be missing.
const SqliteLibrary& sqlite()
{
    return *SqliteLibrary::shared();
}

std::string messageOf(sqlite3* database, int code)
{
    if (database)
        return sqlite().errmsg(database);
    return sqlite().errstr(code);
}

const char* const kNotPrepared = "the statement is not prepared";
const char* const kNotOpen = "the database is not open";

} // namespace

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_statement(std::exchange(other.m_statement, nullptr)), m_database(std::exchange(other.m_database, nullptr))
{
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        if (m_statement)
            sqlite().finalize(m_statement);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_database = std::exchange(other.m_database, nullptr);
    }
    return *this;
}

SqliteStatement::~SqliteStatement()
{
    if (m_statement)
        sqlite().finalize(m_statement);
}

void SqliteStatement::bindNull(int index)
{
    if (m_statement)
        sqlite().bind_null(m_statement, index);
}

void SqliteStatement::bindInteger(int index, std::int64_t value)
{
    if (m_statement)
        sqlite().bind_int64(m_statement, index, value);
}

void SqliteStatement::bindDouble(int index, double value)
{
    if (m_statement)
        sqlite().bind_double(m_statement, index, value);
}

void SqliteStatement::bindText(int index, std::string_view value)
{
    if (m_statement)
        sqlite().bind_text64(m_statement, index, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqliteStatement::bindBlob(int index, std::span<const std::uint8_t> bytes)
{
    if (m_statement)
        sqlite().bind_blob64(m_statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

Expected<bool, std::string> SqliteStatement::step()
{
    if (!m_statement)
        return unexpected(std::string(kNotPrepared));
    const int code = sqlite().step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    auto message = messageOf(m_database, code);
    // A failed statement must be reset before the connection can end its
    // transaction cleanly.
    sqlite().reset(m_statement);
    return unexpected(std::move(message));
}

Expected<void, std::string> SqliteStatement::run()
{
    auto stepped = step();
    if (!stepped)
        return unexpected(stepped.error());
    sqlite().reset(m_statement);
    return {};
}

void SqliteStatement::reset()
{
    if (m_statement)
        sqlite().reset(m_statement);
}

bool SqliteStatement::isNull(int column) const
{
    return !m_statement || sqlite().column_type(m_statement, column) == SQLITE_NULL;
}

std::int64_t SqliteStatement::integerColumn(int column) const
{
    return m_statement ? sqlite().column_int64(m_statement, column) : 0;
}

double SqliteStatement::doubleColumn(int column) const
{
    return m_statement ? sqlite().column_double(m_statement, column) : 0.0;
}

std::string SqliteStatement::textColumn(int column) const
{
    return std::string(textColumnView(column));
}

std::string_view SqliteStatement::textColumnView(int column) const
{
    if (!m_statement)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite().column_text(m_statement, column));
    if (!text)
        return {};
    return std::string_view(text, static_cast<std::size_t>(sqlite().column_bytes(m_statement, column)));
}

bool SqliteStatement::isBlob(int column) const
{
    return m_statement && sqlite().column_type(m_statement, column) == SQLITE_BLOB;
}

std::span<const std::uint8_t> SqliteStatement::blobColumnView(int column) const
{
    if (!m_statement)
        return {};
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite().column_blob(m_statement, column));
    if (!bytes)
        return {};
    return {bytes, static_cast<std::size_t>(sqlite().column_bytes(m_statement, column))};
}

void SqliteDatabase::Closer::operator()(sqlite3* handle) const
{
    // close_v2 defers the close until the last statement is finalized, so the
    // order in which owners are destroyed does not matter.
    sqlite().close_v2(handle);
}

Expected<SqliteDatabase, std::string> SqliteDatabase::open(const std::filesystem::path& path, OpenMode mode)
{
    if (const auto& library = SqliteLibrary::shared(); !library)
        return unexpected(library.error());
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (mode == OpenMode::readWriteCreate)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3* handle = nullptr;
    const int code = sqlite().open_v2(path.c_str(), &handle, flags, nullptr);
    SqliteDatabase database;
    database.m_handle.reset(handle);
    if (code != SQLITE_OK)
        return unexpected(messageOf(handle, code));
    sqlite().extended_result_codes(handle, 1);
    return database;
}

Expected<void, std::string> SqliteDatabase::execute(std::string_view sql)
{
    if (!m_handle)
        return unexpected(std::string(kNotOpen));
    // sqlite3_exec needs a terminated string.
    const std::string text(sql);
    char* error = nullptr;
    const int code = sqlite().exec(m_handle.get(), text.c_str(), nullptr, nullptr, &error);
    if (code == SQLITE_OK)
        return {};
    std::string message = error ? error : messageOf(m_handle.get(), code);
    sqlite().free(error);
    return unexpected(std::move(message));
}

Expected<SqliteStatement, std::string> SqliteDatabase::prepare(std::string_view sql)
{
    if (!m_handle)
        return unexpected(std::string(kNotOpen));
    sqlite3_stmt* statement = nullptr;
    const int code = sqlite().prepare_v2(m_handle.get(), sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite().finalize(statement);
        return unexpected(messageOf(m_handle.get(), code));
    }
    return SqliteStatement(statement, m_handle.get());
}

Expected<SqliteStatement*, std::string> SqliteDatabase::cached(std::string_view sql)
{
    auto found = m_cache.find(std::string(sql));
    if (found == m_cache.end()) {
        auto statement = prepare(sql);
        if (!statement)
            return unexpected(statement.error());
        found = m_cache.emplace(std::string(sql), std::move(*statement)).first;
    } else {
        sqlite().reset(found->second.m_statement);
        sqlite().clear_bindings(found->second.m_statement);
    }
    return &found->second;
}

Expected<std::optional<std::int64_t>, std::string> SqliteDatabase::queryInteger(std::string_view sql)
{
    auto statement = prepare(sql);
    if (!statement)
        return unexpected(statement.error());
    auto stepped = statement->step();
    if (!stepped)
        return unexpected(stepped.error());
    if (!*stepped)
        return std::optional<std::int64_t>();
    return std::optional<std::int64_t>(statement->integerColumn(0));
}

std::int64_t SqliteDatabase::lastInsertRowId() const
{
    return m_handle ? sqlite().last_insert_rowid(m_handle.get()) : 0;
}

void SqliteDatabase::setBusyTimeout(std::chrono::milliseconds timeout)
{
    if (m_handle)
        sqlite().busy_timeout(m_handle.get(), static_cast<int>(timeout.count()));
}

std::string SqliteDatabase::lastErrorMessage() const
{
    return m_handle ? messageOf(m_handle.get(), SQLITE_ERROR) : kNotOpen;
}
