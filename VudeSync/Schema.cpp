#include "VudeSync/Schema.h"

#include "VudeSync/ModelContext.h"

#include <algorithm>
#include <charconv>

SyncedTodo::SyncedTodo(Uuid uuid, std::string title, bool isDone, bool isFavorite, Date createdAt,
                       std::optional<Date> completedAt, std::int64_t sortIndex, std::string deviceID)
    : uuid(uuid), title(std::move(title)), isDone(isDone), isFavorite(isFavorite), createdAt(createdAt),
      completedAt(completedAt), sortIndex(sortIndex), deviceID(std::move(deviceID))
{
}

SyncedNote::SyncedNote(Uuid uuid, std::string title, Date updatedAt)
    : uuid(uuid), title(std::move(title)), updatedAt(updatedAt)
{
}

void SyncedNote::addRevision(const std::shared_ptr<SyncedNoteRevision>& revision)
{
    if (revision)
        revision->setNote(shared_from_this());
}

void SyncedNote::removeRevision(const std::shared_ptr<SyncedNoteRevision>& revision)
{
    if (revision && revision->note().get() == this)
        revision->setNote(nullptr);
}

SyncedNoteRevision::SyncedNoteRevision(Uuid uuid, std::string text, Date editedAt, std::string deviceID)
    : uuid(uuid), text(std::move(text)), editedAt(editedAt), deviceID(std::move(deviceID))
{
}

void SyncedNoteRevision::setNote(const std::shared_ptr<SyncedNote>& note)
{
    linkNote(note);
    if (!note)
        return;
    // A relationship cannot span "stored" and "nowhere": the side that is in
    // no context follows the other into its context.
    if (modelContext() && !note->modelContext())
        modelContext()->insert(note);
    else if (note->modelContext() && !modelContext())
        note->modelContext()->insert(shared_from_this());
}

void SyncedNoteRevision::linkNote(const std::shared_ptr<SyncedNote>& note)
{
    const auto current = m_note.lock();
    if (current == note)
        return;
    if (current)
        std::erase_if(current->m_revisions, [this](const auto& revision) { return revision.get() == this; });
    m_note = note;
    if (note)
        note->m_revisions.push_back(shared_from_this());
}

SyncedTimer::SyncedTimer(Uuid uuid, std::string label, double total, std::int64_t sortIndex)
    : uuid(uuid), label(std::move(label)), total(total), sortIndex(sortIndex)
{
}

SyncedShortcut::SyncedShortcut(Uuid uuid, std::string shortcutName, std::optional<std::string> customName,
                               std::string symbol, std::optional<std::string> textInput, std::int64_t sortIndex)
    : uuid(uuid), shortcutName(std::move(shortcutName)), customName(std::move(customName)), symbol(std::move(symbol)),
      textInput(std::move(textInput)), sortIndex(sortIndex)
{
}

std::string SchemaVersion::toString() const
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

std::optional<SchemaVersion> SchemaVersion::parse(std::string_view text)
{
    SchemaVersion version;
    int* parts[] = {&version.major, &version.minor, &version.patch};
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0) {
            if (cursor == end || *cursor != '.')
                return std::nullopt;
            ++cursor;
        }
        const auto [next, error] = std::from_chars(cursor, end, *parts[i]);
        if (error != std::errc() || next == cursor || *parts[i] < 0)
            return std::nullopt;
        cursor = next;
    }
    if (cursor != end)
        return std::nullopt;
    return version;
}
