#include "VudeServices/CalendarRules.h"

#include "Platform/Core/LocalCalendar.h"
#include "VudeKit/LocalizedCaseInsensitive.h"

#include <QColor>
#include <QString>

#include <algorithm>
#include <array>
#include <charconv>
#include <map>

namespace CalendarRules {

namespace {

constexpr CalendarColor kGrey{0.5, 0.5, 0.5};

std::optional<int> hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

// "#RGB", "#RGBA", "#RRGGBB" or "#RRGGBBAA"; the alpha is ignored.
std::optional<CalendarColor> hexColor(std::string_view hex)
{
    const bool shortForm = hex.size() == 3 || hex.size() == 4;
    if (!shortForm && hex.size() != 6 && hex.size() != 8)
        return std::nullopt;
    if (!std::all_of(hex.begin(), hex.end(), [](char c) { return hexDigit(c).has_value(); }))
        return std::nullopt;
    std::array<double, 3> components{};
    for (std::size_t i = 0; i < 3; ++i) {
        const int high = *hexDigit(hex[shortForm ? i : 2 * i]);
        const int low = *hexDigit(hex[shortForm ? i : 2 * i + 1]);
        components[i] = double(high * 16 + low) / 255.0;
    }
    return CalendarColor{components[0], components[1], components[2]};
}

} // namespace

std::optional<Window> window(Date now, int daysBehind, int daysAhead)
{
    const Date today = LocalCalendar::startOfDay(now);
    const auto start = LocalCalendar::startOfDay(today, -std::int64_t(daysBehind));
    const auto end = LocalCalendar::startOfDay(today, std::int64_t(daysAhead) + 1);
    if (!start || !end)
        return std::nullopt;
    return Window{today, *start, *end};
}

CalendarColor color(const std::optional<std::string>& text)
{
    if (!text)
        return kGrey;
    const QString trimmed = QString::fromUtf8(*text).trimmed();
    if (trimmed.startsWith(u'#'))
        return hexColor(trimmed.mid(1).toStdString()).value_or(kGrey);
    // QColor also reads "#..." in its own order; only names are asked of it.
    if (trimmed.isEmpty() || !QColor::isValidColor(trimmed))
        return kGrey;
    const QColor named(trimmed);
    return {named.red() / 255.0, named.green() / 255.0, named.blue() / 255.0};
}

std::vector<CalendarSource> sortedSources(const std::vector<CalendarStoreCalendar>& calendars)
{
    std::vector<CalendarSource> sources;
    for (const auto& calendar : calendars) {
        const CalendarColor rgb = color(calendar.color);
        sources.push_back({calendar.identifier, calendar.title, rgb.red, rgb.green, rgb.blue});
    }
    std::stable_sort(sources.begin(), sources.end(), [](const CalendarSource& a, const CalendarSource& b) {
        return localizedStandardCompare(a.title, b.title) < 0;
    });
    return sources;
}

std::string fallbackIdentifier(const std::string& calendarItemIdentifier, Date start)
{
    const double seconds = double(start.time_since_epoch().count()) / 1e6;
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), seconds, std::chars_format::fixed);
    std::string text(buffer.data(), result.ptr);
    if (text.find('.') == std::string::npos)
        text += ".0";
    return calendarItemIdentifier + "-" + text;
}

std::optional<CalendarEvent> snapshot(const CalendarStoreEvent& event,
                                      const std::vector<CalendarStoreCalendar>& calendars,
                                      const MeetingLinkDetector& detector)
{
    if (!event.start || !event.end)
        return std::nullopt;
    CalendarEvent result;
    result.id = event.eventIdentifier.value_or(fallbackIdentifier(event.calendarItemIdentifier, *event.start));
    result.title = event.title.value_or(kUntitled);
    result.start = *event.start;
    result.end = *event.end;
    result.isAllDay = event.isAllDay;
    if (event.location) {
        const QString trimmed = QString::fromUtf8(*event.location).trimmed();
        if (!trimmed.isEmpty())
            result.location = trimmed.toStdString();
    }
    if (event.calendarIdentifier) {
        const auto calendar =
            std::find_if(calendars.begin(), calendars.end(), [&](const CalendarStoreCalendar& candidate) {
                return candidate.identifier == *event.calendarIdentifier;
            });
        result.calendarColor = color(calendar != calendars.end() ? calendar->color : std::nullopt);
        result.calendarID = *event.calendarIdentifier;
    }
    result.meetingURL = detector.detect(event.url, event.notes, event.location);
    result.icsFile = event.icsFile;
    return result;
}

bool includes(const CalendarEvent& event, const CalendarFilter& filter, Date today, Date now)
{
    if (event.isAllDay && !filter.showAllDayEvents)
        return false;
    if (event.isMultiDay() && !filter.showMultiDayEvents)
        return false;
    if (filter.showPastEventsToday)
        return true;
    return !(LocalCalendar::isSameDay(event.start, today) && event.end < now);
}

void sortByStart(std::vector<CalendarEvent>& events)
{
    std::stable_sort(events.begin(), events.end(),
                     [](const CalendarEvent& a, const CalendarEvent& b) { return a.start < b.start; });
}

std::vector<CalendarDay> grouped(const std::vector<CalendarEvent>& events)
{
    std::map<Date, std::vector<CalendarEvent>> byDay;
    for (const auto& event : events)
        byDay[LocalCalendar::startOfDay(event.start)].push_back(event);
    std::vector<CalendarDay> days;
    for (auto& [day, dayEvents] : byDay) {
        sortByStart(dayEvents);
        days.push_back({day, std::move(dayEvents)});
    }
    return days;
}

std::optional<CalendarEvent> upcoming(const std::vector<CalendarEvent>& events, Date now, Duration within)
{
    const Date latest = saturatingAdd(now, within);
    for (const auto& event : events)
        if (!event.isAllDay && event.start > now && event.start <= latest)
            return event;
    return std::nullopt;
}

} // namespace CalendarRules
