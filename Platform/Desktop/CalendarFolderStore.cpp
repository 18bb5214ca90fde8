#include "Platform/Desktop/CalendarFolderStore.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/FolderWatcher.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Core/SerialQueue.h"
#include "Platform/Desktop/ICalendarDocument.h"
#include "VudeKit/AsciiCase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;
using SteadyTime = std::chrono::steady_clock::time_point;

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

// `path` lies in `folder` or is it (both canonical).
bool isWithin(const fs::path& path, const fs::path& folder)
{
    auto [end, unused] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}

// A link that leads back into the calendars folder would show its events a
// second time.
bool leadsInto(const fs::directory_entry& entry, const fs::path& canonicalRoot)
{
    std::error_code error;
    if (canonicalRoot.empty() || !entry.is_symlink(error))
        return false;
    const fs::path target = fs::canonical(entry.path(), error);
    return !error && isWithin(target, canonicalRoot);
}

fs::path canonicalOf(const fs::path& folder)
{
    std::error_code error;
    fs::path result = fs::canonical(folder, error);
    return error ? fs::path() : result;
}

// The calendar files of a vdir folder, by name.
std::vector<fs::path> calendarFiles(const fs::path& folder, const fs::path& canonicalRoot)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        std::error_code statusError;
        if (!isHidden(path) && hasCalendarExtension(path) && it->is_regular_file(statusError) &&
            !leadsInto(*it, canonicalRoot))
            files.push_back(path);
    }
    // Names in one folder: their text orders them as their paths would.
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    return files;
}

// One calendar in the folder.
struct Source {
    std::string identifier;
    fs::path path;
    bool isFolder = false;

    // How a file of it is named in the trace.
    std::string nameOf(const fs::path& file) const
    {
        return isFolder ? identifier + "/" + file.filename().string() : identifier;
    }
};

using SharedEvent = std::shared_ptr<const CalendarStoreEvent>;

std::vector<Source> scanFolder(const fs::path& folder, const CalendarFolderStore::FolderProbe& probe)
{
    std::vector<Source> sources;
    if (probe(folder) != CalendarAuthorizationStatus::fullAccess)
        return sources;
    const fs::path canonicalRoot = canonicalOf(folder);
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        if (isHidden(path) || leadsInto(*it, canonicalRoot))
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

std::vector<fs::path> pathsOf(const std::vector<Source>& sources)
{
    std::vector<fs::path> paths;
    for (const Source& source : sources)
        paths.push_back(source.path);
    return paths;
}

} // namespace

// Everything read from the folder. One read at a time holds the mutex, on
// the read thread or on the caller's for the direct calls; trace lines are
// collected and written by the caller on the main thread.
class CalendarFolderStore::Reader {
public:
    Reader(fs::path folder, FolderProbe probe) : m_folder(std::move(folder)), m_probe(std::move(probe)) {}

    std::mutex mutex;
    std::atomic<bool> cancelled{false};

    std::vector<Source> scan() { return scanFolder(m_folder, m_probe); }
    /// The calendar files of each source, in the sources' order.
    std::vector<std::vector<fs::path>> list(const std::vector<Source>& sources) const;

