#include "VudeSync/CloudMirror.h"

#include "Platform/Core/MainThread.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/SerialQueue.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/Schema.h"
#include "VudeSync/SqliteDatabase.h"

#include <QVariant>

#include <cmath>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

using nlohmann::json;

namespace {

using Models = VudeSchemaV1::Models;
using TraceSink = CloudMirror::TraceSink;

constexpr std::string_view kCreateMirrorTable =
    "CREATE TABLE IF NOT EXISTS Z_MIRROR ("
    "Z_RECORDNAME TEXT PRIMARY KEY, "
    "Z_ENTITY TEXT NOT NULL, "
    "Z_MODIFIED INTEGER NOT NULL, "
    "Z_WRITER TEXT NOT NULL, "
    "Z_DIGEST INTEGER NOT NULL, "
    "Z_DELETED INTEGER NOT NULL, "
    "Z_PARENT TEXT) WITHOUT ROWID;"
    // Deletion marks are looked up by age to be forgotten.
    "CREATE INDEX IF NOT EXISTS Z_MIRROR_MARKS ON Z_MIRROR (Z_MODIFIED) WHERE Z_DELETED = 1;"
    // The rows saves touched since the last pass, newest last: one entry per
    // record name, renumbered at each change.
    "CREATE TABLE IF NOT EXISTS Z_MIRRORCHANGES ("
    "Z_SEQ INTEGER PRIMARY KEY AUTOINCREMENT, "
    "Z_RECORDNAME TEXT NOT NULL UNIQUE, "
    "Z_ENTITY TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS Z_MIRRORMETA (Z_KEY TEXT PRIMARY KEY, Z_VALUE) WITHOUT ROWID;";

// Set once a pass compared every row while the triggers were in place; until
// then the change list may miss rows saved before.
constexpr std::string_view kTrackedKey = "tracked";

template <StoredModel Model>
constexpr bool hasNote = requires { ModelTraits<Model>::noteColumn; };

template <typename Visitor>
void forEachModel(Visitor&& visit)
{
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (visit(std::type_identity<std::tuple_element_t<I, Models>>{}), ...);
    }(std::make_index_sequence<std::tuple_size_v<Models>>{});
}

bool isSchemaEntity(std::string_view entity)
{
    bool known = false;
    forEachModel([&]<typename Model>(std::type_identity<Model>) {
        known = known || ModelTraits<Model>::entityName == entity;
    });
    return known;
}

std::string sqlName(std::string_view name)
{
    return "\"" + std::string(name) + "\"";
}

std::int64_t microsecondsSinceReference(Date date)
{
    std::int64_t offset = 0;
    if (__builtin_sub_overflow(date.time_since_epoch().count(), kReferenceDate.time_since_epoch().count(), &offset))
        return date > kReferenceDate ? INT64_MAX : INT64_MIN;
    return offset;
}

Date dateFromMicroseconds(std::int64_t microseconds)
{
    return saturatingAdd(kReferenceDate, Duration(microseconds));
}

// --- Attribute values as record fields ----------------------------------------

template <typename Value>
struct FieldCodec;

template <>
struct FieldCodec<Uuid> {
    static json to(const Uuid& value) { return value.toString(); }
    static std::optional<Uuid> from(const json& field)
    {
        return field.is_string() ? Uuid::parse(field.get_ref<const std::string&>()) : std::nullopt;
    }
};

template <>
struct FieldCodec<std::string> {
    static json to(const std::string& value) { return value; }
    static std::optional<std::string> from(const json& field)
    {
        return field.is_string() ? std::optional(field.get<std::string>()) : std::nullopt;
    }
};

template <>
struct FieldCodec<bool> {
    static json to(bool value) { return value; }
    static std::optional<bool> from(const json& field)
    {
        return field.is_boolean() ? std::optional(field.get<bool>()) : std::nullopt;
    }
};

template <>
struct FieldCodec<std::int64_t> {
    static json to(std::int64_t value) { return value; }
    static std::optional<std::int64_t> from(const json& field)
    {
        if (field.is_number_unsigned())
            return field.get<std::uint64_t>() <= std::uint64_t(INT64_MAX) ? std::optional(field.get<std::int64_t>())
                                                                          : std::nullopt;
        return field.is_number_integer() ? std::optional(field.get<std::int64_t>()) : std::nullopt;
    }
};

template <>
struct FieldCodec<double> {
    // JSON has no NaN or infinity; the store keeps NaN as 0 already.
    static json to(double value) { return std::isfinite(value) ? value : 0.0; }
    static std::optional<double> from(const json& field)
    {
        return field.is_number() ? std::optional(field.get<double>()) : std::nullopt;
    }
};

template <>
struct FieldCodec<Date> {
    // Whole microseconds since 2001: exact, the distant past included.
    static json to(Date value) { return microsecondsSinceReference(value); }
    static std::optional<Date> from(const json& field)
    {
        const auto microseconds = FieldCodec<std::int64_t>::from(field);
        return microseconds ? std::optional(dateFromMicroseconds(*microseconds)) : std::nullopt;
    }
};

template <typename Value>
struct FieldCodec<std::optional<Value>> {
    static json to(const std::optional<Value>& value) { return value ? FieldCodec<Value>::to(*value) : json(nullptr); }
    static std::optional<std::optional<Value>> from(const json& field)
    {
        if (field.is_null())
            return std::optional<std::optional<Value>>(std::in_place, std::nullopt);
        auto inner = FieldCodec<Value>::from(field);
        if (!inner)
            return std::nullopt;
        return std::optional<std::optional<Value>>(std::in_place, std::move(*inner));
    }
};

template <StoredModel Model>
json fieldsOf(const AttributeValues<Model>& values)
{
    json fields = json::object();
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        using Value = typename std::decay_t<decltype(attribute)>::value_type;
        fields[std::string(attribute.name)] = FieldCodec<Value>::to(std::get<decltype(index)::value>(values));
    });
    return fields;
}

