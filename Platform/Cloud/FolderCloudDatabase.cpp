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

fs::path FolderCloudDatabase::ownChunkFolder() const
{
    return containerFolder() / m_installID;
}

fs::path FolderCloudDatabase::ownChunkFile(std::size_t chunk) const
{
    return ownChunkFolder() / (CloudInstallState::chunkName(chunk) + std::string(kExtension));
}

std::optional<FolderCloudDatabase::FileStamp> FolderCloudDatabase::stampOf(const fs::path& path, bool* isFolder)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (isFolder)
        *isFolder = S_ISDIR(info.st_mode);
    return FileStamp{static_cast<std::uintmax_t>(info.st_size),
                     std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                     static_cast<std::uint64_t>(info.st_ino) ^ (S_ISREG(info.st_mode) ? 0 : 1ull << 63)};
}

void FolderCloudDatabase::reindex(const Names& names)
{
    for (const auto& name : names) {
        auto& chunk = m_ownChunkNames[CloudInstallState::chunkOf(name)];
        const auto found = m_own->records.find(name);
        if (found == m_own->records.end()) {
            chunk.erase(name);
            m_ownMarks.erase(name);
            continue;
        }
        chunk.insert(name);
        if (found->second.record.deleted)
            m_ownMarks.insert(name);
        else
            m_ownMarks.erase(name);
    }
}

Expected<void, CloudError> FolderCloudDatabase::loadOwnState()
{
    if (m_own)
        return {};
    const auto startFresh = [this] {
        m_own = CloudInstallState{m_installID};
        m_ownChunkRevisions.clear();
        // Chunks left by an earlier state are not listed; they go.
        m_sweepChunkFolder = true;
    };
    const auto path = ownFile();
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    if (error || status.type() == fs::file_type::not_found) {
        startFresh();
        return {};
    }
    auto bytes = AtomicFile::read(path, kMaxOwnFileBytes);
    if (!bytes)
        return unexpected(CloudError{CloudError::internalError, "Cannot read " + displayPath(path) + ": " + bytes.error()});
    std::string why;
    if (auto manifest = CloudManifest::decode(*bytes); manifest && manifest->installID == m_installID) {
        m_own = CloudInstallState{m_installID};
        m_own->revision = manifest->revision;
        m_own->seen = manifest->seen;
        for (const auto& [chunk, revision] : manifest->chunks) {
            const auto file = ownChunkFile(chunk);
            auto chunkBytes = AtomicFile::read(file, kMaxOwnFileBytes);
            auto decoded = chunkBytes ? CloudChunk::decode(*chunkBytes)
                                      : Expected<CloudChunk, std::string>(unexpected(chunkBytes.error()));
            if (decoded && (decoded->installID != m_installID || decoded->chunk != chunk))
                decoded = unexpected(std::string("it holds other records"));
            if (!decoded) {
                // Its records are sent again from the store by the mirror.
                trace("cloud: this install's chunk " + file.filename().string() + " could not be read ("
                      + decoded.error() + "); it will be written again");
                m_dirtyChunks.insert(chunk);
                continue;
            }
            m_own->records.merge(decoded->records);
            m_ownChunkRevisions[chunk] = revision;
            if (const auto stamp = stampOf(file))
                m_ownStamps[file] = *stamp;
            m_ownSizes[file] = chunkBytes->size();
        }
        m_sweepChunkFolder = true;
        m_ownManifestBytes = ownManifest().encode() == *bytes ? *bytes : std::string();
        if (!m_ownManifestBytes.empty()) {
            if (const auto stamp = stampOf(path))
                m_ownStamps[path] = *stamp;
            m_ownSizes[path] = bytes->size();
        }
    } else if (auto whole = CloudInstallState::decode(*bytes); whole && whole->installID == m_installID) {
        // The first format: split into chunks at the next write.
        m_own = std::move(*whole);
        for (std::size_t chunk = 0; chunk < CloudInstallState::kChunkCount; ++chunk)
            m_dirtyChunks.insert(chunk);
        m_sweepChunkFolder = true;
    } else {
        why = manifest ? std::string("it names another install")
            : CloudFormats::isFirstFormat(*bytes) ? (whole ? std::string("it names another install") : whole.error())
                                                  : manifest.error();
    }
    if (!m_own) {
        // Set aside, not overwritten: it is kept for a person to look at. Its
        // records are written again by the mirror from the store.
        const auto aside = containerFolder() / ("." + m_installID + ".unreadable.json");
        fs::rename(path, aside, error);
        trace("cloud: this install's file " + path.filename().string() + " could not be read (" + why + "); "
              + (error ? "it will be replaced" : "set aside as " + aside.filename().string()));
        startFresh();
    }
    Names all;
    for (const auto& [name, entry] : m_own->records)
        all.insert(name);
    reindex(all);
    return {};
}

