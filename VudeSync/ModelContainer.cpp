#include "VudeSync/ModelContainer.h"

#include "VudeSync/ModelContext.h"

#include <QMetaObject>

namespace {

constexpr std::int64_t kApplicationID = ModelContainer::applicationID;
constexpr std::string_view kVersionKey = "schemaVersion";

template <typename Value>
struct IsOptional : std::false_type {};
template <typename Value>
struct IsOptional<std::optional<Value>> : std::true_type {};

std::string sqlName(std::string_view name)
{
    return "\"" + std::string(name) + "\"";
}

template <StoredModel Model>
std::string tableDefinition()
{
    const auto entity = sqlName(ModelTraits<Model>::entityName);
    std::string sql = "CREATE TABLE " + entity
        + " (Z_PK INTEGER PRIMARY KEY AUTOINCREMENT, Z_RECORDNAME TEXT NOT NULL UNIQUE";
    forEachAttribute<Model>([&](auto, const auto& attribute) {
        using Value = typename std::decay_t<decltype(attribute)>::value_type;
        sql += ", " + sqlName(attribute.name) + " " + std::string(ColumnCodec<Value>::sqlType);
        if constexpr (!IsOptional<Value>::value)
            sql += " NOT NULL DEFAULT " + ColumnCodec<Value>::sqlDefault(Model{}.*(attribute.member));
    });
    if constexpr (requires { ModelTraits<Model>::noteColumn; })
        sql += ", " + sqlName(ModelTraits<Model>::noteColumn) + " INTEGER REFERENCES "
            + sqlName(ModelTraits<SyncedNote>::entityName) + "(Z_PK) ON DELETE CASCADE";
    sql += ");\n";
    // uuid is an ordinary, repeatable attribute: indexed for look-ups, never unique.
    sql += "CREATE INDEX " + sqlName(std::string(ModelTraits<Model>::entityName) + "_uuid") + " ON " + entity
        + "(\"uuid\");\n";
    if constexpr (requires { ModelTraits<Model>::noteColumn; })
        sql += "CREATE INDEX " + sqlName(std::string(ModelTraits<Model>::entityName) + "_note") + " ON " + entity
            + "(" + sqlName(ModelTraits<Model>::noteColumn) + ");\n";
    return sql;
}

std::string schemaDefinition()
{
    std::string sql = "CREATE TABLE Z_METADATA (Z_KEY TEXT PRIMARY KEY, Z_VALUE TEXT NOT NULL);\n";
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        ((sql += tableDefinition<std::tuple_element_t<I, VudeSchemaV1::Models>>()), ...);
    }(std::make_index_sequence<std::tuple_size_v<VudeSchemaV1::Models>>{});
    return sql;
}

/// Creates the tables when the file holds none yet. The check runs inside the
/// write transaction, so two processes opening a new store at once cannot
/// both create it.
Expected<void, std::string> createSchemaIfEmpty(SqliteDatabase& database)
{
    auto begun = database.execute("BEGIN IMMEDIATE");
    if (!begun)
        return unexpected(begun.error());
    auto tableCount = database.queryInteger("SELECT count(*) FROM sqlite_master");
    if (!tableCount) {
        (void)database.execute("ROLLBACK");
        return unexpected(tableCount.error());
    }
    if (tableCount->value_or(0) == 0) {
        std::string sql = schemaDefinition();
        sql += "INSERT INTO Z_METADATA VALUES ('" + std::string(kVersionKey) + "', '"
            + VudeSchemaV1::versionIdentifier.toString() + "');\n";
        sql += "PRAGMA application_id = " + std::to_string(kApplicationID) + ";";
        auto created = database.execute(sql);
        if (!created) {
            (void)database.execute("ROLLBACK");
            return unexpected("Could not create the store: " + created.error());
        }
    }
    auto committed = database.execute("COMMIT");
    if (!committed) {
        (void)database.execute("ROLLBACK");
        return unexpected(committed.error());
    }
    return {};
}

