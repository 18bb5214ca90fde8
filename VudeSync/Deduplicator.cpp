#include "VudeSync/Deduplicator.h"

#include "VudeSync/ModelContext.h"

#include <algorithm>
#include <unordered_map>

namespace {

/// Keeps one row per `uuid`: rows are met in record-name order, and a row
/// replaces the one kept so far only when `prefer(row, kept)` holds. Deletes
/// the others through the context and returns how many.
template <typename Model, typename Prefer>
Expected<int, std::string> collapse(ModelContext& context, Prefer&& prefer)
{
    auto rows = context.fetchAll<Model>();
    if (!rows)
        return unexpected(rows.error());
    std::stable_sort(rows->begin(), rows->end(),
                     [](const auto& a, const auto& b) { return a->recordName() < b->recordName(); });

    std::unordered_map<Uuid, std::shared_ptr<Model>> kept;
    std::vector<std::shared_ptr<Model>> losers;
    for (const auto& row : *rows) {
        auto [position, isFirst] = kept.try_emplace(row->uuid, row);
        if (isFirst)
            continue;
        if (prefer(*row, *position->second)) {
            losers.push_back(std::move(position->second));
            position->second = row;
        } else {
            losers.push_back(row);
        }
    }

    if constexpr (std::is_same_v<Model, SyncedNote>) {
        // A note's revisions are each device's text: they move to the note
        // that stays instead of going with the one deleted.
        for (const auto& loser : losers) {
            const auto survivor = kept.at(loser->uuid);
            const auto revisions = loser->revisions();
            for (const auto& revision : revisions)
                revision->setNote(survivor);
        }
    }
    for (const auto& loser : losers)
        context.remove(loser);
    return static_cast<int>(losers.size());
}

} // namespace

Expected<Deduplicator::Summary, std::string> Deduplicator::run(ModelContext& context) const
{
    Summary summary;
    // The earlier creation wins; at one time, the done to-do.
    auto todos = collapse<SyncedTodo>(context, [](const SyncedTodo& row, const SyncedTodo& kept) {
        return std::pair(row.createdAt, row.isDone ? 0 : 1) < std::pair(kept.createdAt, kept.isDone ? 0 : 1);
    });
    if (!todos)
        return unexpected(todos.error());
    summary.todos = *todos;

    auto notes = collapse<SyncedNote>(context, [](const SyncedNote& row, const SyncedNote& kept) {
        return row.revisions().size() > kept.revisions().size();
    });
    if (!notes)
        return unexpected(notes.error());
    summary.notes = *notes;

    auto timers = collapse<SyncedTimer>(
        context, [](const SyncedTimer& row, const SyncedTimer& kept) { return row.sortIndex < kept.sortIndex; });
    if (!timers)
        return unexpected(timers.error());
    summary.timers = *timers;

    auto shortcuts = collapse<SyncedShortcut>(
        context, [](const SyncedShortcut& row, const SyncedShortcut& kept) { return row.sortIndex < kept.sortIndex; });
    if (!shortcuts)
        return unexpected(shortcuts.error());
    summary.shortcuts = *shortcuts;

    if (summary.isEmpty())
        return summary;
    if (auto saved = context.save(); !saved)
        return unexpected(saved.error());
    return summary;
}
