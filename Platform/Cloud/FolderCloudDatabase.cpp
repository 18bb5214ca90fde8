#include "Platform/Cloud/FolderCloudDatabase.h"

#include "Platform/Cloud/CloudInstallIdentity.h"
#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/XdgPaths.h"
#include "VudeKit/Uuid.h"

#include <QFileSystemWatcher>
#include <QStringList>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExtension = ".json";
// This install's own file, written by us, is read up to this size even
// where an older build wrote it larger than others may read now; the next
// write then fails as the folder being full.
constexpr std::uintmax_t kMaxOwnFileBytes = 64ull * 1024 * 1024;

std::string displayPath(const fs::path& path)
{
    return path.string();
}

/// The install id a file name stands for ("<id>.json"), or none for a name
/// no install writes.
std::optional<std::string> installOfFileName(const std::string& name)
{
    if (name.size() <= kExtension.size() || !name.ends_with(kExtension))
        return std::nullopt;
    const auto stem = name.substr(0, name.size() - kExtension.size());
    const auto uuid = Uuid::parse(stem);
    if (!uuid || uuid->toString() != stem)
        return std::nullopt;
    return stem;
}

} // namespace

FolderCloudDatabase::FolderCloudDatabase(fs::path cloudFolder, std::string containerID, std::string installID,
                                         Scheduler& scheduler, const ClockSource& clock, Options options,
                                         TraceSink trace, QObject* parent)
    : QObject(parent), m_cloudFolder(std::move(cloudFolder)), m_containerID(std::move(containerID)),
      m_installID(std::move(installID)), m_scheduler(scheduler), m_clock(clock), m_options(options),
      m_trace(std::move(trace))
{
}

FolderCloudDatabase::~FolderCloudDatabase()
{
    stopWatching();
}

fs::path FolderCloudDatabase::defaultFolder()
{
    return XdgPaths::applicationSupport() / "Cloud";
}

Expected<std::shared_ptr<FolderCloudDatabase>, std::string> FolderCloudDatabase::forThisInstall(
    std::string containerID, Scheduler& scheduler, const ClockSource& clock, TraceSink trace)
{
    auto installID = CloudInstallIdentity::loadOrCreate(CloudInstallIdentity::defaultFile());
    if (!installID)
        return unexpected(installID.error());
    return std::make_shared<FolderCloudDatabase>(defaultFolder(), std::move(containerID), std::move(*installID),
                                                 scheduler, clock, Options(), std::move(trace));
}

fs::path FolderCloudDatabase::containerFolder() const
{
    return m_cloudFolder / m_containerID;
}

fs::path FolderCloudDatabase::ownFile() const
{
    return containerFolder() / (m_installID + std::string(kExtension));
}

void FolderCloudDatabase::trace(const std::string& line) const
{
    if (m_trace)
        m_trace(line);
}

CloudAccountStatus FolderCloudDatabase::currentAccountStatus() const
{
    struct stat link {};
    if (::lstat(m_cloudFolder.c_str(), &link) != 0)
        return errno == ENOENT || errno == ENOTDIR ? CloudAccountStatus::noAccount
                                                   : CloudAccountStatus::couldNotDetermine;
    struct stat target {};
    if (::stat(m_cloudFolder.c_str(), &target) != 0) {
        // A link to a folder that is not there (an unmounted share, a sync
        // folder not restored yet) may come back.
        if (S_ISLNK(link.st_mode) && (errno == ENOENT || errno == ENOTDIR))
            return CloudAccountStatus::temporarilyUnavailable;
        return CloudAccountStatus::couldNotDetermine;
    }
    if (!S_ISDIR(target.st_mode))
        return CloudAccountStatus::couldNotDetermine;
    // The mode bits count even where access() would let root write anyway.
    if ((target.st_mode & 0222) == 0 || ::access(m_cloudFolder.c_str(), W_OK | X_OK) != 0)
        return CloudAccountStatus::restricted;
    return CloudAccountStatus::available;
}

