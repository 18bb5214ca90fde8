#include "VudeSync/DidoDivuzerore.h"

#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/ScratchNote.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>

namespace {

constexpr Duration kDay = std::chrono::hours(24);

/// `text` without the white space and line breaks at either end (every
/// character with Unicode's White_Space property).
std::string_view trimmed(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 character;
        U8_NEXT(bytes, next, length, character);
        if (character < 0 || !u_isUWhiteSpace(character))
            break;
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 character;
        U8_PREV(bytes, start, previous, character);
        if (character < 0 || !u_isUWhiteSpace(character))
            break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

/// Whether more than `limit` passed from `earlier` to `later`, exact for any
/// two dates: the time between extreme ones (a damaged stored date) does not
/// fit in a Duration, and then lies beyond every limit in its direction.
bool elapsedExceeds(Date earlier, Date later, Duration limit)
{
    std::int64_t elapsed = 0;
    if (__builtin_sub_overflow(later.time_since_epoch().count(), earlier.time_since_epoch().count(), &elapsed))
        return later > earlier;
    return Duration(elapsed) > limit;
}

template <typename Value>
bool publish(Value& field, Value value)
{
    if (field == value)
        return false;
    field = std::move(value);
    return true;
}

template <typename Row>
void sortBySortIndex(std::vector<std::shared_ptr<Row>>& rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a->sortIndex < b->sortIndex; });
}

} // namespace

const Uuid DidoDivuzerore::scratchNoteID = ScratchNote::kID;

DidoDivuzerore::DidoDivuzerore(std::unique_ptr<ModelContext> context, std::string deviceID, const ClockSource& clock,
                               TraceSink trace, QObject* parent)
    : QObject(parent), m_context(std::move(context)), m_deviceID(std::move(deviceID)), m_clock(clock),
      m_trace(std::move(trace))
{
    refresh();
    m_remoteChangeObserver = connect(&m_context->container(), &ModelContainer::remoteChange, this,
                                     &DidoDivuzerore::reloadFromStore);
}

DidoDivuzerore::~DidoDivuzerore() = default;

void DidoDivuzerore::trace(const std::string& line) const
{
    if (m_trace)
        m_trace(line);
}

template <typename Model, typename MakeSnapshot>
auto DidoDivuzerore::snapshotsOf(std::string_view what, MakeSnapshot&& makeSnapshot)
{
    std::vector<decltype(makeSnapshot(std::declval<const Model&>()))> snapshots;
    auto rows = m_context->fetchAll<Model>();
    if (!rows) {
        // Shown as an empty list; the store itself is untouched.
        trace("repository: reading " + std::string(what) + " failed: " + rows.error());
        return snapshots;
    }
    // Timers and shortcuts are listed by ascending sort index, equal indexes
    // in fetch order; to-dos are sorted by the caller.
    if constexpr (!std::is_same_v<Model, SyncedTodo>)
        sortBySortIndex(*rows);
    snapshots.reserve(rows->size());
    for (const auto& row : *rows)
        snapshots.push_back(makeSnapshot(*row));
    return snapshots;
}

void DidoDivuzerore::refresh()
{
    auto todos = snapshotsOf<SyncedTodo>("to-dos", [](const SyncedTodo& row) {
        return TodoSnapshot{row.uuid, row.title, row.isDone, row.isFavorite, row.createdAt};
    });
    // Open before done; favourites first; newest first.
    std::stable_sort(todos.begin(), todos.end(), [](const TodoSnapshot& a, const TodoSnapshot& b) {
        if (a.isDone != b.isDone)
            return !a.isDone;
        if (a.isFavorite != b.isFavorite)
            return a.isFavorite;
        return a.createdAt > b.createdAt;
    });
    if (publish(m_todos, std::move(todos)))
        emit todosChanged();

    auto timers = snapshotsOf<SyncedTimer>("timers", [](const SyncedTimer& row) {
        return TimerSnapshot{row.uuid, row.label, row.total};
    });
    if (publish(m_timers, std::move(timers)))
        emit timersChanged();

    auto shortcuts = snapshotsOf<SyncedShortcut>("shortcuts", [](const SyncedShortcut& row) {
        return ShortcutSnapshot{row.uuid, row.shortcutName, row.customName, row.symbol, row.textInput};
    });
    if (publish(m_shortcuts, std::move(shortcuts)))
        emit shortcutsChanged();

    refreshNote();
}

void DidoDivuzerore::reloadFromStore()
{
    // Every edit saves at once, so the only pending changes are those a failed
    // save left behind: they are saved again, never discarded.
    if (m_context->hasChanges())
        saveChanges();
    refresh();
}

void DidoDivuzerore::stop()
{
    if (m_remoteChangeObserver) {
        disconnect(m_remoteChangeObserver);
        m_remoteChangeObserver = {};
    }
}

