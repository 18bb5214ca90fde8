#include "Vude/Desk/CalendarWidgetLayout.h"

#include "Platform/Core/LocalCalendar.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeKit/Numbers.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <chrono>

namespace {

using namespace std::chrono;

QString shown(const LinuxText& text)
{
    return QString::fromUtf8(text.shown.data(), qsizetype(text.shown.size()));
}

/// Whole minutes from `from` to `to`, truncated toward zero.
std::int64_t wholeMinutes(Date from, Date to)
{
    return duration_cast<minutes>(to - from).count();
}

Vude::Color colorOf(const NotchCalendarColor& color)
{
    const auto component = [](double value) {
        return std::uint32_t(saturatingRound<int>(clampedOrLower(value, 0.0, 1.0) * 255));
    };
    return Vude::Color(component(color.red) << 16 | component(color.green) << 8 | component(color.blue));
}

} // namespace

std::optional<CalendarWidgetLayout::AccessContent> CalendarWidgetLayout::accessContent(NotchCalendarAccess access,
                                                                                       bool hasDays)
{
    const QString openSettings = shown(LinuxTexts::calendarWidgetOpenSettings);
    switch (access) {
    case NotchCalendarAccess::granted:
        if (hasDays)
            return std::nullopt;
        return AccessContent{"calendar", QStringLiteral("Nothing scheduled"), QStringLiteral("Enjoy the quiet."),
                             Action::none};
    case NotchCalendarAccess::notDetermined:
        return AccessContent{"calendar.badge.plus", QStringLiteral("Show your events in the notch"), std::nullopt,
                             Action::requestAccess, QStringLiteral("Allow")};
    case NotchCalendarAccess::writeOnly:
        return AccessContent{"calendar.badge.exclamationmark",
                             QStringLiteral("Vude can only add events. Grant full access to see them."), std::nullopt,
                             Action::openSettings, openSettings};
    case NotchCalendarAccess::denied:
        return AccessContent{"calendar.badge.exclamationmark", QStringLiteral("Calendar access is off"),
                             std::nullopt, Action::openSettings, openSettings};
    case NotchCalendarAccess::restricted:
        return AccessContent{"calendar.badge.exclamationmark", shown(LinuxTexts::calendarWidgetRestricted),
                             std::nullopt, Action::none};
    }
    return std::nullopt;
}

CalendarWidgetLayout::Phase CalendarWidgetLayout::phase(const NotchCalendarEvent& event, Date now)
{
    if (event.end <= now)
        return Phase::ended;
    if (event.start <= now)
        return Phase::ongoing;
    return Phase::upcoming;
}

QString CalendarWidgetLayout::dayLabel(Date day, Date now)
{
    const year_month_day shownDay = LocalCalendar::day(day);
    const year_month_day today = LocalCalendar::day(now);
    const auto n = (sys_days(shownDay) - sys_days(today)).count();
    if (n == 0)
        return QStringLiteral("Today");
    if (n == 1)
        return QStringLiteral("Tomorrow");
    if (n == -1)
        return QStringLiteral("Yesterday");
    const QDate date(int(shownDay.year()), int(unsigned(shownDay.month())), int(unsigned(shownDay.day())));
    if (n >= 1 && n <= 6)
        return QLocale().toString(date, QStringLiteral("dddd"));
    return QLocale().toString(date, QStringLiteral("ddd d MMM"));
}

QString CalendarWidgetLayout::clockTime(Date date)
{
    const auto milliseconds = floor<std::chrono::milliseconds>(date).time_since_epoch().count();
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::LocalTime).toString(QStringLiteral("HH:mm"));
}

QString CalendarWidgetLayout::timeLabel(const NotchCalendarEvent& event, Date now)
{
    if (event.isAllDay)
        return QStringLiteral("All day");
    if (phase(event, now) == Phase::ongoing) {
        const std::int64_t left = wholeMinutes(now, event.end);
        if (left > 59)
            return QStringLiteral("now");
        return QStringLiteral("now · ") + QString::number(left) + QStringLiteral("m left");
    }
    const QString start = clockTime(event.start);
    const std::int64_t until = wholeMinutes(now, event.start);
    if (until >= 1 && until <= 60)
        return start + QStringLiteral(" · in ") + QString::number(until) + QStringLiteral("m");
    return start + QStringLiteral("–") + clockTime(event.end);
}

CalendarWidgetLayout::RowStyle CalendarWidgetLayout::rowStyle(const NotchCalendarEvent& event, Date now)
{
    RowStyle style;
    style.phase = phase(event, now);
    const bool ongoing = style.phase == Phase::ongoing;
    const bool ended = style.phase == Phase::ended;
    style.titleWeight = ongoing ? Vude::FontWeight::semibold : Vude::FontWeight::medium;
    style.titleColor = ended ? Vude::Stone::x400 : Vude::Stone::x100;
    style.timeColor = ongoing ? Vude::Accent::x500 : Vude::Stone::x400;
    style.barColor = event.calendarColor ? colorOf(*event.calendarColor) : Vude::Stone::x400;
    style.markerColor = ended ? Vude::Ink::x600 : Vude::Stone::x300;
    style.highlighted = ongoing;
    style.opacity = ended ? 0.55 : 1.0;
    style.showsMarker = event.meetingURL.has_value();
    style.showsLocation = event.location.has_value();
    return style;
}