void FolderCloudDatabase::accountStatus(AccountStatusHandler done)
{
    if (done)
        done(currentAccountStatus());
}

Expected<void, CloudError> FolderCloudDatabase::requireAvailable() const
{
    const auto where = displayPath(m_cloudFolder);
    switch (currentAccountStatus()) {
    case CloudAccountStatus::available:
        return {};
    case CloudAccountStatus::noAccount:
        return unexpected(CloudError{CloudError::notAuthenticated, "There is no cloud folder at " + where + "."});
    case CloudAccountStatus::restricted:
        return unexpected(CloudError{CloudError::permissionFailure, "The cloud folder " + where + " is read-only."});
    case CloudAccountStatus::temporarilyUnavailable:
        return unexpected(CloudError{CloudError::networkUnavailable,
                                     "The cloud folder " + where + " links to a folder that is not there."});
    case CloudAccountStatus::couldNotDetermine:
        break;
    }
    return unexpected(CloudError{CloudError::internalError, "The cloud folder " + where + " cannot be used."});
}

Expected<void, CloudError> FolderCloudDatabase::loadOwnState()
{
    if (m_own)
        return {};
    const auto path = ownFile();
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    if (error || status.type() == fs::file_type::not_found) {
        m_own = CloudInstallState{m_installID};
        m_ownBytes.clear();
        return {};
    }
    auto bytes = AtomicFile::read(path, kMaxOwnFileBytes);
    if (!bytes)
        return unexpected(CloudError{CloudError::internalError, "Cannot read " + displayPath(path) + ": " + bytes.error()});
    auto decoded = CloudInstallState::decode(*bytes);
    if (decoded && decoded->installID == m_installID) {
        m_own = std::move(*decoded);
        m_ownBytes = std::move(*bytes);
        return {};
    }
    // Set aside, not overwritten: it is kept for a person to look at. Its
    // records are written again by the mirror from the store.
    const auto aside = containerFolder() / ("." + m_installID + ".unreadable.json");
    fs::rename(path, aside, error);
    trace("cloud: this install's file " + path.filename().string() + " could not be read ("
          + (decoded ? std::string("it names another install") : decoded.error()) + "); "
          + (error ? "it will be replaced" : "set aside as " + aside.filename().string()));
    m_own = CloudInstallState{m_installID};
    m_ownBytes.clear();
    return {};
}

std::map<std::string, FolderCloudDatabase::FileStamp> FolderCloudDatabase::listOthers() const
{
    std::map<std::string, FileStamp> listing;
    std::error_code error;
    const auto ownName = ownFile().filename().string();
    for (fs::directory_iterator it(containerFolder(), error), end; !error && it != end; it.increment(error)) {
        auto name = it->path().filename().string();
        // Hidden files are writers' and sync tools' temporary files.
        if (name.empty() || name.front() == '.' || name == ownName)
            continue;
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) != 0)
            continue;
        listing[std::move(name)] = {static_cast<std::uintmax_t>(info.st_size),
                                    std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                                    static_cast<std::uint64_t>(info.st_ino) ^ (S_ISREG(info.st_mode) ? 0 : 1ull << 63)};
    }
    return listing;
}

bool FolderCloudDatabase::refreshOthers()
{
    const auto listing = listOthers();
    std::erase_if(m_others, [&](const auto& entry) { return !listing.contains(entry.first); });
    bool complete = true;
    for (const auto& [name, stamp] : listing) {
        const auto install = installOfFileName(name);
        auto cached = m_others.find(name);
        if (cached != m_others.end() && cached->second.stamp == stamp) {
            complete = complete && (!install || cached->second.state.has_value());
            continue;
        }
        OtherFile file{stamp, std::nullopt};
        const auto path = containerFolder() / name;
        if (!install) {
            trace("cloud: skipped " + name + ": not a file of this app");
        } else if (!fs::is_regular_file(fs::symlink_status(path))) {
            trace("cloud: skipped " + name + ": not a regular file");
            complete = false;
        } else if (auto bytes = AtomicFile::read(path, m_options.maxStateFileBytes); !bytes) {
            trace("cloud: skipped " + name + ": " + bytes.error());
            complete = false;
        } else if (auto state = CloudInstallState::decode(*bytes); !state) {
            trace("cloud: skipped " + name + " (half-synced or damaged): " + state.error());
            complete = false;
        } else if (state->installID != *install) {
            trace("cloud: skipped " + name + ": it holds the records of another install");
            complete = false;
        } else {
            file.state = std::move(*state);
        }
        m_others[name] = std::move(file);
    }
    m_othersComplete = complete;
    return complete;
}