FolderCloudDatabase::Listing FolderCloudDatabase::listOthers() const
{
    Listing listing;
    std::error_code error;
    const auto ownName = ownFile().filename().string();
    std::vector<std::string> chunkFolders;
    for (fs::directory_iterator it(containerFolder(), error), end; !error && it != end; it.increment(error)) {
        auto name = it->path().filename().string();
        // Hidden files are writers' and sync tools' temporary files.
        if (name.empty() || name.front() == '.' || name == ownName || name == m_installID)
            continue;
        bool isFolder = false;
        const auto stamp = stampOf(it->path(), &isFolder);
        if (!stamp)
            continue;
        if (isFolder && Uuid::parse(name) && Uuid::parse(name)->toString() == name) {
            chunkFolders.push_back(name);
            continue;
        }
        listing[std::move(name)] = *stamp;
    }
    for (const auto& folder : chunkFolders) {
        for (fs::directory_iterator it(containerFolder() / folder, error), end; !error && it != end;
             it.increment(error)) {
            const auto name = it->path().filename().string();
            if (name.empty() || name.front() == '.')
                continue;
            if (const auto stamp = stampOf(it->path()))
                listing[folder + "/" + name] = *stamp;
        }
    }
    return listing;
}

void FolderCloudDatabase::skip(const std::string& name, const FileStamp& stamp, const std::string& why)
{
    const auto [position, inserted] = m_skipped.try_emplace(name, stamp);
    if (!inserted && position->second == stamp)
        return;
    position->second = stamp;
    trace("cloud: skipped " + name + why);
}

void FolderCloudDatabase::noteChanged(std::string_view name)
{
    const auto [position, inserted] = m_changed.try_emplace(std::string(name), m_generation);
    if (!inserted)
        position->second = m_generation;
    m_compactCandidates.emplace(name);
}

void FolderCloudDatabase::replaceRecords(OtherInstall& other, const std::vector<std::string>& names,
                                         std::map<std::string, CloudInstallState::Entry, std::less<>> records)
{
    auto& held = other.state.records;
    for (const auto& name : names) {
        if (records.contains(name))
            continue;
        held.erase(name);
        noteChanged(name);
    }
    // Only what differs is news: a rewritten chunk mostly repeats itself.
    for (auto& [name, entry] : records) {
        auto [position, inserted] = held.try_emplace(name, entry);
        if (!inserted) {
            if (position->second == entry)
                continue;
            position->second = std::move(entry);
        }
        noteChanged(name);
    }
}

void FolderCloudDatabase::readInstallFile(const std::string& install, const std::string& name,
                                          const FileStamp& stamp, OtherInstall& other)
{
    other.stamp = stamp;
    other.attempted = true;
    other.current = false;
    const auto path = containerFolder() / name;
    auto bytes = AtomicFile::read(path, m_options.maxStateFileBytes);
    if (!bytes) {
        skip(name, stamp, ": " + bytes.error());
        return;
    }
    const auto allNames = [&other] {
        std::vector<std::string> names;
        for (const auto& [record, entry] : other.state.records)
            names.push_back(record);
        return names;
    };
    auto manifest = CloudManifest::decode(*bytes);
    if (manifest) {
        if (manifest->installID != install) {
            skip(name, stamp, ": it holds the records of another install");
            return;
        }
        if (!other.manifest) // it wrote one whole state before
            replaceRecords(other, allNames(), {});
        // Chunks it no longer lists hold nothing now.
        for (auto position = other.chunks.begin(); position != other.chunks.end();) {
            if (manifest->chunks.contains(position->first)) {
                ++position;
                continue;
            }
            replaceRecords(other, position->second.names, {});
            position = other.chunks.erase(position);
        }
        other.state.installID = install;
        other.state.revision = manifest->revision;
        other.state.seen = manifest->seen;
        other.manifest = std::move(*manifest);
        other.current = true;
        return;
    }
    if (!CloudFormats::isFirstFormat(*bytes)) {
        skip(name, stamp, " (half-synced or damaged): " + manifest.error());
        return;
    }
    auto whole = CloudInstallState::decode(*bytes);
    if (!whole) {
        skip(name, stamp, " (half-synced or damaged): " + whole.error());
        return;
    }
    if (whole->installID != install) {
        skip(name, stamp, ": it holds the records of another install");
        return;
    }
    replaceRecords(other, allNames(), std::move(whole->records));
    other.state.installID = install;
    other.state.revision = whole->revision;
    other.state.seen = std::move(whole->seen);
    other.manifest.reset();
    other.chunks.clear();
    other.current = true;
}

