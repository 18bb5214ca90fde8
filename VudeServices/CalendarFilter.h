#pragma once
// Which events the calendar service keeps: which calendars, how many days
// around today, and which kinds of event. No defaults of its own: the
// service starts from its own, the settings supply the rest.

#include <set>
#include <string>

struct CalendarFilter {
    /// The one entry of a set that shows no calendar: no calendar has this
    /// identifier, and the set is not empty, so it is not read as every
    /// calendar. Spelled with its length: as a plain literal it would be "".
    static inline const std::string noneMarker{"\0none", 5};

    /// Empty: every calendar; else only the calendars with these identifiers.
    std::set<std::string> visibleCalendars;
    /// Whole days before today that the window starts.
    int daysBehind;
    /// Whole days after today that the window covers.
    int daysAhead;
    /// Keep events of today that have already ended.
    bool showPastEventsToday;
    bool showAllDayEvents;
    /// Keep events whose start and end fall on different days.
    bool showMultiDayEvents;

    friend bool operator==(const CalendarFilter&, const CalendarFilter&) = default;
};
