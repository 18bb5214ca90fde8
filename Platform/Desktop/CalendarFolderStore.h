#pragma once
// The user's calendars as iCalendar files in one folder,
// $XDG_DATA_HOME/Vude/Calendars (a symbolic link to a synced folder works):
//   - a sub-folder per calendar holding one .ics file per event (the vdir
//     layout calendar sync tools write), titled by its "displayname" file,
//     else the X-WR-CALNAME or NAME of its first readable file (by name),
//     else the folder's name, and coloured by its "color" file, else that
//     file's COLOR or X-APPLE-CALENDAR-COLOR;
//   - or a single .ics file per calendar, titled by its X-WR-CALNAME or NAME,
//     else the file's name without ".ics", coloured by its COLOR or
//     X-APPLE-CALENDAR-COLOR.
// A calendar is identified by its name in the folder. Hidden entries are
// ignored. A file that is not iCalendar is skipped with one trace line per
// version of it; the other files and calendars still load. See ICalendarDocument for times and
// repeats.
//
// Access follows the folder, decided by the permission layer's own rule
// (CalendarFolderAccess::statusOf): readable means full access, absent means
// not yet decided (asking creates it for this user only), writable but not
// readable means write-only, anything else denied. Only full access reads.
//
// Parsed files are kept until reset() or until the file changes; a folder
// watch reports changes, coalesced over a short delay, through changed().
// Main thread only.

#include "Platform/Desktop/CalendarFolderAccess.h"
#include "Platform/Desktop/CalendarStore.h"
#include "VudeKit/Scheduler.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

class FolderWatcher;
class ICalendarDocument;

class CalendarFolderStore final : public CalendarStore {
    Q_OBJECT
public:
    /// Decides access from the folder.
    using FolderProbe = std::function<CalendarAuthorizationStatus(const std::filesystem::path&)>;
    using TraceSink = std::function<void(const std::string&)>;

    /// Changes closer together than this are reported once.
    static constexpr Duration kChangeDelay = std::chrono::milliseconds(250);
    /// Larger files are skipped rather than read into memory.
    static constexpr std::uintmax_t kMaxFileSize = 32 * 1024 * 1024;

    /// `folder` is CalendarFolderAccess::standardFolder() in the app.
    /// `scheduler` coalesces changes and must outlive the store. `probe`
    /// decides access (tests inject one; the file system is still read from
    /// `folder`).
    CalendarFolderStore(std::filesystem::path folder, Scheduler& scheduler, TraceSink trace = {},
                        FolderProbe probe = CalendarFolderAccess::statusOf, QObject* parent = nullptr);
    ~CalendarFolderStore() override;

    const std::filesystem::path& folder() const { return m_folder; }

    CalendarAuthorizationStatus authorizationStatus() const override;
    /// Creates the folder (CalendarFolderAccess::makeFolder) when access is
    /// not yet decided; grants when the folder is then readable. Answers
    /// before returning.
    void requestFullAccess(std::function<void(AccessAnswer)> answer) override;
    std::vector<CalendarStoreCalendar> calendars() override;
    std::vector<CalendarStoreEvent> events(Date start, Date end,
                                           const std::vector<std::string>& calendarIdentifiers) override;
    void reset() override;
    void refreshSourcesIfNecessary() override;

    /// The paths the watch covers: the folder and each calendar in it.
    std::vector<std::filesystem::path> watchedPaths() const;

private:
    /// One calendar in the folder.
    struct Source {
        std::string identifier;
        std::filesystem::path path;
        bool isFolder = false;
    };
    /// A file as last read: its identity and what it parsed to (none when it
    /// could not be used).
    struct CachedFile {
        struct Stamp {
            std::uintmax_t device = 0;
            std::uintmax_t inode = 0;
            std::intmax_t size = 0;
            std::int64_t modified = 0; // nanoseconds
            std::int64_t changed = 0;  // nanoseconds
            friend bool operator==(const Stamp&, const Stamp&) = default;
        };
        Stamp stamp;
        std::shared_ptr<const ICalendarDocument> document;
    };

    bool isReadable() const;
    std::vector<Source> scan();
    CalendarStoreCalendar describe(const Source& source);
    std::shared_ptr<const ICalendarDocument> firstDocument(const Source& source);
    std::vector<std::shared_ptr<const ICalendarDocument>> documents(const Source& source);
    std::shared_ptr<const ICalendarDocument> document(const std::filesystem::path& path,
                                                      const std::string& displayName);
    void updateWatches(const std::vector<Source>& sources);
    void onFolderChanged();
    void trace(const std::string& line) const;

    std::filesystem::path m_folder;
    Scheduler& m_scheduler;
    TraceSink m_trace;
    FolderProbe m_probe;
    std::unique_ptr<FolderWatcher> m_watcher;
    ScheduledTask m_pendingChange;
    std::map<std::filesystem::path, CachedFile> m_files;
    /// The version of each bad file already written to the trace.
    std::map<std::filesystem::path, CachedFile::Stamp> m_reported;
};
