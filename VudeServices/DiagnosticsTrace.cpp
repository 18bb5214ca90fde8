#include "VudeServices/DiagnosticsTrace.h"

#include "Platform/Core/XdgPaths.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kReadBlockBytes = 64 * 1024;

// Opens an existing regular file or, for writing, creates it private. A
// symlink at the path fails the open (O_NOFOLLOW); O_NONBLOCK keeps a planted
// FIFO from blocking us, and the fstat check refuses it and any device.
int openRegularFile(const fs::path& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    // A file left open to others by an earlier version is closed again.
    if ((flags & O_WRONLY) && (info.st_mode & 077) != 0 && info.st_uid == ::geteuid())
        ::fchmod(fd, 0600);
    return fd;
}

std::string twoDigits(int value)
{
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

// Valid UTF-8 with no NUL bytes: invalid sequences become U+FFFD, so a torn
// or foreign line does not hide the rest of the log.
std::string cleanedText(std::string_view bytes)
{
    std::string text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
    std::erase(text, '\0');
    return text;
}

bool readFullyAt(int fd, char* buffer, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, buffer, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer += got;
        size -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

// Complete lines of `tail` holding more than NUL bytes (a crash can leave a
// zero-filled stretch at the end of an appended file). When `startsMidLine`, the text before
// the first line feed is the end of a line that began earlier and is skipped.
std::vector<std::string_view> completeLines(std::string_view tail, bool startsMidLine)
{
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    if (startsMidLine) {
        const auto firstBreak = tail.find('\n');
        if (firstBreak == std::string_view::npos)
            return lines;
        begin = firstBreak + 1;
    }
    while (begin < tail.size()) {
        auto end = tail.find('\n', begin);
        if (end == std::string_view::npos)
            end = tail.size();
        if (tail.substr(begin, end - begin).find_first_not_of('\0') != std::string_view::npos)
            lines.push_back(tail.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

} // namespace

DiagnosticsTrace::DiagnosticsTrace(Environment::Lookup environment, std::function<bool()> isOptedIn,
                                   const ClockSource& clock, FolderProvider folder)
    : m_environment(std::move(environment))
    , m_isOptedIn(std::move(isOptedIn))
    , m_clock(&clock)
    , m_folder(std::move(folder))
{
}

DiagnosticsTrace DiagnosticsTrace::forProcess(std::function<bool()> isOptedIn)
{
    static const SystemClock clock;
    return DiagnosticsTrace(Environment::process(), std::move(isOptedIn), clock,
                            [] { return XdgPaths::privateRuntimeDirectory(); });
}

bool DiagnosticsTrace::isOn() const
{
    if (m_environment && m_environment(std::string(kEnvironmentVariable)))
        return true;
    return m_isOptedIn && m_isOptedIn();
}

std::string DiagnosticsTrace::formatLine(Date at, std::string_view message)
{
    const std::time_t seconds =
        static_cast<std::time_t>(std::chrono::floor<std::chrono::seconds>(at).time_since_epoch().count());
    std::tm local {};
    ::localtime_r(&seconds, &local);

    std::string line = twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min) + ":" + twoDigits(local.tm_sec);
    line += "  ";
    const auto messageStart = line.size();
    line += message;
    std::replace_if(line.begin() + static_cast<std::ptrdiff_t>(messageStart), line.end(),
                    [](char c) { return c == '\n' || c == '\r'; }, ' ');
    line += '\n';
    return line;
}

void DiagnosticsTrace::trace(std::string_view message) const
{
    if (!isOn() || !m_folder)
        return;
    const auto folder = m_folder();
    if (!folder)
        return;
    const std::string line = formatLine(m_clock->now(), message);

    const int fd = openRegularFile(*folder / kFileName, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return;
    // One write per line: with O_APPEND the kernel places it whole at the end,
    // so a second writer's line never lands inside this one.
    ssize_t written;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    ::close(fd);
}

std::vector<std::string> DiagnosticsTrace::recentLogLines(std::size_t limit) const
{
    if (limit == 0 || !m_folder)
        return {};
    const auto folder = m_folder();
    if (!folder)
        return {};
    const int fd = openRegularFile(*folder / kFileName, O_RDONLY);
    if (fd < 0)
        return {};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return {};
    }

    // Read whole blocks backwards from the end until enough complete lines are
    // in hand, the file's start is reached or the byte budget is spent.
    std::string tail;
    off_t start = info.st_size;
    std::vector<std::string_view> lines;
    while (start > 0 && tail.size() < kMaxTailBytes) {
        const auto block = static_cast<std::size_t>(std::min<off_t>(start, static_cast<off_t>(kReadBlockBytes)));
        start -= static_cast<off_t>(block);
        std::string chunk(block, '\0');
        if (!readFullyAt(fd, chunk.data(), block, start)) {
            ::close(fd);
            return {};
        }
        tail.insert(0, chunk);
        lines = completeLines(tail, start > 0);
        if (lines.size() >= limit)
            break;
    }
    ::close(fd);

    const auto first = lines.size() > limit ? lines.end() - static_cast<std::ptrdiff_t>(limit) : lines.begin();
    std::vector<std::string> result;
    for (auto line = first; line != lines.end(); ++line)
        if (auto text = cleanedText(*line); !text.empty())
            result.push_back(std::move(text));
    return result;
}