/// Takes each field that is present and of the right type; the others keep
/// what `values` held (a newer writer's extra fields are ignored).
template <StoredModel Model>
void assignFields(AttributeValues<Model>& values, const json& fields)
{
    if (!fields.is_object())
        return;
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        using Value = typename std::decay_t<decltype(attribute)>::value_type;
        const auto found = fields.find(std::string(attribute.name));
        if (found == fields.end())
            return;
        if (auto value = FieldCodec<Value>::from(*found))
            std::get<decltype(index)::value>(values) = std::move(*value);
    });
}

/// A digest of what a record says, to tell whether a row changed since it
/// was last exchanged (FNV-1a over the fields' JSON and the parent).
std::int64_t digestOf(const json& fields, const std::optional<std::string>& parent)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    const auto mix = [&hash](std::string_view bytes) {
        for (const unsigned char byte : bytes) {
            hash ^= byte;
            hash *= 0x100000001b3ull;
        }
    };
    mix(fields.dump(-1, ' ', false, json::error_handler_t::replace));
    mix(parent ? "\x1f" + *parent : std::string("\x1e"));
    return static_cast<std::int64_t>(hash);
}

// --- Rows of the store -------------------------------------------------------------

template <StoredModel Model>
struct LocalRow {
    std::int64_t key = 0;
    std::string name;
    AttributeValues<Model> values;
    std::optional<std::int64_t> noteKey;
    std::optional<std::string> noteName;
};

template <StoredModel Model>
std::string selectRows(const std::string& where = {})
{
    std::string sql = "SELECT t.Z_PK, t.Z_RECORDNAME";
    forEachAttribute<Model>([&](auto, const auto& attribute) { sql += ", t." + sqlName(attribute.name); });
    if constexpr (hasNote<Model>)
        sql += ", t." + sqlName(ModelTraits<Model>::noteColumn) + ", n.Z_RECORDNAME";
    sql += " FROM " + sqlName(ModelTraits<Model>::entityName) + " t";
    if constexpr (hasNote<Model>)
        sql += " LEFT JOIN \"SyncedNote\" n ON t." + sqlName(ModelTraits<Model>::noteColumn) + " = n.Z_PK";
    if (!where.empty())
        sql += " WHERE " + where;
    return sql;
}

template <StoredModel Model>
LocalRow<Model> readRow(const SqliteStatement& statement)
{
    LocalRow<Model> row;
    row.key = statement.integerColumn(0);
    row.name = statement.textColumn(1);
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        using Value = typename std::decay_t<decltype(attribute)>::value_type;
        std::get<decltype(index)::value>(row.values) = ColumnCodec<Value>::read(statement, 2 + int(index));
    });
    if constexpr (hasNote<Model>) {
        constexpr int noteColumn = 2 + int(attributeCount<Model>);
        if (!statement.isNull(noteColumn))
            row.noteKey = statement.integerColumn(noteColumn);
        if (!statement.isNull(noteColumn + 1))
            row.noteName = statement.textColumn(noteColumn + 1);
    }
    return row;
}

void bindParameter(SqliteStatement& statement, int index, std::int64_t value)
{
    statement.bindInteger(index, value);
}

void bindParameter(SqliteStatement& statement, int index, std::string_view value)
{
    statement.bindText(index, value);
}

// The connection's kept statement for `sql`, with `values` bound as ?1, ?2, ...
template <typename... Values>
Expected<SqliteStatement*, std::string> prepareWith(SqliteDatabase& database, std::string_view sql,
                                                    const Values&... values)
{
    auto statement = database.cached(sql);
    if (statement) {
        int index = 1;
        (bindParameter(**statement, index++, values), ...);
    }
    return statement;
}

/// The first row `sql` yields with `values` bound, as `read` reads it; none
/// when there is no row.
template <typename Read, typename... Values>
auto firstRow(SqliteDatabase& database, std::string_view sql, Read read, const Values&... values)
    -> Expected<std::optional<std::invoke_result_t<Read&, SqliteStatement&>>, std::string>
{
    using Row = std::invoke_result_t<Read&, SqliteStatement&>;
    auto statement = prepareWith(database, sql, values...);
    if (!statement)
        return unexpected(statement.error());
    auto stepped = (*statement)->step();
    if (!stepped)
        return unexpected(stepped.error());
    std::optional<Row> row;
    if (*stepped)
        row = read(**statement);
    // A kept statement left on a row would hold its read open.
    (*statement)->reset();
    return row;
}

/// Runs `sql`, which returns no rows, with `values` bound.
template <typename... Values>
Expected<void, std::string> runWith(SqliteDatabase& database, std::string_view sql, const Values&... values)
{
    auto statement = prepareWith(database, sql, values...);
    if (!statement)
        return unexpected(statement.error());
    return (*statement)->run();
}

std::int64_t firstInteger(const SqliteStatement& statement)
{
    return statement.integerColumn(0);
}

template <StoredModel Model>
const std::string& selectRowByName()
{
    static const std::string sql = selectRows<Model>("t.Z_RECORDNAME = ?1");
    return sql;
}

template <StoredModel Model>
Expected<std::optional<LocalRow<Model>>, std::string> findRow(SqliteDatabase& database, const std::string& name)
{
    return firstRow(database, selectRowByName<Model>(), readRow<Model>, std::string_view(name));
}

Expected<std::optional<std::int64_t>, std::string> noteKeyOf(SqliteDatabase& database, const std::string& name)
{
    return firstRow(database, "SELECT Z_PK FROM \"SyncedNote\" WHERE Z_RECORDNAME = ?1", firstInteger,
                    std::string_view(name));
}

// --- The mirror's bookkeeping -------------------------------------------------------

struct ShadowRow {
    std::string entity;
    CloudRecordVersion version;
    std::int64_t digest = 0;
    bool deleted = false;
    std::optional<std::string> parent;
};
using Shadow = std::unordered_map<std::string, ShadowRow>;

constexpr std::string_view kShadowColumns = "Z_RECORDNAME, Z_ENTITY, Z_MODIFIED, Z_WRITER, Z_DIGEST, Z_DELETED, Z_PARENT";

