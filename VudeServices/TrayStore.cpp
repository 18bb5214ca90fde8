#include "VudeServices/TrayStore.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Core/XdgPaths.h"
#include "Platform/Desktop/TypeIcon.h"
#include "Platform/Images/ImageCodec.h"
#include "Platform/Shell/UrlOpener.h"
#include "VudeKit/Numbers.h"

#include <QFile>
#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

// The index names at most a few dozen items; anything this large is not one.
constexpr std::uintmax_t kMaxIndexBytes = std::uintmax_t(64) << 20;
// The index names the user's files.
constexpr mode_t kIndexMode = 0600;
constexpr std::string_view kSetAsideSuffix = ".unreadable";
constexpr int kThumbnailThreads = 2;

// The item's own folder in the tray, when its stored copy lies directly in
// it: the only folder the tray ever deletes or caches a thumbnail in, so an
// index edited by hand cannot reach anything else.
std::optional<fs::path> itemFolder(const TrayItem& item, const fs::path& root)
{
    const fs::path stored = fs::path(item.storedPath).lexically_normal();
    const fs::path folder = stored.parent_path();
    if (!stored.has_filename() || folder != (root / item.id.toString()).lexically_normal())
        return std::nullopt;
    return folder;
}

// Whether `folder` is a folder itself, not a link to one: a link of an item
// folder's name passes itemFolder's check by its text, yet leads elsewhere.
bool isRealFolder(const fs::path& folder)
{
    std::error_code error;
    return fs::symlink_status(folder, error).type() == fs::file_type::directory;
}

// Whether an index set aside as unreadable mentions `folder`: the user's
// list of parked files is in there, so what it names stays. One that cannot
// be read counts as mentioning it.
bool namedBySetAsideIndex(const fs::path& folder, const fs::path& root)
{
    const std::string setAsidePrefix = std::string(TrayStore::indexFileName) + std::string(kSetAsideSuffix);
    const auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
        return text;
    };
    const std::string name = lower(folder.filename().string());
    std::error_code error;
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (!it->path().filename().string().starts_with(setAsidePrefix))
            continue;
        const auto bytes = AtomicFile::read(it->path(), kMaxIndexBytes);
        if (!bytes || lower(*bytes).find(name) != std::string::npos)
            return true;
    }
    return false;
}

void deleteItemFolder(const TrayItem& item, const fs::path& root, const Trash::Mover& moveToTrash)
{
    const auto folder = itemFolder(item, root);
    if (!folder || namedBySetAsideIndex(*folder, root))
        return;
    std::error_code error;
    if (!isRealFolder(*folder)) {
        // Only the entry in the tray's own folder goes, never what it leads to.
        fs::remove(*folder, error);
        return;
    }
    const fs::path stored = fs::path(item.storedPath).lexically_normal();
    // Moved in, the copy is the user's only one: it goes to the Trash, and
    // stays where it is when it cannot.
    if (!item.originalPath && fs::symlink_status(stored, error).type() != fs::file_type::not_found
        && !Trash::moveToUsersTrash(stored, moveToTrash))
        return;
    fs::remove_all(*folder, error);
}

// Writes the cache only while the item's folder stands: a folder deleted in
// the meantime is not brought back.
void writeThumbnail(const QImage& image, const fs::path& cache, std::mutex& folderLock)
{
    ImageCodec::EncodeOptions png;
    png.format = ImageFormat::png;
    const auto bytes = ImageCodec::encode(image, png);
    if (!bytes)
        return;
    const std::lock_guard guard(folderLock);
    if (isRealFolder(cache.parent_path()))
        (void)AtomicFile::write(cache, *bytes);
}

std::int64_t unixSeconds(Date date)
{
    return std::chrono::duration_cast<std::chrono::seconds>(date.time_since_epoch()).count();
}

int thumbnailPixels(double size)
{
    const double pixels = std::ceil(clampedOrLower(size * TrayStore::thumbnailScale, 1, TrayStore::maxThumbnailPixels));
    return saturatingCast<int>(pixels);
}

} // namespace

