#include "Platform/Core/ZipLibrary.h"

#include "Platform/Core/FileTree.h"
#include "Platform/Core/NewFile.h"
#include "Platform/Core/PartFile.h"
#include "Platform/Core/UniqueFd.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using ZipArchive::Failure;
using Kind = ZipArchive::Failure::Kind;

constexpr std::size_t chunkBytes = 1 << 20;
// As many links as the kernel follows in one lookup before it gives up.
constexpr int maxLinkHops = 40;

Expected<void, Failure> fail(Kind kind, std::string name, std::string detail = {})
{
    return unexpected(Failure{kind, std::move(name), std::move(detail)});
}

std::string lastComponent(const fs::path& path)
{
    return path.has_filename() ? path.filename().string() : path.parent_path().filename().string();
}

struct WriteArchiveFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct ReadArchiveFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};
using Entry = std::unique_ptr<archive_entry, EntryFree>;

std::string errorText(archive* a)
{
    const char* text = archive_error_string(a);
    return text ? text : "";
}

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        if (byte < 0x80)
            length = 1;
        else if ((byte & 0xE0) == 0xC0 && byte >= 0xC2)
            length = 2;
        else if ((byte & 0xF0) == 0xE0)
            length = 3;
        else if ((byte & 0xF8) == 0xF0 && byte <= 0xF4)
            length = 4;
        else
            return false;
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// Names go into the archive as UTF-8 whatever the locale; a name that is not
// UTF-8 (Linux names are bytes) goes in as it is.
void setPathname(archive_entry* entry, const std::string& name)
{
    if (isValidUtf8(name))
        archive_entry_set_pathname_utf8(entry, name.c_str());
    else
        archive_entry_copy_pathname(entry, name.c_str());
}

void setSymlink(archive_entry* entry, const std::string& target)
{
    if (isValidUtf8(target))
        archive_entry_set_symlink_utf8(entry, target.c_str());
    else
        archive_entry_copy_symlink(entry, target.c_str());
}

