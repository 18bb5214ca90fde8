#include "Platform/Core/NewFile.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/ErrnoText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

bool lacksTemporaryFiles(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

} // namespace

NewFile::NewFile(int fd, fs::path folder, fs::path hiddenPath)
    : m_fd(fd)
    , m_folder(std::move(folder))
    , m_hiddenPath(std::move(hiddenPath))
{
}

NewFile::NewFile(NewFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_folder(std::move(other.m_folder))
    , m_hiddenPath(std::exchange(other.m_hiddenPath, {}))
{
}

NewFile& NewFile::operator=(NewFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_fd = std::exchange(other.m_fd, -1);
        m_folder = std::move(other.m_folder);
        m_hiddenPath = std::exchange(other.m_hiddenPath, {});
    }
    return *this;
}

NewFile::~NewFile()
{
    discard();
}

void NewFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_hiddenPath.empty())
        ::unlink(m_hiddenPath.c_str());
    m_hiddenPath.clear();
}

Expected<NewFile, std::string> NewFile::create(const fs::path& folder, Strategy strategy)
{
    if (strategy == Strategy::anonymous) {
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0)
            return NewFile(fd, folder, {});
        if (!lacksTemporaryFiles(errno))
            return unexpected(errnoText("cannot create a file in", folder));
    }
    std::string hidden = (folder / ".vude-new-XXXXXX").string();
    const int fd = ::mkostemp(hidden.data(), O_CLOEXEC);
    if (fd < 0)
        return unexpected(errnoText("cannot create a file in", folder));
    return NewFile(fd, folder, hidden);
}

Expected<void, std::string> NewFile::write(std::string_view bytes)
{
    if (m_fd < 0)
        return unexpected(std::string("the file is closed"));
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return unexpected(errnoText("cannot write in", m_folder));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

Expected<void, std::string> NewFile::commit(const fs::path& destination, mode_t mode)
{
    if (m_fd < 0)
        return unexpected(std::string("the file is closed"));
    if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0)
        return unexpected(errnoText("cannot write", destination));

    int linked = 0;
    if (m_hiddenPath.empty()) {
        // linkat() refuses an existing name, so nothing is ever replaced.
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, destination.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        linked = ::renameat2(AT_FDCWD, m_hiddenPath.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE);
        if (linked != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // File systems without RENAME_NOREPLACE: link() also refuses an existing name.
            linked = ::link(m_hiddenPath.c_str(), destination.c_str());
            if (linked == 0)
                ::unlink(m_hiddenPath.c_str());
        }
    }
    if (linked != 0)
        return unexpected(errnoText("cannot create", destination));
    m_hiddenPath.clear();
    ::close(m_fd);
    m_fd = -1;
    AtomicFile::syncFolder(destination.parent_path()); // so the name survives a power cut too
    return {};
}
