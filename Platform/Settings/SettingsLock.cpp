#include "Platform/Settings/SettingsLock.h"

#include "Platform/Core/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace fs = std::filesystem;

SettingsLock::SettingsLock(State state, int fd, std::string error)
    : m_state(state)
    , m_fd(fd)
    , m_error(std::move(error))
{
}

SettingsLock::SettingsLock(SettingsLock&& other) noexcept
    : m_state(other.m_state)
    , m_fd(std::exchange(other.m_fd, -1))
    , m_error(std::move(other.m_error))
{
}

SettingsLock& SettingsLock::operator=(SettingsLock&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_state = other.m_state;
        m_fd = std::exchange(other.m_fd, -1);
        m_error = std::move(other.m_error);
    }
    return *this;
}

SettingsLock::~SettingsLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

SettingsLock SettingsLock::acquire(const fs::path& settingsFile)
{
    fs::path lockFile = settingsFile;
    lockFile += ".lock";
    const auto unavailable = [&lockFile](const std::string& why) {
        return SettingsLock(State::unavailable, -1, "cannot lock " + lockFile.string() + ": " + why);
    };
    if (const auto folder = AtomicFile::createPrivateFolders(lockFile.parent_path()); !folder)
        return unavailable(folder.error());
    // O_NONBLOCK and the type check: a FIFO planted there cannot stall the start.
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return unavailable(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return unavailable("not a regular file");
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return SettingsLock(State::held, fd, {});
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK)
        return SettingsLock(State::heldElsewhere, -1, {});
    return unavailable(std::strerror(error));
}
