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
// A link in the folder that leads back into it (to the folder itself, or to
// a calendar or file in it) is skipped: it would show every event twice.
//
// read() does its work on a thread of its own and answers on the main
// thread; the calls that answer directly (calendars(), events()) work on
// the calling thread, for tests and tools. Parsed files are kept until
// reset() or until the file changes (its device, inode, size or times).
// The occurrences of a window are kept by series (the events sharing one
// UID), so a read after one file changed lays out again only the series
// that file held before or holds now.
//
// Laying out repeats has a budget (see ICalendarDocument::Budget): a file
// whose repeats take longer than kFileBudget, or half a calendar's steps,
// is set aside, with one trace line, until it changes; a read lays out for
// kReadBudget at most, and a calendar no more than its budget allows (one
// trace line while it stays cut).
//
// A folder watch reports changes, coalesced over a short delay, through
// changed(). A soft read() looks again only at the files the watch named
// since the last read, and lists a calendar again only as far as entries
// came or went; a calendar the watch did not cover, events the kernel lost,
// a linked file and a hard read get a look at everything. Main thread, but
// for the read thread.

#include "Platform/Desktop/CalendarFolderAccess.h"
#include "Platform/Desktop/CalendarStore.h"
#include "VudeKit/Scheduler.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class FolderWatcher;
class SerialQueue;

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
    /// Laying out one series may take this long before its file is set
    /// aside.
    static constexpr Duration kFileBudget = std::chrono::milliseconds(250);
    /// One read lays out repeats for this long at most (parsing aside).
    static constexpr Duration kReadBudget = std::chrono::seconds(1);

    /// `folder` is CalendarFolderAccess::standardFolder() in the app.
    /// `scheduler` coalesces changes and must outlive the store. `probe`
    /// decides access (tests inject one; the file system is still read from
    /// `folder`).
    CalendarFolderStore(std::filesystem::path folder, Scheduler& scheduler, TraceSink trace = {},
                        FolderProbe probe = CalendarFolderAccess::statusOf, QObject* parent = nullptr);
    /// Stops a read under way at its next step and waits for it.
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
    /// On the read thread, `prepare` too; what it returns runs on the main
    /// thread unless the store is gone by then. Reads queue behind each
    /// other.
    void readAndPrepare(const CalendarStoreRead& request, Prepare prepare) override;

    /// The paths the watch covers: the folder and each calendar in it.
    std::vector<std::filesystem::path> watchedPaths() const;

private:
    class Reader;

    void updateWatches();
    void setWatches(const std::vector<std::filesystem::path>& calendarPaths);
    void onFolderChanged();
    void trace(const std::vector<std::string>& lines) const;

    std::filesystem::path m_folder;
    Scheduler& m_scheduler;
    TraceSink m_trace;
    FolderProbe m_probe;
    std::unique_ptr<FolderWatcher> m_watcher;
    ScheduledTask m_pendingChange;
    std::shared_ptr<Reader> m_reader;
    // Last, so that a read under way ends before the rest goes.
    std::unique_ptr<SerialQueue> m_queue;
};
