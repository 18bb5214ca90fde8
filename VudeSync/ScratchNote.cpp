#include "VudeSync/ScratchNote.h"

#include "VudeKit/UnicodeText.h"

#include <algorithm>
#include <vector>

namespace ScratchNote {

bool isSameDevice(std::string_view revisionDeviceID, std::string_view deviceID)
{
    return revisionDeviceID == deviceID || nfcNormalized(revisionDeviceID) == nfcNormalized(deviceID);
}

Resolution resolve(const SyncedNote* note, std::string_view deviceID, const NoteMerge& merger)
{
    if (!note)
        return {std::string(), false};

    std::vector<const SyncedNoteRevision*> revisions;
    for (const auto& revision : note->revisions())
        revisions.push_back(revision.get());
    std::stable_sort(revisions.begin(), revisions.end(),
                     [](const auto* a, const auto* b) { return a->editedAt < b->editedAt; });
    if (revisions.empty())
        return {std::string(), std::nullopt};

    // Mine: this device's newest (of two at one time, the later in order).
    // Newest other: the latest time wins, and at one time the earliest in order.
    const SyncedNoteRevision* mine = nullptr;
    const SyncedNoteRevision* newestOther = nullptr;
    for (const auto* revision : revisions) {
        if (isSameDevice(revision->deviceID, deviceID))
            mine = revision;
        else if (!newestOther || revision->editedAt > newestOther->editedAt)
            newestOther = revision;
    }
    if (!newestOther)
        return {mine->text, false};
    if (!mine)
        return {newestOther->text, false};

    auto merged = merger.merge(std::nullopt, mine->text, newestOther->text);
    const bool conflict = merged.find(NoteMerge::separator) != std::string::npos;
    return {std::move(merged), conflict};
}

} // namespace ScratchNote
