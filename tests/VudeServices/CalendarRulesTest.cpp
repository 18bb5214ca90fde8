#include "VudeServices/CalendarRules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>

// With TZ=UTC; the daylight-saving days are in the Berlin program.

namespace {

using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int h = 0, int min = 0, int s = 0)
{
    return Date(sys_days(year{y} / month{m} / day{d}) + hours(h) + minutes(min) + seconds(s));
}

CalendarEvent meeting(std::string id, Date start, Date end, bool isAllDay = false)
{
    CalendarEvent event;
    event.id = std::move(id);
    event.title = event.id;
    event.start = start;
    event.end = end;
    event.isAllDay = isAllDay;
    return event;
}

std::vector<std::string> ids(const std::vector<CalendarEvent>& events)
{
    std::vector<std::string> result;
    for (const auto& event : events)
        result.push_back(event.id);
    return result;
}

TEST(CalendarRules, WindowRunsFromMidnightDaysBehindToTheEndOfTheLastDayAhead)
{
    const Date now = utc(2024, 3, 15, 13, 37);
    EXPECT_EQ(CalendarRules::window(now, 7, 7),
              (CalendarRules::Window{utc(2024, 3, 15), utc(2024, 3, 8), utc(2024, 3, 23)}));
    EXPECT_EQ(CalendarRules::window(now, 0, 0),
              (CalendarRules::Window{utc(2024, 3, 15), utc(2024, 3, 15), utc(2024, 3, 16)}))
        << "today only";
    EXPECT_EQ(CalendarRules::window(utc(2024, 3, 1, 0, 0, 1), 1, 0)->start, utc(2024, 2, 29)) << "a leap day";
    // Bounds beyond the calendar's range cannot be formed.
    EXPECT_EQ(CalendarRules::window(now, 0, INT_MAX), std::nullopt);
    EXPECT_EQ(CalendarRules::window(now, INT_MAX, 0), std::nullopt);
}

TEST(CalendarRules, ColourComesFromHexOrNamesAndIsGreyOtherwise)
{
    struct Row {
        std::optional<std::string> text;
        CalendarColor expected;
    };
    const CalendarColor grey{0.5, 0.5, 0.5};
    const Row rows[] = {
        {std::nullopt, grey},
        {"#FF0000", {1, 0, 0}},
        {"#00ff0080", {0, 1, 0}}, // the alpha is ignored
        {"#00F", {0, 0, 1}},
        {" #336699\n", {0.2, 0.4, 0.6}},
        {"teal", {0, 128 / 255.0, 128 / 255.0}},
        {"RED", {1, 0, 0}},
        {"", grey},
        {"#GG0000", grey},
        {"#12345", grey},
        {"not a colour", grey},
        {"rgb(1, 2, 3)", grey},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.value_or("(none)"));
        const CalendarColor color = CalendarRules::color(row.text);
        EXPECT_DOUBLE_EQ(color.red, row.expected.red);
        EXPECT_DOUBLE_EQ(color.green, row.expected.green);
        EXPECT_DOUBLE_EQ(color.blue, row.expected.blue);
    }
}

TEST(CalendarRules, CalendarsSortByTitleIgnoringCaseWithNumbersByValue)
{
    const std::vector<CalendarStoreCalendar> calendars{
        {"w10", "Work 10", "#FF0000"}, {"w2a", "work 2", std::nullopt}, {"home", "Home", "#00FF00"},
        {"w2b", "Work 2", std::nullopt}, {"bday", "birthdays", std::nullopt},
    };
    const auto sources = CalendarRules::sortedSources(calendars);
    std::vector<std::string> order;
    for (const auto& source : sources)
        order.push_back(source.id);
    EXPECT_EQ(order, (std::vector<std::string>{"bday", "home", "w2a", "w2b", "w10"}))
        << "equal titles but for case keep the store's order";
    EXPECT_EQ(sources[1], (CalendarSource{"home", "Home", 0, 1, 0}));
    EXPECT_EQ(sources[4], (CalendarSource{"w10", "Work 10", 1, 0, 0}));
}

