#include "Platform/Desktop/ICalendarDocument.h"
#include "Platform/Desktop/ICalLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

// These tests run with TZ=UTC, so floating times and dates read as UTC; the
// local-clock cases under another zone are in the Berlin program.

namespace {

using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int h = 0, int min = 0, int s = 0)
{
    return Date(sys_days(year{y} / month{m} / day{d}) + hours(h) + minutes(min) + seconds(s));
}

std::string calendar(const std::string& body, const std::string& header = "")
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + header + body + "END:VCALENDAR\r\n";
}

std::string event(const std::string& lines)
{
    return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n";
}

std::shared_ptr<const ICalendarDocument> parsed(const std::string& text, const std::string& source = "file.ics")
{
    auto document = ICalendarDocument::parse(text, source);
    EXPECT_TRUE(document.has_value()) << (document ? "" : document.error());
    return document ? *document : nullptr;
}

std::vector<CalendarStoreEvent> layout(const std::vector<std::string>& files, Date start, Date end)
{
    std::vector<std::shared_ptr<const ICalendarDocument>> owned;
    std::vector<const ICalendarDocument*> documents;
    for (std::size_t i = 0; i < files.size(); ++i) {
        owned.push_back(parsed(files[i], "file" + std::to_string(i) + ".ics"));
        if (!owned.back())
            return {};
        documents.push_back(owned.back().get());
    }
    return ICalendarDocument::occurrences(documents, start, end, "work");
}

const Date kWeekStart = utc(2024, 1, 1);
const Date kWeekEnd = utc(2024, 1, 8);

TEST(ICalendarDocument, ReadsStartAndEndOfEachKindOfTime)
{
    const std::string customZone = "BEGIN:VTIMEZONE\r\nTZID:Custom Standard Time\r\n"
                                   "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0530\r\n"
                                   "TZOFFSETTO:+0530\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    struct Row {
        const char* why;
        std::string lines;
        Date start;
        Date end;
        bool isAllDay;
    };
    const Row rows[] = {
        {"UTC times are the moments they name", "DTSTART:20240105T100000Z\r\nDTEND:20240105T110000Z\r\n",
         utc(2024, 1, 5, 10), utc(2024, 1, 5, 11), false},
        {"a named zone from the system's database",
         "DTSTART;TZID=Europe/Berlin:20240105T100000\r\nDTEND;TZID=Europe/Berlin:20240105T113000\r\n",
         utc(2024, 1, 5, 9), utc(2024, 1, 5, 10, 30), false},
        {"a zone defined in the file",
         "DTSTART;TZID=Custom Standard Time:20240105T100000\r\nDTEND;TZID=Custom Standard Time:20240105T110000\r\n",
         utc(2024, 1, 5, 4, 30), utc(2024, 1, 5, 5, 30), false},
        {"a floating time is read on the local clock", "DTSTART:20240105T100000\r\nDTEND:20240105T110000\r\n",
         utc(2024, 1, 5, 10), utc(2024, 1, 5, 11), false},
        {"DURATION instead of DTEND", "DTSTART:20240105T100000Z\r\nDURATION:PT1H30M\r\n", utc(2024, 1, 5, 10),
         utc(2024, 1, 5, 11, 30), false},
        {"a time without end or duration takes no time", "DTSTART:20240105T100000Z\r\n", utc(2024, 1, 5, 10),
         utc(2024, 1, 5, 10), false},
        {"an end before the start is taken as the start",
         "DTSTART:20240105T100000Z\r\nDTEND:20240105T090000Z\r\n", utc(2024, 1, 5, 10), utc(2024, 1, 5, 10),
         false},
        {"a one-day event starts and ends on its day",
         "DTSTART;VALUE=DATE:20240105\r\nDTEND;VALUE=DATE:20240106\r\n", utc(2024, 1, 5),
         utc(2024, 1, 5, 23, 59, 59), true},
        {"a date without end lasts one day", "DTSTART;VALUE=DATE:20240105\r\n", utc(2024, 1, 5),
         utc(2024, 1, 5, 23, 59, 59), true},
        {"a two-day event ends on its second day",
         "DTSTART;VALUE=DATE:20240105\r\nDTEND;VALUE=DATE:20240107\r\n", utc(2024, 1, 5),
         utc(2024, 1, 6, 23, 59, 59), true},
        {"a date ending on its own start still lasts one day",
         "DTSTART;VALUE=DATE:20240105\r\nDTEND;VALUE=DATE:20240105\r\n", utc(2024, 1, 5),
         utc(2024, 1, 5, 23, 59, 59), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const auto events = layout({calendar(event("UID:a\r\n" + row.lines), customZone)}, kWeekStart, kWeekEnd);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].start, row.start);
        EXPECT_EQ(events[0].end, row.end);
        EXPECT_EQ(events[0].isAllDay, row.isAllDay);
    }
}

