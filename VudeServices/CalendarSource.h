#pragma once
// One of the user's calendars, as the settings list them.

#include <string>

struct CalendarSource {
    std::string id;
    std::string title;
    /// sRGB components, as the calendar colour rule gives them.
    double red = 0.5;
    double green = 0.5;
    double blue = 0.5;

    friend bool operator==(const CalendarSource&, const CalendarSource&) = default;
};
