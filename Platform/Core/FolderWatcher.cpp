#include "Platform/Core/FolderWatcher.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <set>
#include <utility>

namespace {

constexpr std::uint32_t kEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                  IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FolderWatcher::FolderWatcher(QObject* parent) : QObject(parent)
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
}

FolderWatcher::~FolderWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderWatcher::setPaths(const std::vector<std::filesystem::path>& paths)
{
    if (m_fd < 0)
        return;
    std::map<std::filesystem::path, int> watches;
    for (const auto& path : paths) {
        // Adding a path again is cheap: the kernel hands back the watch it
        // already has for that inode, or a new one when the path now leads
        // elsewhere.
        const int wd = ::inotify_add_watch(m_fd, path.c_str(), kEvents);
        if (wd < 0)
            continue;
        watches[path] = wd;
        // Until now nothing was reported of it.
        if (const auto before = m_watches.find(path); before == m_watches.end() || before->second != wd)
            m_anew.insert(path);
    }
    std::set<int> kept;
    for (const auto& [path, wd] : watches)
        kept.insert(wd);
    for (const auto& [path, wd] : m_watches)
        if (!kept.contains(wd))
            ::inotify_rm_watch(m_fd, wd);
    m_watches = std::move(watches);
}

std::vector<std::filesystem::path> FolderWatcher::watchedPaths() const
{
    std::vector<std::filesystem::path> paths;
    for (const auto& [path, wd] : m_watches)
        paths.push_back(path);
    return paths;
}

FolderWatcher::Changes FolderWatcher::takeChanges()
{
    Changes changes;
    if (m_fd < 0) {
        changes.overflowed = true;
        return changes;
    }
    drain();
    changes.overflowed = std::exchange(m_overflowed, false);
    for (const auto& [path, wd] : m_watches) {
        PathChanges& entry = changes.paths[path];
        if (const auto found = m_pending.find(wd); found != m_pending.end())
            entry = found->second;
        entry.whole = entry.whole || m_anew.contains(path);
    }
    m_pending.clear();
    m_anew.clear();
    return changes;
}

void FolderWatcher::readEvents()
{
    if (drain())
        emit changed();
}

bool FolderWatcher::drain()
{
    alignas(inotify_event) std::array<char, 16 * 1024> buffer{};
    bool any = false;
    for (;;) {
        const ssize_t count = ::read(m_fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        any = true;
        // A watch the kernel dropped (its folder went away) is forgotten, so
        // the next setPaths() adds the path afresh.
        for (ssize_t offset = 0; offset < count;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                m_overflowed = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {
                std::erase_if(m_watches, [wd = event->wd](const auto& entry) { return entry.second == wd; });
                m_pending.erase(event->wd);
                continue;
            }
            PathChanges& pending = m_pending[event->wd];
            // The name is padded with NULs to the event's length.
            const std::string name = event->len ? std::string(event->name) : std::string();
            if (name.empty())
                pending.whole = true;
            else
                pending.names.insert(name);
            if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
                pending.entries = true;
        }
    }
    return any;
}
