#include "Platform/Core/FileCopy.h"

#include "Platform/Core/PartFile.h"
#include "Platform/Core/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using Error = FileCopy::Error;
using Side = FileCopy::Error::Side;

Expected<void, Error> failed(Side side, int code)
{
    return unexpected(Error{side, code == 0 ? EIO : code});
}

constexpr std::size_t chunkBytes = 1 << 20;

// Read errors are the source's, write errors the copy's.
Expected<void, Error> copyBytes(int from, int to)
{
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, chunkBytes, 0);
        if (copied == 0)
            return {};
        if (copied > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)
            break; // no in-kernel copy between these two: read and write
        return failed(errno == ENOSPC || errno == EDQUOT || errno == EROFS ? Side::destination : Side::source, errno);
    }
    std::vector<char> buffer(chunkBytes);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(Side::source, errno);
        if (got == 0)
            return {};
        for (ssize_t done = 0; done < got;) {
            const ssize_t wrote = ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                return failed(Side::destination, wrote < 0 ? errno : EIO);
            done += wrote;
        }
    }
}

void copyTimes(int fd, const struct stat& info)
{
    const timespec times[2] = {{0, UTIME_OMIT}, info.st_mtim};
    ::futimens(fd, times);
}

// Copies the content of one open file into `write`, which it then finishes
// with the source's permissions and time.
Expected<void, Error> copyFileContent(int source, const struct stat& info, int destination)
{
    if (auto copied = copyBytes(source, destination); !copied)
        return copied;
    if (::fchmod(destination, info.st_mode & 0777) != 0)
        return failed(Side::destination, errno);
    copyTimes(destination, info);
    return {};
}

UniqueFd openSourceFile(int folderFd, const char* name, bool followLink)
{
    // Non-blocking, so a file swapped for a FIFO cannot hang the copy.
    return UniqueFd(::openat(folderFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW)));
}

class TreeCopier {
public:
    explicit TreeCopier(const struct stat& staging) : m_stagingDevice(staging.st_dev), m_stagingInode(staging.st_ino) {}

    /// Copies the content of the folder `from` into the empty folder `to`.
    Expected<void, Error> copyContent(int from, int to)
    {
        std::vector<std::string> names;
        const int listed = ::dup(from);
        DIR* listing = listed >= 0 ? ::fdopendir(listed) : nullptr;
        if (!listing) {
            const int error = errno;
            if (listed >= 0)
                ::close(listed);
            return failed(Side::source, error);
        }
        errno = 0;
        while (const dirent* item = ::readdir(listing)) {
            const std::string name = item->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        const int listError = errno;
        ::closedir(listing);
        if (listError != 0)
            return failed(Side::source, listError);
        std::sort(names.begin(), names.end());

        for (const std::string& name : names) {
            struct stat info {};
            if (::fstatat(from, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
                return failed(Side::source, errno);
            // A folder copied into itself would otherwise copy its copy.
            if (info.st_dev == m_stagingDevice && info.st_ino == m_stagingInode)
                continue;
            Expected<void, Error> done;
            if (S_ISDIR(info.st_mode))
                done = copyFolder(from, name.c_str(), info, to);
            else if (S_ISREG(info.st_mode))
                done = copyFile(from, name.c_str(), to);
            else if (S_ISLNK(info.st_mode))
                done = copyLink(from, name.c_str(), to);
            if (!done)
                return done;
        }
        return {};
    }

    static void finishFolder(int folder, const struct stat& info)
    {
        ::fchmod(folder, (info.st_mode & 0777) | 0700);
        copyTimes(folder, info);
    }

private:
    Expected<void, Error> copyFolder(int from, const char* name, const struct stat& info, int to)
    {
        UniqueFd source(::openat(from, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!source)
            return failed(Side::source, errno);
        if (::mkdirat(to, name, 0700) != 0)
            return failed(Side::destination, errno);
        UniqueFd copy(::openat(to, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!copy)
            return failed(Side::destination, errno);
        if (auto done = copyContent(source.get(), copy.get()); !done)
            return done;
        finishFolder(copy.get(), info);
        return {};
    }

    static Expected<void, Error> copyFile(int from, const char* name, int to)
    {
        UniqueFd source = openSourceFile(from, name, false);
        struct stat info {};
        if (!source || ::fstat(source.get(), &info) != 0)
            return failed(Side::source, errno);
        if (!S_ISREG(info.st_mode))
            return {};
        UniqueFd copy(::openat(to, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!copy)
            return failed(Side::destination, errno);
        return copyFileContent(source.get(), info, copy.get());
    }

    static Expected<void, Error> copyLink(int from, const char* name, int to)
    {
        std::string target(256, '\0');
        for (;;) {
            const ssize_t length = ::readlinkat(from, name, target.data(), target.size());
            if (length < 0)
                return failed(Side::source, errno);
            if (static_cast<std::size_t>(length) < target.size()) {
                target.resize(static_cast<std::size_t>(length));
                break;
            }
            target.resize(target.size() * 2);
        }
        if (::symlinkat(target.c_str(), to, name) != 0)
            return failed(Side::destination, errno);
        return {};
    }

    dev_t m_stagingDevice;
    ino_t m_stagingInode;
};

Expected<void, Error> copyFolder(const fs::path& source, const fs::path& destination, int parent)
{
    UniqueFd from(::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!from || ::fstat(from.get(), &info) != 0)
        return failed(Side::source, errno);

    // Copied under a hidden name, then renamed once complete.
    std::string staging = (destination.parent_path() / ".vude-new-XXXXXX").string();
    if (!::mkdtemp(staging.data()))
        return failed(Side::destination, errno);
    const std::string stagingName = fs::path(staging).filename().string();
    UniqueFd to(::openat(parent, stagingName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat stagingInfo {};
    Expected<void, Error> done;
    if (!to || ::fstat(to.get(), &stagingInfo) != 0)
        done = failed(Side::destination, errno);
    else
        done = TreeCopier(stagingInfo).copyContent(from.get(), to.get());
    if (done) {
        TreeCopier::finishFolder(to.get(), info);
        if (::renameat2(parent, stagingName.c_str(), parent, destination.filename().c_str(), RENAME_NOREPLACE) != 0)
            done = failed(Side::destination, errno);
    }
    if (!done) {
        std::error_code ignored;
        fs::remove_all(staging, ignored);
    }
    return done;
}

} // namespace

namespace FileCopy {

Expected<void, Error> copy(const fs::path& source, const fs::path& destination)
{
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0)
        return failed(Side::source, errno);
    const fs::path folder = destination.parent_path().empty() ? fs::path(".") : destination.parent_path();
    UniqueFd parent(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent)
        return failed(Side::destination, errno);
    if (S_ISDIR(info.st_mode))
        return copyFolder(source, destination, parent.get());
    if (!S_ISREG(info.st_mode))
        return failed(Side::source, ENOTSUP);

    UniqueFd from = openSourceFile(AT_FDCWD, source.c_str(), true);
    if (!from || ::fstat(from.get(), &info) != 0)
        return failed(Side::source, errno);
    if (!S_ISREG(info.st_mode))
        return failed(Side::source, ENOTSUP);
    auto part = PartFile::create(parent.get(), 0600);
    if (!part)
        return failed(Side::destination, errno);
    if (auto copied = copyFileContent(from.get(), info, part->fd()); !copied)
        return copied;
    if (const int error = part->keep(destination.filename().c_str()); error != 0)
        return failed(Side::destination, error);
    return {};
}

} // namespace FileCopy
