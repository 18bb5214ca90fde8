#include "VudeSync/DidoDivuzerore.h"

#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/ScratchNote.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

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

template <typename Value>
bool publish(Value& field, Value value)
{
    if (field == value)
        return false;
    field = std::move(value);
    return true;
}

/// Timers and shortcuts are listed by ascending sort index; equal indexes keep
/// the fetch order.
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

void DidoDivuzerore::refresh()
{
    std::vector<TodoSnapshot> todos;
    if (auto rows = m_context->fetchAll<SyncedTodo>()) {
        todos.reserve(rows->size());
        for (const auto& row : *rows)
            todos.push_back({row->uuid, row->title, row->isDone, row->isFavorite, row->createdAt});
    } else {
        trace("repository: reading to-dos failed: " + rows.error());
    }
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

    std::vector<TimerSnapshot> timers;
    if (auto rows = m_context->fetchAll<SyncedTimer>()) {
        sortBySortIndex(*rows);
        for (const auto& row : *rows)
            timers.push_back({row->uuid, row->label, row->total});
    } else {
        trace("repository: reading timers failed: " + rows.error());
    }
    if (publish(m_timers, std::move(timers)))
        emit timersChanged();

    std::vector<ShortcutSnapshot> shortcuts;
    if (auto rows = m_context->fetchAll<SyncedShortcut>()) {
        sortBySortIndex(*rows);
        for (const auto& row : *rows)
            shortcuts.push_back({row->uuid, row->shortcutName, row->customName, row->symbol, row->textInput});
    } else {
        trace("repository: reading shortcuts failed: " + rows.error());
    }
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
    else
        m_context->rollback();
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

std::shared_ptr<SyncedTodo> DidoDivuzerore::fetchTodo(const Uuid& id)
{
    auto rows = m_context->fetch<SyncedTodo>(id);
    if (!rows || rows->empty())
        return nullptr;
    return rows->front();
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
    const auto todo = fetchTodo(id);
    if (!todo)
        return;
    todo->isDone = !todo->isDone;
    todo->completedAt = todo->isDone ? std::optional<Date>(m_clock.now()) : std::nullopt;
    saveAndRefresh();
}

void DidoDivuzerore::favoriteTodo(const Uuid& id)
{
    const auto todo = fetchTodo(id);
    if (!todo)
        return;
    todo->isFavorite = !todo->isFavorite;
    saveAndRefresh();
}

void DidoDivuzerore::deleteTodo(const Uuid& id)
{
    const auto todo = fetchTodo(id);
    if (!todo)
        return;
    m_context->remove(todo);
    saveAndRefresh();
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
        if (now - *todo->completedAt > limit) {
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

template <typename Model>
void DidoDivuzerore::removeFirst(const Uuid& id)
{
    auto rows = m_context->fetch<Model>(id);
    if (!rows || rows->empty())
        return;
    m_context->remove(rows->front());
    saveAndRefresh();
}

void DidoDivuzerore::removeTimer(const Uuid& id)
{
    removeFirst<SyncedTimer>(id);
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
    removeFirst<SyncedShortcut>(id);
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
                                   [&](const auto& revision) { return revision->deviceID == m_deviceID; });
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
