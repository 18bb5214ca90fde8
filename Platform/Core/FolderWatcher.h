#pragma once
// Tells when something changed in a few folders, through inotify: a watched
// folder reports its entries coming, going and being renamed, and the files
// directly inside it being written or closed after writing; a watched file
// reports its own changes. Symbolic links are followed. One watch per folder,
// however many files it holds.
//
// The kernel's events are read from the event loop and reported as one
// changed() per batch; callers that act on a change should coalesce further.
// Main thread (the thread that made the watcher).

#include <QObject>

#include <filesystem>
#include <map>
#include <memory>
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

signals:
    void changed();

private:
    void readEvents();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    /// Watch descriptor by path (two paths may share one descriptor when a
    /// link leads to the same folder).
    std::map<std::filesystem::path, int> m_watches;
};