bool FolderCloudDatabase::readChunks(const std::string& install, const Listing& listing, OtherInstall& other)
{
    bool complete = true;
    for (const auto& [chunk, listedRevision] : other.manifest->chunks) {
        const auto name = install + "/" + CloudInstallState::chunkName(chunk) + std::string(kExtension);
        auto& cached = other.chunks[chunk];
        const auto found = listing.find(name);
        if (found == listing.end()) {
            complete = false; // not arrived yet
            continue;
        }
        if (!cached.attempted || !(cached.stamp == found->second)) {
            cached.attempted = true;
            cached.stamp = found->second;
            cached.current = false;
            auto bytes = AtomicFile::read(containerFolder() / name, m_options.maxStateFileBytes);
            auto decoded = bytes ? CloudChunk::decode(*bytes)
                                 : Expected<CloudChunk, std::string>(unexpected(bytes.error()));
            if (!bytes) {
                skip(name, found->second, ": " + bytes.error());
            } else if (!decoded) {
                skip(name, found->second, " (half-synced or damaged): " + decoded.error());
            } else if (decoded->installID != install || decoded->chunk != chunk) {
                skip(name, found->second, ": it holds other records than its name says");
            } else if (other.state.records.size() - cached.names.size() + decoded->records.size()
                       > CloudInstallState::kMaxRecords) {
                skip(name, found->second,
                     ": its install would hold more than " + std::to_string(CloudInstallState::kMaxRecords)
                         + " records");
            } else {
                std::vector<std::string> names;
                names.reserve(decoded->records.size());
                for (const auto& [record, entry] : decoded->records)
                    names.push_back(record);
                replaceRecords(other, cached.names, std::move(decoded->records));
                cached.names = std::move(names);
                cached.revision = decoded->revision;
                cached.current = true;
            }
        }
        complete = complete && cached.current && cached.revision >= listedRevision;
    }
    return complete;
}

bool FolderCloudDatabase::refreshOthers(const Listing& listing)
{
    ++m_generation;
    // An install whose files are gone keeps nothing; its records were never
    // deletions.
    for (auto position = m_others.begin(); position != m_others.end();) {
        if (listing.contains(position->first + std::string(kExtension))) {
            ++position;
            continue;
        }
        for (const auto& [name, entry] : position->second.state.records)
            m_compactCandidates.insert(name);
        position = m_others.erase(position);
    }
    std::erase_if(m_skipped, [&](const auto& entry) { return !listing.contains(entry.first); });
    bool complete = true;
    for (const auto& [name, stamp] : listing) {
        if (name.find('/') != std::string::npos)
            continue; // a chunk, read with its manifest
        const auto install = installOfFileName(name);
        if (!install) {
            skip(name, stamp, ": not a file of this app");
            continue;
        }
        auto& other = m_others[*install];
        if (!fs::is_regular_file(fs::symlink_status(containerFolder() / name))) {
            skip(name, stamp, ": not a regular file");
            other.stamp = stamp;
            other.attempted = true;
            other.current = false;
        } else if (!other.attempted || !(other.stamp == stamp)) {
            readInstallFile(*install, name, stamp, other);
        }
        other.complete = other.current && (!other.manifest || readChunks(*install, listing, other));
        if (other.complete)
            other.completeRevision = other.state.revision;
        complete = complete && other.complete;
    }
    m_othersComplete = complete;
    return complete;
}

