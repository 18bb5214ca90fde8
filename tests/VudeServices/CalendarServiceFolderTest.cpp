// The calendar service over a real calendars folder: files written by the
// test, read with libical, changes seen through the folder watch.

#include "Platform/Desktop/CalendarFolderStore.h"
#include "VudeServices/CalendarService.h"

#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int h = 0, int min = 0)
{
    return Date(sys_days(year{y} / month{m} / day{d}) + hours(h) + minutes(min));
}

std::string calendar(const std::string& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

void write(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

class CalendarServiceFolderTest : public ::testing::Test {
protected:
    // Now is Friday 15 March 2024, 08:00 (UTC).
    CalendarServiceFolderTest() : m_clock(utc(2024, 3, 15, 8)) {}

    fs::path root() const { return fs::path(m_dir.path().toStdString()) / "Calendars"; }

    CalendarService& makeService(CalendarFolderStore::FolderProbe probe = CalendarFolderAccess::statusOf)
    {
        auto store = std::make_unique<CalendarFolderStore>(
            root(), m_scheduler, [this](const std::string& line) { m_trace.push_back(line); }, std::move(probe));
        m_service = std::make_unique<CalendarService>(std::move(store), m_clock, m_scheduler);
        return *m_service;
    }

    // The folder is read on a thread of its own: start, and wait until the
    // first refresh is published.
    void startAndWait(CalendarService& service)
    {
        bool done = false;
        service.start([&] { done = true; });
        ASSERT_TRUE(testsupport::waitUntil([&] { return done; }));
    }

    // Waits for the refresh under way.
    void settle(CalendarService& service)
    {
        ASSERT_TRUE(testsupport::waitUntil([&] { return !service.isRefreshing(); }));
    }

    std::vector<std::pair<std::string, Date>> shown() const
    {
        std::vector<std::pair<std::string, Date>> result;
        for (const auto& event : m_service->events())
            result.emplace_back(event.id, event.start);
        return result;
    }

    QTemporaryDir m_dir;
    ManualClock m_clock;
    ManualScheduler m_scheduler{m_clock};
    std::vector<std::string> m_trace;
    std::unique_ptr<CalendarService> m_service;
};

TEST_F(CalendarServiceFolderTest, RepeatsExceptionsAndMovedOccurrencesReachTheDesk)
{
    write(root() / "work" / "standup.ics",
          calendar("BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Standup\r\n"
                   "DTSTART:20240315T090000Z\r\nDURATION:PT15M\r\nRRULE:FREQ=DAILY;COUNT=4\r\n"
                   "EXDATE:20240316T090000Z\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Standup\r\nRECURRENCE-ID:20240317T090000Z\r\n"
                   "DTSTART:20240317T113000Z\r\nDURATION:PT15M\r\nEND:VEVENT\r\n"));
    auto& service = makeService();
    startAndWait(service);
    EXPECT_EQ(service.access(), CalendarAccess::granted);
    EXPECT_EQ(shown(), (std::vector<std::pair<std::string, Date>>{
                           {"standup/20240315T090000Z", utc(2024, 3, 15, 9)},
                           {"standup/20240317T090000Z", utc(2024, 3, 17, 11, 30)},
                           {"standup/20240318T090000Z", utc(2024, 3, 18, 9)},
                       }));
}

TEST_F(CalendarServiceFolderTest, AllDayAndMultiDayEventsFollowTheFilterSwitches)
{
    write(root() / "home.ics",
          calendar("BEGIN:VEVENT\r\nUID:holiday\r\nDTSTART;VALUE=DATE:20240318\r\nEND:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:trip\r\nDTSTART;VALUE=DATE:20240319\r\nDTEND;VALUE=DATE:20240321\r\n"
                   "END:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:night\r\nDTSTART:20240316T220000Z\r\nDTEND:20240317T020000Z\r\n"
                   "END:VEVENT\r\n"
                   "BEGIN:VEVENT\r\nUID:lunch\r\nDTSTART:20240316T120000Z\r\nDTEND:20240316T130000Z\r\n"
                   "END:VEVENT\r\n"));
    auto& service = makeService();
    startAndWait(service);
    struct Row {
        bool allDay;
        bool multiDay;
        std::vector<std::string> ids;
    };
    const Row rows[] = {
        {false, false, {"lunch"}},
        {true, false, {"lunch", "holiday"}},
        {false, true, {"lunch", "night"}},
        {true, true, {"lunch", "night", "holiday", "trip"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "all-day " << row.allDay << ", multi-day " << row.multiDay);
        service.setFilter({{}, 7, 7, false, row.allDay, row.multiDay});
        settle(service);
        std::vector<std::string> ids;
        for (const auto& event : service.events())
            ids.push_back(event.id);
        EXPECT_EQ(ids, row.ids);
    }
}

TEST_F(CalendarServiceFolderTest, EditingAFileRefreshesTheEvents)
{
    const auto file = root() / "work" / "review.ics";
    const auto review = [](const std::string& title) {
        return calendar("BEGIN:VEVENT\r\nUID:review\r\nSUMMARY:" + title +
                        "\r\nDTSTART:20240315T140000Z\r\nDURATION:PT1H\r\nEND:VEVENT\r\n");
    };
    write(file, review("Review"));
    auto& service = makeService();
    startAndWait(service);
    ASSERT_EQ(service.events().size(), 1u);
    const int pending = int(m_scheduler.pendingCount());

    write(file, review("Design review"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return int(m_scheduler.pendingCount()) == pending + 1; }))
        << "the change waits for its short delay";
    m_scheduler.advance(CalendarFolderStore::kChangeDelay);
    ASSERT_TRUE(testsupport::waitUntil([&] { return service.events().size() == 1 && service.events()[0].title == "Design review"; }));
}

TEST_F(CalendarServiceFolderTest, ACorruptFileIsSkippedAndTheRestShows)
{
    write(root() / "work" / "good.ics",
          calendar("BEGIN:VEVENT\r\nUID:good\r\nDTSTART:20240315T140000Z\r\nEND:VEVENT\r\n"));
    write(root() / "work" / "bad.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:2024");
    write(root() / "home.ics", "not a calendar at all");
    auto& service = makeService();
    startAndWait(service);
    EXPECT_EQ(service.access(), CalendarAccess::granted);
    ASSERT_EQ(service.events().size(), 1u);
    EXPECT_EQ(service.events()[0].id, "good");
    EXPECT_EQ(service.calendars().size(), 2u);
    EXPECT_EQ(m_trace.size(), 2u);
}

TEST_F(CalendarServiceFolderTest, AnUnreadableFolderIsDeniedAndStartInstallsNothing)
{
    write(root() / "work" / "good.ics",
          calendar("BEGIN:VEVENT\r\nUID:good\r\nDTSTART:20240315T140000Z\r\nEND:VEVENT\r\n"));
    auto& service = makeService([](const fs::path&) { return CalendarAuthorizationStatus::denied; });
    EXPECT_EQ(service.access(), CalendarAccess::denied);
    service.start();
    service.refresh(true);
    EXPECT_EQ(service.access(), CalendarAccess::denied);
    EXPECT_FALSE(service.isObservingChanges());
    EXPECT_FALSE(service.hasRefreshTimer());
    EXPECT_TRUE(service.events().empty());
    EXPECT_TRUE(service.calendars().empty());
}

TEST_F(CalendarServiceFolderTest, AllowingAccessCreatesTheFolderAndLoads)
{
    auto& service = makeService();
    EXPECT_EQ(service.access(), CalendarAccess::notDetermined);
    startAndWait(service);
    EXPECT_EQ(service.access(), CalendarAccess::granted);
    EXPECT_EQ(service.requestError(), std::nullopt);
    EXPECT_TRUE(fs::is_directory(root()));
    EXPECT_TRUE(service.isObservingChanges());
    EXPECT_EQ(service.lastRefresh(), m_clock.now());
}

TEST_F(CalendarServiceFolderTest, HostileFilesCostTheirRefreshNoMoreThanItsBudget)
{
    // A rule libical spins on for good, a zone changing every second, and a
    // file of counted rules stepped from 1970: the refresh still ends, and
    // the other events show.
    const std::string fixtures = testsupport::sourceDir().toStdString() + "/tests/Platform/fixtures/";
    fs::create_directories(root() / "work");
    fs::copy_file(fixtures + "calendar-never-matching-rule.ics", root() / "work" / "spin.ics");
    fs::copy_file(fixtures + "calendar-zone-every-second.ics", root() / "zone.ics");
    std::string counted;
    for (int i = 0; i < 50; ++i)
        counted += "RRULE:FREQ=SECONDLY;COUNT=100000000;BYSECOND=" + std::to_string(i) + "\r\n";
    write(root() / "work" / "counted.ics",
          calendar("BEGIN:VEVENT\r\nUID:counted\r\nDTSTART:19700101T000000Z\r\n" + counted + "END:VEVENT\r\n"));
    write(root() / "work" / "review.ics",
          calendar("BEGIN:VEVENT\r\nUID:review\r\nDTSTART:20240315T140000Z\r\nEND:VEVENT\r\n"));

    auto& service = makeService();
    service.setFilter({{}, 7, 7, true, false, false});
    startAndWait(service);
    std::vector<std::string> ids;
    for (const auto& event : service.events())
        ids.push_back(event.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"review"}));
    EXPECT_EQ(m_trace.size(), 3u) << "one line for each hostile file";
}

} // namespace
