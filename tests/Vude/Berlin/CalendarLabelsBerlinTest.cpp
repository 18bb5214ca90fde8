// How the calendar widget heads days and labels times, in Berlin (clocks go
// forward on 29 March 2026 and back on 25 October 2026) and in German.
#include "Vude/Desk/CalendarWidget.h"
#include "Vude/Desk/CalendarWidgetLayout.h"

#include "Platform/Core/LocalCalendar.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

/// The moment Berlin's clocks read `day` at `time`.
Date local(year_month_day day, minutes time = 0min)
{
    return *LocalCalendar::fromLocalTime(day, time);
}

constexpr year_month_day march(int day) { return 2026y / 3 / day; }

NotchCalendarEvent timed(Date start, Date end, bool allDay = false)
{
    NotchCalendarEvent event;
    event.id = "e";
    event.title = "Event";
    event.start = start;
    event.end = end;
    event.isAllDay = allDay;
    return event;
}

TEST(CalendarLabelsBerlinTest, TheZoneAndLocaleAreBerlinsAndGermanys)
{
    // 01:30 UTC on the day the clocks go forward is 03:30 summer time.
    EXPECT_EQ(CalendarWidgetLayout::clockTime(sys_days(march(29)) + 1h + 30min), "03:30");
    EXPECT_EQ(QLocale().language(), QLocale::German);
}

TEST(CalendarLabelsBerlinTest, DaysAreHeadedByCalendarDaysAcrossTheClockChange)
{
    // Saturday noon, the day before the clocks go forward: the week ahead
    // is an hour short of seven times 24 hours.
    const Date saturday = local(march(28), 12h);
    const struct {
        Date day;
        Date now;
        const char* label;
        const char* why;
    } rows[] = {
        {local(march(28)), saturday, "Today", ""},
        {local(march(28), 23h + 59min), saturday, "Today", "any moment of the day"},
        {local(march(29)), saturday, "Tomorrow", "a 23-hour day"},
        {local(march(29)), local(march(28), 23h + 30min), "Tomorrow", "half an hour away"},
        {local(march(27), 8h), saturday, "Yesterday", ""},
        {local(march(30)), saturday, "Montag", "two days ahead: the weekday"},
        {local(march(31), 15h), saturday, "Dienstag", "three days ahead, in the afternoon"},
        {local(2026y / 4 / 3), saturday, "Freitag", "six days ahead"},
        {local(2026y / 4 / 4), saturday, "Sa. 4 Apr.",
         "seven calendar days ahead, though less than 7 × 24 hours after today's start"},
        {local(march(26)), saturday, "Do. 26 März", "two days back"},
        {local(2026y / 11 / 2), local(2026y / 10 / 24, 12h), "Mo. 2 Nov.", "across the change back"},
        {local(2026y / 10 / 30), local(2026y / 10 / 24, 12h), "Freitag", "six days ahead over a 25-hour day"},
        {local(2026y / 10 / 25, 23h + 30min), local(2026y / 10 / 24, 30min), "Tomorrow",
         "late on the 25-hour day, early on the one before"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(CalendarWidget::dayLabel(row.day, row.now), QString::fromUtf8(row.label));
    }
}

TEST(CalendarLabelsBerlinTest, TimesReadAgainstTheClockInWholeMinutes)
{
    const Date now = local(march(27), 10h);
    const struct {
        NotchCalendarEvent event;
        Date now;
        const char* label;
        const char* why;
    } rows[] = {
        {timed(now - 1h, now + 2h, true), now, "All day", "even while it goes on"},
        {timed(now, now + 30min), now, "now · 30m left", "starting now is ongoing"},
        {timed(now - 1h, now), now, "09:00–10:00", "ending now has ended"},
        {timed(now - 10min, now + 60min), now, "now", "an hour or more left"},
        {timed(now - 10min, now + 59min + 59s), now, "now · 59m left", "59 min 59 s left"},
        {timed(now - 10min, now + 59s), now, "now · 0m left", "under a minute left"},
        {timed(now + 30s, now + 1h), now, "10:00–11:00", "in 30 s: 0 minutes is not 1...60"},
        {timed(now + 60s, now + 1h), now, "10:01 · in 1m", ""},
        {timed(now + 60min, now + 90min), now, "11:00 · in 60m", "exactly an hour ahead"},
        {timed(now + 61min, now + 90min), now, "11:01–11:30", "more than an hour ahead"},
        {timed(now + 59min + 59s, now + 90min), now, "10:59 · in 59m", "minutes are truncated"},
        {timed(local(march(29), 3h + 30min), local(march(29), 4h + 30min)), local(march(29), 1h + 45min),
         "03:30 · in 45m", "45 real minutes, though the clock moves 105"},
        {timed(local(march(29), 1h + 30min), local(march(29), 3h + 30min)), local(march(29), 1h + 45min),
         "now · 45m left", "ongoing across the change"},
        {timed(local(2026y / 10 / 25, 2h + 30min) + 1h, local(2026y / 10 / 25, 4h)), local(2026y / 10 / 24, 22h),
         "02:30–04:00", "the second 02:30 of the night the clocks go back"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(CalendarWidgetLayout::timeLabel(row.event, row.now), QString::fromUtf8(row.label));
    }
}

} // namespace
