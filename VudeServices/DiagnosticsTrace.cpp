#include "VudeServices/DiagnosticsTrace.h"

#include "Platform/Core/XdgPaths.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kReadBlockBytes = 64 * 1024;
constexpr std::string_view kEllipsis = "\u2026";

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

// What a terminal or a text view acts on instead of showing: C0 and C1
// controls, DEL, the line and paragraph separators and the bidirectional
// marks, embeddings, overrides and isolates.
bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F
        || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Valid UTF-8 with every control replaced; line breaks and tabs read as
// spaces, so every entry stays one line.
std::string safeText(std::string_view bytes)
{
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (QChar& c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
        else if (isControl(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return text.toStdString();
}

// `text` cut to at most `maxBytes` at a character boundary, "…" marking the cut.
std::string cutAt(std::string text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes - kEllipsis.size();
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    text += kEllipsis;
    return text;
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

// Walks a file's lines from its end backwards, reading it in blocks.
class BackwardLines {
public:
    BackwardLines(int fd, off_t size) : m_fd(fd), m_end(size), m_blockStart(size) {}

    struct Line {
        off_t start = 0;
        off_t length = 0;
    };

    /// The line before the previous one, or none at the file's start, on a
    /// read error or once kMaxScanBytes have been looked through.
    std::optional<Line> previous()
    {
        if (m_end <= 0 || m_failed)
            return std::nullopt;
        // Everything between the last line feed before m_end and m_end.
        for (;;) {
            const off_t searchEnd = std::min(m_end, m_blockStart + static_cast<off_t>(m_block.size()));
            const std::string_view inBlock(m_block.data(), static_cast<std::size_t>(searchEnd - m_blockStart));
            const auto found = inBlock.rfind('\n');
            if (found != std::string_view::npos) {
                const off_t lineFeed = m_blockStart + static_cast<off_t>(found);
                const Line line{lineFeed + 1, m_end - (lineFeed + 1)};
                m_end = lineFeed;
                return line;
            }
            if (m_blockStart == 0) {
                const Line line{0, m_end};
                m_end = 0;
                return line;
            }
            if (m_scanned >= DiagnosticsTrace::kMaxScanBytes || !readBlockBefore()) {
                m_failed = true;
                return std::nullopt;
            }
        }
    }

    /// The first `length` bytes of `line`, at most `maxBytes`.
    std::optional<std::string> text(Line line, std::size_t maxBytes) const
    {
        const auto length = std::min(static_cast<std::size_t>(line.length), maxBytes);
        std::string bytes(length, '\0');
        if (length > 0 && !readFullyAt(m_fd, bytes.data(), length, line.start))
            return std::nullopt;
        return bytes;
    }

private:
    bool readBlockBefore()
    {
        const auto size = static_cast<std::size_t>(std::min<off_t>(m_blockStart, static_cast<off_t>(kReadBlockBytes)));
        m_blockStart -= static_cast<off_t>(size);
        m_block.assign(size, '\0');
        m_scanned += size;
        return readFullyAt(m_fd, m_block.data(), size, m_blockStart);
    }

    int m_fd;
    off_t m_end;        // the lines still to walk end here
    off_t m_blockStart; // where m_block starts in the file
    std::string m_block;
    std::size_t m_scanned = 0;
    bool m_failed = false;
};

// Whether a line, by the file it is in and where it starts there, was written
// by this run.
using LineOwnership = std::function<bool(const struct stat& file, off_t start)>;

// Adds the newest lines of `path` (newest first) to `lines` until `limit`
// lines or `budget` bytes of text are reached, and whether each is this
// run's to `ours`.
void collectLines(const fs::path& path, std::size_t limit, std::size_t& budget, std::vector<std::string>& lines,
                  std::vector<bool>& ours, const LineOwnership& isOurs)
{
    const int fd = openRegularFile(path, O_RDONLY);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        BackwardLines walk(fd, info.st_size);
        while (lines.size() < limit) {
            const auto line = walk.previous();
            if (!line)
                break;
            const auto bytes = walk.text(*line, DiagnosticsTrace::kMaxLineBytes);
            if (!bytes)
                break;
            // A crash can leave a zero-filled stretch at the end of an appended file.
            std::string text = cleanedText(*bytes);
            if (text.empty())
                continue;
            if (static_cast<std::size_t>(line->length) > DiagnosticsTrace::kMaxLineBytes)
                text = cutAt(std::move(text) + std::string(kEllipsis), DiagnosticsTrace::kMaxLineBytes);
            if (text.size() > budget)
                break;
            budget -= text.size();
            lines.push_back(std::move(text));
            ours.push_back(isOurs(info, line->start));
        }
    }
    ::close(fd);
}

// Moves a full trace aside so the next line starts a new file. Every writer
// that finds the file full tries; the one that gets the lock renames it, once,
// after making sure the name still means the file it found full. A writer that
// finds the lock taken leaves the rename to its holder and never waits.
void rotateIfFull(int& fd, const fs::path& file, const fs::path& rotated, std::size_t incoming)
{
    struct stat opened {};
    if (::fstat(fd, &opened) != 0
        || static_cast<std::size_t>(opened.st_size) + incoming <= DiagnosticsTrace::kMaxFileBytes)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        struct stat current {};
        if (::lstat(file.c_str(), &current) == 0 && current.st_ino == opened.st_ino && current.st_dev == opened.st_dev)
            ::rename(file.c_str(), rotated.c_str());
        ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    fd = openRegularFile(file, O_WRONLY | O_APPEND | O_CREAT);
}

} // namespace

struct DiagnosticsTrace::RunStart {
    std::mutex mutex;
    std::atomic<bool> known{false};
    // The file the run's first line went to, held open: while it is, its
    // inode number cannot go to a newer file. Let go once rotation has
    // removed the file, which then no longer holds any line.
    int file = -1;
    bool gone = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t offset = 0;

    ~RunStart()
    {
        if (file >= 0)
            ::close(file);
    }

    /// Notes a line of this run written at `at` of the open file `fd`: the
    /// earliest one is where the run starts. Lines of two threads may land in
    /// either order, so a later first write can still move the start back.
    void note(int fd, const struct stat& info, off_t at)
    {
        std::lock_guard lock(mutex);
        if (known && (info.st_dev != device || info.st_ino != inode || at >= offset))
            return;
        if (file < 0)
            file = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        device = info.st_dev;
        inode = info.st_ino;
        offset = at;
        known = true;
    }

    /// Lets go of the file once no name leads to it.
    void releaseIfRemoved()
    {
        struct stat info {};
        if (file >= 0 && ::fstat(file, &info) == 0 && info.st_nlink == 0) {
            ::close(file);
            file = -1;
            gone = true;
        }
    }
};

DiagnosticsTrace::DiagnosticsTrace(Environment::Lookup environment, std::function<bool()> isOptedIn,
                                   const ClockSource& clock, FolderProvider folder)
    : m_environment(std::move(environment))
    , m_isOptedIn(std::move(isOptedIn))
    , m_clock(&clock)
    , m_folder(std::move(folder))
    , m_runStart(std::make_shared<RunStart>())
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
    line += safeText(message);
    line = cutAt(std::move(line), kMaxLineBytes - 1);
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

    int fd = openRegularFile(*folder / kFileName, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return;
    rotateIfFull(fd, *folder / kFileName, *folder / kRotatedFileName, line.size());
    if (fd < 0)
        return;
    const bool runStartKnown = m_runStart->known;
    // One write per line: with O_APPEND the kernel places it whole at the end,
    // so a second writer's line never lands inside this one.
    ssize_t written;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written > 0 && !runStartKnown) {
        // Our descriptor's offset is the end of our own line, whatever others
        // appended since.
        struct stat info {};
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        if (end >= written && ::fstat(fd, &info) == 0)
            m_runStart->note(fd, info, end - written);
    }
    ::close(fd);
}

std::vector<std::string> DiagnosticsTrace::recentLogLines(std::size_t limit) const
{
    return recentLog(limit).lines;
}

DiagnosticsTrace::Tail DiagnosticsTrace::recentLog(std::size_t limit) const
{
    if (limit == 0 || !m_folder)
        return {};
    const auto folder = m_folder();
    if (!folder)
        return {};

    struct {
        bool known = false;
        bool gone = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t offset = 0;
    } start;
    {
        std::lock_guard lock(m_runStart->mutex);
        m_runStart->releaseIfRemoved();
        start = {m_runStart->known, m_runStart->gone, m_runStart->device, m_runStart->inode, m_runStart->offset};
    }
    const auto isStartFile = [&](const struct stat& info) {
        return !start.gone && info.st_dev == start.device && info.st_ino == start.inode;
    };
    struct stat current {};
    const bool startFileIsCurrent = ::lstat((*folder / kFileName).c_str(), &current) == 0 && isStartFile(current);

    // The file the run started in holds earlier lines before that point.
    // Another current file came after it (the trace rotated since); another
    // rotated file did too, unless the run's file is still the current one.
    // Once rotation has removed the run's file, every line left is this run's.
    const LineOwnership inCurrent = [&](const struct stat& info, off_t at) {
        return start.known && (!isStartFile(info) || at >= start.offset);
    };
    const LineOwnership inRotated = [&](const struct stat& info, off_t at) {
        if (!start.known)
            return false;
        if (isStartFile(info))
            return at >= start.offset;
        return !startFileIsCurrent;
    };

    Tail tail;
    std::vector<bool> ours;
    std::size_t budget = kMaxTailBytes;
    collectLines(*folder / kFileName, limit, budget, tail.lines, ours, inCurrent);
    collectLines(*folder / kRotatedFileName, limit, budget, tail.lines, ours, inRotated);
    std::reverse(tail.lines.begin(), tail.lines.end());
    std::reverse(ours.begin(), ours.end());
    tail.thisRunFrom = static_cast<std::size_t>(std::find(ours.begin(), ours.end(), true) - ours.begin());
    return tail;
}
