#pragma once
// The file tray: files and folders the user parks on the notch, newest
// first, at most `maxItems`, each kept as a private copy in a folder of its
// own under "Application Support/<container>/Tray", the list mirrored to
// "index.json" there after every change.
//
// Taking files in (copying, moving, measuring) runs on the worker
// "app.ruvudav.notch.tray.ingest"; the items join the list back on the main
// thread, where `done` then hears which were added. Item folders are deleted
// on the serial queue "app.ruvudav.notch.tray", never waited for. An item
// that was moved in is the user's only copy: when it leaves the tray its
// file goes to the desktop's Trash, and when that fails (or it landed
// anywhere but the user's own Trash) it stays where it is. An index that
// cannot be read is renamed aside, never overwritten, and the folders it
// named stay on disk: no folder a set-aside index mentions is ever deleted.
//
// Main thread only. `items` notifies (itemsChanged) only when the list
// really changed; onChange, when set, hears the list after every save.

#include "Platform/Core/SerialQueue.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Desktop/Trash.h"
#include "Platform/Images/ThumbnailGenerator.h"
#include "VudeKit/ClockSource.h"
#include "VudeServices/TrayIngestion.h"
#include "VudeServices/TrayItem.h"

#include <QImage>
#include <QObject>
#include <QThreadPool>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class UrlOpener;

/// What a TrayStore uses besides its folder; every field has a default.
struct TrayStoreOptions {
    /// The folder holding the container folder; XdgPaths' "Application
    /// Support" when empty.
    std::filesystem::path applicationSupport;
    /// The time of each add; the system clock when none.
    const ClockSource* clock = nullptr;
    /// Pictures of items' content; FileThumbnailGenerator when none.
    std::shared_ptr<const ThumbnailGenerator> thumbnailGenerator;
    /// The picture of a MIME type for items without a thumbnail, called on
    /// the main thread; TypeIcon::image when unset.
    std::function<std::optional<QImage>(const std::string& mimeType, int pixels)> typeIcon;
    /// Opens items for Quick Look; the desktop's default application when none.
    UrlOpener* urlOpener = nullptr;
    /// Moves a file or folder to the desktop's Trash and says where it now
    /// lies, called on the tray's queue; Trash::moveWithQt when unset. Only
    /// a file that landed in the user's own Trash counts (Trash.h).
    Trash::Mover moveToTrash;
};

class TrayStore final : public QObject {
    Q_OBJECT

public:
    static constexpr std::string_view queueLabel = "app.ruvudav.notch.tray";
    static constexpr std::string_view ingestQueueLabel = "app.ruvudav.notch.tray.ingest";
    static constexpr std::string_view folderName = "Tray";
    static constexpr std::string_view indexFileName = "index.json";
    static constexpr std::string_view handedOutFileName = "handedOut.json";
    static constexpr std::string_view thumbnailFileName = "thumb.png";
    static constexpr std::int64_t defaultMaxItems = 50;
    /// Thumbnails are drawn at this many pixels a point.
    static constexpr double thumbnailScale = 2.0;
    /// The largest thumbnail drawn, in pixels a side.
    static constexpr int maxThumbnailPixels = 1024;
    /// How long a pasteboard read may wait on the copying program.
    static constexpr Duration pasteboardTimeout = std::chrono::seconds(3);

    using Options = TrayStoreOptions;
    using ChangeHandler = std::function<void(const std::vector<TrayItem>& items)>;
    /// Hears the items an add took in, in the order of its URLs.
    using AddDone = std::function<void(const std::vector<TrayItem>& added)>;
    using ThumbnailDone = std::function<void(std::optional<QImage> thumbnail)>;

    /// Why a URL of an add was not taken in; `message` is for the user.
    struct Failure {
        std::filesystem::path url;
        std::string message;
    };

    /// Makes the tray folder (a failure is ignored) and loads the index.
    explicit TrayStore(const std::string& containerName, Options options = {}, QObject* parent = nullptr);
    /// Waits for the adds under way and keeps what they took in (their
    /// `done` is not called), then for the deletions and thumbnails.
    ~TrayStore() override;

    TrayStore(const TrayStore&) = delete;
    TrayStore& operator=(const TrayStore&) = delete;

    const std::vector<TrayItem>& items() const { return m_items; }
    std::int64_t maxItems() const { return m_maxItems; }
    /// Never negative. Takes effect at the next add.
    void setMaxItems(std::int64_t maxItems);
    void setOnChange(ChangeHandler handler) { m_onChange = std::move(handler); }

    const std::filesystem::path& root() const { return m_root; }
    const std::filesystem::path& indexURL() const { return m_indexURL; }
    /// Where an index that could not be read was moved; empty otherwise.
    const std::filesystem::path& setAsideIndexURL() const { return m_setAsideIndexURL; }