TEST(ICalendarDocument, CarriesTheTextFieldsAndIdentifiers)
{
    const auto events = layout({calendar(event("UID:meeting-1@example.com\r\nDTSTART:20240105T100000Z\r\n"
                                               "SUMMARY:Plan\\, then build\r\nLOCATION:Room 4\\n\r\n"
                                               "DESCRIPTION:Line one\\nLine two\r\n"
                                               "URL:https://example.com/agenda?x=1\r\n") +
                                         event("DTSTART:20240106T100000Z\r\nSUMMARY:\r\nURL:not a url\r\n"))},
                               kWeekStart, kWeekEnd);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].eventIdentifier, "meeting-1@example.com");
    EXPECT_EQ(events[0].calendarItemIdentifier, "meeting-1@example.com");
    EXPECT_EQ(events[0].title, "Plan, then build");
    EXPECT_EQ(events[0].location, "Room 4\n") << "trimming is the reader's business";
    EXPECT_EQ(events[0].notes, "Line one\nLine two");
    EXPECT_EQ(events[0].url, QUrl("https://example.com/agenda?x=1"));
    EXPECT_EQ(events[0].calendarIdentifier, "work");

    // Without a UID there is no identifier; the item names calendar, file
    // and position. An empty SUMMARY is no title; a URL that is none is
    // dropped.
    EXPECT_EQ(events[1].eventIdentifier, std::nullopt);
    EXPECT_EQ(events[1].calendarItemIdentifier, "work/file0.ics#1");
    EXPECT_EQ(events[1].title, std::nullopt);
    EXPECT_EQ(events[1].location, std::nullopt);
    EXPECT_EQ(events[1].url, std::nullopt);
}

TEST(ICalendarDocument, DailyRuleWithAnExceptionAndAMovedOccurrence)
{
    const std::string series = event("UID:standup\r\nSUMMARY:Standup\r\n"
                                     "DTSTART;TZID=Europe/Berlin:20240101T093000\r\n"
                                     "DTEND;TZID=Europe/Berlin:20240101T094500\r\n"
                                     "RRULE:FREQ=DAILY;COUNT=5\r\n"
                                     "EXDATE;TZID=Europe/Berlin:20240103T093000\r\n") +
                               event("UID:standup\r\nSUMMARY:Standup (moved)\r\n"
                                     "RECURRENCE-ID;TZID=Europe/Berlin:20240104T093000\r\n"
                                     "DTSTART;TZID=Europe/Berlin:20240104T140000\r\n"
                                     "DTEND;TZID=Europe/Berlin:20240104T141500\r\n");
    const auto events = layout({calendar(series)}, kWeekStart, kWeekEnd);

    std::vector<std::string> ids;
    std::vector<Date> starts;
    for (const auto& occurrence : events) {
        ids.push_back(occurrence.eventIdentifier.value_or("-"));
        starts.push_back(*occurrence.start);
        EXPECT_EQ(occurrence.calendarItemIdentifier, "standup");
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"standup/20240101T083000Z", "standup/20240102T083000Z",
                                             "standup/20240104T083000Z", "standup/20240105T083000Z"}))
        << "the moved occurrence keeps the identifier of its original start; the excluded day is gone";
    EXPECT_EQ(starts, (std::vector<Date>{utc(2024, 1, 1, 8, 30), utc(2024, 1, 2, 8, 30), utc(2024, 1, 4, 13),
                                         utc(2024, 1, 5, 8, 30)}));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[2].title, "Standup (moved)");
    EXPECT_EQ(events[2].end, utc(2024, 1, 4, 13, 15));
}