TrayStore::TrayStore(const std::string& containerName, Options options, QObject* parent)
    : QObject(parent),
      m_clock(options.clock),
      m_thumbnailGenerator(std::move(options.thumbnailGenerator)),
      m_typeIcon(std::move(options.typeIcon)),
      m_urlOpener(options.urlOpener),
      m_moveToTrash(std::move(options.moveToTrash)),
      m_queue(std::make_unique<SerialQueue>(std::string(queueLabel))),
      m_ingestQueue(std::make_unique<SerialQueue>(std::string(ingestQueueLabel)))
{
    if (!m_clock) {
        m_ownClock = std::make_unique<SystemClock>();
        m_clock = m_ownClock.get();
    }
    if (!m_thumbnailGenerator)
        m_thumbnailGenerator = std::make_shared<FileThumbnailGenerator>();
    if (!m_typeIcon)
        m_typeIcon = TypeIcon::image;
    if (!m_urlOpener) {
        m_ownUrlOpener = std::make_unique<DesktopUrlOpener>();
        m_urlOpener = m_ownUrlOpener.get();
    }
    if (!m_moveToTrash)
        m_moveToTrash = Trash::moveWithQt;
    // Decoding is bounded per image, not in number: two at a time.
    m_thumbnailPool.setMaxThreadCount(kThumbnailThreads);

    const fs::path support =
        options.applicationSupport.empty() ? XdgPaths::applicationSupportRoot() : options.applicationSupport;
    m_root = (support / containerName / folderName).lexically_normal();
    m_indexURL = m_root / indexFileName;
    (void)AtomicFile::createPrivateFolders(m_root);
    load();
    loadHandedOut();
    sweep();
}

TrayStore::~TrayStore()
{
    // Whoever listens may be going too: the last adds are only kept.
    m_onChange = nullptr;
    blockSignals(true);
    m_ingestQueue->waitUntilIdle();
    applyFinishedAdds(false);
}

void TrayStore::setMaxItems(std::int64_t maxItems)
{
    m_maxItems = std::max<std::int64_t>(maxItems, 0);
}

void TrayStore::load()
{
    // This store is the index's only writer: temporary files beside it are
    // what writes cut short left.
    AtomicFile::removeLeftovers(m_indexURL);
    std::error_code error;
    if (fs::symlink_status(m_indexURL, error).type() == fs::file_type::not_found)
        return;
    std::optional<std::vector<TrayItem>> decoded;
    if (const auto bytes = AtomicFile::read(m_indexURL, kMaxIndexBytes))
        decoded = decodeTrayIndex(*bytes);
    if (!decoded) {
        // The user's list of parked files is in there: keep it for them
        // rather than replace it with the next save.
        if (const auto moved = AtomicFile::setAside(m_indexURL, kSetAsideSuffix))
            m_setAsideIndexURL = *moved;
        else
            m_indexWritable = false;
        return;
    }
    // Items whose stored copy has vanished leave at the sweep that follows.
    m_items = std::move(*decoded);
}

void TrayStore::loadHandedOut()
{
    const fs::path url = m_root / handedOutFileName;
    AtomicFile::removeLeftovers(url);
    std::error_code error;
    if (fs::symlink_status(url, error).type() == fs::file_type::not_found)
        return;
    std::optional<std::vector<TrayItem>> decoded;
    if (const auto bytes = AtomicFile::read(url, kMaxIndexBytes))
        decoded = decodeTrayIndex(*bytes);
    if (!decoded) {
        // Their folders then stay where they are: nothing is deleted on
        // the word of a list that cannot be read.
        m_handedOutWritable = false;
        return;
    }
    m_handedOut = std::move(*decoded);
}

void TrayStore::saveHandedOut()
{
    if (!m_handedOutWritable)
        return;
    const fs::path url = m_root / handedOutFileName;
    if (m_handedOut.empty()) {
        std::error_code ignored;
        fs::remove(url, ignored);
        return;
    }
    (void)AtomicFile::write(url, encodeTrayIndex(m_handedOut), kIndexMode);
}