ShadowRow readShadow(const SqliteStatement& statement)
{
    ShadowRow row;
    row.entity = statement.textColumn(1);
    row.version = {dateFromMicroseconds(statement.integerColumn(2)), statement.textColumn(3)};
    row.digest = statement.integerColumn(4);
    row.deleted = statement.integerColumn(5) != 0;
    if (!statement.isNull(6))
        row.parent = statement.textColumn(6);
    return row;
}

Expected<Shadow, std::string> loadShadow(SqliteDatabase& database)
{
    auto statement = database.cached("SELECT " + std::string(kShadowColumns) + " FROM Z_MIRROR");
    if (!statement)
        return unexpected(statement.error());
    Shadow shadow;
    for (;;) {
        auto stepped = (*statement)->step();
        if (!stepped)
            return unexpected(stepped.error());
        if (!*stepped)
            return shadow;
        shadow.emplace((*statement)->textColumn(0), readShadow(**statement));
    }
}

/// The mirror's row for one record, if any.
Expected<std::optional<ShadowRow>, std::string> findShadow(SqliteDatabase& database, const std::string& name)
{
    static const std::string sql = "SELECT " + std::string(kShadowColumns) + " FROM Z_MIRROR WHERE Z_RECORDNAME = ?1";
    return firstRow(database, sql, readShadow, std::string_view(name));
}

Expected<void, std::string> writeShadow(SqliteDatabase& database, const std::string& name, const ShadowRow& row)
{
    auto statement = database.cached("INSERT OR REPLACE INTO Z_MIRROR (Z_RECORDNAME, Z_ENTITY, Z_MODIFIED, "
                                      "Z_WRITER, Z_DIGEST, Z_DELETED, Z_PARENT) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (!statement)
        return unexpected(statement.error());
    auto& run = **statement;
    run.bindText(1, name);
    run.bindText(2, row.entity);
    run.bindInteger(3, microsecondsSinceReference(row.version.modifiedAt));
    run.bindText(4, row.version.writer);
    run.bindInteger(5, row.digest);
    run.bindInteger(6, row.deleted ? 1 : 0);
    if (row.parent)
        run.bindText(7, *row.parent);
    else
        run.bindNull(7);
    return run.run();
}

/// The triggers that list every row a save inserts, changes or deletes.
std::string changeTriggers()
{
    std::string sql;
    forEachModel([&]<typename Model>(std::type_identity<Model>) {
        const std::string entity(ModelTraits<Model>::entityName);
        const auto note = [&](const char* row) {
            return "INSERT OR REPLACE INTO Z_MIRRORCHANGES (Z_RECORDNAME, Z_ENTITY) VALUES (" + std::string(row)
                + ".Z_RECORDNAME, '" + entity + "');";
        };
        const auto trigger = [&](const char* event) {
            return "CREATE TRIGGER IF NOT EXISTS " + sqlName("Z_MIRROR_" + entity + "_" + event) + " AFTER " + event
                + " ON " + sqlName(entity) + " BEGIN ";
        };
        sql += trigger("INSERT") + note("NEW") + " END;";
        sql += trigger("UPDATE") + note("NEW")
            + " INSERT OR REPLACE INTO Z_MIRRORCHANGES (Z_RECORDNAME, Z_ENTITY) SELECT OLD.Z_RECORDNAME, '" + entity
            + "' WHERE OLD.Z_RECORDNAME IS NOT NEW.Z_RECORDNAME; END;";
        sql += trigger("DELETE") + note("OLD") + " END;";
    });
    return sql;
}

constexpr std::int64_t kTriggerCount = 3 * std::int64_t(std::tuple_size_v<Models>);

/// A local change is stamped now, and never at or before the version it
/// replaces, so it wins over that version even when the clock went back.
Date stampAfter(Date now, const ShadowRow* previous)
{
    if (previous && previous->version.modifiedAt >= now)
        return saturatingAdd(previous->version.modifiedAt, Duration(1));
    return now;
}

/// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(SqliteDatabase& database) : m_database(database) {}
    ~Transaction()
    {
        if (m_open)
            (void)m_database.execute("ROLLBACK");
    }
    /// A write transaction: takes the store's write lock at once.
    Expected<void, std::string> begin() { return open("BEGIN IMMEDIATE"); }
    /// A read transaction: every read in it sees one committed snapshot.
    Expected<void, std::string> beginReading() { return open("BEGIN"); }
    Expected<void, std::string> commit()
    {
        auto committed = m_database.execute("COMMIT");
        if (committed)
            m_open = false;
        return committed;
    }

private:
    Expected<void, std::string> open(std::string_view sql)
    {
        auto begun = m_database.execute(sql);
        m_open = begun.has_value();
        return begun;
    }

    SqliteDatabase& m_database;
    bool m_open = false;
};

CloudError storeError(const std::string& what, const std::string& error)
{
    return CloudError{CloudError::internalError, what + ": " + error};
}

/// Errors that mean the account cannot be used now; the mirror then waits for
/// the account to change instead of reporting a failed sync.
bool isAccountError(const CloudError& error)
{
    return error.code == CloudError::notAuthenticated || error.code == CloudError::permissionFailure
        || error.code == CloudError::networkUnavailable;
}

// --- Export ---------------------------------------------------------------------------

struct ExportPlan {
    std::vector<CloudRecord> records;
    std::vector<std::pair<std::string, ShadowRow>> shadow;
};

/// What a row says as a record: its fields, its parent and their digest.
template <StoredModel Model>
struct RowRecord {
    json fields;
    std::optional<std::string> parent;
    std::int64_t digest = 0;
};

template <StoredModel Model>
RowRecord<Model> recordOf(const LocalRow<Model>& row, const ShadowRow* previous)
{
    RowRecord<Model> record;
    record.fields = fieldsOf<Model>(row.values);
    if constexpr (hasNote<Model>) {
        // A revision whose note has not arrived yet keeps the note it
        // was sent with.
        record.parent = row.noteName;
        if (!record.parent && !row.noteKey && previous)
            record.parent = previous->parent;
    }
    record.digest = digestOf(record.fields, record.parent);
    return record;
}