TEST(ICalendarDocument, MovedOccurrencesFollowTheirNewTimeAcrossTheWindowAndFiles)
{
    const std::string master = calendar(event("UID:review\r\nDTSTART:20240101T100000Z\r\nDURATION:PT1H\r\n"
                                              "RRULE:FREQ=WEEKLY;COUNT=3\r\n"));
    // The replacement lives in another file of the same calendar.
    const auto movedIn = calendar(event("UID:review\r\nRECURRENCE-ID:20240115T100000Z\r\n"
                                        "DTSTART:20240106T100000Z\r\nDURATION:PT1H\r\n"));
    const auto movedOut = calendar(event("UID:review\r\nRECURRENCE-ID:20240101T100000Z\r\n"
                                         "DTSTART:20240109T100000Z\r\nDURATION:PT1H\r\n"));

    auto events = layout({master, movedIn}, kWeekStart, kWeekEnd);
    ASSERT_EQ(events.size(), 2u) << "the third occurrence moved into the first week";
    EXPECT_EQ(events[0].start, utc(2024, 1, 1, 10));
    EXPECT_EQ(events[1].start, utc(2024, 1, 6, 10));
    EXPECT_EQ(events[1].eventIdentifier, "review/20240115T100000Z");

    events = layout({master, movedOut}, kWeekStart, kWeekEnd);
    EXPECT_TRUE(events.empty()) << "the first occurrence moved out of the first week";
}

TEST(ICalendarDocument, IdentifiesOccurrencesOfDatesAndFloatingTimesByTheirOwnForm)
{
    const auto events =
        layout({calendar(event("UID:bins\r\nDTSTART;VALUE=DATE:20240102\r\nRRULE:FREQ=DAILY;INTERVAL=3\r\n") +
                         event("UID:yoga\r\nDTSTART:20240103T180000\r\nDURATION:PT1H\r\n"
                               "RDATE:20240106T180000\r\n"))},
               kWeekStart, kWeekEnd);
    std::vector<std::string> ids;
    for (const auto& occurrence : events)
        ids.push_back(occurrence.eventIdentifier.value_or("-"));
    EXPECT_EQ(ids, (std::vector<std::string>{"bins/20240102", "bins/20240105", "yoga/20240103T180000",
                                             "yoga/20240106T180000"}));
}

TEST(ICalendarDocument, RepeatsReachTheWindowFromLongAgoAndStopAtTheirLimits)
{
    // An endless rule from long ago lands on the window's days only.
    auto events = layout({calendar(event("UID:old\r\nDTSTART:19900101T120000Z\r\nRRULE:FREQ=DAILY\r\n"))},
                         utc(2024, 1, 1), utc(2024, 1, 4));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].start, utc(2024, 1, 1, 12));
    EXPECT_EQ(events[2].start, utc(2024, 1, 3, 12));

    // An occurrence that began before the window but is still going counts.
    events = layout({calendar(event("UID:long\r\nDTSTART:20231231T200000Z\r\nDTEND:20240101T020000Z\r\n"
                                    "RRULE:FREQ=WEEKLY\r\n"))},
                    utc(2024, 1, 1), utc(2024, 1, 2));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].start, utc(2023, 12, 31, 20));

    // A rule every second is cut off rather than laid out in full: at what
    // the window's days can show.
    events = layout({calendar(event("UID:flood\r\nDTSTART:20240101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n"))},
                    utc(2024, 1, 1), utc(2024, 1, 2));
    EXPECT_EQ(events.size(), ICalendarDocument::Budget::forWindow(utc(2024, 1, 1), utc(2024, 1, 2)).occurrences);
    EXPECT_LE(events.size(), ICalendarDocument::kMaxOccurrencesPerEvent);
}