std::vector<const CloudInstallState*> FolderCloudDatabase::otherStates() const
{
    std::vector<const CloudInstallState*> states;
    for (const auto& [install, other] : m_others)
        if (!other.state.installID.empty())
            states.push_back(&other.state);
    return states;
}

CloudManifest FolderCloudDatabase::ownManifest() const
{
    CloudManifest manifest;
    manifest.installID = m_installID;
    manifest.revision = m_own->revision;
    manifest.seen = m_own->seen;
    manifest.chunks = m_ownChunkRevisions;
    return manifest;
}

Expected<void, CloudError> FolderCloudDatabase::writeOwnFile(const fs::path& path, const std::string& bytes)
{
    auto written = AtomicFile::write(path, bytes, 0600);
    if (!written)
        return unexpected(CloudError{CloudError::internalError, written.error()});
    if (const auto stamp = stampOf(path))
        m_ownStamps[path] = *stamp;
    m_ownSizes[path] = bytes.size();
    return {};
}

FolderCloudDatabase::Undo FolderCloudDatabase::undoFor(const Names& names) const
{
    Undo undo{m_own->revision, m_own->seen, {}};
    for (const auto& name : names) {
        const auto found = m_own->records.find(name);
        undo.entries.emplace(name, found == m_own->records.end() ? std::nullopt : std::optional(found->second));
    }
    return undo;
}

void FolderCloudDatabase::restore(Undo undo)
{
    m_own->revision = undo.revision;
    m_own->seen = std::move(undo.seen);
    Names names;
    for (auto& [name, entry] : undo.entries) {
        if (entry)
            m_own->records.insert_or_assign(name, std::move(*entry));
        else
            m_own->records.erase(name);
        names.insert(name);
    }
    reindex(names);
}

Expected<void, CloudError> FolderCloudDatabase::writeOwnState(const Names& changed)
{
    // The other installs would skip a larger state, and with it every write
    // of this one: refused here, where the user can be told.
    if (m_own->records.size() > CloudInstallState::kMaxRecords)
        return unexpected(CloudError{CloudError::quotaExceeded,
                                     "The cloud folder is full: " + std::to_string(m_own->records.size())
                                         + " records to keep, "
                                         + std::to_string(CloudInstallState::kMaxRecords) + " allowed."});
    std::set<std::size_t> chunks = m_dirtyChunks;
    for (const auto& name : changed)
        chunks.insert(CloudInstallState::chunkOf(name));
    auto revisions = m_ownChunkRevisions;
    std::vector<std::pair<std::size_t, std::string>> writes;
    std::vector<std::size_t> removals;
    for (const auto chunk : chunks) {
        if (m_ownChunkNames[chunk].empty()) {
            revisions.erase(chunk);
            removals.push_back(chunk);
            continue;
        }
        auto bytes = CloudChunk::of(*m_own, chunk, m_ownChunkNames[chunk]).encode();
        if (bytes.size() > m_options.maxStateFileBytes)
            return unexpected(CloudError{CloudError::quotaExceeded,
                                         "The cloud folder is full: a file of this computer's would take "
                                             + std::to_string(bytes.size()) + " bytes, "
                                             + std::to_string(m_options.maxStateFileBytes) + " allowed."});
        revisions[chunk] = m_own->revision;
        writes.emplace_back(chunk, std::move(bytes));
    }
    auto manifest = ownManifest();
    manifest.chunks = revisions;
    auto manifestBytes = manifest.encode();
    if (writes.empty() && removals.empty() && manifestBytes == m_ownManifestBytes && !m_sweepChunkFolder)
        return {};
    if (manifestBytes.size() > m_options.maxStateFileBytes)
        return unexpected(CloudError{CloudError::quotaExceeded, "The cloud folder is full: this computer's manifest would take "
                                                                    + std::to_string(manifestBytes.size()) + " bytes."});
    if (m_options.quotaBytes) {
        auto sizes = m_ownSizes;
        sizes[ownFile()] = manifestBytes.size();
        for (const auto& [chunk, bytes] : writes)
            sizes[ownChunkFile(chunk)] = bytes.size();
        for (const auto chunk : removals)
            sizes.erase(ownChunkFile(chunk));
        std::uintmax_t total = 0;
        for (const auto& [path, size] : sizes)
            total += size;
        for (const auto& [name, stamp] : listOthers())
            total += stamp.size;
        if (total > *m_options.quotaBytes)
            return unexpected(CloudError{CloudError::quotaExceeded,
                                         "The cloud folder is full: " + std::to_string(total) + " bytes needed, "
                                             + std::to_string(*m_options.quotaBytes) + " allowed."});
    }
    // Chunks first, the manifest that lists them last: a reader on this
    // computer never meets a manifest ahead of its chunks.
    for (const auto& [chunk, bytes] : writes)
        if (auto written = writeOwnFile(ownChunkFile(chunk), bytes); !written)
            return written;
    if (auto written = writeOwnFile(ownFile(), manifestBytes); !written)
        return written;
    m_ownManifestBytes = std::move(manifestBytes);
    m_ownChunkRevisions = std::move(revisions);
    m_dirtyChunks.clear();
    std::error_code error;
    for (const auto chunk : removals) {
        fs::remove(ownChunkFile(chunk), error);
        m_ownStamps.erase(ownChunkFile(chunk));
        m_ownSizes.erase(ownChunkFile(chunk));
    }
    if (m_sweepChunkFolder) {
        for (fs::directory_iterator it(ownChunkFolder(), error), end; !error && it != end; it.increment(error)) {
            const auto chunk = CloudInstallState::chunkNamed(it->path().stem().string());
            if (!chunk || !m_ownChunkRevisions.contains(*chunk) || it->path().extension() != kExtension)
                fs::remove(it->path(), error);
        }
        m_sweepChunkFolder = false;
    }
    return {};
}

