#include "Platform/Core/AtomicFile.h"

#include "Platform/Core/ErrnoText.h"
#include "VudeKit/Numbers.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The name of a temporary file for `path` is this prefix and six letters or
// digits (mkostemp's).
std::string temporaryPrefix(const fs::path& path)
{
    return "." + path.filename().string() + ".";
}
constexpr std::size_t temporarySuffixLength = 6;

bool isAsciiLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

} // namespace

namespace AtomicFile {

// The XDG rules ask for private folders.
Expected<void, std::string> createPrivateFolders(const fs::path& folder)
{
    std::vector<fs::path> missing;
    std::error_code error;
    for (fs::path current = folder; !current.empty() && !fs::exists(current, error);
         current = current.parent_path()) {
        missing.push_back(current);
        if (current == current.parent_path())
            break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST)
            return unexpected(errnoText("cannot create", *it));
    return {};
}

std::size_t removeLeftovers(const fs::path& path)
{
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string prefix = temporaryPrefix(path);
    std::size_t removed = 0;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() != prefix.size() + temporarySuffixLength || !name.starts_with(prefix)
            || !std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), isAsciiLetterOrDigit))
            continue;
        // Only what write() makes: a regular file, never a symlink or a folder.
        std::error_code ignored;
        if (entry->symlink_status(ignored).type() == fs::file_type::regular && fs::remove(entry->path(), ignored))
            ++removed;
    }
    return removed;
}

void syncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

Expected<void, std::string> write(const fs::path& path, std::string_view bytes, mode_t mode)
{
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (auto created = createPrivateFolders(folder); !created)
        return unexpected(created.error());

    std::string temporary = (folder / (temporaryPrefix(path) + "XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return unexpected(errnoText("cannot create a temporary file in", folder));

    const bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const std::string failure = ok ? std::string() : errnoText("cannot write", temporary);
    if (::close(fd) != 0 && ok) {
        ::unlink(temporary.c_str());
        return unexpected(errnoText("cannot write", temporary));
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return unexpected(failure);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const auto message = errnoText("cannot replace", path);
        ::unlink(temporary.c_str());
        return unexpected(message);
    }
    syncFolder(folder);
    return {};
}

Expected<std::string, std::string> read(const fs::path& path, std::uintmax_t maxBytes)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never
    // come; the type is checked on what was opened, so nothing can be swapped
    // in between. O_NONBLOCK changes nothing for a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return unexpected(errnoText("cannot open", path));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return unexpected(path.string() + " is not a regular file");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        ::close(fd);
        return unexpected(path.string() + " is too large");
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const auto message = errnoText("cannot read", path);
            ::close(fd);
            return unexpected(message);
        }
        if (count == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(count));
        if (content.size() > maxBytes) {
            ::close(fd);
            return unexpected(path.string() + " is too large");
        }
    }
    ::close(fd);
    return content;
}

Expected<fs::path, std::string> setAside(const fs::path& file, std::string_view suffix)
{
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        std::string name(suffix);
        if (attempt > 1)
            name.append("-").append(formatInteger(attempt));
        fs::path target = file;
        target += name;
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // The file system cannot refuse to replace; check first instead,
            // counting a dangling link as taken.
            std::error_code error;
            if (fs::symlink_status(target, error).type() != fs::file_type::not_found)
                continue;
            if (::rename(file.c_str(), target.c_str()) == 0)
                return target;
        }
        return unexpected("cannot move " + file.string() + " aside: " + std::strerror(errno));
    }
    return unexpected("cannot move " + file.string() + " aside: too many earlier copies");
}

} // namespace AtomicFile
