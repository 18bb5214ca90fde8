#pragma once
// The user's calendars as the calendar service reads them: the access
// decision, the calendars, the events of a window of time, and a signal when
// anything changed.
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
#include <optional>
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

signals:
    /// Calendars or events changed.
    void changed();
};