Expected<void, CloudError> FolderCloudDatabase::modify(const std::vector<CloudRecord>& records)
{
    std::scoped_lock lock(m_recordsMutex);
    if (auto available = requireAvailable(); !available)
        return available;
    if (auto loaded = loadOwnState(); !loaded)
        return loaded;
    const bool complete = refreshOthers(listOthers());
    Names candidates = m_ownMarks;
    candidates.insert(m_compactCandidates.begin(), m_compactCandidates.end());
    for (const auto& record : records)
        candidates.insert(record.recordName);
    auto undo = undoFor(candidates);
    const Date now = m_clock.now();
    m_own->apply(records, now);
    m_own->compact(otherStates(), complete, now, m_options.markLifetime, candidates);
    reindex(candidates);
    Names changed;
    for (const auto& [name, before] : undo.entries) {
        const auto found = m_own->records.find(name);
        const bool present = found != m_own->records.end();
        if (present != before.has_value() || (present && !(found->second == *before)))
            changed.insert(name);
    }
    if (auto written = writeOwnState(changed); !written) {
        restore(std::move(undo));
        return written;
    }
    m_compactCandidates.clear();
    return {};
}

void FolderCloudDatabase::restoreOwnFiles()
{
    if (m_ownManifestBytes.empty())
        return;
    const auto rewrite = [this](const fs::path& path, const std::function<std::string()>& bytes) {
        const auto stamp = stampOf(path);
        const auto known = m_ownStamps.find(path);
        if (stamp && known != m_ownStamps.end() && *stamp == known->second)
            return;
        trace("cloud: this install's file " + path.filename().string() + " was "
              + (stamp ? "changed" : "removed") + " by someone else; writing it again");
        if (auto written = writeOwnFile(path, bytes()); !written)
            trace("cloud: could not write this install's file again: " + written.error().description);
    };
    for (const auto& [chunk, revision] : m_ownChunkRevisions) {
        const auto at = revision;
        rewrite(ownChunkFile(chunk), [this, chunk, at] {
            auto file = CloudChunk::of(*m_own, chunk, m_ownChunkNames[chunk]);
            file.revision = at;
            return file.encode();
        });
    }
    rewrite(ownFile(), [this] { return m_ownManifestBytes; });
}

