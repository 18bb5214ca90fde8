#include "Platform/Desktop/CalendarFolderStore.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/MainThread.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
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

std::vector<std::string> titles(const std::vector<std::shared_ptr<const CalendarStoreEvent>>& events)
{
    std::vector<std::string> result;
    for (const auto& event : events)
        result.push_back(event->title.value_or("-"));
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

    // The week as the service reads it: on the store's thread, looking again
    // only at what the watch named unless `hard`.
    std::vector<std::string> readWeek(CalendarFolderStore& store, bool hard = false)
    {
        std::optional<CalendarStoreSnapshot> answer;
        store.read({.hard = hard, .window = std::pair{utc(2024, 1, 1), utc(2024, 1, 8)}, .visibleCalendars = {}},
                   [&](CalendarStoreSnapshot snapshot) { answer = std::move(snapshot); });
        EXPECT_TRUE(testsupport::waitUntil([&] { return answer.has_value(); }));
        return answer ? titles(answer->events) : std::vector<std::string>{};
    }

    // The week as a store that never read the folder sees it.
    std::vector<std::string> freshWeek()
    {
        const auto fresh = makeStore();
        std::vector<std::string> identifiers;
        for (const auto& calendar : fresh->calendars())
            identifiers.push_back(calendar.identifier);
        return titles(weekOf(*fresh, identifiers));
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

std::string fixture(const std::string& name)
{
    auto text = AtomicFile::read(testsupport::sourceDir().toStdString() + "/tests/Platform/fixtures/" + name, 65536);
    EXPECT_TRUE(text) << name;
    return text.value_or("");
}

TEST_F(CalendarFolderStoreTest, ALinkThatLeadsBackIntoTheFolderIsSkipped)
{
    // Each link would show its target's events a second time.
    write(root() / "home.ics", calendar(event("h", "Dinner", "20240103T180000Z")));
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    fs::create_directory_symlink(root(), root() / "itself");
    fs::create_directory_symlink(root() / "work", root() / "work again");
    fs::create_symlink(root() / "home.ics", root() / "copy.ics");
    fs::create_symlink(root() / "home.ics", root() / "work" / "b.ics");
    // A link that leads out of the folder is a calendar kept elsewhere.
    const fs::path elsewhere = fs::path(m_dir.path().toStdString()) / "elsewhere";
    write(elsewhere / "c.ics", calendar(event("c", "Match", "20240104T190000Z")));
    fs::create_directory_symlink(elsewhere, root() / "sport");

    const auto store = makeStore();
    const std::vector<CalendarStoreCalendar> expected{
        {"home.ics", "home", std::nullopt},
        {"sport", "sport", std::nullopt},
        {"work", "work", std::nullopt},
    };
    EXPECT_EQ(store->calendars(), expected);
    EXPECT_EQ(titles(weekOf(*store, {"home.ics", "sport", "work"})),
              (std::vector<std::string>{"Dinner", "Match", "Standup"}));
    const auto watched = store->watchedPaths();
    EXPECT_EQ(std::count(watched.begin(), watched.end(), root() / "itself"), 0);
}

TEST_F(CalendarFolderStoreTest, ARuleThatNeverMatchesIsRefusedWithOneTraceLine)
{
    // libical looked for a 30 February a second at a time, for good.
    write(root() / "work" / "spin.ics", fixture("calendar-never-matching-rule.ics"));
    write(root() / "work" / "z.ics", calendar(event("z", "Review", "20240104T140000Z")));
    const auto store = makeStore();
    store->calendars();
    EXPECT_EQ(titles(weekOf(*store, {"work"})), (std::vector<std::string>{"Spin", "Review"}))
        << "the event keeps the occurrence its start names";
    weekOf(*store, {"work"});
    EXPECT_EQ(m_trace, std::vector<std::string>{"calendar file work/spin.ics: repeat rule ignored: "
                                                "FREQ=SECONDLY;BYMONTHDAY=30;BYMONTH=2: its days never come"});
}

TEST_F(CalendarFolderStoreTest, AZoneThatChangesEverySecondIsReadAsTheSystemsZone)
{
    write(root() / "zone.ics", fixture("calendar-zone-every-second.ics"));
    const auto store = makeStore();
    const auto events = weekOf(*store, {"zone.ics"});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].start, utc(2024, 1, 2, 9)) << "10:00 in Berlin's winter";
    EXPECT_EQ(m_trace, std::vector<std::string>{
                           "calendar file zone.ics: time zone Europe/Berlin ignored: it changes more often than yearly"});
}