std::vector<const CloudInstallState*> FolderCloudDatabase::otherStates() const
{
    std::vector<const CloudInstallState*> states;
    for (const auto& [name, file] : m_others)
        if (file.state)
            states.push_back(&*file.state);
    return states;
}

Expected<void, CloudError> FolderCloudDatabase::writeOwnState(CloudInstallState state)
{
    auto bytes = state.encode();
    if (bytes == m_ownBytes) {
        m_own = std::move(state);
        return {};
    }
    // The other installs would skip a larger file, and with it every write of
    // this one: refused here, where the user can be told.
    if (state.records.size() > CloudInstallState::kMaxRecords)
        return unexpected(CloudError{CloudError::quotaExceeded,
                                     "The cloud folder is full: " + std::to_string(state.records.size())
                                         + " records to keep, "
                                         + std::to_string(CloudInstallState::kMaxRecords) + " allowed."});
    if (bytes.size() > m_options.maxStateFileBytes)
        return unexpected(CloudError{CloudError::quotaExceeded,
                                     "The cloud folder is full: this computer's file would take "
                                         + std::to_string(bytes.size()) + " bytes, "
                                         + std::to_string(m_options.maxStateFileBytes) + " allowed."});
    if (m_options.quotaBytes) {
        std::uintmax_t total = bytes.size();
        for (const auto& [name, stamp] : listOthers())
            total += stamp.size;
        if (total > *m_options.quotaBytes)
            return unexpected(CloudError{CloudError::quotaExceeded,
                                         "The cloud folder is full: " + std::to_string(total) + " bytes needed, "
                                             + std::to_string(*m_options.quotaBytes) + " allowed."});
    }
    auto written = AtomicFile::write(ownFile(), bytes, 0600);
    if (!written)
        return unexpected(CloudError{CloudError::internalError, written.error()});
    m_own = std::move(state);
    m_ownBytes = std::move(bytes);
    return {};
}

Expected<void, CloudError> FolderCloudDatabase::modify(const std::vector<CloudRecord>& records)
{
    if (auto available = requireAvailable(); !available)
        return available;
    if (auto loaded = loadOwnState(); !loaded)
        return loaded;
    const bool complete = refreshOthers();
    auto next = *m_own;
    const Date now = m_clock.now();
    next.apply(records, now);
    next.compact(otherStates(), complete, now, m_options.markLifetime);
    return writeOwnState(std::move(next));
}

Expected<CloudSnapshot, CloudError> FolderCloudDatabase::fetchAll()
{
    if (auto available = requireAvailable(); !available)
        return unexpected(available.error());
    if (auto loaded = loadOwnState(); !loaded)
        return unexpected(loaded.error());

    // This install's file is ours alone: one that went missing or was changed
    // behind our back is written again from what we hold.
    if (!m_ownBytes.empty()) {
        auto onDisk = AtomicFile::read(ownFile(), kMaxOwnFileBytes);
        if (!onDisk || *onDisk != m_ownBytes) {
            trace("cloud: this install's file was " + std::string(onDisk ? "changed" : "removed")
                  + " by someone else; writing it again");
            auto bytes = std::exchange(m_ownBytes, std::string());
            if (auto rewritten = writeOwnState(*m_own); !rewritten) {
                m_ownBytes = std::move(bytes);
                trace("cloud: could not write this install's file again: " + rewritten.error().description);
            }
        }
    }

    const auto listing = listOthers();
    refreshOthers();
    auto states = otherStates();
    CloudSnapshot snapshot;
    for (const auto* state : states)
        snapshot.revisions[state->installID] = state->revision;
    states.push_back(&*m_own);
    snapshot.records = CloudMerge::newest(states);
    m_fetchedListing = listing;
    m_fetchedOnce = true;
    return snapshot;
}

