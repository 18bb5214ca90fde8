// Runs with TZ=Europe/Berlin: clocks go forward on 31 March 2024 (02:00 CET
// becomes 03:00 CEST) and back on 27 October 2024 (03:00 CEST becomes 02:00
// CET). Days are local calendar days, 23 or 25 hours long on those dates.

#include "Platform/Core/LocalCalendar.h"
#include "Platform/Desktop/FakeCalendarStore.h"
#include "Platform/Desktop/ICalendarDocument.h"
#include "VudeServices/CalendarRules.h"
#include "VudeServices/CalendarService.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int h = 0, int min = 0, int s = 0)
{
    return Date(sys_days(year{y} / month{m} / day{d}) + hours(h) + minutes(min) + seconds(s));
}

TEST(LocalDaysBerlin, RunsInBerlin)
{
    ASSERT_STREQ(std::getenv("TZ"), "Europe/Berlin") << "set for this program by its CTest entry";
    EXPECT_EQ(LocalCalendar::startOfDay(utc(2024, 1, 15, 12)), utc(2024, 1, 14, 23));
}

TEST(LocalDaysBerlin, TheWindowAcrossTheAutumnChangeHoldsExactlyItsDays)
{
    // Sunday 27 October, noon CET; one day behind and one ahead.
    const Date now = utc(2024, 10, 27, 11);
    const auto window = CalendarRules::window(now, 1, 1);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->today, utc(2024, 10, 26, 22)) << "midnight CEST";
    EXPECT_EQ(window->start, utc(2024, 10, 25, 22)) << "Saturday, midnight CEST";
    EXPECT_EQ(window->end, utc(2024, 10, 28, 23)) << "Tuesday, midnight CET";

    // Through the service: an event just after midnight and one just before
    // the next midnight of each day, local time.
    auto store = std::make_unique<FakeCalendarStore>();
    store->status = CalendarAuthorizationStatus::fullAccess;
    store->calendarList = {{"home", "Home", std::nullopt}};
    const auto add = [&](std::string id, Date start) {
        CalendarStoreEvent event;
        event.eventIdentifier = id;
        event.title = id;
        event.start = start;
        event.end = start + minutes(10);
        event.calendarIdentifier = "home";
        store->eventList.push_back(event);
    };
    add("fri-late", utc(2024, 10, 25, 21, 45)); // 23:45 CEST
    add("sat-early", utc(2024, 10, 25, 22, 5)); // 00:05 CEST
    add("sun-late", utc(2024, 10, 27, 22, 45)); // 23:45 CET
    add("mon-late", utc(2024, 10, 28, 22, 45)); // 23:45 CET
    add("tue-early", utc(2024, 10, 28, 23, 5)); // 00:05 CET
    ManualClock clock(now);
    ManualScheduler scheduler(clock);
    CalendarService service(std::move(store), clock, scheduler);
    service.setFilter({{}, 1, 1, true, false, false});
    service.start();

    std::vector<std::string> ids;
    for (const auto& event : service.events())
        ids.push_back(event.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"sat-early", "sun-late", "mon-late"}));
    const auto days = service.grouped();
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[1].day, utc(2024, 10, 26, 22)) << "the 25-hour Sunday";
    EXPECT_EQ(days[2].day, utc(2024, 10, 27, 23));
}

TEST(LocalDaysBerlin, TodayIsTwentyThreeHoursOnTheSpringChange)
{
    const auto window = CalendarRules::window(utc(2024, 3, 31, 10), 0, 0);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->start, utc(2024, 3, 30, 23));
    EXPECT_EQ(window->end, utc(2024, 3, 31, 22));
    EXPECT_EQ(LocalCalendar::startOfDay(utc(2024, 3, 20), 14), utc(2024, 4, 2, 22)) << "calendar days, not 24 h";
}

