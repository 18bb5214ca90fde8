// How the calendar widget styles an event's row against the clock.
#include "Vude/Desk/CalendarWidgetLayout.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Layout = CalendarWidgetLayout;

namespace {

TEST(CalendarWidgetLayoutTest, RowsAreStyledByWhereTheirEventStands)
{
    const Date now = kReferenceDate + 24h * 9000 + 10h;
    const auto event = [&](Duration fromNow, Duration length) {
        NotchCalendarEvent made;
        made.start = now + fromNow;
        made.end = made.start + length;
        return made;
    };
    NotchCalendarEvent allDayNow = event(-2h, 24h);
    allDayNow.isAllDay = true;

    const struct {
        NotchCalendarEvent event;
        Layout::Phase phase;
        const char* why;
    } rows[] = {
        {event(0s, 30min), Layout::Phase::ongoing, "starting now"},
        {event(-30min, 30min), Layout::Phase::ended, "ending now"},
        {event(1s, 1h), Layout::Phase::upcoming, ""},
        {event(-2h, 1h), Layout::Phase::ended, ""},
        {allDayNow, Layout::Phase::ongoing, "an all-day event is highlighted too"},
        {event(0s, 0s), Layout::Phase::ended, "no length: over as it starts"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const Layout::RowStyle style = Layout::rowStyle(row.event, now);
        EXPECT_EQ(style.phase, row.phase);
        const bool ongoing = row.phase == Layout::Phase::ongoing;
        const bool ended = row.phase == Layout::Phase::ended;
        EXPECT_EQ(style.highlighted, ongoing);
        EXPECT_EQ(style.titleWeight, ongoing ? Vude::FontWeight::semibold : Vude::FontWeight::medium);
        EXPECT_EQ(style.timeColor, ongoing ? Vude::Accent::x500 : Vude::Stone::x400);
        EXPECT_EQ(style.titleColor, ended ? Vude::Stone::x400 : Vude::Stone::x100);
        EXPECT_EQ(style.markerColor, ended ? Vude::Ink::x600 : Vude::Stone::x300);
        EXPECT_EQ(style.opacity, ended ? 0.55 : 1.0);
    }
}

TEST(CalendarWidgetLayoutTest, TheBarTakesTheCalendarsColourAndMarksShowOnlyWhenThereIsSomethingToMark)
{
    NotchCalendarEvent plain;
    const Layout::RowStyle bare = Layout::rowStyle(plain, kReferenceDate);
    EXPECT_EQ(bare.barColor, Vude::Stone::x400) << "no calendar colour";
    EXPECT_FALSE(bare.showsMarker);
    EXPECT_FALSE(bare.showsLocation) << "no \"·\" without a location";

    NotchCalendarEvent rich;
    rich.calendarColor = NotchCalendarColor{1, 0.5, 0};
    rich.meetingURL = QUrl("https://meet.example.com/x");
    rich.location = "Room 4";
    const Layout::RowStyle full = Layout::rowStyle(rich, kReferenceDate);
    EXPECT_EQ(full.barColor, Vude::Color(0xFF8000));
    EXPECT_TRUE(full.showsMarker);
    EXPECT_TRUE(full.showsLocation);

    rich.calendarColor = NotchCalendarColor{-1, 2, NAN};
    EXPECT_EQ(Layout::rowStyle(rich, kReferenceDate).barColor, Vude::Color(0x00FF00)) << "out of range: clamped";
}

} // namespace
