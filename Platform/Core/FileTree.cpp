#include "Platform/Core/FileTree.h"

#include "Platform/Core/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string failure(const std::string& what, const fs::path& path, int error = errno)
{
    return what + " " + path.string() + ": " + std::strerror(error);
}

FileTree::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileTree::Kind::regularFile;
    if (S_ISDIR(mode))
        return FileTree::Kind::directory;
    if (S_ISFIFO(mode))
        return FileTree::Kind::fifo;
    if (S_ISSOCK(mode))
        return FileTree::Kind::socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileTree::Kind::device;
    return FileTree::Kind::other;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the rest of `in` to `out`: in the kernel where it can, else through
// a buffer.
bool copyContent(int in, int out)
{
    for (;;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, std::size_t(1) << 30, 0);
        if (copied > 0)
            continue;
        if (copied == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM)
            return false;
        break;
    }
    std::vector<char> buffer(std::size_t(1) << 16);
    for (;;) {
        const ssize_t count = ::read(in, buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (count == 0)
            return true;
        if (!writeAll(out, buffer.data(), static_cast<std::size_t>(count)))
            return false;
    }
}

Expected<void, std::string> copyFile(const fs::path& source, const fs::path& destination, bool followLink,
                                     bool durable)
{
    // O_NONBLOCK: whatever was swapped in since the type was looked at, the
    // open cannot wait on it, and the type is checked again on what opened.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    UniqueFd in(::open(source.c_str(), flags));
    if (!in)
        return unexpected(failure("cannot open", source));
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        return unexpected(failure("cannot read", source));
    if (!S_ISREG(info.st_mode))
        return unexpected(source.string() + " is " + FileTree::describe(kindOf(info.st_mode)) + ", not a file");

    UniqueFd out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!out)
        return unexpected(failure("cannot create", destination));
    if (!copyContent(in.get(), out.get()))
        return unexpected(failure("cannot copy", source));
    const std::array<timespec, 2> times{info.st_atim, info.st_mtim};
    ::fchmod(out.get(), info.st_mode & 07777);
    ::futimens(out.get(), times.data());
    if (durable && ::fsync(out.get()) != 0)
        return unexpected(failure("cannot write", destination));
    if (!out.close())
        return unexpected(failure("cannot write", destination));
    return {};
}

// What a copy took from the source, so that a move removes that and no more.
struct Copied {
    fs::path path;
    dev_t device;
    ino_t inode;
};

Expected<void, std::string> copyEntry(const fs::path& source, const fs::path& destination, bool top,
                                      const FileTree::CopyOptions& options, std::vector<Copied>* copied);

Expected<void, std::string> copyFolder(const fs::path& source, const fs::path& destination,
                                       const struct stat& info, const FileTree::CopyOptions& options,
                                       std::vector<Copied>* copied)
{
    if (::mkdir(destination.c_str(), 0700) != 0)
        return unexpected(failure("cannot create", destination));
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error)
        return unexpected(source.string() + ": " + error.message());
    for (const auto& entry : entries)
        if (auto made = copyEntry(entry, destination / entry.filename(), false, options, copied); !made)
            return made;
    ::chmod(destination.c_str(), (info.st_mode & 07777) | S_IRWXU);
    const std::array<timespec, 2> times{info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, destination.c_str(), times.data(), AT_SYMLINK_NOFOLLOW);
    if (options.durable) {
        UniqueFd folder(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder || ::fsync(folder.get()) != 0)
            return unexpected(failure("cannot write", destination));
    }
    return {};
}

Expected<void, std::string> copyLink(const fs::path& source, const fs::path& destination)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(source, error);
    if (error)
        return unexpected(source.string() + ": " + error.message());
    fs::create_symlink(target, destination, error);
    if (error)
        return unexpected(destination.string() + ": " + error.message());
    return {};
}

Expected<void, std::string> copyEntry(const fs::path& source, const fs::path& destination, bool top,
                                      const FileTree::CopyOptions& options, std::vector<Copied>* copied)
{
    struct stat info {};
    if ((top ? ::stat(source.c_str(), &info) : ::lstat(source.c_str(), &info)) != 0)
        return unexpected(failure("cannot read", source));
    Expected<void, std::string> made;
    if (S_ISREG(info.st_mode))
        made = copyFile(source, destination, top, options.durable);
    else if (S_ISDIR(info.st_mode))
        made = copyFolder(source, destination, info, options, copied);
    else if (S_ISLNK(info.st_mode))
        made = copyLink(source, destination);
    else if (!top)
        return {}; // Inside a folder such entries are no content of it.
    else
        return unexpected(source.string() + " is " + FileTree::describe(kindOf(info.st_mode))
                          + ", not a file or folder");
    // A folder comes after what it holds, so it is emptied before it goes.
    if (made && copied)
        copied->push_back({source, info.st_dev, info.st_ino});
    return made;
}

