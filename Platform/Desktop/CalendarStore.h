#pragma once
// The user's calendars as the calendar service reads them: the access
// decision, the calendars, the events of a window of time, and a signal when
// anything changed. read() does a whole refresh in one call, and may do it
// away from the main thread.
//   CalendarFolderStore  iCalendar files in $XDG_DATA_HOME/Vude/Calendars
//   FakeCalendarStore    scripted access answers and events (tests)
// Main thread only.

#include "Platform/Desktop/CalendarAuthorizationStatus.h"
#include "VudeKit/Date.h"
#include "VudeKit/Expected.h"

#include <QObject>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

/// One calendar.
struct CalendarStoreCalendar {
    /// Stable across launches: settings keep it.
    std::string identifier;
    std::string title;
    /// The colour as the calendar gives it ("#RRGGBB", "#RRGGBBAA", "#RGB" or
    /// a CSS colour name); none when it gives none.
    std::optional<std::string> color;

    friend bool operator==(const CalendarStoreCalendar&, const CalendarStoreCalendar&) = default;
};

/// One event, or one occurrence of a repeating event.
struct CalendarStoreEvent {
    /// Unique per occurrence; none when the store has no identifier for it.
    std::optional<std::string> eventIdentifier;
    /// The same for every occurrence of one event.
    std::string calendarItemIdentifier;
    std::optional<std::string> title;
    std::optional<Date> start;
    /// An all-day event ends one second before the midnight that follows its
    /// last day, so a one-day event starts and ends on the same day.
    std::optional<Date> end;
    bool isAllDay = false;
    std::optional<std::string> location;
    std::optional<std::string> notes;
    std::optional<QUrl> url;
    /// The calendar the event belongs to; none for an event without one.
    std::optional<std::string> calendarIdentifier;
    /// The file the event was read from, for opening it in a calendar
    /// application; none when it has no file of its own.
    std::optional<std::filesystem::path> icsFile;

    friend bool operator==(const CalendarStoreEvent&, const CalendarStoreEvent&) = default;
};

/// What one read asks for.
struct CalendarStoreRead {
    /// Forget what was read so far and look for calendars anew first.
    bool hard = false;
    /// The window [start, end) whose events to read; none reads only the
    /// calendars.
    std::optional<std::pair<Date, Date>> window;
    /// The calendars whose events to read; empty means all.
    std::set<std::string> visibleCalendars;

    friend bool operator==(const CalendarStoreRead&, const CalendarStoreRead&) = default;
};

/// What one read found.
struct CalendarStoreSnapshot {
    std::vector<CalendarStoreCalendar> calendars;
    /// The events of the visible calendars in the window, in the store's
    /// order. A store that keeps what it laid out hands out the same event
    /// objects again while they stay as they were.
    std::vector<std::shared_ptr<const CalendarStoreEvent>> events;
};

class CalendarStore : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Whether access was granted: true or false, or why asking failed.
    using AccessAnswer = Expected<bool, std::string>;

    /// The decision as it stands now.
    virtual CalendarAuthorizationStatus authorizationStatus() const = 0;

    /// Asks for full access to events. `answer` is called once, on the main
    /// thread, possibly before this returns.
    virtual void requestFullAccess(std::function<void(AccessAnswer)> answer) = 0;

    /// Every calendar holding events, in the store's order. Empty without
    /// access.
    virtual std::vector<CalendarStoreCalendar> calendars() = 0;

    /// The events of the calendars named in `calendarIdentifiers` that overlap
    /// [start, end): they start before `end` and end after `start`, or start
    /// at `start`. In the store's order.
    virtual std::vector<CalendarStoreEvent> events(Date start, Date end,
                                                   const std::vector<std::string>& calendarIdentifiers) = 0;

    /// Forgets everything read so far, so the next read starts afresh.
    virtual void reset() = 0;
    /// Looks again for calendars that came or went.
    virtual void refreshSourcesIfNecessary() = 0;

    /// Turns what a read found into the work that finishes it on the main
    /// thread; runs where the read ran.
    using Prepare = std::function<std::function<void()>(CalendarStoreSnapshot)>;

    /// Reads what `request` asks for, calls `prepare` with it where the read
    /// ran, then what `prepare` returned on the main thread, once. This one
    /// reads through the calls above (reset() and refreshSourcesIfNecessary()
    /// when hard, calendars(), then events() of the visible ones) and
    /// finishes before it returns; a store that reads files does the work,
    /// `prepare` included, on a thread of its own and finishes later.
    virtual void readAndPrepare(const CalendarStoreRead& request, Prepare prepare);
    /// The same, with `done` given the snapshot on the main thread.
    void read(const CalendarStoreRead& request, std::function<void(CalendarStoreSnapshot)> done);

signals:
    /// Calendars or events changed.
    void changed();
};