void TrayStore::sweep()
{
    std::error_code error;
    const auto present = [&error](const TrayItem& item) {
        return fs::symlink_status(item.storedPath, error).type() != fs::file_type::not_found;
    };
    std::vector<TrayItem> items;
    std::vector<TrayItem> gone;
    for (const TrayItem& item : m_items)
        (present(item) ? items : gone).push_back(item);
    for (const TrayItem& item : m_handedOut) {
        if (!present(item)) {
            gone.push_back(item);
            continue;
        }
        if (std::ranges::find(items, item.id, &TrayItem::id) != items.end())
            continue;
        // Newest first: it goes back where its date puts it.
        const auto at = std::ranges::find_if(items, [&](const TrayItem& listed) { return listed.addedAt < item.addedAt; });
        items.insert(at, item);
    }
    if (!m_handedOut.empty()) {
        m_handedOut.clear();
        saveHandedOut();
    }
    deleteFolders(std::move(gone));
    if (items != m_items)
        setItems(std::move(items), false);
}

void TrayStore::save()
{
    if (m_indexWritable)
        (void)AtomicFile::write(m_indexURL, encodeTrayIndex(m_items), kIndexMode);
    if (m_onChange)
        m_onChange(m_items);
}

void TrayStore::setItems(std::vector<TrayItem> items, bool evicting)
{
    const std::vector<TrayItem> previous = std::exchange(m_items, std::move(items));
    if (evicting)
        evict();
    const bool changed = previous != m_items;
    save();
    if (changed)
        emit itemsChanged();
}

void TrayStore::evict()
{
    const auto keep = static_cast<std::size_t>(m_maxItems);
    if (m_items.size() <= keep)
        return;
    std::vector<TrayItem> evicted(std::make_move_iterator(m_items.begin() + static_cast<std::ptrdiff_t>(keep)),
                                  std::make_move_iterator(m_items.end()));
    m_items.resize(keep);
    deleteFolders(std::move(evicted));
}

void TrayStore::deleteFolders(std::vector<TrayItem> items)
{
    if (items.empty())
        return;
    m_queue->async([items = std::move(items), root = m_root, trash = m_moveToTrash, lock = m_folderLock] {
        for (const auto& item : items) {
            const std::lock_guard guard(*lock);
            deleteItemFolder(item, root, trash);
        }
    });
}

void TrayStore::add(std::vector<fs::path> urls, bool move, AddDone done)
{
    std::optional<Uuid> stackID;
    if (urls.size() >= 2)
        stackID = Uuid::random();
    const std::uint64_t job = ++m_lastJob;
    m_addsInFlight.emplace(job, std::move(done));
    m_ingestQueue->async([this, results = m_ingestResults, urls = std::move(urls), move, stackID, root = m_root,
                          now = m_clock->now(), job] {
        FinishedAdd finished;
        finished.job = job;
        for (const auto& url : urls) {
            auto item = TrayIngestion::ingest(url, move, stackID, root, now);
            if (item)
                finished.items.push_back(std::move(*item));
            else
                finished.failures.push_back({url, item.error()});
        }
        {
            const std::lock_guard lock(results->mutex);
            results->finished.push_back(std::move(finished));
        }
        // The queue is joined before the store goes, so `this` still stands.
        postTo(this, [this] { applyFinishedAdds(true); });
    });
}

void TrayStore::applyFinishedAdds(bool callDone)
{
    std::vector<FinishedAdd> finished;
    {
        const std::lock_guard lock(m_ingestResults->mutex);
        finished.swap(m_ingestResults->finished);
    }
    for (auto& add : finished) {
        m_lastFailures = std::move(add.failures);
        if (!add.items.empty()) {
            std::vector<TrayItem> items = add.items;
            items.insert(items.end(), m_items.begin(), m_items.end());
            setItems(std::move(items), true);
        }
        const auto found = m_addsInFlight.find(add.job);
        if (found == m_addsInFlight.end())
            continue;
        const AddDone done = std::move(found->second);
        m_addsInFlight.erase(found);
        if (callDone && done)
            done(add.items);
    }
}

void TrayStore::waitUntilIdle()
{
    m_ingestQueue->waitUntilIdle();
    applyFinishedAdds(true);
    m_queue->waitUntilIdle();
}

void TrayStore::remove(const TrayItem& item)
{
    std::vector<TrayItem> items = m_items;
    std::erase_if(items, [&](const TrayItem& entry) { return entry.id == item.id; });
    deleteFolders({item});
    setItems(std::move(items), false);
}