void DidoDivuzerore::saveChanges()
{
    auto saved = m_context->save();
    if (!saved) {
        trace("repository: save failed, the change is kept and will be saved again: " + saved.error());
        m_hasUnsavedChanges = true;
        return;
    }
    if (m_hasUnsavedChanges) {
        trace("repository: saved the changes kept after a failed save");
        m_hasUnsavedChanges = false;
    }
}

void DidoDivuzerore::saveAndRefresh()
{
    saveChanges();
    refresh();
}

template <typename Model, typename Change>
void DidoDivuzerore::changeFirst(const Uuid& id, Change&& change)
{
    // A failed look-up counts as no match: nothing changes, nothing is saved.
    auto rows = m_context->fetch<Model>(id);
    if (!rows || rows->empty())
        return;
    change(rows->front());
    saveAndRefresh();
}

void DidoDivuzerore::addTodo(std::string_view title)
{
    const auto text = trimmed(title);
    if (text.empty())
        return;
    m_context->insert(std::make_shared<SyncedTodo>(Uuid::random(), std::string(text), false, false, m_clock.now(),
                                                   std::nullopt, 0, m_deviceID));
    saveAndRefresh();
}

void DidoDivuzerore::toggleTodo(const Uuid& id)
{
    changeFirst<SyncedTodo>(id, [&](const auto& todo) {
        todo->isDone = !todo->isDone;
        todo->completedAt = todo->isDone ? std::optional<Date>(m_clock.now()) : std::nullopt;
    });
}

void DidoDivuzerore::favoriteTodo(const Uuid& id)
{
    changeFirst<SyncedTodo>(id, [](const auto& todo) { todo->isFavorite = !todo->isFavorite; });
}

void DidoDivuzerore::deleteTodo(const Uuid& id)
{
    changeFirst<SyncedTodo>(id, [&](const auto& todo) { m_context->remove(todo); });
}

int DidoDivuzerore::archiveExpired(int afterDays, Date now)
{
    auto rows = m_context->fetchAll<SyncedTodo>();
    if (!rows)
        return 0;
    // Saturating, so an absurd day count cannot overflow the clock.
    const Duration limit = durationFromSeconds(static_cast<double>(afterDays) * toSeconds(kDay));
    int deleted = 0;
    for (const auto& todo : *rows) {
        if (!todo->isDone || !todo->completedAt)
            continue;
        if (elapsedExceeds(*todo->completedAt, now, limit)) {
            m_context->remove(todo);
            ++deleted;
        }
    }
    if (deleted > 0)
        saveAndRefresh();
    return deleted;
}

void DidoDivuzerore::addTimer(double total, std::string label)
{
    m_context->insert(std::make_shared<SyncedTimer>(Uuid::random(), std::move(label), total,
                                                    static_cast<std::int64_t>(m_timers.size())));
    saveAndRefresh();
}

void DidoDivuzerore::removeTimer(const Uuid& id)
{
    changeFirst<SyncedTimer>(id, [&](const auto& timer) { m_context->remove(timer); });
}

void DidoDivuzerore::addShortcut(std::string name, std::string symbol)
{
    m_context->insert(std::make_shared<SyncedShortcut>(Uuid::random(), std::move(name), std::nullopt,
                                                       std::move(symbol), std::nullopt,
                                                       static_cast<std::int64_t>(m_shortcuts.size())));
    saveAndRefresh();
}

void DidoDivuzerore::removeShortcut(const Uuid& id)
{
    changeFirst<SyncedShortcut>(id, [&](const auto& shortcut) { m_context->remove(shortcut); });
}

std::shared_ptr<SyncedNote> DidoDivuzerore::fetchScratchNote()
{
    auto notes = m_context->fetch<SyncedNote>(scratchNoteID);
    if (!notes || notes->empty())
        return nullptr;
    return notes->front();
}

void DidoDivuzerore::refreshNote()
{
    const auto note = fetchScratchNote();
    auto resolution = ScratchNote::resolve(note.get(), m_deviceID, m_merger);
    if (publish(m_noteText, std::move(resolution.text)))
        emit noteTextChanged();
    if (resolution.hadConflict && publish(m_noteHadConflict, *resolution.hadConflict))
        emit noteHadConflictChanged();
}

void DidoDivuzerore::saveNote(const std::string& text)
{
    const Date now = m_clock.now();
    auto note = fetchScratchNote();
    if (!note) {
        note = std::make_shared<SyncedNote>(scratchNoteID, ScratchNote::kTitle, now);
        m_context->insert(note);
    }
    note->updatedAt = now;
    // The first revision of this device in the note's own order, not the newest.
    const auto& revisions = note->revisions();
    const auto mine = std::find_if(revisions.begin(), revisions.end(),
                                   [&](const auto& revision) { return ScratchNote::isSameDevice(revision->deviceID, m_deviceID); });
    if (mine != revisions.end()) {
        (*mine)->text = text;
        (*mine)->editedAt = now;
    } else {
        auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), text, now, m_deviceID);
        revision->setNote(note);
        m_context->insert(revision);
    }
    if (publish(m_noteText, text))
        emit noteTextChanged();
    saveChanges();
}