TEST(CalendarRules, FallbackIdentifierWritesTheStartAsShortestSecondsSince1970)
{
    EXPECT_EQ(CalendarRules::fallbackIdentifier("item", utc(2024, 1, 1)), "item-1704067200.0");
    EXPECT_EQ(CalendarRules::fallbackIdentifier("item", utc(2024, 1, 1) + milliseconds(500)), "item-1704067200.5");
    EXPECT_EQ(CalendarRules::fallbackIdentifier("item", utc(2024, 1, 1) + microseconds(250)),
              "item-1704067200.00025");
    EXPECT_EQ(CalendarRules::fallbackIdentifier("item", utc(1969, 12, 31)), "item--86400.0");
}

TEST(CalendarRules, SnapshotFillsGapsAndDropsEventsWithoutDates)
{
    const std::vector<CalendarStoreCalendar> calendars{{"work", "Work", "#FF0000"}, {"plain", "Plain", std::nullopt}};
    const MeetingLinkDetector detector;

    CalendarStoreEvent complete;
    complete.eventIdentifier = "e1";
    complete.calendarItemIdentifier = "item";
    complete.title = "Review";
    complete.start = utc(2024, 1, 2, 9);
    complete.end = utc(2024, 1, 2, 10);
    complete.location = "  Room 4\n https://zoom.us/j/77 \n";
    complete.calendarIdentifier = "work";
    complete.icsFile = "/calendars/work/e1.ics";

    auto event = CalendarRules::snapshot(complete, calendars, detector);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->id, "e1");
    EXPECT_EQ(event->title, "Review");
    EXPECT_EQ(event->location, "Room 4\n https://zoom.us/j/77");
    EXPECT_EQ(event->calendarColor, (CalendarColor{1, 0, 0}));
    EXPECT_EQ(event->calendarID, "work");
    EXPECT_EQ(event->meetingURL, QUrl("https://zoom.us/j/77"));
    EXPECT_EQ(event->icsFile, std::filesystem::path("/calendars/work/e1.ics"));

    CalendarStoreEvent sparse = complete;
    sparse.eventIdentifier.reset();
    sparse.title.reset();
    sparse.location = " \t\n ";
    sparse.calendarIdentifier = "plain";
    event = CalendarRules::snapshot(sparse, calendars, detector);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->id, "item-1704186000.0");
    EXPECT_EQ(event->title, "Untitled");
    EXPECT_EQ(event->location, std::nullopt);
    EXPECT_EQ(event->calendarColor, (CalendarColor{0.5, 0.5, 0.5})) << "a calendar without colour is grey";
    EXPECT_EQ(event->meetingURL, std::nullopt);

    sparse.calendarIdentifier.reset();
    event = CalendarRules::snapshot(sparse, calendars, detector);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->calendarColor, std::nullopt) << "no calendar, no colour";
    EXPECT_EQ(event->calendarID, "");

    CalendarStoreEvent noStart = complete;
    noStart.start.reset();
    EXPECT_FALSE(CalendarRules::snapshot(noStart, calendars, detector));
    CalendarStoreEvent noEnd = complete;
    noEnd.end.reset();
    EXPECT_FALSE(CalendarRules::snapshot(noEnd, calendars, detector));
}

