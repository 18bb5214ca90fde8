#pragma once
// The cloud database kept in a folder that a file-sync tool (or a network
// share) replicates between the user's computers: $XDG_DATA_HOME/Vude/Cloud,
// a real folder or a symlink to one. The account status is the folder's
// state: present and writable is available, absent is no account, read-only
// is restricted, a link whose target is missing is temporarily unavailable.
//
// Each container has a folder of its own name inside; each installation
// writes only its own files there, always whole and atomically (write, then
// rename), so a sync tool never sees two writers on one file nor a
// half-written file of ours: a manifest "<install id>.json" and its records
// in chunk files "<install id>/<chunk>.json" (see CloudManifest). A change
// rewrites the chunks it touched, then the manifest. The files of installs
// that write one whole state (the first format) are still read; this
// install's own file of that format is split into chunks at its next write.
// Installs of that version do not read chunks: they trace the manifest as a
// file of another format and keep their deletion marks for their lifetime.
//
// Other installs' files are read, never written, and only where they changed.
// They come from other computers, so they are untrusted: a file that is
// half-synced, corrupt, of another format, not named like ours, or beyond
// the bounds of a state (too large, nested too deep, too many records in
// all) is skipped with one trace line per version of it; hidden files (the
// temporary files of writers and sync tools) are ignored. A sync tool
// replicates file by file, so a manifest may come before its chunks: a
// chunk that is missing or older than its manifest says has not arrived yet
// (what was read of it before stays), and never deletes anything.
//
// Changes are noticed through a folder watcher, and through a slow poll for
// folders whose changes the watcher cannot see (network shares).
//
// The account status and watching belong to the main thread; records may be
// read and written from another thread, one at a time.

#include "Platform/Cloud/CloudInstallState.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"

#include <QObject>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QFileSystemWatcher;

struct FolderCloudOptions {
    /// Writes that would take the container folder past this many bytes
    /// fail with quotaExceeded. None: no limit but the disk's.
    std::optional<std::uintmax_t> quotaBytes;
    /// How often the folder is looked at without a watcher event.
    Duration pollInterval = std::chrono::seconds(60);
    /// How long after a watcher event the folder is looked at, so a sync
    /// tool's burst of renames is read once.
    Duration settleDelay = std::chrono::milliseconds(500);
    /// How long a deletion mark is kept for installs that have not
    /// applied it yet.
    Duration markLifetime = std::chrono::hours(24 * 30);
    /// Another install's file (a manifest, a chunk, a whole state) larger
    /// than this is not read (reading costs about thirty times its size in
    /// memory), and this install never writes one larger.
    std::uintmax_t maxStateFileBytes = 8ull << 20;
};

class FolderCloudDatabase final : public QObject, public CloudDatabase {
    Q_OBJECT

public:
    using Options = FolderCloudOptions;
    using TraceSink = std::function<void(const std::string&)>;

    FolderCloudDatabase(std::filesystem::path cloudFolder, std::string containerID, std::string installID,
                        Scheduler& scheduler, const ClockSource& clock, Options options = {}, TraceSink trace = {},
                        QObject* parent = nullptr);
    ~FolderCloudDatabase() override;

    /// $XDG_DATA_HOME/Vude/Cloud.
    static std::filesystem::path defaultFolder();

    /// The database of this user and installation: the default folder, and
    /// the install id kept in CloudInstallIdentity::defaultFile(). Fails only
    /// when no install id can be kept.
    static Expected<std::shared_ptr<FolderCloudDatabase>, std::string> forThisInstall(
        std::string containerID, Scheduler& scheduler, const ClockSource& clock, TraceSink trace = {});

    /// The status the folder gives right now.
    CloudAccountStatus currentAccountStatus() const;
    const std::filesystem::path& cloudFolder() const { return m_cloudFolder; }
    std::filesystem::path containerFolder() const;
    /// This install's manifest.
    std::filesystem::path ownFile() const;
    /// The folder of this install's chunks.
    std::filesystem::path ownChunkFolder() const;

    const std::string& containerID() const override { return m_containerID; }
    const std::string& installID() const override { return m_installID; }
    void accountStatus(AccountStatusHandler done) override;
    Expected<void, CloudError> modify(const std::vector<CloudRecord>& records) override;
    Expected<CloudSnapshot, CloudError> fetchAll() override;
    Expected<CloudSnapshot, CloudError> fetchChanges() override;
    void acknowledge(const std::map<std::string, std::int64_t>& revisions) override;
    std::optional<CloudRecordVersion> ownVersion(const std::string& recordName) override;
    bool hasUnseenChanges() override;
    Expected<void, std::string> startWatching(std::function<void()> onRemoteChange) override;
    void stopWatching() override;

    /// Looks at the folder now, as a watcher event or the poll does.
    void checkFolder();

private:
    struct FileStamp {
        std::uintmax_t size = 0;
        std::int64_t modifiedNanoseconds = 0;
        std::uint64_t inode = 0;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };
    using Listing = std::map<std::string, FileStamp>;
    static std::optional<FileStamp> stampOf(const std::filesystem::path& path, bool* isFolder = nullptr);
    using Names = std::set<std::string, std::less<>>;