/// Refuses, before anything is written, a file that is not a database or is
/// a database of another program: one that carries another program's
/// application id, tables or not, or tables without ours. Returns whether the
/// file holds tables; a new or empty file is ours to take.
Expected<bool, std::string> checkOwnership(SqliteDatabase& database)
{
    auto tableCount = database.queryInteger("SELECT count(*) FROM sqlite_master");
    if (!tableCount)
        return unexpected(tableCount.error());
    auto applicationID = database.queryInteger("PRAGMA application_id");
    if (!applicationID)
        return unexpected(applicationID.error());
    const bool hasTables = tableCount->value_or(0) != 0;
    const std::int64_t owner = applicationID->value_or(0);
    if (owner != kApplicationID && (owner != 0 || hasTables))
        return unexpected(std::string("The file is a database of another program, not a Vude store."));
    return hasTables;
}

Expected<void, std::string> checkExistingSchema(SqliteDatabase& database)
{
    auto statement = database.prepare("SELECT Z_VALUE FROM Z_METADATA WHERE Z_KEY = ?");
    if (!statement)
        return unexpected("The store has no schema version: " + statement.error());
    statement->bindText(1, kVersionKey);
    auto row = statement->step();
    if (!row)
        return unexpected(row.error());
    if (!*row)
        return unexpected(std::string("The store has no schema version."));
    const auto text = statement->textColumn(0);
    const auto version = SchemaVersion::parse(text);
    if (!version)
        return unexpected("The store's schema version \"" + text + "\" cannot be read.");
    if (*version == VudeSchemaV1::versionIdentifier)
        return {};
    // Only a version the migration plan lists could be migrated, and the plan
    // has no custom stages; anything else is left untouched.
    return unexpected("The store has schema version " + version->toString() + ", which this version of Vude ("
                      + VudeSchemaV1::versionIdentifier.toString() + ") cannot open.");
}

} // namespace

Expected<void, std::string> ModelContainer::configureConnection(SqliteDatabase& database,
                                                                std::chrono::milliseconds busyTimeout)
{
    database.setBusyTimeout(busyTimeout);
    auto mode = database.prepare("PRAGMA journal_mode = WAL");
    if (!mode)
        return unexpected(mode.error());
    auto row = mode->step();
    if (!row)
        return unexpected(row.error());
    if (!*row || mode->textColumn(0) != "wal")
        return unexpected(std::string("The store's folder does not support a write-ahead log."));
    // In WAL mode, NORMAL loses nothing when the process dies; only a power
    // failure can take back the last commits.
    // Reading through a memory map spares a system call per page when another
    // connection's write makes this one read the table again.
    return database.execute("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON; PRAGMA mmap_size = 268435456;");
}

Expected<std::unique_ptr<ModelContainer>, std::string> ModelContainer::open(ModelConfiguration configuration)
{
    auto database = SqliteDatabase::open(configuration.url);
    if (!database)
        return unexpected("Could not open the store at " + configuration.url.string() + ": " + database.error());
    database->setBusyTimeout(configuration.busyTimeout);
    auto owned = checkOwnership(*database);
    if (!owned)
        return unexpected("Could not open the store at " + configuration.url.string() + ": " + owned.error());
    // An existing store is checked before the connection is configured:
    // switching the journal mode rewrites the file's header.
    if (*owned) {
        if (auto checked = checkExistingSchema(*database); !checked)
            return unexpected(checked.error());
    }
    auto configured = configureConnection(*database, configuration.busyTimeout);
    if (!configured)
        return unexpected("Could not open the store at " + configuration.url.string() + ": " + configured.error());

    auto created = createSchemaIfEmpty(*database);
    if (!created)
        return unexpected("Could not read the store at " + configuration.url.string() + ": " + created.error());
    auto checked = checkExistingSchema(*database);
    if (!checked)
        return unexpected(checked.error());
    return std::unique_ptr<ModelContainer>(new ModelContainer(std::move(configuration), std::move(*database)));
}

ModelContainer::ModelContainer(ModelConfiguration configuration, SqliteDatabase database)
    : m_configuration(std::move(configuration)), m_database(std::move(database))
{
}

ModelContainer::~ModelContainer() = default;

std::unique_ptr<ModelContext> ModelContainer::makeContext()
{
    return std::make_unique<ModelContext>(*this);
}

void ModelContainer::noteLocalSave()
{
    emit localSave();
}

void ModelContainer::postRemoteChange()
{
    // Queued to this object's thread, so a post from the mirror's thread still
    // reaches the observers on the main thread.
    QMetaObject::invokeMethod(this, &ModelContainer::remoteChange, Qt::AutoConnection);
}
