#pragma once
// The file work of the tray, run on its worker threads: taking one file or
// folder in as a new item, measuring a folder, and turning what a pasteboard
// holds into files to add. Nothing here touches a TrayStore.

#include "Platform/Desktop/Pasteboard.h"
#include "VudeKit/Date.h"
#include "VudeKit/Expected.h"
#include "VudeServices/TrayItem.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct TrayMeasurement {
    /// The summed size of the regular files among the entries walked.
    std::int64_t size = 0;
    /// The entries directly inside the folder, hidden ones included.
    std::int64_t children = 0;
    friend bool operator==(const TrayMeasurement&, const TrayMeasurement&) = default;
};

namespace TrayIngestion {

/// The most entries a folder measurement walks.
inline constexpr std::int64_t measureLimit = 5000;

/// Counts the entries directly inside `directory` (0 when it cannot be
/// listed), then walks the tree depth first, hidden files and folders (with
/// their contents) left out, symbolic links not followed, adding the sizes
/// of regular files, and stops once `limit` entries were looked at: a larger
/// folder reports the size of the first `limit` entries only.
TrayMeasurement measure(const std::filesystem::path& directory, std::int64_t limit);

/// Takes the file or folder `url` into a new folder of `root` named by a
/// fresh id: copied, or moved when `move` (across file systems a copy, then
/// the removal of the source). Only a regular file or a folder is taken; a
/// FIFO, socket or device is refused unread. On failure nothing is left in
/// `root` and the message says why, for the user.
Expected<TrayItem, std::string> ingest(const std::filesystem::path& url, bool move, std::optional<Uuid> stackID,
                                       const std::filesystem::path& root, Date now);

/// What a pasteboard offers the tray.
struct PasteIntake {
    enum class Kind {
        /// Nothing the tray takes.
        nothing,
        /// URLs: `files` holds the local ones, to copy (links to the web
        /// cannot be, so it may be empty).
        urls,
        /// An image or text written to `files[0]`, alone in `stagingFolder`,
        /// to move in.
        pasted,
    };
    Kind kind = Kind::nothing;
    std::vector<std::filesystem::path> files;
    std::filesystem::path stagingFolder;
};

/// The largest image and text the tray takes from a pasteboard.
inline constexpr std::size_t maxPastedImageBytes = std::size_t(128) << 20;
inline constexpr std::size_t maxPastedTextBytes = std::size_t(64) << 20;

/// "Pasted <seconds>" and the extension: the name of pasted content.
std::string pastedFileName(std::int64_t unixSeconds, std::string_view extension);

/// Reads the first that applies: a URL list (or a text that is one URL and
/// nothing else), an image (saved as PNG), a non-empty text (saved as UTF-8
/// ".txt"). Pasted content is written to a new folder inside `stagingRoot`
/// under pastedFileName(`unixSeconds`). Runs where the pasteboard's read
/// jobs run.
PasteIntake readPasteboard(PasteboardReader& reader, std::int64_t unixSeconds,
                           const std::filesystem::path& stagingRoot);

} // namespace TrayIngestion
