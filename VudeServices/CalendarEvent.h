#pragma once
// One calendar event (or one occurrence of a repeating one) as the Desk and
// the calendar pill show it. Equal field by field; identified by `id`.

#include "VudeKit/Date.h"

#include <QUrl>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

/// sRGB components of a calendar's colour.
struct CalendarColor {
    double red = 0.5;
    double green = 0.5;
    double blue = 0.5;

    friend bool operator==(const CalendarColor&, const CalendarColor&) = default;
};

struct CalendarEvent {
    std::string id;
    /// "Untitled" when the event has none.
    std::string title;
    Date start;
    Date end;
    bool isAllDay = false;
    /// Trimmed of white space and line breaks; none when nothing is left.
    std::optional<std::string> location;
    /// None when the event has no calendar.
    std::optional<CalendarColor> calendarColor;
    /// Empty when the event has no calendar.
    std::string calendarID;
    /// The video-meeting link, whether or not it is shown.
    std::optional<QUrl> meetingURL;
    /// The file the event was read from, which opening the event in a
    /// calendar application opens; none when it has none.
    std::optional<std::filesystem::path> icsFile;

    /// Start and end fall on different local days.
    bool isMultiDay() const;

    friend bool operator==(const CalendarEvent&, const CalendarEvent&) = default;
};

/// The events of one local day: `day` is its first moment.
struct CalendarDay {
    Date day;
    std::vector<CalendarEvent> events;

    friend bool operator==(const CalendarDay&, const CalendarDay&) = default;
};