    /// Takes each URL in, copied, or moved when `move`, all under one new
    /// stack id when there are two or more; the items join the front of the
    /// tray in URL order, the oldest beyond `maxItems` leave, and the index
    /// is saved. When none could be taken in, nothing changes or is saved.
    /// `done` is called later on the main thread, in the order of the adds.
    void add(std::vector<std::filesystem::path> urls, bool move, AddDone done = {});
    /// Why the URLs of the last add that finished were not taken in.
    const std::vector<Failure>& lastFailures() const { return m_lastFailures; }

    /// Drops every item with `item`'s id, deletes `item`'s folder on the
    /// queue (even when it was no longer listed) and saves.
    void remove(const TrayItem& item);
    /// Drops every item with `item`'s id and saves; its folder stays on disk
    /// untouched (another program may still be taking the file away), and
    /// the item is noted as handed out, in "handedOut.json", until a sweep.
    void removeEntry(const TrayItem& item);
    /// Settles the handed-out items: one whose stored copy is gone has its
    /// folder deleted; one whose copy is still there (the receiver copied
    /// it, or failed) joins the tray again, by its date. A listed item whose
    /// copy is gone leaves the tray with its folder. Runs at every load.
    void sweep();
    /// The items handed out and not yet swept, oldest first.
    const std::vector<TrayItem>& handedOut() const { return m_handedOut; }
    /// Empties the tray, deletes every folder on the queue and saves.
    void removeAll();

    /// The item's picture for a chip `size` points wide, drawn off the main
    /// thread: the cached "thumb.png" of its folder, else a new thumbnail
    /// (then cached), else its type's icon; none when there is not even an
    /// icon. `done` runs on the main thread, unless `context` is gone.
    void thumbnail(const TrayItem& item, double size, QObject* context, ThumbnailDone done);
    /// Opens the item's private copy with the default application.
    void quickLook(const TrayItem& item);

    /// Adds what `pasteboard` holds: the local files of its URL list, copied
    /// (a list of links to the web adds nothing, and nothing else is tried);
    /// else an image as "Pasted <seconds>.png"; else a non-empty text as
    /// "Pasted <seconds>.txt", moved in. `done` as for add().
    void addFromPasteboard(Pasteboard& pasteboard, AddDone done = {});

    /// The folder's entry count and the size of its first `limit` entries.
    static TrayMeasurement measure(const std::filesystem::path& directory,
                                   std::int64_t limit = TrayIngestion::measureLimit);

    /// Blocks until the adds and deletions asked for so far have run, and
    /// applies the adds (calling their `done`). For tests and quitting.
    void waitUntilIdle();

signals:
    void itemsChanged();

private:
    struct FinishedAdd {
        std::uint64_t job = 0;
        std::vector<TrayItem> items;
        std::vector<Failure> failures;
    };
    struct IngestResults {
        std::mutex mutex;
        std::vector<FinishedAdd> finished;
    };

    void load();
    void save();
    void loadHandedOut();
    void saveHandedOut();
    void applyFinishedAdds(bool callDone);
    void setItems(std::vector<TrayItem> items, bool evicting);
    void evict();
    void deleteFolders(std::vector<TrayItem> items);

    std::vector<TrayItem> m_items;
    std::vector<TrayItem> m_handedOut;
    // A list of handed-out items that could not be read is never replaced.
    bool m_handedOutWritable = true;
    std::int64_t m_maxItems = defaultMaxItems;
    ChangeHandler m_onChange;
    std::filesystem::path m_root;
    std::filesystem::path m_indexURL;
    std::filesystem::path m_setAsideIndexURL;
    // An index that could be neither read nor moved aside is never replaced.
    bool m_indexWritable = true;
    std::vector<Failure> m_lastFailures;

    const ClockSource* m_clock = nullptr;
    std::unique_ptr<ClockSource> m_ownClock;
    std::shared_ptr<const ThumbnailGenerator> m_thumbnailGenerator;
    std::function<std::optional<QImage>(const std::string&, int)> m_typeIcon;
    UrlOpener* m_urlOpener = nullptr;
    std::unique_ptr<UrlOpener> m_ownUrlOpener;
    Trash::Mover m_moveToTrash;

    std::uint64_t m_lastJob = 0;
    std::map<std::uint64_t, AddDone> m_addsInFlight;
    std::shared_ptr<IngestResults> m_ingestResults = std::make_shared<IngestResults>();
    // Held while an item folder is deleted and while a thumbnail is cached
    // into one, so that a thumbnail never brings a deleted folder back.
    std::shared_ptr<std::mutex> m_folderLock = std::make_shared<std::mutex>();

    // Declared last: they are joined first, while everything they post to
    // still stands.
    QThreadPool m_thumbnailPool;
    std::unique_ptr<SerialQueue> m_queue;
    std::unique_ptr<SerialQueue> m_ingestQueue;
};