    std::vector<CalendarStoreCalendar> calendars(const std::vector<Source>& sources,
                                                 const std::vector<std::vector<fs::path>>& files,
                                                 std::vector<std::string>& trace);
    std::vector<SharedEvent> events(const std::vector<Source>& sources, const std::vector<std::vector<fs::path>>& files,
                                    Date start, Date end, const std::set<std::string>& wanted,
                                    std::optional<Duration> layoutTime, std::vector<std::string>& trace);
    void reset()
    {
        m_files.clear();
        m_layouts.clear();
    }

private:
    struct Stamp {
        std::uintmax_t device = 0;
        std::uintmax_t inode = 0;
        std::intmax_t size = 0;
        std::int64_t modified = 0; // nanoseconds
        std::int64_t changed = 0;  // nanoseconds
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    // A file as last read: its identity and what it parsed to (none when it
    // could not be used).
    struct CachedFile {
        Stamp stamp;
        std::shared_ptr<const ICalendarDocument> document;
    };
    // A calendar's file as one layout sees it.
    struct LaidFile {
        const fs::path* path;
        const Source* source;
        std::optional<Stamp> stamp; // none when it is not used (unreadable, bad, set aside)
        std::shared_ptr<const ICalendarDocument> document;
    };
    // The occurrences of one calendar in one window, by series.
    // Files are keyed by their path's text: a calendar may hold thousands.
    struct Layout {
        Date start;
        Date end;
        std::unordered_map<std::string, std::optional<Stamp>> stamps;
        std::unordered_map<std::string, std::set<std::string>> uidsOf;
        std::unordered_map<std::string, std::vector<SharedEvent>> byUid;
        // Events without a UID, by file and position.
        std::map<std::pair<std::string, std::size_t>, std::vector<SharedEvent>> loose;
    };
    enum class Outcome { complete, cut, setAside };

    std::vector<LaidFile> filesOf(const Source& source, const std::vector<fs::path>& paths,
                                  std::vector<std::string>& trace);
    std::optional<CachedFile> document(const fs::path& path, const Source& source, std::vector<std::string>& trace);
    Outcome layOut(const Source& source, const std::vector<LaidFile>& files, Date start, Date end,
                   ICalendarDocument::Budget& budget, std::optional<Duration>& layoutTime,
                   std::vector<SharedEvent>& result, std::vector<std::string>& trace);

    const fs::path m_folder;
    const FolderProbe m_probe;
    std::unordered_map<std::string, CachedFile> m_files;
    // The version of each file whose problem or notes are in the trace.
    std::unordered_map<std::string, Stamp> m_reported;
    std::unordered_map<std::string, Stamp> m_noted;
    // Files whose repeats overran, by the version that did.
    std::unordered_map<std::string, Stamp> m_setAside;
    std::map<std::string, Layout> m_layouts;
    std::set<std::string> m_cut;
};

std::vector<std::vector<fs::path>> CalendarFolderStore::Reader::list(const std::vector<Source>& sources) const
{
    const fs::path canonicalRoot = canonicalOf(m_folder);
    std::vector<std::vector<fs::path>> result;
    for (const Source& source : sources)
        result.push_back(source.isFolder ? calendarFiles(source.path, canonicalRoot)
                                         : std::vector<fs::path>{source.path});
    return result;
}

std::vector<CalendarStoreCalendar> CalendarFolderStore::Reader::calendars(
    const std::vector<Source>& sources, const std::vector<std::vector<fs::path>>& listed,
    std::vector<std::string>& trace)
{
    std::vector<CalendarStoreCalendar> result;
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Source& source = sources[i];
        CalendarStoreCalendar calendar{source.identifier, {}, {}};
        std::optional<std::string> title;
        if (source.isFolder) {
            title = readNameFile(source.path / "displayname");
            calendar.color = readNameFile(source.path / "color");
        }
        const std::vector<fs::path>& files = listed[i];
        for (const fs::path& file : files)
            seen.insert(file.native());
        // Otherwise the calendar's first file that can be read speaks for
        // it; reading every file of a large calendar for a colour it never
        // gives would cost each refresh a look at every file.
        for (const fs::path& file : files) {
            if (title && calendar.color)
                break;
            const auto cached = document(file, source, trace);
            if (!cached || !cached->document)
                continue;
            if (!title)
                title = cached->document->calendarName();
            if (!calendar.color)
                calendar.color = cached->document->calendarColor();
            break;
        }
        calendar.title = title.value_or(source.isFolder ? source.identifier : source.path.stem().string());
        result.push_back(std::move(calendar));
    }
    // Forget the files and calendars that went away.
    const auto gone = [&seen](const auto& entry) { return !seen.contains(entry.first); };
    std::erase_if(m_files, gone);
    std::erase_if(m_reported, gone);
    std::erase_if(m_noted, gone);
    std::erase_if(m_setAside, gone);
    std::set<std::string> identifiers;
    for (const Source& source : sources)
        identifiers.insert(source.identifier);
    std::erase_if(m_layouts, [&](const auto& entry) { return !identifiers.contains(entry.first); });
    return result;
}

