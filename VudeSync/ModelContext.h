#pragma once
// A scratchpad over the store: rows are fetched into it, changed, inserted and
// deleted there, and written in one transaction by save() or dropped by
// rollback(). Every fetch reads the store afresh and sees this context's own
// pending inserts, changes and deletions; a row is one object per context
// (fetching it twice gives the same object). Main thread only.
//
// A fetched row that this context has not changed takes the store's newest
// values; one it has changed keeps its changed attributes and takes the
// store's values for the others. A row deleted in the store leaves the
// context, pending changes and all.

#include "VudeKit/Expected.h"
#include "VudeSync/Schema.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ModelContainer;

class ModelContext {
public:
    /// Opens its own connection to the container's store; when that fails,
    /// every fetch and save reports why. The container must outlive it.
    explicit ModelContext(ModelContainer& container);
    ~ModelContext();
    ModelContext(const ModelContext&) = delete;
    ModelContext& operator=(const ModelContext&) = delete;

    template <StoredModel Model>
    using Rows = std::vector<std::shared_ptr<Model>>;

    /// Every row of one model, stored rows in store order, then pending
    /// inserts in the order they were made. Notes come with their revisions.
    template <StoredModel Model>
    Expected<Rows<Model>, std::string> fetchAll();
    /// The rows whose `uuid` is `uuid`, in the same order.
    template <StoredModel Model>
    Expected<Rows<Model>, std::string> fetch(const Uuid& uuid);

    /// Makes a row pending for insertion (with a note, its revisions; with a
    /// revision, its note). A row of another context is left alone.
    template <StoredModel Model>
    void insert(const std::shared_ptr<Model>& row);
    /// Makes a row pending for deletion; deleting a note deletes its revisions,
    /// deleting a revision takes it out of its note's list.
    template <StoredModel Model>
    void remove(const std::shared_ptr<Model>& row);
    /// Deletes every row of one model (pending until saved).
    template <StoredModel Model>
    Expected<void, std::string> removeAll();

    /// Writes every pending change in one transaction. On failure nothing is
    /// written and every change stays pending.
    Expected<void, std::string> save();
    /// Drops every pending change: inserted rows leave the context, deleted
    /// rows come back, changed rows take their stored values again.
    void rollback();
    bool hasChanges() const;

    ModelContainer& container() const;

private:
    struct State;
    friend struct State;

    // The rows' own bookkeeping, which only the context may touch.
    static void attach(PersistentModel& row, ModelContext* context, std::optional<std::int64_t> storeKey);
    static void linkNote(SyncedNoteRevision& revision, const std::shared_ptr<SyncedNote>& note);

    std::unique_ptr<State> m_state;
};
