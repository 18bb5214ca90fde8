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

bool isCalendarFile(const fs::directory_entry& entry, const fs::path& canonicalRoot)
{
    std::error_code statusError;
    return !isHidden(entry.path()) && hasCalendarExtension(entry.path()) && entry.is_regular_file(statusError) &&
           !leadsInto(entry, canonicalRoot);
}

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

// One file of a calendar as last listed.
struct ListedFile {
    fs::path path;
    // A link: the folder's watch does not see its target change, so it is
    // looked at on every read.
    bool linked = false;
    // Changed since a read last looked at it.
    bool stale = true;
    // What the last look found, while it holds.
    std::optional<CachedFile> known;
};

bool byName(const ListedFile& file, const std::string& native)
{
    return file.path.native() < native;
}

// The files of one calendar, by name, and whether any changed since its
// events were last laid out.
struct Listing {
    bool isFolder = false;
    std::vector<ListedFile> files;
    bool touched = true;
    // Changes whenever files come or go.
    std::uint64_t version = 0;
};

// The calendar files of a vdir folder, by name.
std::vector<ListedFile> calendarFiles(const fs::path& folder, const fs::path& canonicalRoot)
{
    std::vector<ListedFile> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code linkError;
        if (isCalendarFile(*it, canonicalRoot))
            files.push_back({it->path(), it->is_symlink(linkError), true, std::nullopt});
    }
    // Names in one folder: their text orders them as their paths would.
    std::sort(files.begin(), files.end(),
              [](const ListedFile& a, const ListedFile& b) { return a.path.native() < b.path.native(); });
    return files;
}

