#pragma once
// The Desk's one plain-text note, shared by every device through the store.
// No device overwrites another's text: the note keeps one revision per device,
// each device writes only its own, and what a device shows is its own revision
// merged with the newest one written elsewhere. The merged text is shown, not
// stored.

#include "VudeSync/NoteMerge.h"
#include "VudeSync/Schema.h"

#include <optional>
#include <string>
#include <string_view>

namespace ScratchNote {

/// The note's identity, the same on every device, so each finds it without
/// any exchange.
inline constexpr Uuid::Bytes kIDBytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x6E, 0x6F, 0x74, 0x65};
inline constexpr Uuid kID{kIDBytes};
/// The title of the note row.
inline constexpr const char* kTitle = "Notes";

struct Resolution {
    std::string text;
    /// Whether the text is a merge that holds the conflict separator; none
    /// leaves the shown flag as it was.
    std::optional<bool> hadConflict;
};

/// Whether a revision written under `revisionDeviceID` is this device's: the
/// names compare in NFC, as the merge compares texts, so a precomposed and a
/// decomposed accent name one device.
bool isSameDevice(std::string_view revisionDeviceID, std::string_view deviceID);

/// What this device shows for `note` (none: no note yet).
Resolution resolve(const SyncedNote* note, std::string_view deviceID, const NoteMerge& merger);

} // namespace ScratchNote
