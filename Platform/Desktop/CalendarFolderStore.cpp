#include "Platform/Desktop/CalendarFolderStore.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/FolderWatcher.h"
#include "Platform/Desktop/ICalendarDocument.h"
#include "VudeKit/AsciiCase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxNameFileSize = 4096;

bool isHidden(const fs::path& path)
{
    const std::string name = path.filename().string();
    return name.empty() || name.front() == '.';
}

bool hasCalendarExtension(const fs::path& path)
{
    return asciiUppercased(path.extension().string()) == ".ICS";
}

std::optional<std::string> readNameFile(const fs::path& path)
{
    auto content = AtomicFile::read(path, kMaxNameFileSize);
    if (!content)
        return std::nullopt;
    constexpr std::string_view space = " \t\r\n";
    const std::string& text = *content;
    const auto first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return std::nullopt;
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::int64_t nanoseconds(const timespec& time)
{
    return std::int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// The calendar files of a vdir folder, by name.
std::vector<fs::path> calendarFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        std::error_code statusError;
        if (!isHidden(path) && hasCalendarExtension(path) && it->is_regular_file(statusError))
            files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

CalendarFolderStore::CalendarFolderStore(fs::path folder, Scheduler& scheduler, TraceSink trace, FolderProbe probe,
                                         QObject* parent)
    : CalendarStore(parent),
      m_folder(std::move(folder)),
      m_scheduler(scheduler),
      m_trace(std::move(trace)),
      m_probe(std::move(probe)),
      m_watcher(std::make_unique<FolderWatcher>())
{
    connect(m_watcher.get(), &FolderWatcher::changed, this, &CalendarFolderStore::onFolderChanged);
    updateWatches(scan());
}

CalendarFolderStore::~CalendarFolderStore()
{
    m_pendingChange.cancel();
}

CalendarAuthorizationStatus CalendarFolderStore::authorizationStatus() const
{
    return m_probe(m_folder);
}

bool CalendarFolderStore::isReadable() const
{
    return m_probe(m_folder) == CalendarAuthorizationStatus::fullAccess;
}

void CalendarFolderStore::requestFullAccess(std::function<void(AccessAnswer)> answer)
{
    if (m_probe(m_folder) == CalendarAuthorizationStatus::notDetermined) {
        if (auto created = CalendarFolderAccess::makeFolder(m_folder); !created) {
            trace("calendar folder not created: " + created.error());
            answer(unexpected("Could not create the calendars folder: " + created.error()));
            return;
        }
        updateWatches(scan());
    }
    answer(isReadable());
}

std::vector<CalendarFolderStore::Source> CalendarFolderStore::scan()
{
    std::vector<Source> sources;
    if (!isReadable())
        return sources;
    std::error_code error;
    for (fs::directory_iterator it(m_folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        if (isHidden(path))
            continue;
        std::error_code statusError;
        if (it->is_directory(statusError))
            sources.push_back({path.filename().string(), path, true});
        else if (hasCalendarExtension(path) && it->is_regular_file(statusError))
            sources.push_back({path.filename().string(), path, false});
    }
    std::sort(sources.begin(), sources.end(),
              [](const Source& a, const Source& b) { return a.identifier < b.identifier; });
    return sources;
}

std::vector<CalendarStoreCalendar> CalendarFolderStore::calendars()
{
    const std::vector<Source> sources = scan();
    std::vector<CalendarStoreCalendar> result;
    std::set<fs::path> seen;
    for (const Source& source : sources) {
        result.push_back(describe(source));
        if (!source.isFolder)
            seen.insert(source.path);
        else
            for (const auto& file : calendarFiles(source.path))
                seen.insert(file);
    }
    // Forget the files that went away.
    std::erase_if(m_files, [&seen](const auto& entry) { return !seen.contains(entry.first); });
    std::erase_if(m_reported, [&seen](const auto& entry) { return !seen.contains(entry.first); });
    return result;
}

CalendarStoreCalendar CalendarFolderStore::describe(const Source& source)
{
    CalendarStoreCalendar calendar{source.identifier, {}, {}};
    std::optional<std::string> title;
    if (source.isFolder) {
        title = readNameFile(source.path / "displayname");
        calendar.color = readNameFile(source.path / "color");
    }
    // Otherwise the calendar's first file that can be read speaks for it;
    // reading every file of a large calendar for a colour it never gives
    // would cost each refresh a look at every file.
    if (!title || !calendar.color) {
        if (const auto first = firstDocument(source)) {
            if (!title)
                title = first->calendarName();
            if (!calendar.color)
                calendar.color = first->calendarColor();
        }
    }
    calendar.title = title.value_or(source.isFolder ? source.identifier : source.path.stem().string());
    return calendar;
}

std::shared_ptr<const ICalendarDocument> CalendarFolderStore::firstDocument(const Source& source)
{
    if (!source.isFolder)
        return document(source.path, source.identifier);
    for (const auto& file : calendarFiles(source.path))
        if (auto parsed = document(file, source.identifier + "/" + file.filename().string()))
            return parsed;
    return nullptr;
}

std::vector<std::shared_ptr<const ICalendarDocument>> CalendarFolderStore::documents(const Source& source)
{
    std::vector<std::shared_ptr<const ICalendarDocument>> result;
    const auto add = [&](const fs::path& path, const std::string& displayName) {
        if (auto parsed = document(path, displayName))
            result.push_back(std::move(parsed));
    };
    if (!source.isFolder) {
        add(source.path, source.identifier);
        return result;
    }
    for (const auto& file : calendarFiles(source.path))
        add(file, source.identifier + "/" + file.filename().string());
    return result;
}

std::shared_ptr<const ICalendarDocument> CalendarFolderStore::document(const fs::path& path,
                                                                      const std::string& displayName)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        m_files.erase(path);
        return nullptr;
    }
    const CachedFile::Stamp stamp{std::uintmax_t(info.st_dev), std::uintmax_t(info.st_ino),
                                  std::intmax_t(info.st_size), nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
    if (const auto cached = m_files.find(path); cached != m_files.end() && cached->second.stamp == stamp)
        return cached->second.document;

    CachedFile entry{stamp, nullptr};
    std::optional<std::string> problem;
    if (auto text = AtomicFile::read(path, kMaxFileSize); !text)
        problem = text.error();
    else if (auto parsed = ICalendarDocument::parse(*text, displayName, path); !parsed)
        problem = parsed.error();
    else
        entry.document = std::move(*parsed);
    m_files[path] = entry;
    // One line per version of a bad file, however often it is read again.
    if (problem && m_reported[path] != stamp) {
        m_reported[path] = stamp;
        trace("calendar file skipped: " + displayName + ": " + *problem);
    }
    return entry.document;
}

std::vector<CalendarStoreEvent> CalendarFolderStore::events(Date start, Date end,
                                                            const std::vector<std::string>& calendarIdentifiers)
{
    const std::set<std::string> wanted(calendarIdentifiers.begin(), calendarIdentifiers.end());
    std::vector<CalendarStoreEvent> result;
    for (const Source& source : scan()) {
        if (!wanted.contains(source.identifier))
            continue;
        const auto owned = documents(source);
        std::vector<const ICalendarDocument*> documents;
        for (const auto& document : owned)
            documents.push_back(document.get());
        auto occurrences = ICalendarDocument::occurrences(documents, start, end, source.identifier);
        std::move(occurrences.begin(), occurrences.end(), std::back_inserter(result));
    }
    return result;
}

void CalendarFolderStore::reset()
{
    m_files.clear();
}

void CalendarFolderStore::refreshSourcesIfNecessary()
{
    updateWatches(scan());
}

std::vector<fs::path> CalendarFolderStore::watchedPaths() const
{
    return m_watcher->watchedPaths();
}

void CalendarFolderStore::updateWatches(const std::vector<Source>& sources)
{
    std::vector<fs::path> paths;
    if (isReadable())
        paths.push_back(m_folder);
    for (const Source& source : sources)
        paths.push_back(source.path);
    m_watcher->setPaths(paths);
}

void CalendarFolderStore::onFolderChanged()
{
    if (m_pendingChange.isActive())
        return;
    m_pendingChange = m_scheduler.after(kChangeDelay, [this] {
        updateWatches(scan());
        emit changed();
    });
}

void CalendarFolderStore::trace(const std::string& line) const
{
    if (m_trace)
        m_trace(line);
}
