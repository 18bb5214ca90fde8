#include "VudeSync/ModelContext.h"

#include "VudeSync/ModelContainer.h"
#include "VudeSync/SqliteDatabase.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace {

template <StoredModel Model>
constexpr bool hasNote = requires { ModelTraits<Model>::noteColumn; };

std::string sqlName(std::string_view name)
{
    return "\"" + std::string(name) + "\"";
}

constexpr int kKeyColumn = 0;
constexpr int kRecordNameColumn = 1;
constexpr int kFirstAttributeColumn = 2;

template <StoredModel Model>
constexpr int noteColumnIndex()
{
    return kFirstAttributeColumn + int(attributeCount<Model>);
}

/// A stored row known to the context, with the values it was last read or
/// saved with (what rollback restores and what a change is measured against).
template <StoredModel Model>
struct Registered {
    std::shared_ptr<Model> row;
    AttributeValues<Model> stored;
    std::optional<std::int64_t> storedNoteKey; // revisions only
    bool deleted = false;
    std::uint64_t seen = 0; // the last full load that found it
};

template <StoredModel Model>
struct EntityState {
    // Ordered by store key, which is the store's own order.
    std::map<std::int64_t, Registered<Model>> registered;
    std::vector<std::shared_ptr<Model>> inserted;
    /// The store's data version when every row was last read; while no other
    /// connection has written since, `registered` is the whole table.
    std::optional<std::int64_t> loadedVersion;
};

template <typename Models>
struct EntityStates;
template <typename... Models>
struct EntityStates<std::tuple<Models...>> {
    using type = std::tuple<EntityState<Models>...>;
};

/// What one save writes for one model, worked out before the transaction.
struct EntityPlan {
    std::vector<std::int64_t> updates;
    std::vector<std::int64_t> deletes;
};

template <StoredModel Model>
std::string columnList()
{
    std::string columns = "Z_PK, Z_RECORDNAME";
    forEachAttribute<Model>([&](auto, const auto& attribute) { columns += ", " + sqlName(attribute.name); });
    if constexpr (hasNote<Model>)
        columns += ", " + sqlName(ModelTraits<Model>::noteColumn);
    return columns;
}

template <StoredModel Model>
AttributeValues<Model> readValues(const SqliteStatement& statement)
{
    AttributeValues<Model> values;
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        using Value = typename std::decay_t<decltype(attribute)>::value_type;
        std::get<decltype(index)::value>(values) =
            ColumnCodec<Value>::read(statement, kFirstAttributeColumn + int(index));
    });
    return values;
}

template <StoredModel Model>
std::optional<std::int64_t> readNoteKey(const SqliteStatement& statement)
{
    if (statement.isNull(noteColumnIndex<Model>()))
        return std::nullopt;
    return statement.integerColumn(noteColumnIndex<Model>());
}

template <StoredModel Model>
bool attributesEqual(const Model& row, const AttributeValues<Model>& values)
{
    bool equal = true;
    forEachAttribute<Model>([&](auto index, const auto& attribute) {
        equal = equal && sameAttributeValue(row.*(attribute.member), std::get<decltype(index)::value>(values));
    });
    return equal;
}

/// Whether a revision still points at the note it was stored with.
bool noteMatches(const SyncedNoteRevision& revision, const std::optional<std::int64_t>& storedKey)
{
    const auto note = revision.note();
    if (!note)
        return !storedKey;
    return note->storeKey().has_value() && note->storeKey() == storedKey;
}

template <StoredModel Model>
bool isChanged(const Registered<Model>& entry)
{
    if (!attributesEqual(*entry.row, entry.stored))
        return true;
    if constexpr (hasNote<Model>)
        return !noteMatches(*entry.row, entry.storedNoteKey);
    return false;
}

} // namespace

struct ModelContext::State {
    State(ModelContainer& container, ModelContext& owner) : container(container), owner(owner) {}

    ModelContainer& container;
    ModelContext& owner;
    SqliteDatabase database;
    std::string openError;
    std::uint64_t generation = 0;
    EntityStates<VudeSchemaV1::Models>::type entities;