TEST_F(CalendarFolderStoreTest, AFileWhoseRepeatsOverrunIsSetAsideUntilItChanges)
{
    // Counted rules are stepped from their start, every second since 1970.
    const auto hog = [](const std::string& title) {
        std::string rules;
        for (int i = 0; i < 4; ++i)
            rules += "RRULE:FREQ=SECONDLY;COUNT=100000000;BYSECOND=" + std::to_string(i) + "\r\n";
        return calendar("BEGIN:VEVENT\r\nUID:hog\r\nSUMMARY:" + title + "\r\nDTSTART:19700101T000000Z\r\n" + rules +
                        "END:VEVENT\r\n" + event("early", "Early", "20240102T080000Z"));
    };
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    write(root() / "work" / "hog.ics", hog("Hog"));
    write(root() / "work" / "z.ics", calendar(event("z", "Review", "20240104T140000Z")));
    const auto store = makeStore();
    store->calendars();

    const std::string setAside =
        "calendar file set aside until it changes: work/hog.ics: its repeats take too long to lay out";
    EXPECT_EQ(titles(weekOf(*store, {"work"})), (std::vector<std::string>{"Standup", "Review"}))
        << "the rest of the calendar still shows";
    EXPECT_EQ(m_trace, std::vector<std::string>{setAside});

    // Read again, even from scratch: it stays aside, and quiet.
    weekOf(*store, {"work"});
    store->reset();
    EXPECT_EQ(titles(weekOf(*store, {"work"})), (std::vector<std::string>{"Standup", "Review"}));
    EXPECT_EQ(m_trace.size(), 1u);

    // A new version is tried again.
    write(root() / "work" / "hog.ics", hog("Hog, edited"));
    weekOf(*store, {"work"});
    EXPECT_EQ(m_trace, (std::vector<std::string>{setAside, setAside}));
    write(root() / "work" / "hog.ics", calendar(event("hog", "Tamed", "20240105T090000Z")));
    EXPECT_EQ(titles(weekOf(*store, {"work"})), (std::vector<std::string>{"Standup", "Tamed", "Review"}));
}