std::optional<CalendarFolderStore::Reader::CachedFile> CalendarFolderStore::Reader::document(
    const fs::path& path, const Source& source, std::vector<std::string>& trace)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        m_files.erase(path.native());
        return std::nullopt;
    }
    const Stamp stamp{std::uintmax_t(info.st_dev), std::uintmax_t(info.st_ino), std::intmax_t(info.st_size),
                      nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
    if (const auto aside = m_setAside.find(path.native()); aside != m_setAside.end()) {
        if (aside->second == stamp)
            return CachedFile{stamp, nullptr};
        m_setAside.erase(aside);
    }
    if (const auto cached = m_files.find(path.native()); cached != m_files.end() && cached->second.stamp == stamp)
        return cached->second;

    CachedFile entry{stamp, nullptr};
    const std::string displayName = source.nameOf(path);
    std::optional<std::string> problem;
    if (auto text = AtomicFile::read(path, kMaxFileSize); !text)
        problem = text.error();
    else if (auto parsed = ICalendarDocument::parse(*text, displayName, path); !parsed)
        problem = parsed.error();
    else
        entry.document = std::move(*parsed);
    m_files[path.native()] = entry;
    // One line per version of a bad file, however often it is read again.
    if (problem && m_reported[path.native()] != stamp) {
        m_reported[path.native()] = stamp;
        trace.push_back("calendar file skipped: " + displayName + ": " + *problem);
    }
    if (entry.document && !entry.document->notes().empty() && m_noted[path.native()] != stamp) {
        m_noted[path.native()] = stamp;
        for (const std::string& note : entry.document->notes())
            trace.push_back("calendar file " + displayName + ": " + note);
    }
    return entry;
}