/// Adds `row` to the plan when it differs from what was last exchanged.
template <StoredModel Model>
void planRow(LocalRow<Model>&& row, const ShadowRow* previous, Date now, const std::string& me, ExportPlan& plan)
{
    auto local = recordOf<Model>(row, previous);
    if (previous && !previous->deleted && previous->digest == local.digest)
        return;
    CloudRecord record;
    record.recordName = row.name;
    record.recordType = std::string(ModelTraits<Model>::entityName);
    record.fields = std::move(local.fields);
    record.parent = local.parent;
    record.modifiedAt = stampAfter(now, previous);
    record.writer = me;
    plan.shadow.emplace_back(row.name, ShadowRow{record.recordType, record.version(), local.digest, false, local.parent});
    plan.records.push_back(std::move(record));
}

void planMark(const std::string& name, const ShadowRow& previous, Date now, const std::string& me, ExportPlan& plan)
{
    CloudRecord mark;
    mark.recordName = name;
    mark.recordType = previous.entity;
    mark.modifiedAt = stampAfter(now, &previous);
    mark.writer = me;
    mark.deleted = true;
    plan.shadow.emplace_back(name, ShadowRow{previous.entity, mark.version(), 0, true, std::nullopt});
    plan.records.push_back(std::move(mark));
}

/// Every row of one model against the whole shadow.
template <StoredModel Model>
Expected<void, std::string> planAllRows(SqliteDatabase& database, const Shadow& shadow,
                                        std::unordered_set<std::string>& present, Date now, const std::string& me,
                                        ExportPlan& plan)
{
    auto statement = database.prepare(selectRows<Model>());
    if (!statement)
        return unexpected(statement.error());
    for (;;) {
        auto stepped = statement->step();
        if (!stepped)
            return unexpected(stepped.error());
        if (!*stepped)
            return {};
        auto row = readRow<Model>(*statement);
        present.insert(row.name);
        const auto found = shadow.find(row.name);
        planRow<Model>(std::move(row), found == shadow.end() ? nullptr : &found->second, now, me, plan);
    }
}

/// One listed change: the row as it is now against what was last exchanged.
Expected<void, std::string> planChange(SqliteDatabase& database, const std::string& name, std::string_view entity,
                                       Date now, const std::string& me, ExportPlan& plan)
{
    auto previous = findShadow(database, name);
    if (!previous)
        return unexpected(previous.error());
    const ShadowRow* shadow = *previous ? &**previous : nullptr;
    Expected<void, std::string> planned;
    bool found = false;
    forEachModel([&]<typename Model>(std::type_identity<Model>) {
        if (ModelTraits<Model>::entityName != entity)
            return;
        auto row = findRow<Model>(database, name);
        if (!row) {
            planned = unexpected(row.error());
            return;
        }
        if (*row) {
            found = true;
            planRow<Model>(std::move(**row), shadow, now, me, plan);
        }
    });
    if (!planned)
        return planned;
    if (!found && shadow && !shadow->deleted && isSchemaEntity(shadow->entity))
        planMark(name, *shadow, now, me, plan);
    return {};
}

// --- Import ---------------------------------------------------------------------------

struct ImportOutcome {
    int applied = 0;
    /// Rows changed here that must go out again (revisions moved off a
    /// deleted note, a note kept because it still held text, a local change
    /// that beat a remote one).
    bool changedLocally = false;
};

/// Whether the row holds a change made here that has not gone out yet: it
/// differs from what was last exchanged.
template <StoredModel Model>
bool hasUnsentChange(const std::optional<LocalRow<Model>>& local, const std::optional<ShadowRow>& shadow)
{
    if (!local)
        return shadow && !shadow->deleted;
    if (!shadow || shadow->deleted)
        return true;
    return recordOf<Model>(*local, &*shadow).digest != shadow->digest;
}

/// Lists a row for the next export although no save touched it.
Expected<void, std::string> listAgain(SqliteDatabase& database, const std::string& name, std::string_view entity)
{
    return runWith(database, "INSERT OR REPLACE INTO Z_MIRRORCHANGES (Z_RECORDNAME, Z_ENTITY) VALUES (?1, ?2)",
                   std::string_view(name), entity);
}

/// A local change not sent yet meets a remote version: the later one wins, as
/// it would have had the change gone out first. When the local one does, the
/// remote version is taken as the one it replaces (so it goes out stamped
/// after it) and the row is left as it is. Returns whether it was kept.
Expected<bool, std::string> keepUnsentChange(SqliteDatabase& database, const CloudRecord& record,
                                             const std::optional<ShadowRow>& shadow, Date now, const std::string& me)
{
    if (!(record.version() < CloudRecordVersion{now, me}))
        return false;
    ShadowRow row = shadow.value_or(ShadowRow{record.recordType, {}, 0, false, std::nullopt});
    row.version = record.version();
    if (auto written = writeShadow(database, record.recordName, row); !written)
        return unexpected(written.error());
    if (auto listed = listAgain(database, record.recordName, record.recordType); !listed)
        return unexpected(listed.error());
    return true;
}

template <StoredModel Model>
Expected<std::string, std::string> upsertSQL(bool update)
{
    std::string sql;
    if (update) {
        std::string assignments;
        forEachAttribute<Model>([&](auto, const auto& attribute) {
            assignments += (assignments.empty() ? "" : ", ") + sqlName(attribute.name) + " = ?";
        });
        if constexpr (hasNote<Model>)
            assignments += ", " + sqlName(ModelTraits<Model>::noteColumn) + " = ?";
        sql = "UPDATE " + sqlName(ModelTraits<Model>::entityName) + " SET " + assignments + " WHERE Z_PK = ?";
    } else {
        std::string columns;
        std::string placeholders;
        forEachAttribute<Model>([&](auto, const auto& attribute) {
            columns += ", " + sqlName(attribute.name);
            placeholders += ", ?";
        });
        if constexpr (hasNote<Model>) {
            columns += ", " + sqlName(ModelTraits<Model>::noteColumn);
            placeholders += ", ?";
        }
        sql = "INSERT INTO " + sqlName(ModelTraits<Model>::entityName) + " (Z_RECORDNAME" + columns + ") VALUES (?"
            + placeholders + ")";
    }
    return sql;
}