Expected<CloudSnapshot, CloudError> FolderCloudDatabase::fetch(bool changesOnly)
{
    if (auto available = requireAvailable(); !available)
        return unexpected(available.error());
    if (auto loaded = loadOwnState(); !loaded)
        return unexpected(loaded.error());

    // This install's files are ours alone: one that went missing or was
    // changed behind our back is written again from what we hold.
    restoreOwnFiles();

    const auto listing = listOthers();
    refreshOthers(listing);
    auto states = otherStates();
    CloudSnapshot snapshot;
    for (const auto& [install, other] : m_others)
        if (other.completeRevision)
            snapshot.revisions[install] = *other.completeRevision;
    states.push_back(&*m_own);
    if (changesOnly && m_deliveredAll) {
        for (const auto& [name, generation] : m_changed) {
            const CloudRecord* newest = nullptr;
            for (const auto* state : states) {
                const auto found = state->records.find(name);
                if (found != state->records.end() && (!newest || newest->version() < found->second.record.version()))
                    newest = &found->second.record;
            }
            if (newest)
                snapshot.records.push_back(*newest);
        }
    } else {
        snapshot.records = CloudMerge::newest(states);
    }
    if (changesOnly) {
        m_deliveredGeneration = m_generation;
        m_deliveringAll = !m_deliveredAll;
    }
    std::scoped_lock lock(m_listingMutex);
    m_fetchedListing = listing;
    m_fetchedOnce = true;
    return snapshot;
}

Expected<CloudSnapshot, CloudError> FolderCloudDatabase::fetchAll()
{
    std::scoped_lock lock(m_recordsMutex);
    return fetch(false);
}

Expected<CloudSnapshot, CloudError> FolderCloudDatabase::fetchChanges()
{
    std::scoped_lock lock(m_recordsMutex);
    return fetch(true);
}

void FolderCloudDatabase::acknowledge(const std::map<std::string, std::int64_t>& revisions)
{
    std::scoped_lock lock(m_recordsMutex);
    if (m_deliveredGeneration) {
        const auto delivered = *m_deliveredGeneration;
        std::erase_if(m_changed, [delivered](const auto& entry) { return entry.second <= delivered; });
        m_deliveredAll = m_deliveredAll || m_deliveringAll;
        m_deliveredGeneration.reset();
    }
    if (!m_own || !requireAvailable())
        return;
    Names candidates = m_ownMarks;
    candidates.insert(m_compactCandidates.begin(), m_compactCandidates.end());
    auto undo = undoFor(candidates);
    bool seenChanged = false;
    for (const auto& [install, revision] : revisions) {
        if (install == m_installID)
            continue;
        auto& applied = m_own->seen[install];
        if (revision > applied) {
            applied = revision;
            seenChanged = true;
        }
    }
    if (!seenChanged && m_compactCandidates.empty())
        return;
    // Acknowledging is not a change of records: the revision stays, so the
    // others have nothing new to acknowledge in turn.
    m_own->compact(otherStates(), m_othersComplete, m_clock.now(), m_options.markLifetime, candidates);
    reindex(candidates);
    Names changed;
    for (const auto& [name, before] : undo.entries)
        if (!m_own->records.contains(name))
            changed.insert(name);
    if (auto written = writeOwnState(changed); !written) {
        restore(std::move(undo));
        trace("cloud: could not record what was applied: " + written.error().description);
        return;
    }
    m_compactCandidates.clear();
}

std::optional<CloudRecordVersion> FolderCloudDatabase::ownVersion(const std::string& recordName)
{
    std::scoped_lock lock(m_recordsMutex);
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
    const auto listing = listOthers();
    std::scoped_lock lock(m_listingMutex);
    return !m_fetchedOnce || listing != m_fetchedListing;
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
    std::vector<fs::path> paths{m_cloudFolder.parent_path(), m_cloudFolder, containerFolder()};
    // The other installs' chunk folders: a chunk that arrives after its
    // manifest changes only its own folder.
    std::error_code error;
    for (fs::directory_iterator it(containerFolder(), error), end; !error && it != end; it.increment(error)) {
        const auto name = it->path().filename().string();
        const auto uuid = Uuid::parse(name);
        if (name != m_installID && uuid && uuid->toString() == name)
            paths.push_back(it->path());
    }
    for (const auto& path : paths) {
        const auto text = QString::fromStdString(path.string());
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