// Whether `path` is `folder` or lies anywhere inside it, symbolic links resolved.
bool isWithin(const fs::path& path, const fs::path& folder)
{
    std::error_code error;
    const fs::path resolvedFolder = fs::canonical(folder, error);
    if (error)
        return false;
    const fs::path resolvedPath = fs::weakly_canonical(path, error);
    if (error)
        return false;
    auto p = resolvedPath.begin();
    for (auto f = resolvedFolder.begin(); f != resolvedFolder.end(); ++f, ++p)
        if (p == resolvedPath.end() || *p != *f)
            return false;
    return true;
}

// Copies `source` into `destination`, noting what it took in `copied`.
Expected<void, std::string> copyTree(const fs::path& source, const fs::path& destination,
                                     const FileTree::CopyOptions& options, std::vector<Copied>* copied)
{
    if (FileTree::kind(source) == FileTree::Kind::directory && isWithin(destination, source))
        return unexpected("cannot copy " + source.string() + " into itself");
    return copyEntry(source, destination, true, options, copied);
}

// Removes what was copied, each entry only while it is still the one copied:
// what the copy left out, or what took an entry's place since, stays with
// the folders that hold it.
void removeCopied(const std::vector<Copied>& copied)
{
    for (const Copied& entry : copied) {
        struct stat info {};
        if (::lstat(entry.path.c_str(), &info) != 0 || info.st_dev != entry.device || info.st_ino != entry.inode)
            continue;
        if (S_ISDIR(info.st_mode))
            ::rmdir(entry.path.c_str());
        else
            ::unlink(entry.path.c_str());
    }
}

} // namespace

namespace FileTree {

Kind kind(const fs::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return Kind::missing;
    return kindOf(info.st_mode);
}

Kind kindOfMode(mode_t mode)
{
    return kindOf(mode);
}

std::string describe(Kind kind)
{
    switch (kind) {
    case Kind::missing:
        return "missing";
    case Kind::regularFile:
        return "a file";
    case Kind::directory:
        return "a folder";
    case Kind::fifo:
        return "a named pipe";
    case Kind::socket:
        return "a socket";
    case Kind::device:
        return "a device";
    case Kind::other:
        break;
    }
    return "a special file";
}

Expected<void, std::string> copy(const fs::path& source, const fs::path& destination, CopyOptions options)
{
    return copyTree(source, destination, options, nullptr);
}

int renameNoReplace(const fs::path& source, const fs::path& destination)
{
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;
    // The file system cannot refuse to replace (or the folder would go into
    // itself, which rename refuses below just the same).
    std::error_code lookup;
    if (fs::symlink_status(destination, lookup).type() != fs::file_type::not_found)
        return EEXIST;
    return ::rename(source.c_str(), destination.c_str()) == 0 ? 0 : errno;
}

Expected<void, std::string> move(const fs::path& source, const fs::path& destination, Rename rename)
{
    const Kind sourceKind = kind(source);
    if (sourceKind == Kind::missing)
        return unexpected(failure("cannot read", source));
    if (sourceKind != Kind::regularFile && sourceKind != Kind::directory)
        return unexpected(source.string() + " is " + describe(sourceKind) + ", not a file or folder");

    const int error = rename(source, destination);
    if (error == 0)
        return {};
    if (error != EXDEV)
        return unexpected(failure("cannot move", source, error));

    std::vector<Copied> copied;
    if (auto made = copyTree(source, destination, CopyOptions{.durable = true}, &copied); !made)
        return made;
    if (destination.has_parent_path()) {
        UniqueFd folder(::open(destination.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder)
            ::fsync(folder.get());
    }
    // A link given as the source was followed for the copy; only the link goes.
    struct stat info {};
    if (::lstat(source.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        ::unlink(source.c_str());
    else
        removeCopied(copied);
    return {};
}

} // namespace FileTree