    template <StoredModel Model>
    EntityState<Model>& entity()
    {
        return std::get<EntityState<Model>>(entities);
    }

    template <typename Visitor>
    void forEachEntity(Visitor&& visit)
    {
        std::apply([&](auto&... states) { (visit(states), ...); }, entities);
    }

    /// Calls `visit(std::type_identity<Model>{}, index)` for each model, in
    /// schema order.
    template <typename Visitor>
    static void forEachModel(Visitor&& visit)
    {
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (visit(std::type_identity<std::tuple_element_t<I, VudeSchemaV1::Models>>{}, I), ...);
        }(std::make_index_sequence<std::tuple_size_v<VudeSchemaV1::Models>>{});
    }

    // --- Reading ---------------------------------------------------------

    SqliteStatement dataVersionQuery;

    /// Changes whenever another connection (another context, the mirror,
    /// another process) commits; this connection's own saves leave it alone,
    /// and they are already reflected in the registered rows.
    Expected<std::int64_t, std::string> dataVersion()
    {
        if (!openError.empty())
            return unexpected(openError);
        if (!dataVersionQuery.isPrepared()) {
            auto prepared = database.prepare("PRAGMA data_version");
            if (!prepared)
                return unexpected(prepared.error());
            dataVersionQuery = std::move(*prepared);
        }
        auto stepped = dataVersionQuery.step();
        if (!stepped)
            return unexpected(stepped.error());
        const auto version = dataVersionQuery.integerColumn(0);
        dataVersionQuery.reset();
        return version;
    }

    /// The whole table from the registered rows, without reading the store.
    template <StoredModel Model>
    Rows<Model> cachedRows(const std::optional<Uuid>& uuid = std::nullopt)
    {
        Rows<Model> result;
        result.reserve(entity<Model>().registered.size() + entity<Model>().inserted.size());
        for (const auto& [key, entry] : entity<Model>().registered)
            if (!entry.deleted && (!uuid || entry.row->uuid == *uuid))
                result.push_back(entry.row);
        appendInserted<Model>(result, uuid);
        return result;
    }

    /// Reads the rows of one model (all, or those whose stored `uuid` is
    /// `uuid`) in store order, takes each into the context as it comes and
    /// hands its entry to `visit`.
    template <StoredModel Model, typename Visitor>
    Expected<void, std::string> load(const std::optional<Uuid>& uuid, Visitor&& visit)
    {
        if (!openError.empty())
            return unexpected(openError);
        std::string sql = "SELECT " + columnList<Model>() + " FROM " + sqlName(ModelTraits<Model>::entityName);
        if (uuid)
            sql += " WHERE \"uuid\" = ?1";
        sql += " ORDER BY Z_PK";
        auto statement = database.prepare(sql);
        if (!statement)
            return unexpected(statement.error());
        if (uuid)
            ColumnCodec<Uuid>::bind(*statement, 1, *uuid);
        for (;;) {
            auto stepped = statement->step();
            if (!stepped)
                return unexpected(stepped.error());
            if (!*stepped)
                return {};
            visit(merge<Model>(*statement));
        }
    }

    std::shared_ptr<SyncedNote> registeredNote(const std::optional<std::int64_t>& key)
    {
        if (!key)
            return nullptr;
        auto& notes = entity<SyncedNote>().registered;
        const auto found = notes.find(*key);
        return found == notes.end() ? nullptr : found->second.row;
    }

    /// Takes the statement's current row into the context: a new one becomes
    /// a registered row; a known one takes the store's values for every
    /// attribute this context has not changed.
    template <StoredModel Model>
    Registered<Model>& merge(const SqliteStatement& statement)
    {
        auto [position, isNew] = entity<Model>().registered.try_emplace(statement.integerColumn(kKeyColumn));
        auto& entry = position->second;
        entry.seen = generation;
        if (isNew) {
            entry.row = std::make_shared<Model>(PersistentModel::FromStore{});
            entry.stored = readValues<Model>(statement);
            assignAttributeValues(*entry.row, entry.stored);
            entry.row->setRecordName(statement.textColumn(kRecordNameColumn));
            attach(*entry.row, &owner, position->first);
            if constexpr (hasNote<Model>) {
                entry.storedNoteKey = readNoteKey<Model>(statement);
                linkNote(*entry.row, registeredNote(entry.storedNoteKey));
            }
            return entry;
        }
        forEachAttribute<Model>([&](auto index, const auto& attribute) {
            using Value = typename std::decay_t<decltype(attribute)>::value_type;
            constexpr int column = kFirstAttributeColumn + int(decltype(index)::value);
            auto& stored = std::get<decltype(index)::value>(entry.stored);
            if (ColumnCodec<Value>::matches(statement, column, stored))
                return;
            auto incoming = ColumnCodec<Value>::read(statement, column);
            auto& current = (*entry.row).*(attribute.member);
            if (sameAttributeValue(current, stored))
                current = incoming;
            stored = std::move(incoming);
        });
        if constexpr (hasNote<Model>) {
            const bool unchanged = noteMatches(*entry.row, entry.storedNoteKey);
            entry.storedNoteKey = readNoteKey<Model>(statement);
            if (unchanged && !entry.deleted)
                linkNote(*entry.row, registeredNote(entry.storedNoteKey));
        }
        return entry;
    }

    /// A row that left the context (deleted and saved, deleted in the store,
    /// or dropped by rollback) no longer points into it.
    template <StoredModel Model>
    void detach(Model& row)
    {
        attach(row, nullptr, std::nullopt);
        if constexpr (hasNote<Model>)
            linkNote(row, nullptr);
    }

    /// After a full load: rows the store no longer holds leave the context.
    template <StoredModel Model>
    void sweep()
    {
        auto& registered = entity<Model>().registered;
        for (auto position = registered.begin(); position != registered.end();) {
            if (position->second.seen == generation) {
                ++position;
                continue;
            }
            detach(*position->second.row);
            position = registered.erase(position);
        }
    }

    /// Reads the whole table of one model; rows the store no longer holds
    /// leave the context (at once, or when the caller sweeps).
    template <StoredModel Model>
    Expected<void, std::string> loadAll(Rows<Model>& result, bool sweepNow = true)
    {
        result.reserve(entity<Model>().registered.size() + entity<Model>().inserted.size());
        auto loaded = load<Model>(std::nullopt, [&](Registered<Model>& entry) {
            if (!entry.deleted)
                result.push_back(entry.row);
        });
        if (!loaded)
            return loaded;
        if (sweepNow)
            sweep<Model>();
        return {};
    }

    template <StoredModel Model>
    void appendInserted(Rows<Model>& result, const std::optional<Uuid>& uuid = std::nullopt)
    {
        for (const auto& row : entity<Model>().inserted)
            if (!uuid || row->uuid == *uuid)
                result.push_back(row);
    }

    /// Notes and revisions are read together, in one read transaction, so
    /// every revision finds its note.
    Expected<std::pair<Rows<SyncedNote>, Rows<SyncedNoteRevision>>, std::string> loadNoteGraph()
    {
        auto version = dataVersion();
        if (!version)
            return unexpected(version.error());
        if (entity<SyncedNote>().loadedVersion == *version && entity<SyncedNoteRevision>().loadedVersion == *version)
            return std::pair(cachedRows<SyncedNote>(), cachedRows<SyncedNoteRevision>());
        auto begun = database.execute("BEGIN");
        if (!begun)
            return unexpected(begun.error());
        ++generation;
        std::pair<Rows<SyncedNote>, Rows<SyncedNoteRevision>> result;
        // Notes leave only after the revisions were read: a revision that
        // another connection moved off a note it then deleted must still
        // find its old note here, to tell that move from a change of ours.
        auto loaded = loadAll<SyncedNote>(result.first, false);
        if (loaded)
            loaded = loadAll<SyncedNoteRevision>(result.second, false);
        (void)database.execute("COMMIT");
        if (!loaded)
            return unexpected(loaded.error());
        sweep<SyncedNoteRevision>();
        sweep<SyncedNote>();
        appendInserted<SyncedNote>(result.first);
        appendInserted<SyncedNoteRevision>(result.second);
        entity<SyncedNote>().loadedVersion = *version;
        entity<SyncedNoteRevision>().loadedVersion = *version;
        return result;
    }

    template <StoredModel Model>
    Expected<Rows<Model>, std::string> fetchAll()
    {
        if constexpr (std::is_same_v<Model, SyncedNote> || std::is_same_v<Model, SyncedNoteRevision>) {
            auto graph = loadNoteGraph();
            if (!graph)
                return unexpected(graph.error());
            if constexpr (std::is_same_v<Model, SyncedNote>)
                return std::move(graph->first);
            else
                return std::move(graph->second);
        } else {
            auto version = dataVersion();
            if (!version)
                return unexpected(version.error());
            if (entity<Model>().loadedVersion == *version)
                return cachedRows<Model>();
            ++generation;
            Rows<Model> result;
            auto loaded = loadAll<Model>(result);
            if (!loaded)
                return unexpected(loaded.error());
            appendInserted<Model>(result);
            entity<Model>().loadedVersion = *version;
            return result;
        }
    }

    template <StoredModel Model>
    Expected<Rows<Model>, std::string> fetch(const Uuid& uuid)
    {
        if constexpr (std::is_same_v<Model, SyncedNote> || std::is_same_v<Model, SyncedNoteRevision>) {
            auto all = fetchAll<Model>();
            if (!all)
                return unexpected(all.error());
            std::erase_if(*all, [&](const auto& row) { return row->uuid != uuid; });
            return all;
        } else {
            auto version = dataVersion();
            if (!version)
                return unexpected(version.error());
            if (entity<Model>().loadedVersion == *version)
                return cachedRows<Model>(uuid);
            std::unordered_set<const Model*> merged;
            auto loaded = load<Model>(uuid, [&](Registered<Model>& entry) { merged.insert(entry.row.get()); });
            if (!loaded)
                return unexpected(loaded.error());
            // The predicate holds on the context's values: a pending change of
            // `uuid` counts, in either direction.
            Rows<Model> result;
            for (const auto& [key, entry] : entity<Model>().registered) {
                if (entry.deleted || entry.row->uuid != uuid)
                    continue;
                if (merged.contains(entry.row.get()) || isChanged(entry))
                    result.push_back(entry.row);
            }
            appendInserted<Model>(result, uuid);
            return result;
        }
    }

    // --- Changing ----------------------------------------------------------

    template <StoredModel Model>
    void insert(const std::shared_ptr<Model>& row)
    {
        if (!row || row->modelContext())
            return;
        attach(*row, &owner, std::nullopt);
        entity<Model>().inserted.push_back(row);
        if constexpr (std::is_same_v<Model, SyncedNote>) {
            const auto revisions = row->revisions();
            for (const auto& revision : revisions)
                insert(revision);
        }
        if constexpr (hasNote<Model>)
            insert(row->note());
    }

    template <StoredModel Model>
    void remove(const std::shared_ptr<Model>& row)
    {
        if (!row || row->modelContext() != &owner)
            return;
        auto& state = entity<Model>();
        if (!row->storeKey()) {
            std::erase(state.inserted, row);
            attach(*row, nullptr, std::nullopt);
        } else {
            const auto found = state.registered.find(*row->storeKey());
            if (found == state.registered.end() || found->second.deleted)
                return;
            found->second.deleted = true;
        }
        if constexpr (hasNote<Model>)
            linkNote(*row, nullptr);
        if constexpr (std::is_same_v<Model, SyncedNote>) {
            const auto revisions = row->revisions();
            for (const auto& revision : revisions)
                remove(revision);
        }
    }

    // --- Saving ------------------------------------------------------------

    template <StoredModel Model>
    EntityPlan plan()
    {
        EntityPlan plan;
        for (const auto& [key, entry] : entity<Model>().registered) {
            if (entry.deleted)
                plan.deletes.push_back(key);
            else if (isChanged(entry))
                plan.updates.push_back(key);
        }
        return plan;
    }

    template <StoredModel Model>
    void bindNote(SqliteStatement& statement, int index, const Model& row,
                  const std::unordered_map<const PersistentModel*, std::int64_t>& newKeys)
    {
        const auto note = row.note();
        std::optional<std::int64_t> key = note ? note->storeKey() : std::nullopt;
        if (note && !key) {
            const auto found = newKeys.find(note.get());
            if (found != newKeys.end())
                key = found->second;
        }
        if (key)
            statement.bindInteger(index, *key);
        else
            statement.bindNull(index);
    }

    template <StoredModel Model>
    Expected<void, std::string> writeInserts(std::unordered_map<const PersistentModel*, std::int64_t>& newKeys)
    {
        const auto& inserted = entity<Model>().inserted;
        if (inserted.empty())
            return {};
        std::string columns = "Z_RECORDNAME";
        std::string placeholders = "?";
        forEachAttribute<Model>([&](auto, const auto& attribute) {
            columns += ", " + sqlName(attribute.name);
            placeholders += ", ?";
        });
        if constexpr (hasNote<Model>) {
            columns += ", " + sqlName(ModelTraits<Model>::noteColumn);
            placeholders += ", ?";
        }
        auto statement = database.prepare("INSERT INTO " + sqlName(ModelTraits<Model>::entityName) + " (" + columns
                                          + ") VALUES (" + placeholders + ")");
        if (!statement)
            return unexpected(statement.error());
        for (const auto& row : inserted) {
            statement->bindText(1, row->recordName());
            forEachAttribute<Model>([&](auto index, const auto& attribute) {
                using Value = typename std::decay_t<decltype(attribute)>::value_type;
                ColumnCodec<Value>::bind(*statement, 2 + int(index), (*row).*(attribute.member));
            });
            if constexpr (hasNote<Model>)
                bindNote(*statement, 2 + int(attributeCount<Model>), *row, newKeys);
            auto ran = statement->run();
            if (!ran)
                return unexpected(ran.error());
            newKeys[row.get()] = database.lastInsertRowId();
        }
        return {};
    }

    /// Writes only the attributes that changed, so a concurrent writer's
    /// changes to the others survive.
    template <StoredModel Model>
    Expected<void, std::string> writeUpdate(const Registered<Model>& entry, std::int64_t key,
                                            const std::unordered_map<const PersistentModel*, std::int64_t>& newKeys)
    {
        std::string assignments;
        std::array<bool, attributeCount<Model>> changed{};
        forEachAttribute<Model>([&](auto index, const auto& attribute) {
            if (sameAttributeValue((*entry.row).*(attribute.member), std::get<decltype(index)::value>(entry.stored)))
                return;
            changed[index] = true;
            assignments += (assignments.empty() ? "" : ", ") + sqlName(attribute.name) + " = ?";
        });
        bool noteChanged = false;
        if constexpr (hasNote<Model>) {
            noteChanged = !noteMatches(*entry.row, entry.storedNoteKey);
            if (noteChanged)
                assignments += (assignments.empty() ? "" : ", ") + sqlName(ModelTraits<Model>::noteColumn) + " = ?";
        }
        auto statement = database.prepare("UPDATE " + sqlName(ModelTraits<Model>::entityName) + " SET " + assignments
                                          + " WHERE Z_PK = ?");
        if (!statement)
            return unexpected(statement.error());
        int parameter = 1;
        forEachAttribute<Model>([&](auto index, const auto& attribute) {
            using Value = typename std::decay_t<decltype(attribute)>::value_type;
            if (changed[index])
                ColumnCodec<Value>::bind(*statement, parameter++, (*entry.row).*(attribute.member));
        });
        if constexpr (hasNote<Model>)
            if (noteChanged)
                bindNote(*statement, parameter++, *entry.row, newKeys);
        statement->bindInteger(parameter, key);
        return statement->run();
    }

    template <StoredModel Model>
    Expected<void, std::string> writeUpdates(const EntityPlan& plan,
                                             const std::unordered_map<const PersistentModel*, std::int64_t>& newKeys)
    {
        auto& registered = entity<Model>().registered;
        for (const auto key : plan.updates) {
            auto written = writeUpdate<Model>(registered.at(key), key, newKeys);
            if (!written)
                return written;
        }
        return {};
    }

    template <StoredModel Model>
    Expected<void, std::string> writeDeletes(const EntityPlan& plan)
    {
        if (plan.deletes.empty())
            return {};
        auto statement = database.prepare("DELETE FROM " + sqlName(ModelTraits<Model>::entityName) + " WHERE Z_PK = ?");
        if (!statement)
            return unexpected(statement.error());
        for (const auto key : plan.deletes) {
            statement->bindInteger(1, key);
            auto ran = statement->run();
            if (!ran)
                return ran;
        }
        return {};
    }

    template <StoredModel Model>
    void applyInserts(const std::unordered_map<const PersistentModel*, std::int64_t>& newKeys)
    {
        auto& state = entity<Model>();
        for (const auto& row : state.inserted) {
            const auto key = newKeys.at(row.get());
            attach(*row, &owner, key);
            auto& entry = state.registered[key];
            entry.row = row;
            entry.stored = attributeValues(*row);
            entry.seen = generation;
        }
    }

    template <StoredModel Model>
    void applyChanges(const EntityPlan& plan)
    {
        auto& registered = entity<Model>().registered;
        for (const auto key : plan.updates)
            registered.at(key).stored = attributeValues(*registered.at(key).row);
        for (const auto key : plan.deletes) {
            detach(*registered.at(key).row);
            registered.erase(key);
        }
        if constexpr (hasNote<Model>) {
            // Inserted and re-linked revisions now point at stored notes.
            for (auto& [key, entry] : registered) {
                const auto note = entry.row->note();
                entry.storedNoteKey = note ? note->storeKey() : std::nullopt;
            }
        }
    }

    Expected<void, std::string> save()
    {
        if (!openError.empty())
            return unexpected(openError);
        std::array<EntityPlan, std::tuple_size_v<VudeSchemaV1::Models>> plans;
        bool anything = false;
        forEachModel([&]<typename Model>(std::type_identity<Model>, std::size_t index) {
            plans[index] = plan<Model>();
            anything = anything || !entity<Model>().inserted.empty() || !plans[index].updates.empty()
                || !plans[index].deletes.empty();
        });
        if (!anything)
            return {};

        auto begun = database.execute("BEGIN IMMEDIATE");
        if (!begun)
            return begun;
        std::unordered_map<const PersistentModel*, std::int64_t> newKeys;
        Expected<void, std::string> written;
        forEachModel([&]<typename Model>(std::type_identity<Model>, std::size_t) {
            if (written)
                written = writeInserts<Model>(newKeys);
        });
        // Every update before any deletion: a revision moved off a note that
        // this save deletes must leave it before the cascade runs.
        forEachModel([&]<typename Model>(std::type_identity<Model>, std::size_t index) {
            if (written)
                written = writeUpdates<Model>(plans[index], newKeys);
        });
        forEachModel([&]<typename Model>(std::type_identity<Model>, std::size_t index) {
            if (written)
                written = writeDeletes<Model>(plans[index]);
        });
        if (written)
            written = database.execute("COMMIT");
        if (!written) {
            (void)database.execute("ROLLBACK");
            return written;
        }

        // Only now, with the transaction committed, does the context take the
        // new state as stored.
        forEachModel([&]<typename Model>(std::type_identity<Model>, std::size_t) { applyInserts<Model>(newKeys); });
        forEachModel([&]<typename Model>(std::type_identity<Model>, std::size_t index) {
            applyChanges<Model>(plans[index]);
            entity<Model>().inserted.clear();
        });
        container.noteLocalSave();
        return {};
    }

    void rollback()
    {
        forEachEntity([&](auto& state) {
            for (const auto& row : state.inserted)
                detach(*row);
            state.inserted.clear();
        });
        forEachEntity([&](auto& state) {
            for (auto& [key, entry] : state.registered) {
                entry.deleted = false;
                if (!attributesEqual(*entry.row, entry.stored))
                    assignAttributeValues(*entry.row, entry.stored);
            }
        });
        for (auto& [key, entry] : entity<SyncedNoteRevision>().registered)
            if (!noteMatches(*entry.row, entry.storedNoteKey))
                linkNote(*entry.row, registeredNote(entry.storedNoteKey));
    }

    bool hasChanges()
    {
        bool changed = false;
        forEachEntity([&](auto& state) {
            if (changed || !state.inserted.empty()) {
                changed = true;
                return;
            }
            for (const auto& [key, entry] : state.registered) {
                if (entry.deleted || isChanged(entry)) {
                    changed = true;
                    return;
                }
            }
        });
        return changed;
    }
};

