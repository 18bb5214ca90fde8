#include "Platform/Desktop/CalendarFolderStore.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using Status = CalendarAuthorizationStatus;

Date utc(int y, unsigned m, unsigned d, int h = 0)
{
    return Date(sys_days(year{y} / month{m} / day{d}) + hours(h));
}

std::string calendar(const std::string& body, const std::string& header = "")
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + header + body + "END:VCALENDAR\r\n";
}

std::string event(const std::string& uid, const std::string& summary, const std::string& start)
{
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + summary + "\r\nDTSTART:" + start +
           "\r\nDURATION:PT1H\r\nEND:VEVENT\r\n";
}

void write(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::vector<std::string> titles(const std::vector<CalendarStoreEvent>& events)
{
    std::vector<std::string> result;
    for (const auto& event : events)
        result.push_back(event.title.value_or("-"));
    return result;
}

class CalendarFolderStoreTest : public ::testing::Test {
protected:
    fs::path root() const { return fs::path(m_dir.path().toStdString()) / "Vude" / "Calendars"; }

    std::unique_ptr<CalendarFolderStore> makeStore(CalendarFolderStore::FolderProbe probe =
                                                       CalendarFolderAccess::statusOf)
    {
        return std::make_unique<CalendarFolderStore>(
            root(), m_scheduler, [this](const std::string& line) { m_trace.push_back(line); }, std::move(probe));
    }

    std::vector<CalendarStoreEvent> weekOf(CalendarFolderStore& store, const std::vector<std::string>& calendars)
    {
        return store.events(utc(2024, 1, 1), utc(2024, 1, 8), calendars);
    }

    QTemporaryDir m_dir;
    ManualClock m_clock;
    ManualScheduler m_scheduler{m_clock};
    std::vector<std::string> m_trace;
};

TEST_F(CalendarFolderStoreTest, AnswersAccessAsThePermissionLayerDoes)
{
    // One rule for both: whatever lies at the path, the store and the
    // permission layer agree.
    const auto store = makeStore();
    const auto agree = [&](CalendarAuthorizationStatus expected) {
        EXPECT_EQ(CalendarFolderAccess::statusOf(root()), expected);
        EXPECT_EQ(store->authorizationStatus(), expected);
    };
    {
        SCOPED_TRACE("nothing there");
        agree(CalendarAuthorizationStatus::notDetermined);
    }
    {
        SCOPED_TRACE("a file where the folder belongs");
        write(root(), "a file");
        agree(CalendarAuthorizationStatus::denied);
        EXPECT_TRUE(store->calendars().empty());
        fs::remove(root());
    }
    {
        SCOPED_TRACE("a folder");
        fs::create_directories(root());
        agree(CalendarAuthorizationStatus::fullAccess);
    }
}

TEST_F(CalendarFolderStoreTest, AskingCreatesTheMissingFolderForThisUserOnly)
{
    const auto store = makeStore();
    EXPECT_EQ(store->authorizationStatus(), CalendarAuthorizationStatus::notDetermined);

    std::optional<CalendarStore::AccessAnswer> answer;
    store->requestFullAccess([&](CalendarStore::AccessAnswer result) { answer = result; });
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, CalendarStore::AccessAnswer(true));
    EXPECT_EQ(store->authorizationStatus(), CalendarAuthorizationStatus::fullAccess);
    EXPECT_EQ(fs::status(root()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(store->watchedPaths(), std::vector<fs::path>{root()}) << "the new folder is watched at once";
}

TEST_F(CalendarFolderStoreTest, AskingWhenTheFolderCannotBeMadeFailsWithTheReason)
{
    write(root().parent_path(), "a file where the app's folder belongs");
    // The probe says "not decided" so that the request tries, as it would
    // when the parent changed between the look and the request.
    const auto store = makeStore([](const fs::path&) { return Status::notDetermined; });
    std::optional<CalendarStore::AccessAnswer> answer;
    store->requestFullAccess([&](CalendarStore::AccessAnswer result) { answer = result; });
    ASSERT_TRUE(answer);
    ASSERT_FALSE(answer->has_value());
    EXPECT_NE(answer->error().find("Could not create the calendars folder"), std::string::npos) << answer->error();
}

TEST_F(CalendarFolderStoreTest, WithoutFullAccessNothingIsReadOrWatched)
{
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    for (const Status status : {Status::denied, Status::writeOnly, Status::restricted}) {
        SCOPED_TRACE(static_cast<long>(status));
        const auto store = makeStore([status](const fs::path&) { return status; });
        EXPECT_EQ(store->authorizationStatus(), status);
        EXPECT_TRUE(store->calendars().empty());
        EXPECT_TRUE(weekOf(*store, {"work"}).empty());
        std::optional<CalendarStore::AccessAnswer> answer;
        store->requestFullAccess([&](CalendarStore::AccessAnswer result) { answer = result; });
        EXPECT_EQ(answer, CalendarStore::AccessAnswer(false)) << "a refusal is an answer, not a failure";
        EXPECT_TRUE(store->watchedPaths().empty());
    }
}

TEST_F(CalendarFolderStoreTest, AFolderWithoutReadPermissionIsUnreadable)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, which reads folders whatever their permission bits say; "
                        "WithoutFullAccessNothingIsReadOrWatched covers the store through an injected look";
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    fs::permissions(root(), fs::perms::none);
    const auto store = makeStore();
    EXPECT_EQ(store->authorizationStatus(), CalendarAuthorizationStatus::denied);
    EXPECT_TRUE(store->calendars().empty());
    fs::permissions(root(), fs::perms::owner_all);
}

TEST_F(CalendarFolderStoreTest, NamesAndColoursCalendarsFromTheirFilesAndFolders)
{
    // A vdir with its own name and colour files.
    write(root() / "work" / "displayname", "Work Team\n");
    write(root() / "work" / "color", "#FF2968\n");
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z"), "X-WR-CALNAME:Ignored\r\n"));
    // A vdir named only by its files' property.
    write(root() / "family" / "b.ics", calendar(event("b", "Dinner", "20240103T180000Z"),
                                               "X-WR-CALNAME:Family\r\nX-APPLE-CALENDAR-COLOR:#00FF00FF\r\n"));
    // A vdir named by nothing but itself, holding no events yet.
    fs::create_directories(root() / "empty");
    // Single-file calendars, with and without a name of their own.
    write(root() / "holidays.ics", calendar(event("h", "New Year", "20240101T000000Z"), "NAME:Holidays\r\n"));
    write(root() / "sport.ics", calendar(event("s", "Match", "20240104T190000Z")));
    // Not calendars.
    write(root() / ".hidden" / "c.ics", calendar(event("c", "Secret", "20240102T090000Z")));
    write(root() / "notes.txt", "not a calendar");

    const auto store = makeStore();
    const std::vector<CalendarStoreCalendar> expected{
        {"empty", "empty", std::nullopt},
        {"family", "Family", "#00FF00FF"},
        {"holidays.ics", "Holidays", std::nullopt},
        {"sport.ics", "sport", std::nullopt},
        {"work", "Work Team", "#FF2968"},
    };
    EXPECT_EQ(store->calendars(), expected);
    EXPECT_EQ(titles(weekOf(*store, {"work", "sport.ics"})), (std::vector<std::string>{"Match", "Standup"}))
        << "only the named calendars, in the folder's order";
    const auto family = weekOf(*store, {"family"});
    ASSERT_EQ(family.size(), 1u);
    EXPECT_EQ(family[0].calendarIdentifier, "family");
    EXPECT_EQ(family[0].icsFile, root() / "family" / "b.ics") << "for opening the event in a calendar application";
}

TEST_F(CalendarFolderStoreTest, SkipsAFileThatIsNoCalendarWithOneTraceLineAndReadsTheRest)
{
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    write(root() / "work" / "broken.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\n");
    write(root() / "home.ics", "\x89PNG\r\n");
    write(root() / "other" / "b.ics", calendar(event("b", "Lunch", "20240103T120000Z")));
    ASSERT_EQ(::mkfifo((root() / "work" / "pipe.ics").c_str(), 0600), 0);

    const auto store = makeStore();
    ASSERT_EQ(store->calendars().size(), 3u) << "a broken single-file calendar still appears, empty";
    EXPECT_EQ(titles(weekOf(*store, {"home.ics", "other", "work"})), (std::vector<std::string>{"Lunch", "Standup"}));
    EXPECT_EQ(m_trace, (std::vector<std::string>{
                           "calendar file skipped: home.ics: not a complete iCalendar object",
                           "calendar file skipped: work/broken.ics: not a complete iCalendar object",
                       }));

    // Read again, even after a reset that parses every file anew: no new
    // lines while the file stays as it is; a new version is reported.
    weekOf(*store, {"home.ics", "other", "work"});
    store->reset();
    weekOf(*store, {"home.ics", "other", "work"});
    EXPECT_EQ(m_trace.size(), 2u);
    write(root() / "work" / "broken.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\nSUMMARY:still cut off\r\n");
    weekOf(*store, {"work"});
    EXPECT_EQ(m_trace.size(), 3u);
}

TEST_F(CalendarFolderStoreTest, ReadsAChangedFileAgainWithoutAReset)
{
    const auto file = root() / "work" / "a.ics";
    write(file, calendar(event("a", "Standup", "20240102T090000Z")));
    const auto store = makeStore();
    EXPECT_EQ(titles(weekOf(*store, {"work"})), std::vector<std::string>{"Standup"});

    write(file, calendar(event("a", "Standup (longer text so the size changes)", "20240102T090000Z")));
    EXPECT_EQ(titles(weekOf(*store, {"work"})),
              std::vector<std::string>{"Standup (longer text so the size changes)"});
}

TEST_F(CalendarFolderStoreTest, ReportsEditsNewCalendarsAndReplacedFilesOnce)
{
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    const auto store = makeStore();
    store->calendars();
    QSignalSpy changes(store.get(), &CalendarStore::changed);

    struct Step {
        const char* why;
        std::function<void()> change;
    };
    const Step steps[] = {
        {"a file edited in place",
         [&] {
             std::ofstream(root() / "work" / "a.ics", std::ios::app) << "\r\n";
         }},
        {"a new calendar folder", [&] { fs::create_directories(root() / "family"); }},
        {"a file added to the new folder",
         [&] { write(root() / "family" / "b.ics", calendar(event("b", "Dinner", "20240103T180000Z"))); }},
        {"a file replaced by renaming over it",
         [&] {
             write(root() / "work" / ".a.ics.tmp", calendar(event("a", "Moved", "20240102T100000Z")));
             fs::rename(root() / "work" / ".a.ics.tmp", root() / "work" / "a.ics");
         }},
        {"a single-file calendar added", [&] { write(root() / "sport.ics", calendar("")); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.why);
        const auto before = changes.count();
        step.change();
        // The kernel's events arrive through the event loop; however many
        // there are, they wait for one delayed report.
        ASSERT_TRUE(testsupport::waitUntil([&] { return m_scheduler.pendingCount() == 1; }));
        testsupport::processEvents();
        EXPECT_EQ(m_scheduler.pendingCount(), 1u);
        EXPECT_EQ(changes.count(), before);
        m_scheduler.advance(CalendarFolderStore::kChangeDelay);
        EXPECT_EQ(changes.count(), before + 1);
    }
    EXPECT_EQ(titles(weekOf(*store, {"work"})), std::vector<std::string>{"Moved"});
}

TEST_F(CalendarFolderStoreTest, FollowsLinksToFoldersKeptElsewhere)
{
    // The calendars folder and one calendar in it are links, as when a sync
    // tool keeps its folders elsewhere.
    const fs::path synced = fs::path(m_dir.path().toStdString()) / "synced";
    write(synced / "calendars" / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    write(synced / "personal" / "b.ics", calendar(event("b", "Dentist", "20240103T090000Z")));
    fs::create_directories(root().parent_path());
    fs::create_directory_symlink(synced / "calendars", root());
    fs::create_directory_symlink(synced / "personal", synced / "calendars" / "personal");

    const auto store = makeStore();
    EXPECT_EQ(store->authorizationStatus(), CalendarAuthorizationStatus::fullAccess);
    EXPECT_EQ(titles(weekOf(*store, {"personal", "work"})), (std::vector<std::string>{"Dentist", "Standup"}));

    QSignalSpy changes(store.get(), &CalendarStore::changed);
    write(synced / "personal" / "b.ics", calendar(event("b", "Dentist (moved)", "20240104T090000Z")));
    ASSERT_TRUE(testsupport::waitUntil([&] { return m_scheduler.pendingCount() == 1; }));
    m_scheduler.advance(CalendarFolderStore::kChangeDelay);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(titles(weekOf(*store, {"personal"})), std::vector<std::string>{"Dentist (moved)"});
}

} // namespace