TEST(CalendarRules, FilterKeepsEventsByKindAndTodaysPastOnesOnlyWhenAsked)
{
    const Date today = utc(2024, 3, 15);
    const Date now = utc(2024, 3, 15, 12);
    struct Row {
        const char* why;
        CalendarEvent event;
        bool hidden;        // all switches off
        bool withAllDay;    // showAllDayEvents on
        bool withMultiDay;  // showMultiDayEvents on
        bool withBoth;      // both on
        bool withPastToday; // showPastEventsToday on
    };
    const Row rows[] = {
        {"an all-day event", meeting("a", utc(2024, 3, 16), utc(2024, 3, 16, 23, 59, 59), true), false, true, false,
         true, false},
        {"an all-day event over two days", meeting("b", utc(2024, 3, 16), utc(2024, 3, 17, 23, 59, 59), true), false,
         false, false, true, false},
        {"a late-night event into the next day", meeting("c", utc(2024, 3, 16, 23), utc(2024, 3, 17, 1)), false,
         false, true, true, false},
        {"today's meeting that ended a minute ago", meeting("d", utc(2024, 3, 15, 11), utc(2024, 3, 15, 11, 59)),
         false, false, false, false, true},
        {"today's meeting ending right now", meeting("e", utc(2024, 3, 15, 11), now), true, true, true, true, true},
        {"yesterday's meeting that ended", meeting("f", utc(2024, 3, 14, 9), utc(2024, 3, 14, 10)), true, true,
         true, true, true},
        {"tomorrow's meeting", meeting("g", utc(2024, 3, 16, 9), utc(2024, 3, 16, 10)), true, true, true, true, true},
    };
    const auto filter = [](bool allDay, bool multiDay, bool pastToday) {
        return CalendarFilter{{}, 7, 7, pastToday, allDay, multiDay};
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(CalendarRules::includes(row.event, filter(false, false, false), today, now), row.hidden);
        EXPECT_EQ(CalendarRules::includes(row.event, filter(true, false, false), today, now), row.withAllDay);
        EXPECT_EQ(CalendarRules::includes(row.event, filter(false, true, false), today, now), row.withMultiDay);
        EXPECT_EQ(CalendarRules::includes(row.event, filter(true, true, false), today, now), row.withBoth);
        EXPECT_EQ(CalendarRules::includes(row.event, filter(false, false, true), today, now), row.withPastToday);
    }
}

TEST(CalendarRules, GroupsByTheDayOfTheStartInOrder)
{
    const std::vector<CalendarEvent> events{
        meeting("trip", utc(2024, 3, 14, 20), utc(2024, 3, 16, 8)),
        meeting("late", utc(2024, 3, 15, 17), utc(2024, 3, 15, 18)),
        meeting("early", utc(2024, 3, 15, 9), utc(2024, 3, 15, 10)),
        meeting("sameA", utc(2024, 3, 17, 9), utc(2024, 3, 17, 10)),
        meeting("sameB", utc(2024, 3, 17, 9), utc(2024, 3, 17, 9, 30)),
    };
    const auto days = CalendarRules::grouped(events);
    ASSERT_EQ(days.size(), 3u) << "the trip is listed under its first day only";
    EXPECT_EQ(days[0].day, utc(2024, 3, 14));
    EXPECT_EQ(ids(days[0].events), std::vector<std::string>{"trip"});
    EXPECT_EQ(days[1].day, utc(2024, 3, 15));
    EXPECT_EQ(ids(days[1].events), (std::vector<std::string>{"early", "late"}));
    EXPECT_EQ(days[2].day, utc(2024, 3, 17));
    EXPECT_EQ(ids(days[2].events), (std::vector<std::string>{"sameA", "sameB"}));
    EXPECT_TRUE(CalendarRules::grouped({}).empty());
}

TEST(CalendarRules, UpcomingTakesTheFirstTimedEventAfterNowWithinTheLead)
{
    const Date now = utc(2024, 3, 15, 12);
    const Duration lead = seconds(300);
    struct Row {
        const char* why;
        std::vector<CalendarEvent> events;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"starting exactly now is not upcoming", {meeting("now", now, now + minutes(30))}, std::nullopt},
        {"starting exactly at the lead is", {meeting("edge", now + lead, now + lead + minutes(30))}, "edge"},
        {"a microsecond past the lead is not",
         {meeting("late", now + lead + microseconds(1), now + lead + minutes(30))},
         std::nullopt},
        {"all-day events never are",
         {meeting("allDay", now + seconds(60), now + hours(2), true), meeting("timed", now + seconds(90), now + hours(1))},
         "timed"},
        {"of equal starts the first listed",
         {meeting("first", now + seconds(120), now + hours(1)), meeting("second", now + seconds(120), now + hours(1))},
         "first"},
        {"nothing listed", {}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const auto event = CalendarRules::upcoming(row.events, now, lead);
        EXPECT_EQ(event ? std::optional(event->id) : std::nullopt, row.expected);
    }
    EXPECT_TRUE(CalendarRules::upcoming({meeting("far", utc(9000, 1, 1), utc(9000, 1, 2))}, now, Duration::max()))
        << "an endless lead does not wrap around";
}

} // namespace