std::optional<std::string> readLinkAt(int dirFd, const char* name)
{
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlinkat(dirFd, name, target.data(), target.size());
        if (length < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// ---------------------------------------------------------------- packing

class Packer {
public:
    Packer(archive* a, std::string archiveName, const struct stat& output)
        : m_archive(a)
        , m_archiveName(std::move(archiveName))
        , m_outputDevice(output.st_dev)
        , m_outputInode(output.st_ino)
        , m_buffer(chunkBytes)
    {
    }

    Expected<void, Failure> addInput(const fs::path& input, const std::string& entryName)
    {
        return add(AT_FDCWD, input.c_str(), lastComponent(input), entryName, true);
    }

private:
    Expected<void, Failure> add(int parentFd, const char* name, const std::string& displayName,
                                const std::string& entryPath, bool isInput)
    {
        // An input given as a link is packed as what it points to.
        struct stat info {};
        if (::fstatat(parentFd, name, &info, isInput ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
            return fail(Kind::readFailed, displayName);
        // The archive being written may sit inside a folder being packed.
        if (info.st_dev == m_outputDevice && info.st_ino == m_outputInode)
            return {};
        if (S_ISLNK(info.st_mode))
            return addLink(parentFd, name, displayName, entryPath, info);
        if (S_ISDIR(info.st_mode))
            return addFolder(parentFd, name, displayName, entryPath, isInput);
        if (S_ISREG(info.st_mode))
            return addFile(parentFd, name, displayName, entryPath, isInput);
        // Sockets, FIFOs, devices: nothing a zip can hold. Inside a folder
        // they are left out; an input is refused, or a drop of only such
        // files would make an empty archive with nothing said.
        if (!isInput)
            return {};
        return fail(Kind::notFileOrFolder, displayName, FileTree::describe(FileTree::kindOfMode(info.st_mode)));
    }

    Entry entryFor(const std::string& entryPath, const struct stat& info, mode_t type)
    {
        Entry entry(archive_entry_new());
        setPathname(entry.get(), entryPath);
        archive_entry_set_filetype(entry.get(), type);
        archive_entry_set_perm(entry.get(), info.st_mode & 0777);
        archive_entry_set_mtime(entry.get(), info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
        return entry;
    }

    Expected<void, Failure> writeHeader(archive_entry* entry)
    {
        if (archive_write_header(m_archive, entry) < ARCHIVE_WARN)
            return fail(Kind::writeFailed, m_archiveName, errorText(m_archive));
        return {};
    }

    Expected<void, Failure> addLink(int parentFd, const char* name, const std::string& displayName,
                                    const std::string& entryPath, const struct stat& info)
    {
        const auto target = readLinkAt(parentFd, name);
        if (!target)
            return fail(Kind::readFailed, displayName);
        Entry entry = entryFor(entryPath, info, AE_IFLNK);
        setSymlink(entry.get(), *target);
        archive_write_zip_set_compression_store(m_archive);
        return writeHeader(entry.get());
    }

    Expected<void, Failure> addFolder(int parentFd, const char* name, const std::string& displayName,
                                      const std::string& entryPath, bool followLink)
    {
        UniqueFd folder(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)));
        struct stat info {};
        if (!folder || ::fstat(folder.get(), &info) != 0)
            return fail(Kind::readFailed, displayName);
        Entry entry = entryFor(entryPath, info, AE_IFDIR);
        archive_write_zip_set_compression_store(m_archive);
        if (auto written = writeHeader(entry.get()); !written)
            return written;

        const int listed = ::dup(folder.get());
        DIR* listing = listed >= 0 ? ::fdopendir(listed) : nullptr;
        if (!listing) {
            if (listed >= 0)
                ::close(listed);
            return fail(Kind::readFailed, displayName);
        }
        std::vector<std::string> children;
        errno = 0;
        while (const dirent* child = ::readdir(listing)) {
            const std::string childName = child->d_name;
            if (childName != "." && childName != "..")
                children.push_back(childName);
        }
        const bool listedAll = errno == 0;
        ::closedir(listing);
        if (!listedAll)
            return fail(Kind::readFailed, displayName);
        // A stable order, so the same folder gives the same archive.
        std::sort(children.begin(), children.end());
        for (const std::string& child : children) {
            if (auto added = add(folder.get(), child.c_str(), child, entryPath + "/" + child, false); !added)
                return added;
        }
        return {};
    }

    Expected<void, Failure> addFile(int parentFd, const char* name, const std::string& displayName,
                                    const std::string& entryPath, bool followLink)
    {
        // Non-blocking, so a file swapped for a FIFO cannot hang the run.
        UniqueFd file(::openat(parentFd, name,
                               O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW)));
        struct stat info {};
        if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
            return fail(Kind::readFailed, displayName);
        const auto size = static_cast<std::uint64_t>(info.st_size);

        std::uint64_t done = 0;
        std::size_t buffered = 0;
        // The first chunk says whether the content is compressed already.
        if (auto read = fill(file.get(), size, buffered, displayName); !read)
            return unexpected(read.error());
        const std::string_view head(m_buffer.data(), std::min<std::size_t>(buffered, 64));
        if (ZipArchive::isCompressedAlready(displayName, head))
            archive_write_zip_set_compression_store(m_archive);
        else
            archive_write_zip_set_compression_deflate(m_archive);

        Entry entry = entryFor(entryPath, info, AE_IFREG);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(size));
        if (auto written = writeHeader(entry.get()); !written)
            return written;
        while (buffered > 0) {
            if (archive_write_data(m_archive, m_buffer.data(), buffered) != static_cast<la_ssize_t>(buffered))
                return fail(Kind::writeFailed, m_archiveName, errorText(m_archive));
            done += buffered;
            buffered = 0;
            if (done == size)
                break;
            if (auto read = fill(file.get(), size - done, buffered, displayName); !read)
                return unexpected(read.error());
        }
        return {};
    }

    // Reads up to a chunk, at most `remaining` bytes; a file that ends before
    // its size said changed under us and is not packed half.
    Expected<void, Failure> fill(int fd, std::uint64_t remaining, std::size_t& buffered, const std::string& displayName)
    {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, m_buffer.size()));
        buffered = 0;
        while (buffered < wanted) {
            const ssize_t got = ::read(fd, m_buffer.data() + buffered, wanted - buffered);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return fail(Kind::readFailed, displayName);
            buffered += static_cast<std::size_t>(got);
        }
        return {};
    }

    archive* m_archive;
    std::string m_archiveName;
    dev_t m_outputDevice;
    ino_t m_outputInode;
    std::vector<char> m_buffer;
};