std::vector<CalendarFolderStore::Reader::LaidFile> CalendarFolderStore::Reader::filesOf(
    const Source& source, const std::vector<fs::path>& paths, std::vector<std::string>& trace)
{
    std::vector<LaidFile> files;
    files.reserve(paths.size());
    for (const fs::path& path : paths) {
        if (cancelled.load(std::memory_order_relaxed))
            break;
        const auto cached = document(path, source, trace);
        LaidFile file{&path, &source, std::nullopt, nullptr};
        if (cached && cached->document) {
            file.stamp = cached->stamp;
            file.document = cached->document;
        }
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<SharedEvent> CalendarFolderStore::Reader::events(
    const std::vector<Source>& sources, const std::vector<std::vector<fs::path>>& listed, Date start, Date end,
    const std::set<std::string>& wanted, std::optional<Duration> layoutTime, std::vector<std::string>& trace)
{
    std::vector<SharedEvent> result;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Source& source = sources[i];
        if (!wanted.contains(source.identifier))
            continue;
        ICalendarDocument::Budget budget = ICalendarDocument::Budget::forWindow(start, end);
        budget.cancelled = &cancelled;
        std::vector<SharedEvent> events;
        Outcome outcome = Outcome::setAside;
        // A file set aside changes what the calendar holds: lay it out again
        // without it (each pass sets one more aside, or ends).
        while (outcome == Outcome::setAside) {
            events.clear();
            outcome = layOut(source, filesOf(source, listed[i], trace), start, end, budget, layoutTime, events, trace);
        }
        if (outcome == Outcome::cut && !cancelled.load(std::memory_order_relaxed)) {
            if (m_cut.insert(source.identifier).second)
                trace.push_back("calendar events cut: " + source.identifier +
                                ": more than one refresh may lay out; the rest follow later");
        } else if (outcome == Outcome::complete) {
            m_cut.erase(source.identifier);
        }
        std::move(events.begin(), events.end(), std::back_inserter(result));
    }
    return result;
}

CalendarFolderStore::Reader::Outcome CalendarFolderStore::Reader::layOut(
    const Source& source, const std::vector<LaidFile>& files, Date start, Date end, ICalendarDocument::Budget& budget,
    std::optional<Duration>& layoutTime, std::vector<SharedEvent>& result, std::vector<std::string>& trace)
{
    Layout& layout = m_layouts[source.identifier];
    if (layout.start != start || layout.end != end)
        layout = Layout{start, end, {}, {}, {}, {}};

    // A changed file invalidates every series it held before or holds now:
    // a RECURRENCE-ID in one file replaces an occurrence of another's.
    std::unordered_set<std::string> present;
    for (const LaidFile& file : files) {
        const std::string& key = file.path->native();
        present.insert(key);
        const auto before = layout.stamps.find(key);
        if (before != layout.stamps.end() && before->second == file.stamp)
            continue;
        std::set<std::string> uids;
        if (file.document)
            for (const auto& uid : file.document->eventUids())
                if (uid)
                    uids.insert(*uid);
        for (const auto& uid : layout.uidsOf[key])
            layout.byUid.erase(uid);
        for (const auto& uid : uids)
            layout.byUid.erase(uid);
        std::erase_if(layout.loose, [&](const auto& entry) { return entry.first.first == key; });
        layout.uidsOf[key] = std::move(uids);
        layout.stamps[key] = file.stamp;
    }
    for (auto it = layout.stamps.begin(); it != layout.stamps.end();) {
        if (present.contains(it->first)) {
            ++it;
            continue;
        }
        for (const auto& uid : layout.uidsOf[it->first])
            layout.byUid.erase(uid);
        std::erase_if(layout.loose, [&](const auto& entry) { return entry.first.first == it->first; });
        layout.uidsOf.erase(it->first);
        it = layout.stamps.erase(it);
    }

    // The series in order of first appearance, gathering the events of
    // those that must be laid out again.
    struct Series {
        const std::string* uid = nullptr;
        const LaidFile* file = nullptr; // of a loose event
        std::size_t index = 0;
    };
    std::vector<Series> order;
    std::unordered_set<std::string_view> seen;
    std::unordered_map<std::string_view, std::vector<ICalendarDocument::EventRef>> events;
    for (const LaidFile& file : files) {
        if (!file.document)
            continue;
        const auto& uids = file.document->eventUids();
        for (std::size_t index = 0; index < uids.size(); ++index) {
            if (!uids[index]) {
                order.push_back({nullptr, &file, index});
                continue;
            }
            const std::string& uid = *uids[index];
            if (seen.insert(uid).second)
                order.push_back({&uid, nullptr, 0});
            if (!layout.byUid.contains(uid))
                events[uid].push_back({file.document.get(), index});
        }
    }

    bool cut = false;
    for (const Series& series : order) {
        const std::vector<SharedEvent>* cached = nullptr;
        if (series.uid) {
            if (const auto found = layout.byUid.find(*series.uid); found != layout.byUid.end())
                cached = &found->second;
        } else if (const auto found = layout.loose.find({series.file->path->native(), series.index});
                   found != layout.loose.end()) {
            cached = &found->second;
        }
        if (cached) {
            result.insert(result.end(), cached->begin(), cached->end());
            continue;
        }
        // Once cut, only what is laid out already is shown.
        if (cut)
            continue;

        const std::vector<ICalendarDocument::EventRef> refs =
            series.uid ? events[*series.uid]
                       : std::vector<ICalendarDocument::EventRef>{{series.file->document.get(), series.index}};
        // Only laying out counts against the read's time: parsing is bounded
        // by the files' sizes, and a large folder must not be cut for it.
        const SteadyTime began = std::chrono::steady_clock::now();
        const SteadyTime fileDeadline = began + kFileBudget;
        budget.deadline = layoutTime ? std::min(began + *layoutTime, fileDeadline) : fileDeadline;
        const std::size_t stepsBefore = budget.steps;
        const std::size_t occurrencesBefore = budget.occurrences;
        std::vector<SharedEvent> placed;
        for (auto& event : ICalendarDocument::seriesOccurrences(refs, start, end, source.identifier, budget))
            placed.push_back(std::make_shared<const CalendarStoreEvent>(std::move(event)));
        if (layoutTime)
            *layoutTime = std::max(Duration::zero(), *layoutTime - std::chrono::duration_cast<Duration>(
                                                                      std::chrono::steady_clock::now() - began));
        // A series may end within the budget and still have taken half the
        // calendar's steps (each rule stops at its own limit): that is the
        // file's work running out as surely as an overrun.
        const bool hogged = stepsBefore - budget.steps >= ICalendarDocument::kMaxCalendarSteps / 2;
        if (!budget.spent && !hogged) {
            result.insert(result.end(), placed.begin(), placed.end());
            if (series.uid)
                layout.byUid.emplace(*series.uid, std::move(placed));
            else
                layout.loose.emplace(std::pair{series.file->path->native(), series.index}, std::move(placed));
            continue;
        }
        if (cancelled.load(std::memory_order_relaxed))
            return Outcome::cut;
        // The series alone took the time of a file, or half the calendar's
        // steps; anything else is the calendar's or the read's budget
        // running out.
        const bool overran = hogged || std::chrono::steady_clock::now() >= fileDeadline;
        if (!overran) {
            cut = true;
            continue;
        }
        // The series' own work ran out: set aside the file whose rules did it
        // (the first holding the series without a RECURRENCE-ID).
        const ICalendarDocument* culprit = refs.front().document;
        for (const LaidFile& file : files) {
            if (file.document.get() != culprit || !file.stamp)
                continue;
            m_setAside[file.path->native()] = *file.stamp;
            trace.push_back("calendar file set aside until it changes: " + source.nameOf(*file.path) +
                            ": its repeats take too long to lay out");
        }
        // What it spent goes back to the rest of the calendar.
        budget.steps = stepsBefore;
        budget.occurrences = occurrencesBefore;
        budget.spent = false;
        return Outcome::setAside;
    }
    return cut ? Outcome::cut : Outcome::complete;
}

CalendarFolderStore::CalendarFolderStore(fs::path folder, Scheduler& scheduler, TraceSink trace, FolderProbe probe,
                                         QObject* parent)
    : CalendarStore(parent),
      m_folder(std::move(folder)),
      m_scheduler(scheduler),
      m_trace(std::move(trace)),
      m_probe(std::move(probe)),
      m_watcher(std::make_unique<FolderWatcher>()),
      m_reader(std::make_shared<Reader>(m_folder, m_probe)),
      m_queue(std::make_unique<SerialQueue>("app.ruvudav.notch.calendars"))
{
    connect(m_watcher.get(), &FolderWatcher::changed, this, &CalendarFolderStore::onFolderChanged);
    updateWatches();
}

CalendarFolderStore::~CalendarFolderStore()
{
    m_pendingChange.cancel();
    m_reader->cancelled = true;
    m_queue.reset();
}

CalendarAuthorizationStatus CalendarFolderStore::authorizationStatus() const
{
    return m_probe(m_folder);
}

void CalendarFolderStore::requestFullAccess(std::function<void(AccessAnswer)> answer)
{
    if (m_probe(m_folder) == CalendarAuthorizationStatus::notDetermined) {
        if (auto created = CalendarFolderAccess::makeFolder(m_folder); !created) {
            trace({"calendar folder not created: " + created.error()});
            answer(unexpected("Could not create the calendars folder: " + created.error()));
            return;
        }
        updateWatches();
    }
    answer(m_probe(m_folder) == CalendarAuthorizationStatus::fullAccess);
}

std::vector<CalendarStoreCalendar> CalendarFolderStore::calendars()
{
    std::vector<std::string> lines;
    std::vector<CalendarStoreCalendar> result;
    {
        const std::lock_guard lock(m_reader->mutex);
        const auto sources = m_reader->scan();
        result = m_reader->calendars(sources, m_reader->list(sources), lines);
    }
    trace(lines);
    return result;
}

std::vector<CalendarStoreEvent> CalendarFolderStore::events(Date start, Date end,
                                                            const std::vector<std::string>& calendarIdentifiers)
{
    std::vector<std::string> lines;
    std::vector<CalendarStoreEvent> result;
    {
        const std::lock_guard lock(m_reader->mutex);
        const auto sources = m_reader->scan();
        for (const auto& event : m_reader->events(sources, m_reader->list(sources), start, end,
                                                  {calendarIdentifiers.begin(), calendarIdentifiers.end()},
                                                  std::nullopt, lines))
            result.push_back(*event);
    }
    trace(lines);
    return result;
}

void CalendarFolderStore::reset()
{
    const std::lock_guard lock(m_reader->mutex);
    m_reader->reset();
}

void CalendarFolderStore::refreshSourcesIfNecessary()
{
    updateWatches();
}

void CalendarFolderStore::read(const CalendarStoreRead& request, std::function<void(CalendarStoreSnapshot)> done)
{
    // The destructor waits for the read, so the store outlives it.
    m_queue->async([this, reader = m_reader, request, done = std::move(done)]() mutable {
        if (reader->cancelled)
            return;
        CalendarStoreSnapshot snapshot;
        std::vector<std::string> lines;
        std::vector<Source> sources;
        {
            const std::lock_guard lock(reader->mutex);
            if (request.hard)
                reader->reset();
            sources = reader->scan();
            const auto files = reader->list(sources);
            snapshot.calendars = reader->calendars(sources, files, lines);
            std::set<std::string> visible;
            for (const auto& calendar : snapshot.calendars)
                if (request.visibleCalendars.empty() || request.visibleCalendars.contains(calendar.identifier))
                    visible.insert(calendar.identifier);
            if (request.window && !visible.empty())
                snapshot.events = reader->events(sources, files, request.window->first, request.window->second,
                                                 visible, kReadBudget, lines);
        }
        postTo(this, [this, hard = request.hard, paths = pathsOf(sources), lines = std::move(lines),
                      snapshot = std::move(snapshot), done = std::move(done)]() mutable {
            trace(lines);
            if (hard)
                setWatches(paths);
            done(std::move(snapshot));
        });
    });
}

std::vector<fs::path> CalendarFolderStore::watchedPaths() const
{
    return m_watcher->watchedPaths();
}

void CalendarFolderStore::updateWatches()
{
    setWatches(pathsOf(scanFolder(m_folder, m_probe)));
}

void CalendarFolderStore::setWatches(const std::vector<fs::path>& calendarPaths)
{
    std::vector<fs::path> paths;
    if (m_probe(m_folder) == CalendarAuthorizationStatus::fullAccess)
        paths.push_back(m_folder);
    paths.insert(paths.end(), calendarPaths.begin(), calendarPaths.end());
    m_watcher->setPaths(paths);
}

void CalendarFolderStore::onFolderChanged()
{
    if (m_pendingChange.isActive())
        return;
    m_pendingChange = m_scheduler.after(kChangeDelay, [this] {
        updateWatches();
        emit changed();
    });
}

void CalendarFolderStore::trace(const std::vector<std::string>& lines) const
{
    if (m_trace)
        for (const std::string& line : lines)
            m_trace(line);
}
