#pragma once
// The calendar service's decisions, as plain functions of their inputs: the
// window of days, the colour and snapshot of a store's records, which events
// the filter keeps, and the orders and groupings the Desk and the calendar
// pill read. Days are local calendar days (LocalCalendar).

#include "Platform/Desktop/CalendarStore.h"
#include "VudeServices/CalendarEvent.h"
#include "VudeServices/CalendarFilter.h"
#include "VudeServices/CalendarSource.h"
#include "VudeServices/MeetingLinkDetector.h"

#include <optional>
#include <string>
#include <vector>

namespace CalendarRules {

/// The title of an event without one.
inline constexpr const char* kUntitled = "Untitled";

/// The days the service reads: from `daysBehind` calendar days before today
/// to the end of the day `daysAhead` days after it.
struct Window {
    /// The first moment of the day holding now.
    Date today;
    Date start;
    Date end;

    friend bool operator==(const Window&, const Window&) = default;
};

/// None when a bound falls outside the calendar's range.
std::optional<Window> window(Date now, int daysBehind, int daysAhead);

/// A calendar's colour from the text the store gives ("#RGB", "#RRGGBB",
/// "#RRGGBBAA" with the alpha ignored, or a CSS colour name); grey (0.5,
/// 0.5, 0.5) for none and for text that is no colour.
CalendarColor color(const std::optional<std::string>& text);

/// The calendars as the settings list them: by title in the user's
/// locale, ignoring case and comparing runs of digits by value, keeping the
/// store's order among equal titles.
std::vector<CalendarSource> sortedSources(const std::vector<CalendarStoreCalendar>& calendars);

/// The identifier of an event the store gives none: its calendar item
/// identifier, "-", and its start in seconds since 1970 as the shortest
/// decimal that reads back the same, with ".0" when whole.
std::string fallbackIdentifier(const std::string& calendarItemIdentifier, Date start);

/// The event as the Desk shows it; none without a start or an end.
/// `calendars` are the store's calendars, for the event's colour.
std::optional<CalendarEvent> snapshot(const CalendarStoreEvent& event,
                                      const std::vector<CalendarStoreCalendar>& calendars,
                                      const MeetingLinkDetector& detector);

/// The filter keeps the event: all-day and multi-day events only when
/// shown; past events of today only when shown; events of earlier days of
/// the window always.
bool includes(const CalendarEvent& event, const CalendarFilter& filter, Date today, Date now);

/// Sorts by start, earliest first, keeping the order of equal starts.
void sortByStart(std::vector<CalendarEvent>& events);

/// The events by the local day of their start, days ascending, each day's
/// events by start (equal starts keep their order). An event spanning days
/// is listed under its first only.
std::vector<CalendarDay> grouped(const std::vector<CalendarEvent>& events);

/// The first of `events` that is not all-day and starts after `now` and no
/// more than `within` after it.
std::optional<CalendarEvent> upcoming(const std::vector<CalendarEvent>& events, Date now, Duration within);

} // namespace CalendarRules