TEST_F(CalendarFolderStoreTest, AReadAfterChangesLaysOutAgainWhatTheChangedFilesHeldBeforeAndHoldNow)
{
    // A daily standup in one file, one of its days moved by another file; a
    // review between them. Series keep the order in which they first appear.
    const auto standup = [](const std::string& uid, const std::string& title) {
        return calendar("BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + title +
                        "\r\nDTSTART:20240101T090000Z\r\nDURATION:PT15M\r\nRRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\n");
    };
    const auto moved = [](const std::string& at) {
        return calendar("BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Moved\r\nRECURRENCE-ID:20240102T090000Z\r\n"
                        "DTSTART:" + at + "\r\nDURATION:PT15M\r\nEND:VEVENT\r\n");
    };
    write(root() / "work" / "a.ics", standup("standup", "Standup"));
    write(root() / "work" / "b.ics", calendar(event("review", "Review", "20240101T140000Z")));
    write(root() / "work" / "c.ics", moved("20240102T110000Z"));
    const auto store = makeStore();
    store->calendars();
    // Another, reading as the service does: only what the watch named.
    const auto watching = makeStore();
    readWeek(*watching);
    const auto read = [&] {
        std::vector<std::pair<std::string, Date>> result;
        for (const auto& event : weekOf(*store, {"work"}))
            result.emplace_back(event.title.value_or("-"), *event.start);
        return result;
    };
    using Shown = std::vector<std::pair<std::string, Date>>;
    EXPECT_EQ(read(), (Shown{{"Standup", utc(2024, 1, 1, 9)},
                             {"Moved", utc(2024, 1, 2, 11)},
                             {"Standup", utc(2024, 1, 3, 9)},
                             {"Review", utc(2024, 1, 1, 14)}}));

    struct Step {
        const char* why;
        std::function<void()> change;
        Shown shown;
    };
    const Step steps[] = {
        {"the moving file moves it elsewhere",
         [&] { write(root() / "work" / "c.ics", moved("20240102T160000Z")); },
         {{"Standup", utc(2024, 1, 1, 9)},
          {"Moved", utc(2024, 1, 2, 16)},
          {"Standup", utc(2024, 1, 3, 9)},
          {"Review", utc(2024, 1, 1, 14)}}},
        {"the moving file goes", [&] { fs::remove(root() / "work" / "c.ics"); },
         {{"Standup", utc(2024, 1, 1, 9)},
          {"Standup", utc(2024, 1, 2, 9)},
          {"Standup", utc(2024, 1, 3, 9)},
          {"Review", utc(2024, 1, 1, 14)}}},
        {"it comes back", [&] { write(root() / "work" / "c.ics", moved("20240102T110000Z")); },
         {{"Standup", utc(2024, 1, 1, 9)},
          {"Moved", utc(2024, 1, 2, 11)},
          {"Standup", utc(2024, 1, 3, 9)},
          {"Review", utc(2024, 1, 1, 14)}}},
        {"the repeating file takes another UID: the moved day stands alone, after the review",
         [&] { write(root() / "work" / "a.ics", standup("standup-2", "Standup")); },
         {{"Standup", utc(2024, 1, 1, 9)},
          {"Standup", utc(2024, 1, 2, 9)},
          {"Standup", utc(2024, 1, 3, 9)},
          {"Review", utc(2024, 1, 1, 14)},
          {"Moved", utc(2024, 1, 2, 11)}}},
        {"a file in the middle changes its title only",
         [&] { write(root() / "work" / "b.ics", calendar(event("review", "Design review", "20240101T140000Z"))); },
         {{"Standup", utc(2024, 1, 1, 9)},
          {"Standup", utc(2024, 1, 2, 9)},
          {"Standup", utc(2024, 1, 3, 9)},
          {"Design review", utc(2024, 1, 1, 14)},
          {"Moved", utc(2024, 1, 2, 11)}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.why);
        step.change();
        EXPECT_EQ(read(), step.shown);
        // The same, whatever was kept.
        const auto fresh = makeStore();
        fresh->calendars();
        EXPECT_EQ(weekOf(*fresh, {"work"}), weekOf(*store, {"work"}));
        EXPECT_EQ(readWeek(*watching), titles(weekOf(*fresh, {"work"})));
    }
}

TEST_F(CalendarFolderStoreTest, ASoftReadLooksAgainAtWhatTheWatchNamedAndSeesWhatAFullReadSees)
{
    const fs::path elsewhere = fs::path(m_dir.path().toStdString()) / "elsewhere";
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    write(root() / "work" / "b.ics", calendar(event("b", "Review", "20240103T140000Z")));
    write(root() / "home.ics", calendar(event("h", "Dinner", "20240103T180000Z")));
    // A file kept elsewhere: the folder's watch never sees it change.
    write(elsewhere / "gym.ics", calendar(event("g", "Gym", "20240104T070000Z")));
    fs::create_symlink(elsewhere / "gym.ics", root() / "work" / "gym.ics");
    const auto store = makeStore();
    EXPECT_EQ(readWeek(*store), (std::vector<std::string>{"Dinner", "Standup", "Review", "Gym"}));

    struct Step {
        const char* why;
        std::function<void()> change;
        std::vector<std::string> shown;
    };
    const Step steps[] = {
        {"a file edited in place",
         [&] { write(root() / "work" / "a.ics", calendar(event("a", "Standby call", "20240102T090000Z"))); },
         {"Dinner", "Standby call", "Review", "Gym"}},
        {"a file added", [&] { write(root() / "work" / "c.ics", calendar(event("c", "Lunch", "20240102T120000Z"))); },
         {"Dinner", "Standby call", "Review", "Lunch", "Gym"}},
        {"a file removed", [&] { fs::remove(root() / "work" / "b.ics"); }, {"Dinner", "Standby call", "Lunch", "Gym"}},
        {"a file replaced by renaming over it",
         [&] {
             write(root() / "work" / ".c.ics.tmp", calendar(event("c", "Late lunch", "20240102T130000Z")));
             fs::rename(root() / "work" / ".c.ics.tmp", root() / "work" / "c.ics");
         },
         {"Dinner", "Standby call", "Late lunch", "Gym"}},
        {"a hidden file added",
         [&] { write(root() / "work" / ".d.ics", calendar(event("d", "Hidden", "20240102T150000Z"))); },
         {"Dinner", "Standby call", "Late lunch", "Gym"}},
        {"a single-file calendar edited",
         [&] { write(root() / "home.ics", calendar(event("h", "Supper", "20240103T190000Z"))); },
         {"Supper", "Standby call", "Late lunch", "Gym"}},
        {"a linked file's target edited where the watch does not look",
         [&] { write(elsewhere / "gym.ics", calendar(event("g", "Swim", "20240104T070000Z"))); },
         {"Supper", "Standby call", "Late lunch", "Swim"}},
        {"a calendar folder added",
         [&] { write(root() / "family" / "e.ics", calendar(event("e", "Zoo", "20240106T100000Z"))); },
         {"Zoo", "Supper", "Standby call", "Late lunch", "Swim"}},
        {"a calendar folder removed", [&] { fs::remove_all(root() / "family"); },
         {"Supper", "Standby call", "Late lunch", "Swim"}},
        {"nothing changed", [] {}, {"Supper", "Standby call", "Late lunch", "Swim"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.why);
        step.change();
        EXPECT_EQ(readWeek(*store), step.shown);
        EXPECT_EQ(freshWeek(), step.shown);
    }
}

TEST_F(CalendarFolderStoreTest, AnEditTheWatchMissedIsReadByAHardReadOrAfterTheWatchLostEvents)
{
    // A second name for the file outside the folder: writing through it
    // changes the file without the folder's watch seeing it.
    const fs::path outside = fs::path(m_dir.path().toStdString()) / "outside.ics";
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240102T090000Z")));
    fs::create_hard_link(root() / "work" / "a.ics", outside);
    const auto store = makeStore();
    EXPECT_EQ(readWeek(*store), std::vector<std::string>{"Standup"});

    write(outside, calendar(event("a", "Edited behind its back", "20240102T090000Z")));
    EXPECT_EQ(readWeek(*store), std::vector<std::string>{"Standup"}) << "a soft read trusts the watch";
    EXPECT_EQ(readWeek(*store, true), std::vector<std::string>{"Edited behind its back"});

    // The kernel drops events beyond its queue's length and says so: then
    // a soft read looks at everything.
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    long limit = 0;
    if (!(limitFile >> limit) || limit <= 0 || limit > 1'000'000)
        GTEST_SKIP() << "the kernel's event queue length is unknown or too long to fill";
    write(outside, calendar(event("a", "Edited again", "20240102T090000Z")));
    // Writes to two files in turn, so that the kernel merges none.
    const auto scratch = [&](const char* name) {
        return ::open((root() / "work" / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    };
    const int first = scratch(".scratch-1");
    const int second = scratch(".scratch-2");
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    for (long i = 0; i <= limit; ++i)
        ASSERT_EQ(::write(i % 2 ? first : second, "x", 1), 1);
    ::close(first);
    ::close(second);
    EXPECT_EQ(readWeek(*store), std::vector<std::string>{"Edited again"});
}

TEST_F(CalendarFolderStoreTest, AReadRunsOnAThreadOfItsOwnAndAnswersOnTheMainThread)
{
    write(root() / "work" / "spin.ics", fixture("calendar-never-matching-rule.ics"));
    write(root() / "work" / "a.ics", calendar(event("a", "Standup", "20240103T090000Z")));
    write(root() / "home.ics", calendar(event("h", "Dinner", "20240103T180000Z")));
    const auto store = makeStore();

    std::optional<CalendarStoreSnapshot> answer;
    bool onMainThread = false;
    CalendarStoreRead request{.hard = true, .window = std::pair{utc(2024, 1, 1), utc(2024, 1, 8)},
                              .visibleCalendars = {"work"}};
    store->read(request, [&](CalendarStoreSnapshot snapshot) {
        onMainThread = isMainThread();
        answer = std::move(snapshot);
    });
    EXPECT_FALSE(answer) << "the caller never waits for the files";
    ASSERT_TRUE(testsupport::waitUntil([&] { return answer.has_value(); }));
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(answer->calendars.size(), 2u);
    EXPECT_EQ(titles(answer->events), (std::vector<std::string>{"Standup", "Spin"}));
    EXPECT_EQ(m_trace.size(), 1u) << "trace lines are written on the main thread";

    // Without a window only the calendars are read; a store that goes while
    // reading answers nothing.
    answer.reset();
    store->read({.hard = false, .window = std::nullopt, .visibleCalendars = {}},
                [&](CalendarStoreSnapshot snapshot) { answer = std::move(snapshot); });
    ASSERT_TRUE(testsupport::waitUntil([&] { return answer.has_value(); }));
    EXPECT_TRUE(answer->events.empty());
    EXPECT_EQ(answer->calendars.size(), 2u);

    bool answered = false;
    auto gone = makeStore();
    gone->read(request, [&](CalendarStoreSnapshot) { answered = true; });
    gone.reset();
    testsupport::processEvents();
    EXPECT_FALSE(answered);
}

} // namespace