TEST(LocalDaysBerlin, MultiDayAndTodayFollowTheLocalClock)
{
    CalendarEvent lateNight;
    lateNight.start = utc(2024, 1, 10, 22, 30); // 23:30 CET
    lateNight.end = utc(2024, 1, 10, 23, 30);   // 00:30 CET, the next day
    EXPECT_TRUE(lateNight.isMultiDay()) << "one UTC day, two local days";

    CalendarEvent wholeDay;
    wholeDay.start = utc(2024, 10, 26, 22);      // Sunday 00:00 CEST
    wholeDay.end = utc(2024, 10, 27, 22, 59, 59); // Sunday 23:59:59 CET
    EXPECT_FALSE(wholeDay.isMultiDay());

    // Sunday 00:30 CEST is today at Sunday noon; it ended, so it is hidden.
    CalendarEvent early;
    early.start = utc(2024, 10, 26, 22, 30);
    early.end = utc(2024, 10, 26, 23);
    const Date now = utc(2024, 10, 27, 11);
    const CalendarFilter filter{{}, 7, 7, false, false, false};
    EXPECT_FALSE(CalendarRules::includes(early, filter, LocalCalendar::startOfDay(now), now));
}

TEST(LocalDaysBerlin, UpcomingCountsRealTimeThroughTheRepeatedHour)
{
    // At 02:58 CEST the clock is about to fall back; an event at 02:02 CET
    // looks earlier on the clock but starts four minutes later.
    const Date now = utc(2024, 10, 27, 0, 58);
    CalendarEvent repeatedHour;
    repeatedHour.id = "repeated-hour";
    repeatedHour.start = utc(2024, 10, 27, 1, 2);
    repeatedHour.end = repeatedHour.start + minutes(30);
    CalendarEvent allDay;
    allDay.id = "all-day";
    allDay.isAllDay = true;
    allDay.start = now + minutes(1);
    allDay.end = now + hours(20);
    const auto next = CalendarRules::upcoming({allDay, repeatedHour}, now, minutes(5));
    ASSERT_TRUE(next);
    EXPECT_EQ(next->id, "repeated-hour");
    EXPECT_FALSE(CalendarRules::upcoming({repeatedHour}, now, minutes(3)));
}

TEST(LocalDaysBerlin, DatesAndFloatingTimesInFilesFollowTheLocalClock)
{
    const auto parsed = ICalendarDocument::parse(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
        "BEGIN:VEVENT\r\nUID:sunday\r\nDTSTART;VALUE=DATE:20241027\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:gym\r\nDTSTART:20241026T090000\r\nDURATION:PT1H\r\nRRULE:FREQ=DAILY;COUNT=2\r\n"
        "END:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:twice\r\nDTSTART:20241027T023000\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:skipped\r\nDTSTART:20240331T023000\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n",
        "home.ics");
    ASSERT_TRUE(parsed);
    const auto events = ICalendarDocument::occurrences({parsed->get()}, utc(2024, 3, 1), utc(2024, 11, 1), "home");
    std::map<std::string, std::pair<Date, Date>> times;
    for (const auto& event : events)
        times[event.eventIdentifier.value_or("-")] = {*event.start, *event.end};

    EXPECT_EQ(times["sunday"], std::pair(utc(2024, 10, 26, 22), utc(2024, 10, 27, 22, 59, 59)))
        << "the all-day Sunday is 25 hours long";
    EXPECT_EQ(times["gym/20241026T090000"].first, utc(2024, 10, 26, 7)) << "09:00 CEST";
    EXPECT_EQ(times["gym/20241027T090000"].first, utc(2024, 10, 27, 8)) << "09:00 CET";
    EXPECT_EQ(times["twice"].first, utc(2024, 10, 27, 0, 30)) << "the first 02:30, still CEST";
    EXPECT_EQ(times["skipped"].first, utc(2024, 3, 31, 1, 30)) << "02:30 does not exist; read as 03:30 CEST";
}

} // namespace