ModelContext::ModelContext(ModelContainer& container) : m_state(std::make_unique<State>(container, *this))
{
    auto database = SqliteDatabase::open(container.configuration().url, SqliteDatabase::OpenMode::readWrite);
    if (!database) {
        m_state->openError = "Could not open the store: " + database.error();
        return;
    }
    auto configured = ModelContainer::configureConnection(*database, container.configuration().busyTimeout);
    if (!configured) {
        m_state->openError = "Could not open the store: " + configured.error();
        return;
    }
    m_state->database = std::move(*database);
}

ModelContext::~ModelContext()
{
    // Rows may outlive the context; they must not point at it afterwards.
    m_state->forEachEntity([](auto& state) {
        for (const auto& row : state.inserted)
            attach(*row, nullptr, row->storeKey());
        for (const auto& [key, entry] : state.registered)
            attach(*entry.row, nullptr, entry.row->storeKey());
    });
}

void ModelContext::attach(PersistentModel& row, ModelContext* context, std::optional<std::int64_t> storeKey)
{
    row.m_context = context;
    row.m_storeKey = storeKey;
}

void ModelContext::linkNote(SyncedNoteRevision& revision, const std::shared_ptr<SyncedNote>& note)
{
    revision.linkNote(note);
}

template <StoredModel Model>
Expected<ModelContext::Rows<Model>, std::string> ModelContext::fetchAll()
{
    return m_state->fetchAll<Model>();
}

