#include "Platform/Core/FolderWatcher.h"

#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <set>

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
        if (wd >= 0)
            watches[path] = wd;
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

void FolderWatcher::readEvents()
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
            if (event->mask & IN_IGNORED)
                std::erase_if(m_watches, [wd = event->wd](const auto& entry) { return entry.second == wd; });
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (any)
        emit changed();
}