enum class Applied { applied, keptLocal };

template <StoredModel Model>
Expected<Applied, std::string> applyUpsert(SqliteDatabase& database, const CloudRecord& record,
                                           const std::optional<ShadowRow>& shadow, Date now, const std::string& me)
{
    auto existing = findRow<Model>(database, record.recordName);
    if (!existing)
        return unexpected(existing.error());
    if (hasUnsentChange<Model>(*existing, shadow)) {
        auto kept = keepUnsentChange(database, record, shadow, now, me);
        if (!kept)
            return unexpected(kept.error());
        if (*kept)
            return Applied::keptLocal;
    }
    AttributeValues<Model> values = *existing ? (*existing)->values : attributeValues(Model());
    assignFields<Model>(values, record.fields);

    std::optional<std::int64_t> noteKey;
    if constexpr (hasNote<Model>) {
        if (record.parent) {
            auto key = noteKeyOf(database, *record.parent);
            if (!key)
                return unexpected(key.error());
            noteKey = *key;
        }
    }

    static const std::string update = *upsertSQL<Model>(true);
    static const std::string insert = *upsertSQL<Model>(false);
    auto statement = database.cached(*existing ? update : insert);
    if (!statement)
        return unexpected(statement.error());
    auto& run = **statement;
    int parameter = 1;
    if (!*existing)
        run.bindText(parameter++, record.recordName);
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        using Value = typename std::decay_t<decltype(attribute)>::value_type;
        ColumnCodec<Value>::bind(run, parameter++, std::get<decltype(index)::value>(values));
    });
    if constexpr (hasNote<Model>) {
        if (noteKey)
            run.bindInteger(parameter++, *noteKey);
        else
            run.bindNull(parameter++);
    }
    if (*existing)
        run.bindInteger(parameter, (*existing)->key);
    if (auto ran = run.run(); !ran)
        return unexpected(ran.error());

    ShadowRow row{record.recordType, record.version(), digestOf(fieldsOf<Model>(values), record.parent), false,
                  record.parent};
    if (auto written = writeShadow(database, record.recordName, row); !written)
        return unexpected(written.error());
    return Applied::applied;
}

enum class Removal { absent, removed, kept, keptLocal };

/// Deletes the row a deletion mark names. A note that still holds revisions
/// no mark deleted hands them to another note of the same identity first;
/// with none, it is kept (its text would otherwise go with it).
template <StoredModel Model>
Expected<Removal, std::string> applyRemoval(SqliteDatabase& database, const CloudRecord& record,
                                            const std::optional<ShadowRow>& shadow, Date now, const std::string& me)
{
    auto existing = findRow<Model>(database, record.recordName);
    if (!existing)
        return unexpected(existing.error());
    if (!*existing)
        return Removal::absent;
    if (hasUnsentChange<Model>(*existing, shadow)) {
        auto kept = keepUnsentChange(database, record, shadow, now, me);
        if (!kept)
            return unexpected(kept.error());
        if (*kept)
            return Removal::keptLocal;
    }
    const auto key = (*existing)->key;
    if constexpr (std::is_same_v<Model, SyncedNote>) {
        auto held =
            firstRow(database, "SELECT count(*) FROM \"SyncedNoteRevision\" WHERE note = ?1", firstInteger, key);
        if (!held)
            return unexpected(held.error());
        if (*held && **held > 0) {
            auto other = firstRow(database,
                                  "SELECT Z_PK FROM \"SyncedNote\" WHERE uuid = (SELECT uuid FROM \"SyncedNote\" "
                                  "WHERE Z_PK = ?1) AND Z_PK != ?1 ORDER BY Z_RECORDNAME LIMIT 1",
                                  firstInteger, key);
            if (!other)
                return unexpected(other.error());
            if (!*other)
                return Removal::kept;
            const auto moved =
                runWith(database, "UPDATE \"SyncedNoteRevision\" SET note = ?1 WHERE note = ?2", **other, key);
            if (!moved)
                return unexpected(moved.error());
        }
    }
    static const std::string removal = "DELETE FROM " + sqlName(ModelTraits<Model>::entityName) + " WHERE Z_PK = ?1";
    if (const auto removed = runWith(database, removal, key); !removed)
        return unexpected(removed.error());
    return Removal::removed;
}

/// Revisions that arrived before their note point at it once it is here.
Expected<int, std::string> relinkRevisions(SqliteDatabase& database)
{
    auto relinked = database.execute(
        "UPDATE \"SyncedNoteRevision\" SET note = (SELECT n.Z_PK FROM Z_MIRROR m JOIN \"SyncedNote\" n ON "
        "n.Z_RECORDNAME = m.Z_PARENT WHERE m.Z_RECORDNAME = \"SyncedNoteRevision\".Z_RECORDNAME) "
        "WHERE note IS NULL AND EXISTS (SELECT 1 FROM Z_MIRROR m JOIN \"SyncedNote\" n ON n.Z_RECORDNAME = "
        "m.Z_PARENT WHERE m.Z_RECORDNAME = \"SyncedNoteRevision\".Z_RECORDNAME AND m.Z_DELETED = 0)");
    if (!relinked)
        return unexpected(relinked.error());
    auto count = database.queryInteger("SELECT changes()");
    if (!count)
        return unexpected(count.error());
    return static_cast<int>(count->value_or(0));
}

} // namespace

struct CloudMirror::Store {
    SqliteDatabase database;
    /// Whether the change list covers every row (see kTrackedKey).
    bool tracked = false;
    /// Whether this install's records in the store were checked against its
    /// own writes in the database (done once: its file is read at start).
    bool checkedOwnRecords = false;
};

struct CloudMirror::PassOutcome {
    Expected<PassResult, CloudError> result = PassResult{};
    /// Trace lines, written on the main thread.
    std::vector<std::string> traces;
    /// Whether rows of other installs were applied to the store.
    bool remoteChanged = false;
};