TEST(ICalendarDocument, KeepsEventsThatOverlapTheWindow)
{
    struct Row {
        const char* why;
        const char* lines;
        bool kept;
    };
    const Row rows[] = {
        {"ends exactly at the window's start", "DTSTART:20231231T230000Z\r\nDTEND:20240101T000000Z\r\n", false},
        {"starts exactly at the window's end", "DTSTART:20240108T000000Z\r\nDTEND:20240108T010000Z\r\n", false},
        {"takes no time at the window's start", "DTSTART:20240101T000000Z\r\n", true},
        {"spans the whole window", "DTSTART:20231201T000000Z\r\nDTEND:20240201T000000Z\r\n", true},
        {"ends a second into the window", "DTSTART:20231231T230000Z\r\nDTEND:20240101T000001Z\r\n", true},
        {"the all-day event of the day before", "DTSTART;VALUE=DATE:20231231\r\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(layout({calendar(event(std::string("UID:x\r\n") + row.lines))}, kWeekStart, kWeekEnd).size(),
                  row.kept ? 1u : 0u);
    }
}

TEST(ICalendarDocument, TheFirstOfTwoEventsWithOneUidStands)
{
    const auto events = layout({calendar(event("UID:dup\r\nSUMMARY:first\r\nDTSTART:20240102T100000Z\r\n")),
                                calendar(event("UID:dup\r\nSUMMARY:second\r\nDTSTART:20240103T100000Z\r\n"))},
                               kWeekStart, kWeekEnd);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].title, "first");
}

TEST(ICalendarDocument, RefusesTextThatIsNoCalendarAndDropsUnreadableValues)
{
    struct Row {
        const char* why;
        std::string text;
    };
    const Row rows[] = {
        {"empty", ""},
        {"another format", "{\"events\": []}"},
        {"cut off in the middle", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTART:2024"},
        {"an event without its calendar", event("UID:a\r\nDTSTART:20240105T100000Z\r\n")},
        {"bytes", std::string("\x00\xff\xfe BEGIN:VCALENDAR", 17)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const auto result = ICalendarDocument::parse(row.text, "bad.ics");
        ASSERT_FALSE(result.has_value());
        EXPECT_FALSE(result.error().empty());
    }

    // A start that cannot be read drops that event only.
    const auto events = layout({calendar(event("UID:a\r\nDTSTART:2024XX05T100000Z\r\nSUMMARY:broken\r\n") +
                                         event("UID:b\r\nDTSTART:20240105T100000Z\r\nSUMMARY:fine\r\n"))},
                               kWeekStart, kWeekEnd);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].title, "fine");
}