    /// What was read of another install's files.
    struct OtherInstall {
        struct Chunk {
            /// The copy last tried, and whether it was read; the records of
            /// the last copy read stay until a newer one is.
            FileStamp stamp;
            bool attempted = false;
            bool current = false;
            std::int64_t revision = 0;
            std::vector<std::string> names;
        };
        FileStamp stamp;
        bool attempted = false;
        bool current = false;
        /// Its manifest, when it writes chunks.
        std::optional<CloudManifest> manifest;
        std::map<std::size_t, Chunk> chunks;
        /// Every record read of it, with its revision and what it applied.
        CloudInstallState state;
        /// The revision up to which everything of it was read.
        std::optional<std::int64_t> completeRevision;
        bool complete = false;
    };

    /// The state before a change, to put back if it cannot be written.
    struct Undo {
        std::int64_t revision = 0;
        std::map<std::string, std::int64_t> seen;
        std::map<std::string, std::optional<CloudInstallState::Entry>, std::less<>> entries;
    };

    Expected<void, CloudError> requireAvailable() const;
    Expected<void, CloudError> loadOwnState();
    /// Reads what changed of the other installs' files in `listing`.
    /// Returns whether everything of theirs could be read.
    bool refreshOthers(const Listing& listing);
    void readInstallFile(const std::string& install, const std::string& name, const FileStamp& stamp,
                         OtherInstall& other);
    bool readChunks(const std::string& install, const Listing& listing, OtherInstall& other);
    /// Replaces the records of `other` that came from `names` by `records`.
    void replaceRecords(OtherInstall& other, const std::vector<std::string>& names,
                        std::map<std::string, CloudInstallState::Entry, std::less<>> records);
    void noteChanged(std::string_view name);
    /// Traces a skipped file once per version of it.
    void skip(const std::string& name, const FileStamp& stamp, const std::string& why);
    std::vector<const CloudInstallState*> otherStates() const;
    /// The names, sizes and times of the other installs' files, their chunks
    /// as "<install id>/<chunk>.json".
    Listing listOthers() const;
    Expected<CloudSnapshot, CloudError> fetch(bool changesOnly);

    Undo undoFor(const Names& names) const;
    void restore(Undo undo);
    /// Brings the chunk and mark indexes of `names` up to date.
    void reindex(const Names& names);
    /// Writes the chunks holding `changed` (and any marked for writing),
    /// then the manifest.
    Expected<void, CloudError> writeOwnState(const Names& changed);
    /// Writes again this install's files that someone else changed or removed.
    void restoreOwnFiles();
    Expected<void, CloudError> writeOwnFile(const std::filesystem::path& path, const std::string& bytes);
    CloudManifest ownManifest() const;
    std::filesystem::path ownChunkFile(std::size_t chunk) const;
    void scheduleCheck();
    void updateWatchedPaths();
    void trace(const std::string& line) const;

    const std::filesystem::path m_cloudFolder;
    const std::string m_containerID;
    const std::string m_installID;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    const Options m_options;
    TraceSink m_trace;

    // This install's state, its chunks and what is on disk of it.
    std::optional<CloudInstallState> m_own;
    std::array<Names, CloudInstallState::kChunkCount> m_ownChunkNames;
    Names m_ownMarks;
    std::map<std::size_t, std::int64_t> m_ownChunkRevisions;
    /// Chunks to write at the next write whatever changed.
    std::set<std::size_t> m_dirtyChunks;
    /// Whether every file in the chunk folder not listed is to be removed.
    bool m_sweepChunkFolder = false;
    std::map<std::filesystem::path, FileStamp> m_ownStamps;
    std::map<std::filesystem::path, std::uintmax_t> m_ownSizes;
    std::string m_ownManifestBytes;

    // The other installs' files.
    std::map<std::string, OtherInstall> m_others;
    std::map<std::string, FileStamp> m_skipped;
    bool m_othersComplete = true;
    /// Records that may have changed since the last acknowledged delivery,
    /// with the generation of their latest change.
    std::map<std::string, std::uint64_t, std::less<>> m_changed;
    std::uint64_t m_generation = 0;
    std::optional<std::uint64_t> m_deliveredGeneration;
    bool m_deliveredAll = false;
    bool m_deliveringAll = false;
    /// Records of others read since this install last compacted its own.
    Names m_compactCandidates;

    // Records are read and written by one caller at a time (the mirror's
    // worker, a probe on the main thread).
    std::mutex m_recordsMutex;
    mutable std::mutex m_listingMutex;
    Listing m_fetchedListing;
    bool m_fetchedOnce = false;

    std::unique_ptr<QFileSystemWatcher> m_watcher;
    std::function<void()> m_onRemoteChange;
    ScheduledTask m_poll;
    ScheduledTask m_pendingCheck;
    CloudAccountStatus m_watchedStatus = CloudAccountStatus::couldNotDetermine;
};
