#pragma once
// The cloud database kept in a folder that a file-sync tool (or a network
// share) replicates between the user's computers: $XDG_DATA_HOME/Vude/Cloud,
// a real folder or a symlink to one. The account status is the folder's
// state: present and writable is available, absent is no account, read-only
// is restricted, a link whose target is missing is temporarily unavailable.
//
// Each container has a folder of its own name inside; each installation
// writes exactly one file there, "<install id>.json", always whole and
// atomically (write, then rename), so a sync tool never sees two writers on
// one file nor a half-written file of ours. Other installs' files are read,
// never written. They come from other computers, so they are untrusted: a
// file that is half-synced, corrupt, of another format, not named like ours,
// or beyond the bounds of a state (too large, nested too deep, too many
// records) is skipped with one trace line per version of it; hidden files
// (the temporary files of writers and sync tools) are ignored.
//
// Changes are noticed through a folder watcher, and through a slow poll for
// folders whose changes the watcher cannot see (network shares).

#include "Platform/Cloud/CloudInstallState.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"

#include <QObject>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

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
    /// Another install's file larger than this is not read (reading costs
    /// about thirty times its size in memory), and this install never
    /// writes one larger.
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
    std::filesystem::path ownFile() const;

    const std::string& containerID() const override { return m_containerID; }
    const std::string& installID() const override { return m_installID; }
    void accountStatus(AccountStatusHandler done) override;
    Expected<void, CloudError> modify(const std::vector<CloudRecord>& records) override;
    Expected<CloudSnapshot, CloudError> fetchAll() override;
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
    struct OtherFile {
        FileStamp stamp;
        /// The decoded state, or none when the file could not be used.
        std::optional<CloudInstallState> state;
    };

    Expected<void, CloudError> requireAvailable() const;
    Expected<void, CloudError> loadOwnState();
    /// Reads the other installs' files (again only where they changed).
    /// Returns whether every one of them could be used.
    bool refreshOthers();
    std::vector<const CloudInstallState*> otherStates() const;
    /// The names, sizes and times of the other installs' files.
    std::map<std::string, FileStamp> listOthers() const;
    Expected<void, CloudError> writeOwnState(CloudInstallState state);
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

    std::optional<CloudInstallState> m_own;
    std::string m_ownBytes;
    std::map<std::string, OtherFile> m_others;
    bool m_othersComplete = true;
    std::map<std::string, FileStamp> m_fetchedListing;
    bool m_fetchedOnce = false;

    std::unique_ptr<QFileSystemWatcher> m_watcher;
    std::function<void()> m_onRemoteChange;
    ScheduledTask m_poll;
    ScheduledTask m_pendingCheck;
    CloudAccountStatus m_watchedStatus = CloudAccountStatus::couldNotDetermine;
};