// The input's own name, or "name-1", "name-2"... when an earlier input took it.
std::string distinctName(const fs::path& input, std::set<std::string>& used)
{
    std::string name = lastComponent(input);
    if (name.empty() || name == "." || name == "..")
        name = "file";
    if (used.insert(name).second)
        return name;
    const fs::path asPath(name);
    const std::string stem = asPath.stem().string();
    const std::string extension = asPath.extension().string();
    for (std::uint64_t n = 1;; ++n) {
        std::string candidate = stem + "-" + std::to_string(n) + extension;
        if (used.insert(candidate).second)
            return candidate;
    }
}

// -------------------------------------------------------------- unpacking

bool isOutOfSpace(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

class Unpacker {
public:
    Unpacker(archive* a, int rootFd, std::string archiveName, std::uint64_t budget, bool budgetIsDiskSpace,
             const ZipArchive::Limits& limits)
        : m_archive(a)
        , m_rootFd(rootFd)
        , m_archiveName(std::move(archiveName))
        , m_budget(budget)
        , m_budgetIsDiskSpace(budgetIsDiskSpace)
        , m_limits(limits)
    {
    }

    Expected<void, Failure> run()
    {
        auto unpacked = unpackEntries();
        // Every link is checked again against the whole tree: a later entry
        // can turn an earlier, harmless link into a way out. This runs after
        // a failure too, so nothing unsafe stays behind.
        auto links = removeEscapingLinks();
        if (!unpacked)
            return unpacked;
        return links;
    }

private:
    struct Link {
        std::vector<std::string> components;
        std::string entryPath;
        std::string target;
    };

    /// A full disk is the archive's doing; anything else, the file's.
    Expected<void, Failure> failedWriting(int error, const std::string& name)
    {
        if (isOutOfSpace(error))
            return fail(Kind::noSpace, m_archiveName);
        return fail(Kind::writeFailed, name);
    }

    Expected<void, Failure> overBudget()
    {
        return fail(m_budgetIsDiskSpace ? Kind::noSpace : Kind::tooLarge, m_archiveName);
    }

    Expected<void, Failure> unpackEntries()
    {
        std::uint64_t entries = 0;
        for (;;) {
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(m_archive, &entry);
            if (status == ARCHIVE_EOF)
                return {};
            if (status < ARCHIVE_WARN)
                return fail(Kind::readFailed, m_archiveName, errorText(m_archive));
            if (++entries > m_limits.maxEntries)
                return overBudget();

            const char* utf8 = archive_entry_pathname_utf8(entry);
            const char* raw = utf8 ? utf8 : archive_entry_pathname(entry);
            if (!raw)
                return fail(Kind::readFailed, m_archiveName);
            const std::string entryPath = raw;
            const auto components = ZipArchive::entryComponents(entryPath);
            if (!components)
                return fail(Kind::unsafeEntry, entryPath);
            if (components->empty() || components->front() == "__MACOSX")
                continue;
            if (components->size() > m_limits.maxPathComponents)
                return overBudget();
            if (archive_entry_is_encrypted(entry))
                return fail(Kind::encrypted, entryPath);
            if (archive_entry_hardlink(entry))
                return fail(Kind::unsafeEntry, entryPath);

            Expected<void, Failure> done;
            switch (archive_entry_filetype(entry)) {
            case AE_IFDIR:
                done = unpackFolder(*components, entryPath, archive_entry_perm(entry));
                break;
            case AE_IFREG:
                done = unpackFile(entry, *components, entryPath);
                break;
            case AE_IFLNK:
                done = unpackLink(entry, *components, entryPath);
                break;
            default:
                break; // sockets, FIFOs, devices are not made
            }
            if (!done)
                return done;
        }
    }

    /// The folder that holds `components`' last one (or, with `whole`, the
    /// last one itself), made as needed; never through a link.
    Expected<UniqueFd, Failure> openFolder(const std::vector<std::string>& components, bool whole,
                                           const std::string& entryPath, mode_t lastMode = 0755)
    {
        UniqueFd folder(::dup(m_rootFd));
        if (!folder)
            return unexpected(Failure{Kind::writeFailed, m_archiveName, {}});
        const std::size_t count = whole ? components.size() : components.size() - 1;
        for (std::size_t i = 0; i < count; ++i) {
            const char* name = components[i].c_str();
            const mode_t mode = i + 1 == components.size() ? lastMode : 0755;
            // Each folder made costs a block of the disk, so a bomb of empty
            // folders meets the budget too; one already there costs nothing.
            struct stat info {};
            if (::fstatat(folder.get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                if (m_limits.folderBytes > m_budget - m_written)
                    return unexpected(overBudget().error());
                if (::mkdirat(folder.get(), name, mode) != 0 && errno != EEXIST) {
                    const int error = errno;
                    return unexpected(Failure{isOutOfSpace(error) ? Kind::noSpace : Kind::writeFailed,
                                              isOutOfSpace(error) ? m_archiveName : components[i], {}});
                }
                m_written += m_limits.folderBytes;
            }
            UniqueFd next(::openat(folder.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next) {
                const int error = errno;
                if (::fstatat(folder.get(), name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
                    return unexpected(Failure{Kind::unsafeEntry, entryPath, {}});
                // The folder is new: anything else of that name came from
                // the archive itself.
                if (error == ENOTDIR)
                    return unexpected(Failure{Kind::duplicateEntry, joined(components, i + 1), {}});
                return unexpected(Failure{Kind::writeFailed, components[i], {}});
            }
            folder = std::move(next);
        }
        return folder;
    }

    /// The first `count` components as one path.
    static std::string joined(const std::vector<std::string>& components, std::size_t count)
    {
        std::string path;
        for (std::size_t i = 0; i < count && i < components.size(); ++i)
            path += (i ? "/" : "") + components[i];
        return path;
    }

    Expected<void, Failure> unpackFolder(const std::vector<std::string>& components, const std::string& entryPath,
                                         mode_t perm)
    {
        // The owner keeps full access, so the folder can be emptied and removed.
        const mode_t mode = perm == 0 ? 0755 : ((perm & 0777) | 0700);
        auto folder = openFolder(components, true, entryPath, mode);
        if (!folder)
            return unexpected(folder.error());
        return {};
    }

    Expected<void, Failure> unpackFile(archive_entry* entry, const std::vector<std::string>& components,
                                       const std::string& entryPath)
    {
        auto folder = openFolder(components, false, entryPath);
        if (!folder)
            return unexpected(folder.error());
        const std::string& name = components.back();
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0
            && static_cast<std::uint64_t>(archive_entry_size(entry)) > m_budget - m_written)
            return overBudget();

        const mode_t perm = archive_entry_perm(entry) & 0777;
        auto part = PartFile::create(folder->get(), perm == 0 ? 0644 : (perm | 0600));
        if (!part)
            return failedWriting(errno, name);

        std::uint64_t end = 0;
        for (;;) {
            const void* block = nullptr;
            std::size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(m_archive, &block, &size, &offset);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN || offset < 0)
                return fail(Kind::readFailed, m_archiveName, errorText(m_archive));
            const auto blockEnd = static_cast<std::uint64_t>(offset) + size;
            if (blockEnd > end) {
                // Counted before it is written: a bomb stops at its budget.
                if (blockEnd - end > m_budget - m_written)
                    return overBudget();
                m_written += blockEnd - end;
                end = blockEnd;
            }
            auto* bytes = static_cast<const char*>(block);
            std::size_t done = 0;
            while (done < size) {
                const ssize_t wrote = ::pwrite(part->fd(), bytes + done, size - done, offset + static_cast<off_t>(done));
                if (wrote < 0 && errno == EINTR)
                    continue;
                if (wrote <= 0)
                    return failedWriting(wrote < 0 ? errno : EIO, name);
                done += static_cast<std::size_t>(wrote);
            }
        }
        if (::ftruncate(part->fd(), static_cast<off_t>(end)) != 0)
            return fail(Kind::writeFailed, name);
        if (archive_entry_mtime_is_set(entry)) {
            const timespec times[2] = {{0, UTIME_OMIT},
                                       {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
            ::futimens(part->fd(), times);
        }
        if (const int error = part->keep(name.c_str()); error != 0)
            return error == EEXIST ? fail(Kind::duplicateEntry, joined(components, components.size()))
                                   : failedWriting(error, name);
        return {};
    }

    Expected<void, Failure> unpackLink(archive_entry* entry, const std::vector<std::string>& components,
                                       const std::string& entryPath)
    {
        const char* utf8 = archive_entry_symlink_utf8(entry);
        const char* raw = utf8 ? utf8 : archive_entry_symlink(entry);
        const std::string target = raw ? raw : "";
        const std::vector<std::string> where(components.begin(), components.end() - 1);
        if (!staysInside(where, target))
            return fail(Kind::unsafeLink, entryPath, target);
        auto folder = openFolder(components, false, entryPath);
        if (!folder)
            return unexpected(folder.error());
        if (::symlinkat(target.c_str(), folder->get(), components.back().c_str()) != 0)
            return errno == EEXIST ? fail(Kind::duplicateEntry, joined(components, components.size()))
                                   : failedWriting(errno, components.back());
        m_links.push_back(Link{components, entryPath, target});
        return {};
    }

    /// Follows `target`, written in the folder `where`, through the tree as
    /// it now is, the way the kernel would; false when it leads above the
    /// root, to an absolute path, or through too many links. Names not there
    /// yet are taken as folders, the strict reading.
    bool staysInside(const std::vector<std::string>& where, const std::string& target) const
    {
        if (target.empty() || target.front() == '/')
            return false;
        std::vector<std::string> at = where; // every component a real folder...
        std::size_t realDepth = at.size();   // ...up to here; the rest is missing
        std::deque<std::string> pending;
        const auto prepend = [&pending](const std::string& path) {
            std::vector<std::string> parts;
            std::size_t start = 0;
            while (start <= path.size()) {
                const std::size_t slash = std::min(path.find('/', start), path.size());
                parts.push_back(path.substr(start, slash - start));
                start = slash + 1;
            }
            pending.insert(pending.begin(), parts.begin(), parts.end());
        };
        prepend(target);
        int hops = 0;
        while (!pending.empty()) {
            const std::string part = std::move(pending.front());
            pending.pop_front();
            if (part.empty() || part == ".")
                continue;
            if (part == "..") {
                if (at.empty())
                    return false;
                at.pop_back();
                realDepth = std::min(realDepth, at.size());
                continue;
            }
            if (realDepth < at.size()) {
                at.push_back(part);
                continue;
            }
            auto folder = openExisting(at);
            struct stat info {};
            if (!folder || ::fstatat(folder.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                at.push_back(part);
                continue;
            }
            if (S_ISLNK(info.st_mode)) {
                if (++hops > maxLinkHops)
                    return false;
                const auto next = readLinkAt(folder.get(), part.c_str());
                if (!next || next->empty() || next->front() == '/')
                    return false;
                prepend(*next);
                continue;
            }
            if (!S_ISDIR(info.st_mode))
                return true; // a file: it ends here, or the lookup fails
            at.push_back(part);
            realDepth = at.size();
        }
        return true;
    }

    UniqueFd openExisting(const std::vector<std::string>& components) const
    {
        UniqueFd folder(::dup(m_rootFd));
        for (const std::string& component : components) {
            if (!folder)
                break;
            folder = UniqueFd(::openat(folder.get(), component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        return folder;
    }

    Expected<void, Failure> removeEscapingLinks()
    {
        std::optional<Failure> first;
        // Removing a link can only make others lead nowhere, never out; still,
        // check until a pass finds nothing.
        for (bool removed = true; removed;) {
            removed = false;
            for (auto link = m_links.begin(); link != m_links.end();) {
                const std::vector<std::string> where(link->components.begin(), link->components.end() - 1);
                if (staysInside(where, link->target)) {
                    ++link;
                    continue;
                }
                if (auto folder = openExisting(where))
                    ::unlinkat(folder.get(), link->components.back().c_str(), 0);
                if (!first)
                    first = Failure{Kind::unsafeLink, link->entryPath, link->target};
                link = m_links.erase(link);
                removed = true;
            }
        }
        if (first)
            return unexpected(*first);
        return {};
    }

    archive* m_archive;
    int m_rootFd;
    std::string m_archiveName;
    std::uint64_t m_budget;
    bool m_budgetIsDiskSpace;
    ZipArchive::Limits m_limits;
    std::uint64_t m_written = 0;
    std::vector<Link> m_links;
};

} // namespace

namespace {

Expected<fs::path, Failure> createZip(const std::vector<fs::path>& inputs, const fs::path& destination,
                                   const std::function<fs::path()>& nameAgain)
{
    const std::string archiveName = lastComponent(destination);
    auto output = NewFile::create(destination.parent_path());
    struct stat outputInfo {};
    if (!output || ::fstat(output->fileDescriptor(), &outputInfo) != 0)
        return unexpected(Failure{Kind::writeFailed, archiveName, {}});

    std::unique_ptr<archive, WriteArchiveFree> zip(archive_write_new());
    if (!zip || archive_write_set_format_zip(zip.get()) != ARCHIVE_OK
        || archive_write_set_bytes_per_block(zip.get(), 64 * 1024) != ARCHIVE_OK
        || archive_write_set_bytes_in_last_block(zip.get(), 1) != ARCHIVE_OK
        || archive_write_open_fd(zip.get(), output->fileDescriptor()) != ARCHIVE_OK)
        return unexpected(Failure{Kind::writeFailed, archiveName, {}});

    const auto failed = [](Kind kind, std::string name, std::string detail = {}) {
        return unexpected(Failure{kind, std::move(name), std::move(detail)});
    };
    Packer packer(zip.get(), archiveName, outputInfo);
    std::set<std::string> used;
    for (const fs::path& input : inputs) {
        if (auto added = packer.addInput(input, distinctName(input, used)); !added)
            return unexpected(added.error());
    }
    if (archive_write_close(zip.get()) != ARCHIVE_OK)
        return failed(Kind::writeFailed, archiveName, errorText(zip.get()));
    fs::path name = destination;
    for (int attempt = 0;; ++attempt) {
        if (output->commit(name))
            return name;
        std::error_code error;
        const bool taken = fs::exists(fs::symlink_status(name, error));
        if (!taken || !nameAgain || attempt == 100)
            return failed(Kind::writeFailed, lastComponent(name));
        name = nameAgain();
    }
}

Expected<void, Failure> extractZip(const fs::path& archivePath, const fs::path& folder, const ZipArchive::Limits& limits)
{
    const std::string archiveName = lastComponent(archivePath);
    UniqueFd file(::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return fail(Kind::readFailed, archiveName);
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);

    UniqueFd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root)
        return fail(Kind::writeFailed, lastComponent(folder));

    // The budget: what the archive's size allows, and what the disk can spare.
    const double byRatio = limits.maxRatio * static_cast<double>(info.st_size);
    std::uint64_t budget = byRatio >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(byRatio);
    budget = std::min(std::max(budget, limits.minBudgetBytes), limits.maxBytes);
    bool budgetIsDiskSpace = false;
    struct statvfs disk {};
    if (::fstatvfs(root.get(), &disk) == 0) {
        const std::uint64_t available = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
        const std::uint64_t spare = available > limits.keepFreeBytes ? available - limits.keepFreeBytes : 0;
        if (spare < budget) {
            budget = spare;
            budgetIsDiskSpace = true;
        }
    }

    std::unique_ptr<archive, ReadArchiveFree> zip(archive_read_new());
    if (!zip || archive_read_support_format_zip(zip.get()) != ARCHIVE_OK
        || archive_read_open_fd(zip.get(), file.get(), 64 * 1024) != ARCHIVE_OK)
        return fail(Kind::readFailed, archiveName);
    return Unpacker(zip.get(), root.get(), archiveName, budget, budgetIsDiskSpace, limits).run();
}

class LibarchiveZip final : public ZipLibrary {
public:
    Expected<fs::path, Failure> create(const std::vector<fs::path>& inputs, const fs::path& destination,
                                       const std::function<fs::path()>& nameAgain) const override
    {
        return createZip(inputs, destination, nameAgain);
    }
    Expected<void, Failure> extract(const fs::path& archive, const fs::path& folder,
                                    const ZipArchive::Limits& limits) const override
    {
        return extractZip(archive, folder, limits);
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) const ZipLibrary* vudeZipLibrary()
{
    static const LibarchiveZip library;
    return &library;
}