TEST(ICalendarDocument, ReadsTheCalendarsOwnNameAndColour)
{
    struct Row {
        const char* why;
        const char* header;
        std::optional<std::string> name;
        std::optional<std::string> color;
    };
    const Row rows[] = {
        {"none", "", std::nullopt, std::nullopt},
        {"the widespread properties", "X-WR-CALNAME:Work\r\nX-APPLE-CALENDAR-COLOR:#FF2968FF\r\n", "Work",
         "#FF2968FF"},
        {"the standard ones", "NAME:Home\\, sweet home\r\nCOLOR:turquoise\r\n", "Home, sweet home", "turquoise"},
        {"escapes undone in the widespread one too", "X-WR-CALNAME:Work\\, Team\r\n", "Work, Team", std::nullopt},
        {"X-WR-CALNAME before NAME, COLOR before the Apple colour",
         "NAME:Home\r\nX-WR-CALNAME:Work\r\nX-APPLE-CALENDAR-COLOR:#112233\r\nCOLOR:red\r\n", "Work", "red"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const auto document = parsed(calendar("", row.header));
        ASSERT_TRUE(document);
        EXPECT_EQ(document->calendarName(), row.name);
        EXPECT_EQ(document->calendarColor(), row.color);
    }
}

// --- The library -------------------------------------------------------------

TEST(ICalendarDocument, WithoutItsLibraryAFileReadsAsUnreadableAndSaysWhy)
{
    const struct {
        const char* why;
        const char* file;
        std::string problem;
    } rows[] = {
        {"not installed", "libical-missing.so.3",
         "cannot load the iCalendar library: libical-missing.so.3: cannot open shared object file"},
        // Found, but half a table would crash on the first missing call.
        {"another library", "libc.so.6", "the iCalendar library libc.so.6 has no icalcomponent_free"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const ICalLibrary library = ICalLibrary::load(row.file);
        EXPECT_FALSE(library.isLoaded());
        EXPECT_EQ(library.problem.substr(0, row.problem.size()), row.problem);
        EXPECT_EQ(library.component_free, nullptr);
        EXPECT_EQ(library.parser_parse_string, nullptr);

        const auto result = ICalendarDocument::parse(
            library, calendar(event("UID:a\r\nDTSTART:20240105T100000Z\r\n")), "work.ics");
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error(), library.problem);
    }
}

TEST(ICalendarDocument, ADocumentReadsThroughTheLibraryItWasParsedWith)
{
    const ICalLibrary library = ICalLibrary::load(ICalLibrary::kFileName);
    ASSERT_TRUE(library.isLoaded()) << library.problem;
    const auto document = ICalendarDocument::parse(
        library,
        calendar(event("UID:a\r\nDTSTART:20240102T090000Z\r\nRRULE:FREQ=DAILY;COUNT=2\r\nSUMMARY:Standup\r\n"),
                 "X-WR-CALNAME:Work\r\n"),
        "work.ics");
    ASSERT_TRUE(document.has_value()) << document.error();
    EXPECT_EQ((*document)->calendarName(), "Work");
    const auto events = ICalendarDocument::occurrences({document->get()}, kWeekStart, kWeekEnd, "work");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].title, "Standup");
    EXPECT_EQ(events[1].start, utc(2024, 1, 3, 9));
}

// --- Files from anywhere ------------------------------------------------------

std::vector<Date> starts(const std::vector<CalendarStoreEvent>& events)
{
    std::vector<Date> result;
    for (const auto& event : events)
        result.push_back(*event.start);
    return result;
}