void FolderCloudDatabase::acknowledge(const std::map<std::string, std::int64_t>& revisions)
{
    if (!m_own || !requireAvailable())
        return;
    auto next = *m_own;
    bool changed = false;
    for (const auto& [install, revision] : revisions) {
        if (install == m_installID)
            continue;
        auto& applied = next.seen[install];
        if (revision > applied) {
            applied = revision;
            changed = true;
        }
    }
    if (!changed)
        return;
    // Acknowledging is not a change of records: the revision stays, so the
    // others have nothing new to acknowledge in turn.
    next.compact(otherStates(), m_othersComplete, m_clock.now(), m_options.markLifetime);
    if (auto written = writeOwnState(std::move(next)); !written)
        trace("cloud: could not record what was applied: " + written.error().description);
}

std::optional<CloudRecordVersion> FolderCloudDatabase::ownVersion(const std::string& recordName)
{
    if (!loadOwnState())
        return std::nullopt;
    const auto found = m_own->records.find(recordName);
    if (found == m_own->records.end())
        return std::nullopt;
    return found->second.record.version();
}

bool FolderCloudDatabase::hasUnseenChanges()
{
    if (currentAccountStatus() != CloudAccountStatus::available)
        return false;
    return !m_fetchedOnce || listOthers() != m_fetchedListing;
}

Expected<void, std::string> FolderCloudDatabase::startWatching(std::function<void()> onRemoteChange)
{
    stopWatching();
    m_onRemoteChange = std::move(onRemoteChange);
    m_watchedStatus = currentAccountStatus();
    m_watcher = std::make_unique<QFileSystemWatcher>();
    connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, this, [this] { scheduleCheck(); });
    updateWatchedPaths();
    m_poll = m_scheduler.every(m_options.pollInterval, [this] { checkFolder(); });
    if (m_watcher->directories().isEmpty())
        return unexpected("Cannot watch " + displayPath(m_cloudFolder.parent_path())
                          + "; changes are looked for every " + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(m_options.pollInterval).count())
                          + " s instead.");
    return {};
}

void FolderCloudDatabase::stopWatching()
{
    m_poll.cancel();
    m_pendingCheck.cancel();
    m_watcher.reset();
    m_onRemoteChange = nullptr;
}

void FolderCloudDatabase::scheduleCheck()
{
    if (m_pendingCheck.isActive())
        return;
    m_pendingCheck = m_scheduler.after(m_options.settleDelay, [this] { checkFolder(); });
}

void FolderCloudDatabase::updateWatchedPaths()
{
    if (!m_watcher)
        return;
    const QStringList watched = m_watcher->directories();
    for (const auto& path : {m_cloudFolder.parent_path(), m_cloudFolder, containerFolder()}) {
        const auto text = QString::fromStdString(path.string());
        std::error_code error;
        if (!watched.contains(text) && fs::is_directory(path, error))
            m_watcher->addPath(text);
    }
}

void FolderCloudDatabase::checkFolder()
{
    updateWatchedPaths();
    const auto status = currentAccountStatus();
    if (status != m_watchedStatus) {
        m_watchedStatus = status;
        NotificationCenter::defaultCenter().post(accountChangedNotification,
                                                 {{"containerID", QString::fromStdString(m_containerID)}});
    }
    if (status == CloudAccountStatus::available && m_onRemoteChange && hasUnseenChanges())
        m_onRemoteChange();
}