void TrayStore::removeEntry(const TrayItem& item)
{
    // Noted before the entry goes, so that no moment leaves the copy on disk
    // with neither an entry nor a note.
    const auto listed = std::ranges::find(m_items, item.id, &TrayItem::id);
    if (listed != m_items.end() && std::ranges::find(m_handedOut, item.id, &TrayItem::id) == m_handedOut.end()) {
        m_handedOut.push_back(*listed);
        saveHandedOut();
    }
    std::vector<TrayItem> items = m_items;
    std::erase_if(items, [&](const TrayItem& entry) { return entry.id == item.id; });
    setItems(std::move(items), false);
}

void TrayStore::removeAll()
{
    std::vector<TrayItem> taken = m_items;
    setItems({}, false);
    deleteFolders(std::move(taken));
}

void TrayStore::thumbnail(const TrayItem& item, double size, QObject* context, ThumbnailDone done)
{
    const int pixels = thumbnailPixels(size);
    const fs::path stored = fs::path(item.storedPath).lexically_normal();
    // A dropped file may itself be named like the cache: then nothing is
    // cached, rather than the file read as its own thumbnail or replaced.
    std::optional<fs::path> cache;
    if (const auto folder = itemFolder(item, m_root); folder && stored.filename() != thumbnailFileName)
        cache = *folder / thumbnailFileName;
    QPointer<QObject> guard(context);
    m_thumbnailPool.start([this, stored, cache, pixels, generator = m_thumbnailGenerator, lock = m_folderLock,
                           guard = std::move(guard), done = std::move(done), type = item.utType()]() mutable {
        std::optional<QImage> image;
        if (cache && !isRealFolder(cache->parent_path()))
            cache.reset();
        if (cache)
            if (auto cached = ImageCodec::decodeFile(*cache))
                image = std::move(cached->image);
        if (!image) {
            if (auto made = generator->thumbnail(stored, pixels)) {
                image = std::move(*made);
                if (cache)
                    writeThumbnail(*image, *cache, *lock);
            }
        }
        // The pool is joined before the store goes, so `this` still stands.
        postTo(this, [this, image = std::move(image), guard = std::move(guard), done = std::move(done),
                      type = std::move(type), pixels]() mutable {
            if (!guard || !done)
                return;
            done(image ? std::move(image) : m_typeIcon(type, pixels));
        });
    });
}

void TrayStore::quickLook(const TrayItem& item)
{
    (void)m_urlOpener->open(QUrl::fromLocalFile(QFile::decodeName(item.storedPath.c_str())));
}

void TrayStore::addFromPasteboard(Pasteboard& pasteboard, AddDone done)
{
    const std::int64_t seconds = unixSeconds(m_clock->now());
    auto intake = std::make_shared<TrayIngestion::PasteIntake>();
    pasteboard.read(
        this, pasteboardTimeout,
        [intake, seconds](PasteboardReader& reader) {
            const auto staging = XdgPaths::privateRuntimeDirectory();
            // Without a private folder, nothing pasted is written anywhere.
            *intake = TrayIngestion::readPasteboard(reader, seconds, staging ? *staging : fs::path());
        },
        [this, intake, done = std::move(done)](std::optional<PasteboardReadError> error) {
            const auto finish = [intake, done](const std::vector<TrayItem>& added) {
                if (!intake->stagingFolder.empty()) {
                    std::error_code ignored;
                    fs::remove_all(intake->stagingFolder, ignored);
                }
                if (done)
                    done(added);
            };
            if (error || intake->kind == TrayIngestion::PasteIntake::Kind::nothing
                || (intake->kind == TrayIngestion::PasteIntake::Kind::urls && intake->files.empty())) {
                postTo(this, [finish] { finish({}); });
                return;
            }
            const bool move = intake->kind == TrayIngestion::PasteIntake::Kind::pasted;
            add(intake->files, move, finish);
        });
}

TrayMeasurement TrayStore::measure(const fs::path& directory, std::int64_t limit)
{
    return TrayIngestion::measure(directory, limit);
}
