#pragma once
// Tells when something changed in a few folders, through inotify: a watched
// folder reports its entries coming, going and being renamed, and the files
// directly inside it being written or closed after writing; a watched file
// reports its own changes. Symbolic links are followed. One watch per folder,
// however many files it holds.
//
// The kernel's events are read from the event loop and reported as one
// changed() per batch; callers that act on a change should coalesce further.
// What the events named is kept until takeChanges(), so that a caller can
// look again at only those entries. Main thread (the thread that made the
// watcher).

#include <QObject>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QSocketNotifier;

class FolderWatcher final : public QObject {
    Q_OBJECT
public:
    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    /// False when inotify could not be opened (too many instances): then
    /// nothing is ever reported.
    bool isAvailable() const { return m_fd >= 0; }

    /// Watches exactly `paths` from now on. A path that cannot be watched
    /// (missing, not permitted, out of watches) is skipped; a later call
    /// picks it up once it can be. A path replaced since the last call is
    /// watched anew.
    void setPaths(const std::vector<std::filesystem::path>& paths);

    /// The paths being watched, sorted.
    std::vector<std::filesystem::path> watchedPaths() const;

    /// What changed in one watched path since the last takeChanges().
    struct PathChanges {
        /// The path itself changed, went away or is watched anew: what
        /// happened in it before cannot be told from its names.
        bool whole = false;
        /// Entries came, went or were renamed.
        bool entries = false;
        /// The entries written, changed, come, gone or renamed.
        std::set<std::string> names;
    };
    struct Changes {
        /// Events were lost (the kernel's queue overflowed) or nothing can
        /// be watched: anything may have changed.
        bool overflowed = false;
        /// Every path watched now, with what changed in it; a path missing
        /// here is not watched, so nothing is known of it.
        std::map<std::filesystem::path, PathChanges> paths;
    };
    /// Reads the events waiting in the kernel, then hands over everything
    /// reported since the last call (or since the watcher was made) and
    /// starts afresh. Emits nothing for the events it read.
    Changes takeChanges();

signals:
    void changed();

private:
    void readEvents();
    /// Reads what the kernel has; true when it had anything.
    bool drain();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    /// Watch descriptor by path (two paths may share one descriptor when a
    /// link leads to the same folder).
    std::map<std::filesystem::path, int> m_watches;
    /// What each watch reported since the last takeChanges().
    std::map<int, PathChanges> m_pending;
    std::set<std::filesystem::path> m_anew;
    bool m_overflowed = false;
};
