#include "Platform/Desktop/ICalendarDocument.h"

#include <gtest/gtest.h>

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

    // A rule every second is cut off rather than laid out in full.
    events = layout({calendar(event("UID:flood\r\nDTSTART:20240101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n"))},
                    utc(2024, 1, 1), utc(2024, 1, 2));
    EXPECT_EQ(events.size(), ICalendarDocument::kMaxOccurrencesPerEvent);
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

} // namespace
