#pragma once
// The system clipboard as the app uses it: a change count that is cheap to
// poll, reads of what another program copied, and writes of text, file lists
// and images. The clipboard history, the tray's paste intake and the Copy
// path pipeline share it.
//
// On X11 the contents stay with the program that copied them and are fetched
// from it on request, so a read may wait on a program that never answers.
// Reading is therefore a job handed to read(): the backend runs it where
// waiting harms nobody (a worker thread with an X connection of its own) and
// gives up once the time allowed has passed. Everything else is main thread.

#include "VudeKit/Date.h"
#include "VudeKit/Expected.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QImage;
class QObject;

/// Why a type's bytes could not be read.
enum class PasteboardDataError {
    /// Not on offer, or the owner refused to convert to it.
    missing,
    /// Larger than the caller accepts; the rest was not fetched.
    tooLarge,
    /// The owner did not answer in time; nothing more is read in this job.
    timedOut,
};

/// Why a read job ended early.
enum class PasteboardReadError {
    /// No clipboard can be read here (no display).
    unavailable,
    /// The owner kept a request waiting past the time allowed.
    timedOut,
};

/// One look at the clipboard's contents, used by one read job on one thread.
/// Types are names as the owner offers them: MIME types ("text/uri-list",
/// "image/png") and, on X11, older target names ("UTF8_STRING", "STRING").
class PasteboardReader {
public:
    virtual ~PasteboardReader() = default;

    /// The types on offer, or none when the clipboard has no owner or the
    /// owner does not say.
    virtual std::optional<std::vector<std::string>> types() = 0;

    /// The bytes of `type`, at most `maxBytes` of them.
    virtual Expected<std::string, PasteboardDataError> data(const std::string& type, std::size_t maxBytes) = 0;
};

/// What the common kinds of content are made of, read through any reader.
namespace PasteboardContent {

inline constexpr std::string_view uriListType = "text/uri-list";
/// What GNOME's file manager puts beside (or instead of) the URI list:
/// "copy" or "cut", then one URL a line.
inline constexpr std::string_view gnomeCopiedFilesType = "x-special/gnome-copied-files";
inline constexpr std::string_view pngType = "image/png";

/// The plain text on offer, as UTF-8 (bytes that are not UTF-8 become
/// U+FFFD). Prefers the UTF-8 types; Latin-1 "STRING" is converted.
/// `maxBytes` bounds the UTF-8 result.
Expected<std::string, PasteboardDataError> string(PasteboardReader& reader, std::size_t maxBytes);

/// Every URL of the URI list, as written (web links included).
Expected<std::vector<std::string>, PasteboardDataError> urls(PasteboardReader& reader);

/// The local files among the URLs, as absolute paths, in order.
Expected<std::vector<std::filesystem::path>, PasteboardDataError> fileURLs(PasteboardReader& reader);

/// The encoded bytes of the first image type on offer (PNG, TIFF, then the
/// other formats the image codec reads), as the owner sends them.
Expected<std::string, PasteboardDataError> imageData(PasteboardReader& reader, std::size_t maxBytes);

/// The URLs of a "text/uri-list" body: one a line, CRLF or LF, lines
/// starting with "#" are comments.
std::vector<std::string> parseURIList(std::string_view body);

/// The path of a "file:" URL on this machine (no host, or "localhost"),
/// percent-escapes decoded and trailing slashes dropped; none otherwise.
std::optional<std::filesystem::path> localPath(std::string_view url);

/// The "file:" URL of an absolute path, escaped as a URI list needs it.
std::string fileURL(const std::filesystem::path& path);

} // namespace PasteboardContent

class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    /// Whether there is a clipboard to read and write at all.
    virtual bool isAvailable() const = 0;

    /// Moves on every change of the contents, ours included; never reads
    /// the contents, so it can be polled as often as needed.
    virtual std::int64_t changeCount() const = 0;

    using ReadJob = std::function<void(PasteboardReader& reader)>;
    using ReadDone = std::function<void(std::optional<PasteboardReadError> error)>;

    /// Runs `job` with a reader of the contents as they are now, where a
    /// read may wait (on X11 a worker thread: the job must touch nothing of
    /// the main thread), then calls `done` on `context`'s thread: with no
    /// error when the job ran to its end, or with the reason it could not
    /// (after a time-out, whatever the job found is not to be trusted).
    /// `done` is dropped when `context` goes first; it may run before read()
    /// returns. Reads run one after another, in order.
    virtual void read(QObject* context, Duration timeout, ReadJob job, ReadDone done) = 0;

    /// Empties the clipboard.
    virtual void clearContents() = 0;
    /// Each write replaces the whole contents and moves the change count.
    virtual void writeString(const std::string& text) = 0;
    virtual void writeFileURLs(const std::vector<std::filesystem::path>& paths) = 0;
    virtual void writeImage(const QImage& image) = 0;
};