Expected<std::unique_ptr<CloudMirror>, std::string> CloudMirror::start(ModelContainer& container,
                                                                      std::shared_ptr<CloudDatabase> database,
                                                                      Scheduler& scheduler, const ClockSource& clock,
                                                                      Options options, TraceSink trace)
{
    if (!database)
        return unexpected(std::string("There is no cloud database to mirror the store to."));
    const auto& configuration = container.configuration();
    auto connection = SqliteDatabase::open(configuration.url, SqliteDatabase::OpenMode::readWrite);
    if (!connection)
        return unexpected("The cloud mirror cannot open the store: " + connection.error());
    if (auto configured = ModelContainer::configureConnection(*connection, configuration.busyTimeout); !configured)
        return unexpected("The cloud mirror cannot open the store: " + configured.error());
    auto store = std::make_unique<Store>();
    store->database = std::move(*connection);
    auto& db = store->database;
    const auto cannotKeep = [](const std::string& error) {
        return unexpected("The cloud mirror cannot keep its records in the store: " + error);
    };
    Transaction transaction(db);
    if (auto begun = transaction.begin(); !begun)
        return cannotKeep(begun.error());
    if (auto created = db.execute(kCreateMirrorTable); !created)
        return cannotKeep(created.error());
    auto triggers = db.queryInteger("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'Z\\_MIRROR\\_%' ESCAPE '\\'");
    if (!triggers)
        return cannotKeep(triggers.error());
    if (triggers->value_or(0) != kTriggerCount) {
        // Rows may have been saved without being listed: the next pass
        // compares them all.
        auto created = db.execute(changeTriggers() + "DELETE FROM Z_MIRRORMETA WHERE Z_KEY = '"
                                  + std::string(kTrackedKey) + "';");
        if (!created)
            return cannotKeep(created.error());
    }
    auto tracked = firstRow(db, "SELECT count(*) FROM Z_MIRRORMETA WHERE Z_KEY = ?1", firstInteger, kTrackedKey);
    if (!tracked)
        return cannotKeep(tracked.error());
    store->tracked = tracked->value_or(0) > 0;
    if (auto committed = transaction.commit(); !committed)
        return cannotKeep(committed.error());
    return std::unique_ptr<CloudMirror>(new CloudMirror(container, std::move(database), scheduler, clock, options,
                                                        std::move(trace), std::move(store)));
}

CloudMirror::CloudMirror(ModelContainer& container, std::shared_ptr<CloudDatabase> database, Scheduler& scheduler,
                         const ClockSource& clock, Options options, TraceSink trace, std::unique_ptr<Store> store)
    : m_container(container), m_database(std::move(database)), m_scheduler(scheduler), m_clock(clock),
      m_options(options), m_trace(std::move(trace)), m_store(std::move(store))
{
    // The queue exists from the start either way: synchronize() runs its
    // pass there, so a pass never meets another one on the connection.
    m_queue = std::make_unique<SerialQueue>("app.ruvudav.notch.cloudmirror");
    connect(&m_container, &ModelContainer::localSave, this, [this] { schedulePass(m_options.exportDelay); });
    m_accountObserver = NotificationCenter::defaultCenter().addObserver(
        CloudDatabase::accountChangedNotification, this, [this](const Notification&) { schedulePass(Duration::zero()); });
    m_watching = m_database->startWatching([this] { schedulePass(Duration::zero()); });
    if (!m_watching)
        this->trace("cloud mirror: " + m_watching.error());
    schedulePass(Duration::zero());
}

CloudMirror::~CloudMirror()
{
    // A pass still running finishes first; what it would announce is dropped
    // with this object.
    m_queue.reset();
    m_pendingPass.cancel();
    m_database->stopWatching();
    NotificationCenter::defaultCenter().removeObserver(m_accountObserver);
}

void CloudMirror::trace(const std::string& line) const
{
    if (m_trace)
        m_trace(line);
}

void CloudMirror::post(const CloudMirrorEvent& event) const
{
    NotificationCenter::defaultCenter().post(eventChangedNotification, {{eventKey, QVariant::fromValue(event)}});
}

void CloudMirror::schedulePass(Duration delay)
{
    const Date due = m_clock.now() + delay;
    if (m_pendingPass.isActive() && m_pendingDue && *m_pendingDue <= due)
        return;
    m_pendingPass.cancel();
    m_pendingDue = due;
    m_pendingPass = m_scheduler.after(delay, [this] {
        m_pendingDue.reset();
        if (!m_options.passesOffMainThread) {
            (void)synchronize();
            return;
        }
        m_queue->async([this] {
            auto outcome = std::make_shared<PassOutcome>(runPass());
            postTo(this, [this, outcome] { (void)finish(std::move(*outcome)); });
        });
    });
}

Expected<CloudMirror::PassResult, CloudError> CloudMirror::synchronize()
{
    m_pendingPass.cancel();
    m_pendingDue.reset();
    std::optional<PassOutcome> outcome;
    m_queue->async([this, &outcome] { outcome.emplace(runPass()); });
    m_queue->waitUntilIdle();
    return finish(std::move(*outcome));
}

void CloudMirror::waitForPasses()
{
    m_queue->waitUntilIdle();
}

Expected<CloudMirror::PassResult, CloudError> CloudMirror::finish(PassOutcome outcome)
{
    for (const auto& line : outcome.traces)
        trace(line);
    if (outcome.remoteChanged)
        m_container.postRemoteChange();
    const auto& result = outcome.result;
    std::optional<CloudError> error;
    if (!result)
        error = result.error();
    if (error && isAccountError(*error))
        return unexpected(*error); // waits for the account; nothing to report
    const bool announce = !m_setupDone || error || result->exported > 0 || result->imported > 0;
    CloudMirrorEvent::Type type = CloudMirrorEvent::Type::importChanges;
    if (!m_setupDone)
        type = CloudMirrorEvent::Type::setup;
    else if (result && result->imported == 0 && result->exported > 0)
        type = CloudMirrorEvent::Type::exportChanges;
    m_setupDone = true;
    if (!announce)
        return result;
    post({type, false, std::nullopt, std::nullopt});
    post({type, !error.has_value(), m_clock.now(), error});
    if (error)
        trace("cloud mirror: sync failed: " + error->description);
    return result;
}