template <StoredModel Model>
Expected<ModelContext::Rows<Model>, std::string> ModelContext::fetch(const Uuid& uuid)
{
    return m_state->fetch<Model>(uuid);
}

template <StoredModel Model>
void ModelContext::insert(const std::shared_ptr<Model>& row)
{
    m_state->insert(row);
}

template <StoredModel Model>
void ModelContext::remove(const std::shared_ptr<Model>& row)
{
    m_state->remove(row);
}

template <StoredModel Model>
Expected<void, std::string> ModelContext::removeAll()
{
    auto rows = fetchAll<Model>();
    if (!rows)
        return unexpected(rows.error());
    for (const auto& row : *rows)
        remove(row);
    return {};
}

Expected<void, std::string> ModelContext::save()
{
    return m_state->save();
}

void ModelContext::rollback()
{
    m_state->rollback();
}

bool ModelContext::hasChanges() const
{
    return m_state->hasChanges();
}

ModelContainer& ModelContext::container() const
{
    return m_state->container;
}

// The context serves the schema's models and no others.
#define VUDE_CONTEXT_MODEL(Model)                                                                                      \
    template Expected<ModelContext::Rows<Model>, std::string> ModelContext::fetchAll<Model>();                        \
    template Expected<ModelContext::Rows<Model>, std::string> ModelContext::fetch<Model>(const Uuid&);                \
    template void ModelContext::insert<Model>(const std::shared_ptr<Model>&);                                         \
    template void ModelContext::remove<Model>(const std::shared_ptr<Model>&);                                         \
    template Expected<void, std::string> ModelContext::removeAll<Model>();
VUDE_CONTEXT_MODEL(SyncedTodo)
VUDE_CONTEXT_MODEL(SyncedNote)
VUDE_CONTEXT_MODEL(SyncedNoteRevision)
VUDE_CONTEXT_MODEL(SyncedTimer)
VUDE_CONTEXT_MODEL(SyncedShortcut)
#undef VUDE_CONTEXT_MODEL