TEST(ICalendarDocument, RulesRepeatingWithinADayFollowTheirLimitsAndInterval)
{
    // Laid out here a step at a time, as the standard reads them: BYHOUR,
    // BYMINUTE and day parts limit, BYSECOND (and for hours BYMINUTE)
    // expand, and the steps keep the start's phase. (libical expands some
    // limits of these rules.) All start on 31 December 2023 at 08:10 UTC.
    struct Row {
        const char* rule;
        Date start;
        Date end;
        std::vector<Date> expected;
    };
    const Date jan1 = utc(2024, 1, 1);
    const Date jan2 = utc(2024, 1, 2);
    const Date jan3 = utc(2024, 1, 3);
    std::vector<Date> everyNinetyMinutes;
    for (int k = 0; k < 16; ++k)
        everyNinetyMinutes.push_back(utc(2024, 1, 2, 0, 40) + minutes(90 * k));
    std::vector<Date> atNoonEverySeventhMinute;
    for (int minute = 3; minute < 60; minute += 7)
        for (int second : {0, 30})
            atNoonEverySeventhMinute.push_back(utc(2024, 1, 1, 12, minute, second));
    const Row rows[] = {
        {"FREQ=HOURLY;INTERVAL=5;BYHOUR=9,10,11,12,13,14", jan1, jan2,
         {utc(2024, 1, 1, 9, 10), utc(2024, 1, 1, 14, 10)}},
        {"FREQ=HOURLY;INTERVAL=6;BYMINUTE=15,45", jan1, jan2,
         {utc(2024, 1, 1, 2, 15), utc(2024, 1, 1, 2, 45), utc(2024, 1, 1, 8, 15), utc(2024, 1, 1, 8, 45),
          utc(2024, 1, 1, 14, 15), utc(2024, 1, 1, 14, 45), utc(2024, 1, 1, 20, 15), utc(2024, 1, 1, 20, 45)}},
        {"FREQ=HOURLY;INTERVAL=6;BYDAY=TU", jan1, jan3,
         {utc(2024, 1, 2, 2, 10), utc(2024, 1, 2, 8, 10), utc(2024, 1, 2, 14, 10), utc(2024, 1, 2, 20, 10)}},
        {"FREQ=MINUTELY;INTERVAL=7;BYSECOND=0,30;BYHOUR=12", jan1, jan2, atNoonEverySeventhMinute},
        {"FREQ=MINUTELY;INTERVAL=90;BYMONTHDAY=2,-2", jan1, jan3, everyNinetyMinutes},
        {"FREQ=SECONDLY;INTERVAL=450;BYMINUTE=10,17;BYHOUR=8", jan1, jan2,
         {utc(2024, 1, 1, 8, 10), utc(2024, 1, 1, 8, 17, 30)}},
        // 192 steps a day: always the same times, never these minutes.
        {"FREQ=SECONDLY;INTERVAL=450;BYMINUTE=0,15;BYHOUR=8", jan1, jan3, {}},
        {"FREQ=HOURLY;COUNT=20", jan1, jan2,
         {utc(2024, 1, 1, 0, 10), utc(2024, 1, 1, 1, 10), utc(2024, 1, 1, 2, 10), utc(2024, 1, 1, 3, 10)}},
        {"FREQ=MINUTELY;INTERVAL=45;UNTIL=20240101T020000Z", jan1, jan2,
         {utc(2024, 1, 1, 0, 40), utc(2024, 1, 1, 1, 25)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        const auto events = layout(
            {calendar(event("UID:r\r\nDTSTART:20231231T081000Z\r\nRRULE:" + std::string(row.rule) + "\r\n"))},
            row.start, row.end);
        EXPECT_EQ(starts(events), row.expected);
    }
}

TEST(ICalendarDocument, RulesWhoseDaysNeverComeAreRefusedWhenRead)
{
    // libical looks for such a day until the year 2582, stepping through
    // every second for the first rule: the reader would never return.
    struct Row {
        const char* rule;
        bool refused;
    };
    const Row rows[] = {
        {"FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30", true},
        {"FREQ=DAILY;BYMONTH=4;BYMONTHDAY=31", true},
        {"FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=-30", true},
        {"FREQ=YEARLY;BYYEARDAY=367", true},
        {"FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=29;BYYEARDAY=60", false}, // Feb 29 is day 60
        {"FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29", false},
        {"FREQ=DAILY;BYMONTH=1;BYYEARDAY=-366", false}, // 1 January of a leap year
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        const auto document = parsed(calendar(event("UID:x\r\nDTSTART:20240101T090000Z\r\nRRULE:" +
                                                    std::string(row.rule) + "\r\n")));
        ASSERT_TRUE(document);
        EXPECT_EQ(document->notes().size(), row.refused ? 1u : 0u);
        if (row.refused) {
            EXPECT_NE(document->notes()[0].find("repeat rule ignored"), std::string::npos) << document->notes()[0];
            // The event keeps the occurrence its start names.
            const auto events = ICalendarDocument::occurrences({document.get()}, kWeekStart, kWeekEnd, "work");
            EXPECT_EQ(starts(events), std::vector<Date>{utc(2024, 1, 1, 9)});
        }
    }
}

TEST(ICalendarDocument, SparseRulesWithinADayReachTheirFarDaysInFewSteps)
{
    // A second on 29 February only: from March 2024 the next lies four
    // years on, 126 million seconds, which libical steps through one by one.
    const std::string rule = "UID:leap\r\nDTSTART:20200229T090000Z\r\n"
                             "RRULE:FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=29;BYHOUR=9;BYMINUTE=0;BYSECOND=0,30\r\n";
    ICalendarDocument::Budget budget = ICalendarDocument::Budget::forWindow(utc(2024, 3, 1), utc(2024, 3, 8));
    const auto document = parsed(calendar(event(rule)));
    auto events = ICalendarDocument::occurrences({document.get()}, utc(2024, 3, 1), utc(2024, 3, 8), "work", budget);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(budget.spent);
    EXPECT_GT(budget.steps, ICalendarDocument::kMaxCalendarSteps - 1000)
        << "a step for each day, and each hour and minute of a day that can pass";

    events = layout({calendar(event(rule))}, utc(2024, 2, 29), utc(2024, 3, 1));
    EXPECT_EQ(starts(events), (std::vector<Date>{utc(2024, 2, 29, 9), utc(2024, 2, 29, 9, 0, 30)}));
}

TEST(ICalendarDocument, ManyCountedRulesStopAtTheCalendarsBudget)
{
    // Counted rules are stepped from their start: fifty from 1970 would
    // take libical ten million steps on every layout.
    std::string rules;
    for (int i = 0; i < 50; ++i)
        rules += "RRULE:FREQ=SECONDLY;COUNT=100000000;BYSECOND=" + std::to_string(i) + "\r\n";
    const auto document = parsed(calendar(event("UID:counted\r\nDTSTART:19700101T000000Z\r\n" + rules) +
                                          event("UID:later\r\nDTSTART:20240102T090000Z\r\n")));
    ICalendarDocument::Budget budget = ICalendarDocument::Budget::forWindow(kWeekStart, kWeekEnd);
    const auto events = ICalendarDocument::occurrences({document.get()}, kWeekStart, kWeekEnd, "work", budget);
    EXPECT_TRUE(budget.spent);
    EXPECT_EQ(budget.steps, 0u);
    EXPECT_TRUE(events.empty()) << "a layout cut short stops where it is";
}

TEST(ICalendarDocument, ADeadlineOrACancelStopsALayout)
{
    const auto document = parsed(calendar(event("UID:daily\r\nDTSTART:20240101T090000Z\r\nRRULE:FREQ=DAILY\r\n")));
    {
        ICalendarDocument::Budget budget = ICalendarDocument::Budget::forWindow(kWeekStart, kWeekEnd);
        budget.deadline = std::chrono::steady_clock::now() - std::chrono::seconds(1);
        ICalendarDocument::occurrences({document.get()}, kWeekStart, kWeekEnd, "work", budget);
        EXPECT_TRUE(budget.spent);
    }
    {
        const std::atomic<bool> cancelled{true};
        ICalendarDocument::Budget budget = ICalendarDocument::Budget::forWindow(kWeekStart, kWeekEnd);
        budget.cancelled = &cancelled;
        ICalendarDocument::occurrences({document.get()}, kWeekStart, kWeekEnd, "work", budget);
        EXPECT_TRUE(budget.spent);
    }
}

TEST(ICalendarDocument, ManyExclusionsAreEachReadOnce)
{
    // Every sixth minute of a week, less all but the first of each hour
    // (1,512 exclusions, each of which was read again for each of the 1,680
    // candidates) and a whole day by its date.
    std::string exclusions;
    for (int day = 1; day <= 7; ++day)
        for (int hour = 0; hour < 24; ++hour)
            for (int minute = 6; minute < 60; minute += 6) {
                char line[64];
                std::snprintf(line, sizeof line, "EXDATE:202401%02dT%02d%02d00Z\r\n", day, hour, minute);
                exclusions += line;
            }
    exclusions += "EXDATE;VALUE=DATE:20240103\r\n";
    const auto events = layout({calendar(event("UID:m\r\nDTSTART:20240101T000000Z\r\n"
                                                "RRULE:FREQ=MINUTELY;INTERVAL=6;COUNT=1680\r\n" +
                                                exclusions))},
                               kWeekStart, kWeekEnd);
    // Left: the first minute of each hour, but on 3 January.
    ASSERT_EQ(events.size(), 6u * 24u);
    EXPECT_EQ(events[0].start, utc(2024, 1, 1, 0));
    EXPECT_EQ(events[47].start, utc(2024, 1, 2, 23));
    EXPECT_EQ(events[48].start, utc(2024, 1, 4, 0));
}

TEST(ICalendarDocument, ManyEventsInOneFileKeepWhatTheWindowsDaysCanShow)
{
    // What a 26 MB file did: a million events, every one kept.
    std::string events;
    const std::size_t count = 3 * ICalendarDocument::kMaxOccurrencesPerDay;
    for (std::size_t i = 0; i < count; ++i)
        events += event("UID:e" + std::to_string(i) + "\r\nDTSTART:20240102T090000Z\r\n");
    const Date start = utc(2024, 1, 2);
    const Date end = utc(2024, 1, 3);
    const auto laid = layout({calendar(events)}, start, end);
    const std::size_t allowance = ICalendarDocument::Budget::forWindow(start, end).occurrences;
    ASSERT_LT(allowance, count);
    ASSERT_EQ(laid.size(), allowance);
    EXPECT_EQ(laid.front().eventIdentifier, "e0") << "the first to appear are kept";
}

TEST(ICalendarDocument, AZoneChangingMoreOftenThanYearlyIsDroppedForTheSystemsOwn)
{
    // libical lays out every change of a zone up to the year it reads: one a
    // second takes minutes and gigabytes.
    const std::string zone = "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
                             "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0100\r\n"
                             "TZOFFSETTO:+0200\r\nRRULE:FREQ=SECONDLY\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    const std::string custom = "BEGIN:VTIMEZONE\r\nTZID:Custom Time\r\n"
                               "BEGIN:DAYLIGHT\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0100\r\n"
                               "TZOFFSETTO:+0200\r\nRRULE:FREQ=MONTHLY\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
    const std::string real = "BEGIN:VTIMEZONE\r\nTZID:Real Time\r\n"
                             "BEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nTZOFFSETFROM:+0200\r\n"
                             "TZOFFSETTO:+0100\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
                             "BEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nTZOFFSETFROM:+0100\r\n"
                             "TZOFFSETTO:+0200\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
                             "END:VTIMEZONE\r\n";
    const auto document = parsed(calendar(event("UID:berlin\r\nDTSTART;TZID=Europe/Berlin:20240102T090000\r\n") +
                                              event("UID:custom\r\nDTSTART;TZID=Custom Time:20240103T090000\r\n") +
                                              event("UID:real\r\nDTSTART;TZID=Real Time:20240104T090000\r\n"),
                                          zone + custom + real));
    ASSERT_TRUE(document);
    auto notes = document->notes();
    std::sort(notes.begin(), notes.end());
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "time zone Custom Time ignored: it changes more often than yearly",
                         "time zone Europe/Berlin ignored: it changes more often than yearly",
                     }));
    const auto events = ICalendarDocument::occurrences({document.get()}, kWeekStart, kWeekEnd, "work");
    EXPECT_EQ(starts(events), (std::vector<Date>{
                                  utc(2024, 1, 2, 8), // the system's Berlin, an hour ahead in winter
                                  utc(2024, 1, 3, 9), // unknown to the system: the local clock (UTC here)
                                  utc(2024, 1, 4, 8), // a real zone is kept
                              }));
}

} // namespace