CloudMirror::PassOutcome CloudMirror::runPass()
{
    PassOutcome outcome;
    auto& store = *m_store;
    auto& database = store.database;
    const std::string& me = m_database->installID();
    const auto traceLater = [&outcome](std::string line) { outcome.traces.push_back(std::move(line)); };

    // Local changes out: the listed rows whose digest differs from what was
    // last exchanged, and deletion marks for listed rows that are gone.
    // Read from one snapshot; the write lock is taken only to record what
    // went out.
    const auto exportChanges = [&]() -> Expected<int, CloudError> {
        const Date now = m_clock.now();
        ExportPlan plan;
        std::int64_t listedUpTo = 0;
        const bool fullScan = !store.tracked;
        {
            Transaction reading(database);
            if (auto begun = reading.beginReading(); !begun)
                return unexpected(storeError("Cannot read the store", begun.error()));
            auto last = database.queryInteger("SELECT coalesce(max(Z_SEQ), 0) FROM Z_MIRRORCHANGES");
            if (!last)
                return unexpected(storeError("Cannot read the store", last.error()));
            listedUpTo = last->value_or(0);
            Expected<void, std::string> planned;
            if (fullScan) {
                auto shadow = loadShadow(database);
                if (!shadow)
                    return unexpected(storeError("Cannot read the mirror's records", shadow.error()));
                std::unordered_set<std::string> present;
                forEachModel([&]<typename Model>(std::type_identity<Model>) {
                    if (planned)
                        planned = planAllRows<Model>(database, *shadow, present, now, me, plan);
                });
                for (const auto& [name, row] : *shadow) {
                    if (!row.deleted && !present.contains(name) && isSchemaEntity(row.entity))
                        planMark(name, row, now, me, plan);
                }
            } else {
                std::vector<std::pair<std::string, std::string>> listed;
                auto statement = prepareWith(database,
                                             "SELECT Z_RECORDNAME, Z_ENTITY FROM Z_MIRRORCHANGES WHERE Z_SEQ <= ?1",
                                             listedUpTo);
                if (!statement)
                    return unexpected(storeError("Cannot read the store", statement.error()));
                for (;;) {
                    auto stepped = (*statement)->step();
                    if (!stepped)
                        return unexpected(storeError("Cannot read the store", stepped.error()));
                    if (!*stepped)
                        break;
                    listed.emplace_back((*statement)->textColumn(0), (*statement)->textColumn(1));
                }
                for (const auto& [name, entity] : listed) {
                    if (planned)
                        planned = planChange(database, name, entity, now, me, plan);
                }
            }
            if (!planned)
                return unexpected(storeError("Cannot read the store", planned.error()));
            if (auto ended = reading.commit(); !ended)
                return unexpected(storeError("Cannot read the store", ended.error()));
        }
        if (plan.records.empty() && listedUpTo == 0 && !fullScan)
            return 0;
        if (!plan.records.empty()) {
            if (auto sent = m_database->modify(plan.records); !sent)
                return unexpected(sent.error());
        }
        // Rows saved again since the snapshot stay listed for the next pass.
        Transaction writing(database);
        if (auto begun = writing.begin(); !begun)
            return unexpected(storeError("Cannot record what was sent", begun.error()));
        for (const auto& [name, row] : plan.shadow) {
            if (auto written = writeShadow(database, name, row); !written)
                return unexpected(storeError("Cannot record what was sent", written.error()));
        }
        if (auto cleared = runWith(database, "DELETE FROM Z_MIRRORCHANGES WHERE Z_SEQ <= ?1", listedUpTo); !cleared)
            return unexpected(storeError("Cannot record what was sent", cleared.error()));
        if (fullScan) {
            if (auto marked = runWith(database, "INSERT OR REPLACE INTO Z_MIRRORMETA VALUES (?1, 1)", kTrackedKey);
                !marked)
                return unexpected(storeError("Cannot record what was sent", marked.error()));
        }
        if (auto committed = writing.commit(); !committed) {
            // The records went out; the next pass sends them again, newer.
            return unexpected(storeError("Cannot record what was sent", committed.error()));
        }
        store.tracked = true;
        return static_cast<int>(plan.records.size());
    };

    // Remote changes in: every version newer than what was last exchanged,
    // in one transaction, notes before their revisions, deletions last.
    const auto importChanges = [&]() -> Expected<ImportOutcome, CloudError> {
        auto snapshot = m_database->fetchChanges();
        if (!snapshot)
            return unexpected(snapshot.error());
        ImportOutcome outcome;
        std::vector<const CloudRecord*> known;
        for (const auto& record : snapshot->records) {
            if (isSchemaEntity(record.recordType))
                known.push_back(&record);
            else if (!record.deleted)
                traceLater("cloud mirror: skipped record " + record.recordName + " of unknown type \""
                           + record.recordType + "\"");
        }
        const Date now = m_clock.now();
        const std::int64_t forgetBefore = microsecondsSinceReference(now) - m_options.markMemory.count();
        if (!known.empty()) {
            Transaction transaction(database);
            if (auto begun = transaction.begin(); !begun)
                return unexpected(storeError("Cannot write the store", begun.error()));

            struct Candidate {
                const CloudRecord* record;
                std::optional<ShadowRow> shadow;
            };
            std::unordered_map<std::string_view, std::vector<Candidate>> upserts;
            std::unordered_map<std::string_view, std::vector<Candidate>> removals;
            for (const auto* record : known) {
                auto shadow = findShadow(database, record->recordName);
                if (!shadow)
                    return unexpected(storeError("Cannot read the mirror's records", shadow.error()));
                if (*shadow && !((*shadow)->version < record->version()))
                    continue;
                (record->deleted ? removals : upserts)[record->recordType].push_back({record, std::move(*shadow)});
            }

            Expected<void, std::string> applied;
            const auto upsertAll = [&]<typename Model>(std::type_identity<Model>) {
                for (const auto& candidate : upserts[ModelTraits<Model>::entityName]) {
                    if (!applied)
                        return;
                    auto upserted = applyUpsert<Model>(database, *candidate.record, candidate.shadow, now, me);
                    if (!upserted) {
                        applied = unexpected(upserted.error());
                        return;
                    }
                    if (*upserted == Applied::applied)
                        ++outcome.applied;
                    else
                        outcome.changedLocally = true;
                }
            };
            const auto removeAll = [&]<typename Model>(std::type_identity<Model>) {
                for (const auto& candidate : removals[ModelTraits<Model>::entityName]) {
                    if (!applied)
                        return;
                    const auto& record = *candidate.record;
                    auto removal = applyRemoval<Model>(database, record, candidate.shadow, now, me);
                    if (!removal) {
                        applied = unexpected(removal.error());
                        return;
                    }
                    if (*removal == Removal::keptLocal) {
                        outcome.changedLocally = true;
                        continue;
                    }
                    if (*removal == Removal::kept) {
                        traceLater("cloud mirror: kept note " + record.recordName
                                   + " that another install deleted: it still holds text");
                        outcome.changedLocally = true;
                        // Sent again, as a new version after the deletion.
                        if (auto listed = listAgain(database, record.recordName, record.recordType); !listed) {
                            applied = listed;
                            return;
                        }
                    } else if (*removal == Removal::removed) {
                        ++outcome.applied;
                        if constexpr (std::is_same_v<Model, SyncedNote>)
                            outcome.changedLocally = true; // its revisions may have moved
                    }
                    ShadowRow row{record.recordType, record.version(), 0, true, std::nullopt};
                    if (auto written = writeShadow(database, record.recordName, row); !written) {
                        applied = written;
                        return;
                    }
                }
            };
            upsertAll(std::type_identity<SyncedNote>{});
            upsertAll(std::type_identity<SyncedTodo>{});
            upsertAll(std::type_identity<SyncedTimer>{});
            upsertAll(std::type_identity<SyncedShortcut>{});
            upsertAll(std::type_identity<SyncedNoteRevision>{});
            removeAll(std::type_identity<SyncedNoteRevision>{});
            removeAll(std::type_identity<SyncedTodo>{});
            removeAll(std::type_identity<SyncedTimer>{});
            removeAll(std::type_identity<SyncedShortcut>{});
            removeAll(std::type_identity<SyncedNote>{});
            if (!applied)
                return unexpected(storeError("Cannot apply the changes of other installs", applied.error()));
            if (outcome.applied > 0) {
                auto relinked = relinkRevisions(database);
                if (!relinked)
                    return unexpected(storeError("Cannot apply the changes of other installs", relinked.error()));
                outcome.applied += *relinked;
            }
            // Deleted records are remembered a while, then forgotten.
            if (auto forgotten =
                    runWith(database, "DELETE FROM Z_MIRROR WHERE Z_DELETED = 1 AND Z_MODIFIED < ?1", forgetBefore);
                !forgotten)
                return unexpected(storeError("Cannot write the store", forgotten.error()));
            if (auto committed = transaction.commit(); !committed)
                return unexpected(storeError("Cannot apply the changes of other installs", committed.error()));
        }
        m_database->acknowledge(snapshot->revisions);
        return outcome;
    };

    // This install's records that its cloud file lost (removed, damaged
    // while the app was not running) are written again with the versions
    // they had. Later losses are written again by the database itself.
    const auto heal = [&]() -> Expected<int, CloudError> {
        if (store.checkedOwnRecords)
            return 0;
        std::vector<CloudRecord> lost;
        {
            Transaction reading(database);
            if (auto begun = reading.beginReading(); !begun)
                return unexpected(storeError("Cannot read the store", begun.error()));
            auto shadow = loadShadow(database);
            if (!shadow)
                return unexpected(storeError("Cannot read the mirror's records", shadow.error()));
            Expected<void, std::string> read;
            for (const auto& [name, row] : *shadow) {
                if (row.deleted || row.version.writer != me || m_database->ownVersion(name) == row.version)
                    continue;
                forEachModel([&]<typename Model>(std::type_identity<Model>) {
                    if (!read || ModelTraits<Model>::entityName != row.entity)
                        return;
                    auto local = findRow<Model>(database, name);
                    if (!local) {
                        read = unexpected(local.error());
                        return;
                    }
                    if (!*local)
                        return;
                    CloudRecord record;
                    record.recordName = name;
                    record.recordType = row.entity;
                    record.fields = fieldsOf<Model>((*local)->values);
                    record.parent = row.parent;
                    record.modifiedAt = row.version.modifiedAt;
                    record.writer = me;
                    lost.push_back(std::move(record));
                });
            }
            if (!read)
                return unexpected(storeError("Cannot read the store", read.error()));
        }
        if (!lost.empty()) {
            if (auto sent = m_database->modify(lost); !sent)
                return unexpected(sent.error());
            traceLater("cloud mirror: wrote " + std::to_string(lost.size())
                       + " record(s) again that the cloud had lost");
        }
        store.checkedOwnRecords = true;
        return static_cast<int>(lost.size());
    };

    PassResult result;
    const auto fail = [&](const CloudError& error) {
        outcome.result = unexpected(error);
        return std::move(outcome);
    };
    auto exported = exportChanges();
    if (!exported)
        return fail(exported.error());
    result.exported = *exported;
    auto imported = importChanges();
    if (!imported)
        return fail(imported.error());
    result.imported = imported->applied;
    if (imported->changedLocally) {
        auto again = exportChanges();
        if (!again)
            return fail(again.error());
        result.exported += *again;
    }
    outcome.remoteChanged = result.imported > 0;
    auto healed = heal();
    if (!healed)
        return fail(healed.error());
    result.exported += *healed;
    outcome.result = result;
    return outcome;
}
