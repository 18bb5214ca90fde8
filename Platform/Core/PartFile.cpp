#include "Platform/Core/PartFile.h"

#include <cerrno>
#include <random>

#include <fcntl.h>
#include <stdio.h>

std::optional<PartFile> PartFile::create(int folderFd, mode_t mode)
{
    const int fd = ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0)
        return PartFile(folderFd, UniqueFd(fd), {});
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return std::nullopt;
    // File systems without unnamed files: a hidden name, removed unless kept.
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = ".vude-part-" + std::to_string(random());
        const int hidden = ::openat(folderFd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, mode);
        if (hidden >= 0)
            return PartFile(folderFd, UniqueFd(hidden), name);
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

PartFile::PartFile(int folderFd, UniqueFd fd, std::string hiddenName)
    : m_folderFd(folderFd)
    , m_fd(std::move(fd))
    , m_hiddenName(std::move(hiddenName))
{
}

PartFile::~PartFile()
{
    if (!m_hiddenName.empty())
        ::unlinkat(m_folderFd, m_hiddenName.c_str(), 0);
}

int PartFile::keep(const char* name)
{
    int linked = 0;
    if (m_hiddenName.empty()) {
        // linkat() refuses a name that is taken, a dangling link included.
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
        linked = ::linkat(AT_FDCWD, self.c_str(), m_folderFd, name, AT_SYMLINK_FOLLOW);
    } else {
        linked = ::renameat2(m_folderFd, m_hiddenName.c_str(), m_folderFd, name, RENAME_NOREPLACE);
        if (linked != 0 && (errno == EINVAL || errno == ENOSYS)) {
            linked = ::linkat(m_folderFd, m_hiddenName.c_str(), m_folderFd, name, 0);
            if (linked == 0)
                ::unlinkat(m_folderFd, m_hiddenName.c_str(), 0);
        }
        if (linked == 0)
            m_hiddenName.clear();
    }
    return linked == 0 ? 0 : errno;
}