// Brings a listing up to date with the entries of `names`, which came, went
// or changed in `folder`.
void relist(std::vector<ListedFile>& files, const fs::path& folder, const std::set<std::string>& names,
            const fs::path& canonicalRoot)
{
    for (const std::string& name : names) {
        fs::path path = folder / name;
        const auto at = std::lower_bound(files.begin(), files.end(), path.native(), byName);
        const bool listed = at != files.end() && at->path.native() == path.native();
        std::error_code error;
        const fs::directory_entry entry(path, error);
        std::error_code linkError;
        const bool wanted = !error && isCalendarFile(entry, canonicalRoot);
        if (wanted && !listed)
            files.insert(at, {std::move(path), entry.is_symlink(linkError), true, std::nullopt});
        else if (!wanted && listed)
            files.erase(at);
        else if (wanted)
            at->linked = entry.is_symlink(linkError);
    }
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
    /// The files of each source, in the sources' order. `changes` are what
    /// the watch saw since the last read: a calendar it covered is listed
    /// again only as far as entries came or went, and only the files it
    /// named are looked at again. Without them every calendar is listed and
    /// every file looked at.
    std::vector<Listing*> list(const std::vector<Source>& sources, const FolderWatcher::Changes* changes);

    std::vector<CalendarStoreCalendar> calendars(const std::vector<Source>& sources,
                                                 const std::vector<Listing*>& listings,
                                                 std::vector<std::string>& trace);
    std::vector<SharedEvent> events(const std::vector<Source>& sources, const std::vector<Listing*>& listings,
                                    Date start, Date end, const std::set<std::string>& wanted,
                                    std::optional<Duration> layoutTime, std::vector<std::string>& trace);
    void reset()
    {
        m_files.clear();
        m_layouts.clear();
        m_listings.clear();
    }

private:
    // A calendar's file as one layout sees it.
    struct LaidFile {
        const fs::path* path;
        ListedFile* listed;
        const Source* source;
        std::optional<Stamp> stamp; // none when it is not used (unreadable, bad, set aside)
        std::shared_ptr<const ICalendarDocument> document;
    };
    // The occurrences of one calendar in one window, by series.
    // Files are keyed by their path's text: a calendar may hold thousands.
    struct Layout {
        Date start;
        Date end;
        // The stamp of each file, and the last pass that saw it.
        std::unordered_map<std::string, std::pair<std::optional<Stamp>, std::uint64_t>> stamps;
        std::uint64_t pass = 0;
        std::unordered_map<std::string, std::set<std::string>> uidsOf;
        std::unordered_map<std::string, std::vector<SharedEvent>> byUid;
        // Events without a UID, by file and position.
        std::map<std::pair<std::string, std::size_t>, std::vector<SharedEvent>> loose;
        // The calendar's events when its last layout was complete.
        std::optional<std::vector<SharedEvent>> complete;
        // The listing it last saw.
        std::uint64_t listingVersion = 0;
    };
    enum class Outcome { complete, cut, setAside };

    std::vector<LaidFile> filesOf(const Source& source, Listing& listing, std::vector<std::string>& trace);
    /// The listed file as last read when it did not change since.
    std::optional<CachedFile> document(ListedFile& file, const Source& source, std::vector<std::string>& trace);
    /// The file as last read when it is not `stale`, else as it is now.
    std::optional<CachedFile> document(const fs::path& path, bool stale, const Source& source,
                                       std::vector<std::string>& trace);
    Outcome layOut(const Source& source, const Listing& listing, bool again, const std::vector<LaidFile>& files,
                   Date start, Date end,
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
    // By calendar identifier.
    std::map<std::string, Listing> m_listings;
    bool m_listingsChanged = true;
    std::uint64_t m_listingVersion = 0;
};

std::vector<Listing*> CalendarFolderStore::Reader::list(const std::vector<Source>& sources,
                                                          const FolderWatcher::Changes* changes)
{
    const fs::path canonicalRoot = canonicalOf(m_folder);
    // The folder's own watch tells which calendars were replaced; without
    // it nothing can be trusted.
    const FolderWatcher::PathChanges* top = nullptr;
    if (changes && !changes->overflowed)
        if (const auto found = changes->paths.find(m_folder); found != changes->paths.end() && !found->second.whole)
            top = &found->second;
    std::map<std::string, Listing> listings;
    bool changed = false;
    for (const Source& source : sources) {
        const FolderWatcher::PathChanges* own = nullptr;
        const auto before = m_listings.find(source.identifier);
        if (top && !top->names.contains(source.identifier) && before != m_listings.end() &&
            before->second.isFolder == source.isFolder)
            if (const auto found = changes->paths.find(source.path);
                found != changes->paths.end() && !found->second.whole)
                own = &found->second;
        Listing& listing = listings[source.identifier];
        if (!own) {
            listing.isFolder = source.isFolder;
            listing.files = source.isFolder ? calendarFiles(source.path, canonicalRoot)
                                            : std::vector<ListedFile>{{source.path, false, true, std::nullopt}};
            listing.version = ++m_listingVersion;
            changed = true;
            continue;
        }
        listing = std::move(before->second);
        if (own->entries) {
            relist(listing.files, source.path, own->names, canonicalRoot);
            listing.version = ++m_listingVersion;
            changed = true;
        }
        for (const std::string& name : own->names) {
            const std::string native = (source.path / name).native();
            const auto at = std::lower_bound(listing.files.begin(), listing.files.end(), native, byName);
            if (at != listing.files.end() && at->path.native() == native)
                at->stale = true;
        }
        listing.touched = listing.touched || !own->names.empty();
    }
    m_listingsChanged = changed || listings.size() != m_listings.size();
    m_listings = std::move(listings);
    std::vector<Listing*> result;
    for (const Source& source : sources)
        result.push_back(&m_listings.at(source.identifier));
    return result;
}

std::vector<CalendarStoreCalendar> CalendarFolderStore::Reader::calendars(
    const std::vector<Source>& sources, const std::vector<Listing*>& listings, std::vector<std::string>& trace)
{
    std::vector<CalendarStoreCalendar> result;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Source& source = sources[i];
        CalendarStoreCalendar calendar{source.identifier, {}, {}};
        std::optional<std::string> title;
        if (source.isFolder) {
            title = readNameFile(source.path / "displayname");
            calendar.color = readNameFile(source.path / "color");
        }
        // Otherwise the calendar's first file that can be read speaks for
        // it; reading every file of a large calendar for a colour it never
        // gives would cost each refresh a look at every file.
        for (ListedFile& file : listings[i]->files) {
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
    if (!m_listingsChanged)
        return result;
    // Forget the files and calendars that went away.
    std::unordered_set<std::string_view> seen;
    for (const auto& [identifier, listing] : m_listings)
        for (const ListedFile& file : listing.files)
            seen.insert(file.path.native());
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

std::optional<CachedFile> CalendarFolderStore::Reader::document(ListedFile& file, const Source& source,
                                                                std::vector<std::string>& trace)
{
    const bool stale = file.stale || file.linked;
    if (!stale && file.known)
        return file.known;
    file.known = document(file.path, stale, source, trace);
    return file.known;
}

std::optional<CachedFile> CalendarFolderStore::Reader::document(
    const fs::path& path, bool stale, const Source& source, std::vector<std::string>& trace)
{
    const auto known = stale ? m_files.end() : m_files.find(path.native());
    Stamp stamp;
    if (known != m_files.end()) {
        stamp = known->second.stamp;
    } else {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            m_files.erase(path.native());
            return std::nullopt;
        }
        stamp = {std::uintmax_t(info.st_dev), std::uintmax_t(info.st_ino), std::intmax_t(info.st_size),
                 nanoseconds(info.st_mtim), nanoseconds(info.st_ctim)};
    }
    if (const auto aside = m_setAside.find(path.native()); aside != m_setAside.end()) {
        if (aside->second == stamp)
            return CachedFile{stamp, nullptr};
        m_setAside.erase(aside);
    }
    if (known != m_files.end())
        return known->second;
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
    const Source& source, Listing& listing, std::vector<std::string>& trace)
{
    std::vector<LaidFile> files;
    files.reserve(listing.files.size());
    for (ListedFile& listed : listing.files) {
        if (cancelled.load(std::memory_order_relaxed))
            break;
        const auto cached = document(listed, source, trace);
        LaidFile file{&listed.path, &listed, &source, std::nullopt, nullptr};
        if (cached && cached->document) {
            file.stamp = cached->stamp;
            file.document = cached->document;
        }
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<SharedEvent> CalendarFolderStore::Reader::events(
    const std::vector<Source>& sources, const std::vector<Listing*>& listings, Date start, Date end,
    const std::set<std::string>& wanted, std::optional<Duration> layoutTime, std::vector<std::string>& trace)
{
    std::vector<SharedEvent> result;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Source& source = sources[i];
        if (!wanted.contains(source.identifier))
            continue;
        Listing& listing = *listings[i];
        // Nothing of it changed: its events are as they were.
        const bool linked =
            std::any_of(listing.files.begin(), listing.files.end(), [](const ListedFile& file) { return file.linked; });
        if (const auto laid = m_layouts.find(source.identifier);
            !listing.touched && !linked && laid != m_layouts.end() && laid->second.start == start &&
            laid->second.end == end && laid->second.complete) {
            result.insert(result.end(), laid->second.complete->begin(), laid->second.complete->end());
            continue;
        }
        ICalendarDocument::Budget budget = ICalendarDocument::Budget::forWindow(start, end);
        budget.cancelled = &cancelled;
        std::vector<SharedEvent> events;
        Outcome outcome = Outcome::setAside;
        // A file set aside changes what the calendar holds: lay it out again
        // without it (each pass sets one more aside, or ends).
        for (bool again = false; outcome == Outcome::setAside; again = true) {
            events.clear();
            outcome = layOut(source, listing, again, filesOf(source, listing, trace), start, end, budget, layoutTime,
                             events, trace);
        }
        if (cancelled.load(std::memory_order_relaxed))
            return result;
        // Every file was looked at.
        for (ListedFile& file : listing.files)
            file.stale = false;
        listing.touched = false;
        m_layouts[source.identifier].complete =
            outcome == Outcome::complete ? std::optional(events) : std::nullopt;
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
    const Source& source, const Listing& listing, bool again, const std::vector<LaidFile>& files, Date start, Date end,
    ICalendarDocument::Budget& budget, std::optional<Duration>& layoutTime, std::vector<SharedEvent>& result,
    std::vector<std::string>& trace)
{
    Layout& layout = m_layouts[source.identifier];
    if (layout.start != start || layout.end != end) {
        layout = Layout{};
        layout.start = start;
        layout.end = end;
    }
    layout.complete.reset();
    const std::uint64_t pass = ++layout.pass;
    // The same files as last time: only those changed since need a look. A
    // pass after one set a file aside looks at all.
    const bool onlyChanged = !again && layout.listingVersion == listing.version;
    layout.listingVersion = listing.version;

    // A changed file invalidates every series it held before or holds now:
    // a RECURRENCE-ID in one file replaces an occurrence of another's.
    for (const LaidFile& file : files) {
        if (onlyChanged && !file.listed->stale && !file.listed->linked)
            continue;
        const std::string& key = file.path->native();
        auto [before, added] = layout.stamps.try_emplace(key, file.stamp, pass);
        if (!added) {
            before->second.second = pass;
            if (before->second.first == file.stamp)
                continue;
            before->second.first = file.stamp;
        }
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
    }
    for (auto it = layout.stamps.begin(); !onlyChanged && it != layout.stamps.end();) {
        if (it->second.second == pass) {
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
            file.listed->known.reset();
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
        result = m_reader->calendars(sources, m_reader->list(sources, nullptr), lines);
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
        for (const auto& event : m_reader->events(sources, m_reader->list(sources, nullptr), start, end,
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

void CalendarFolderStore::readAndPrepare(const CalendarStoreRead& request, Prepare prepare)
{
    // What the watch saw until now is what this read must look at again;
    // what it sees from now on is for the next.
    auto changes = std::make_shared<const FolderWatcher::Changes>(m_watcher->takeChanges());
    // The destructor waits for the read, so the store outlives it.
    m_queue->async([this, reader = m_reader, request, changes, prepare = std::move(prepare)]() mutable {
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
            const auto files = reader->list(sources, request.hard ? nullptr : changes.get());
            snapshot.calendars = reader->calendars(sources, files, lines);
            std::set<std::string> visible;
            for (const auto& calendar : snapshot.calendars)
                if (request.visibleCalendars.empty() || request.visibleCalendars.contains(calendar.identifier))
                    visible.insert(calendar.identifier);
            if (request.window && !visible.empty())
                snapshot.events = reader->events(sources, files, request.window->first, request.window->second,
                                                 visible, kReadBudget, lines);
        }
        if (reader->cancelled)
            return;
        postTo(this, [this, paths = pathsOf(sources), lines = std::move(lines),
                      finish = prepare(std::move(snapshot))]() mutable {
            trace(lines);
            // A calendar that came since the last look is watched from now
            // on; until then each read looks at all of it.
            setWatches(paths);
            finish();
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
