#include "VudeServices/CalendarService.h"

#include "Platform/Desktop/FakeCalendarStore.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>

namespace {

using namespace std::chrono;
using Status = CalendarAuthorizationStatus;

Date utc(int y, unsigned m, unsigned d, int h = 0, int min = 0)
{
    return Date(sys_days(year{y} / month{m} / day{d}) + hours(h) + minutes(min));
}

CalendarStoreEvent storeEvent(std::string id, Date start, Date end, std::string calendar = "work")
{
    CalendarStoreEvent event;
    event.eventIdentifier = id;
    event.calendarItemIdentifier = id;
    event.title = std::move(id);
    event.start = start;
    event.end = end;
    event.calendarIdentifier = std::move(calendar);
    return event;
}

std::vector<std::string> ids(const std::vector<CalendarEvent>& events)
{
    std::vector<std::string> result;
    for (const auto& event : events)
        result.push_back(event.id);
    return result;
}

class CalendarServiceTest : public ::testing::Test {
protected:
    // Now is Friday 15 March 2024, noon (UTC).
    CalendarServiceTest() : m_clock(utc(2024, 3, 15, 12)) {}

    CalendarService& makeService(Status status)
    {
        auto store = std::make_unique<FakeCalendarStore>();
        m_store = store.get();
        m_store->status = status;
        m_store->calendarList = {{"work", "Work", "#FF0000"}, {"home", "Home", std::nullopt}};
        m_store->eventList = {
            storeEvent("review", utc(2024, 3, 15, 14), utc(2024, 3, 15, 15)),
            storeEvent("standup", utc(2024, 3, 15, 9), utc(2024, 3, 15, 9, 15)),
            storeEvent("dinner", utc(2024, 3, 16, 19), utc(2024, 3, 16, 21), "home"),
        };
        m_service = std::make_unique<CalendarService>(std::move(store), m_clock, m_scheduler);
        return *m_service;
    }

    ManualClock m_clock;
    ManualScheduler m_scheduler{m_clock};
    FakeCalendarStore* m_store = nullptr;
    std::unique_ptr<CalendarService> m_service;
};

TEST_F(CalendarServiceTest, CreationReadsAccessAndLoadsNothing)
{
    auto& service = makeService(Status::fullAccess);
    EXPECT_EQ(service.access(), CalendarAccess::granted);
    EXPECT_EQ(service.filter(), (CalendarFilter{{}, 7, 7, false, false, false}));
    EXPECT_TRUE(service.events().empty());
    EXPECT_TRUE(service.calendars().empty());
    EXPECT_EQ(service.lastRefresh(), std::nullopt);
    EXPECT_EQ(m_store->calendarsCount + m_store->requestCount, 0);
    EXPECT_EQ(m_store->observerCount(), 0);
    EXPECT_EQ(m_scheduler.pendingCount(), 0u);
}

TEST_F(CalendarServiceTest, AccessMapsFromTheStoresDecision)
{
    const struct {
        Status status;
        CalendarAccess access;
    } rows[] = {
        {Status::notDetermined, CalendarAccess::notDetermined}, {Status::restricted, CalendarAccess::restricted},
        {Status::denied, CalendarAccess::denied},               {Status::fullAccess, CalendarAccess::granted},
        {Status::writeOnly, CalendarAccess::writeOnly},         {Status(42), CalendarAccess::notDetermined},
    };
    for (const auto& row : rows)
        EXPECT_EQ(calendarAccess(row.status), row.access);
    EXPECT_EQ(rawValue(CalendarAccess::notDetermined), "notDetermined");
}

TEST_F(CalendarServiceTest, StartedTwiceItObservesOnceAndRefreshesEvery300Seconds)
{
    auto& service = makeService(Status::fullAccess);
    service.start();
    service.start();
    EXPECT_EQ(m_store->requestCount, 0) << "a decided access is not asked again";
    EXPECT_EQ(m_store->observerCount(), 1);
    EXPECT_EQ(m_scheduler.pendingCount(), 1u);
    EXPECT_EQ(m_store->resetCount, 2) << "each start refreshes hard";
    EXPECT_EQ(ids(service.events()), (std::vector<std::string>{"review", "dinner"}))
        << "today's finished standup is hidden";

    // One store change, one soft refresh.
    const int queries = m_store->eventsCount;
    m_store->simulateChange();
    EXPECT_EQ(m_store->eventsCount, queries + 1);
    EXPECT_EQ(m_store->resetCount, 2);

    // The timer refreshes hard, every 300 s.
    m_scheduler.advance(seconds(299));
    EXPECT_EQ(m_store->resetCount, 2);
    m_scheduler.advance(seconds(1));
    EXPECT_EQ(m_store->resetCount, 3);
    EXPECT_EQ(m_store->refreshSourcesCount, 3);
    m_scheduler.advance(seconds(300));
    EXPECT_EQ(m_store->resetCount, 4);

    // Stopped: nothing follows, what was read stays.
    service.stop();
    EXPECT_EQ(m_store->observerCount(), 0);
    EXPECT_EQ(m_scheduler.pendingCount(), 0u);
    m_store->simulateChange();
    m_scheduler.advance(seconds(600));
    EXPECT_EQ(m_store->resetCount, 4);
    EXPECT_EQ(ids(service.events()), (std::vector<std::string>{"review", "dinner"}));
    EXPECT_EQ(service.access(), CalendarAccess::granted);

    service.start();
    EXPECT_EQ(m_store->observerCount(), 1);
    EXPECT_EQ(m_scheduler.pendingCount(), 1u);
}

TEST_F(CalendarServiceTest, StartAsksOnlyWhileUndecidedAndRecordsTheOutcome)
{
    struct Row {
        const char* why;
        Status before;
        CalendarStore::AccessAnswer answer;
        Status after;
        CalendarAccess access;
        std::optional<std::string> requestError;
        int requests;
        bool loads;
    };
    const Row rows[] = {
        {"granted when asked", Status::notDetermined, true, Status::fullAccess, CalendarAccess::granted,
         std::nullopt, 1, true},
        {"refused: the store's word", Status::notDetermined, false, Status::denied, CalendarAccess::denied,
         std::nullopt, 1, false},
        {"the request fails", Status::notDetermined, unexpected(std::string("No folder for calendars")),
         Status::notDetermined, CalendarAccess::notDetermined, "No folder for calendars", 1, false},
        {"denied before: never asked", Status::denied, true, Status::fullAccess, CalendarAccess::denied,
         std::nullopt, 0, false},
        {"restricted before: never asked", Status::restricted, true, Status::fullAccess, CalendarAccess::restricted,
         std::nullopt, 0, false},
        {"write-only before: never asked", Status::writeOnly, true, Status::fullAccess, CalendarAccess::writeOnly,
         std::nullopt, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        auto& service = makeService(row.before);
        m_store->requestAnswer = row.answer;
        m_store->statusAfterRequest = row.after;
        bool done = false;
        service.start([&] { done = true; });
        EXPECT_TRUE(done);
        EXPECT_EQ(service.access(), row.access);
        EXPECT_EQ(service.requestError(), row.requestError);
        EXPECT_EQ(m_store->requestCount, row.requests);
        EXPECT_EQ(m_store->observerCount(), row.loads ? 1 : 0);
        EXPECT_EQ(m_scheduler.pendingCount(), row.loads ? 1u : 0u);
        EXPECT_EQ(service.events().empty(), !row.loads);
        m_service.reset();
        EXPECT_EQ(m_scheduler.pendingCount(), 0u) << "the timer goes with the service";
    }
}

TEST_F(CalendarServiceTest, AFailedRequestsErrorStaysUntilARequestSucceeds)
{
    auto& service = makeService(Status::notDetermined);
    m_store->requestAnswer = unexpected(std::string("busy"));
    m_store->statusAfterRequest = Status::notDetermined;
    QSignalSpy errors(&service, &CalendarService::requestErrorChanged);
    service.start();
    EXPECT_EQ(service.requestError(), "busy");
    service.start();
    EXPECT_EQ(errors.count(), 1) << "the same error again is no change";

    m_store->requestAnswer = true;
    m_store->statusAfterRequest = Status::fullAccess;
    service.start();
    EXPECT_EQ(service.requestError(), std::nullopt);
    EXPECT_EQ(service.access(), CalendarAccess::granted);
    EXPECT_EQ(errors.count(), 2);
}

TEST_F(CalendarServiceTest, StartsWaitingForOneOpenQuestionShareItsAnswer)
{
    auto& service = makeService(Status::notDetermined);
    m_store->holdsRequests = true;
    int done = 0;
    service.start([&] { ++done; });
    service.start([&] { ++done; });
    EXPECT_EQ(m_store->requestCount, 1);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(service.access(), CalendarAccess::notDetermined);

    m_store->answerPendingRequests();
    EXPECT_EQ(done, 2);
    EXPECT_EQ(service.access(), CalendarAccess::granted);
    EXPECT_EQ(m_store->observerCount(), 1);
    EXPECT_EQ(m_scheduler.pendingCount(), 1u);
}

TEST_F(CalendarServiceTest, WithoutAccessARefreshEmptiesEverythingAndAsksNothing)
{
    auto& service = makeService(Status::denied);
    service.start();
    service.refresh(true);
    EXPECT_TRUE(service.events().empty());
    EXPECT_TRUE(service.calendars().empty());
    EXPECT_EQ(service.lastRefresh(), std::nullopt);
    EXPECT_EQ(m_store->calendarsCount + m_store->resetCount, 0);
}

TEST_F(CalendarServiceTest, RefreshReadsTheWindowOfTheVisibleCalendars)
{
    auto& service = makeService(Status::fullAccess);
    m_store->calendarList = {{"w10", "Work 10", std::nullopt}, {"w2", "Work 2", std::nullopt}, {"home", "Home", {}}};
    m_store->eventList = {
        storeEvent("b", utc(2024, 3, 18, 9), utc(2024, 3, 18, 10), "w2"),
        storeEvent("a", utc(2024, 3, 16, 9), utc(2024, 3, 16, 10), "w10"),
        storeEvent("tie2", utc(2024, 3, 17, 9), utc(2024, 3, 17, 10), "w2"),
        storeEvent("tie1", utc(2024, 3, 17, 9), utc(2024, 3, 17, 11), "w10"),
    };
    CalendarStoreEvent undated = storeEvent("undated", utc(2024, 3, 16, 9), utc(2024, 3, 16, 10), "w2");
    undated.end.reset();
    m_store->eventList.push_back(undated);
    service.start();

    std::vector<std::string> titles;
    for (const auto& calendar : service.calendars())
        titles.push_back(calendar.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Home", "Work 2", "Work 10"}));
    EXPECT_EQ(m_store->lastWindow, std::pair(utc(2024, 3, 8), utc(2024, 3, 23)));
    EXPECT_EQ(ids(service.events()), (std::vector<std::string>{"a", "tie2", "tie1", "b"}))
        << "by start; equal starts keep the store's order; an event without end is dropped";
    EXPECT_EQ(service.lastRefresh(), m_clock.now());

    // Only the visible calendars are read, in the store's order; the list of
    // calendars stays whole.
    service.setFilter({{"w2", "home"}, 7, 7, false, false, false});
    EXPECT_EQ(m_store->lastCalendarIdentifiers, (std::vector<std::string>{"w2", "home"}));
    EXPECT_EQ(ids(service.events()), (std::vector<std::string>{"tie2", "b"}));
    EXPECT_EQ(service.calendars().size(), 3u);

    // Calendars that no longer exist: nothing to read, but refreshed.
    m_clock.advance(minutes(1));
    const int queries = m_store->eventsCount;
    service.setFilter({{"gone"}, 7, 7, false, false, false});
    EXPECT_TRUE(service.events().empty());
    EXPECT_EQ(service.calendars().size(), 3u);
    EXPECT_EQ(service.lastRefresh(), m_clock.now());
    EXPECT_EQ(m_store->eventsCount, queries);

    // A window that cannot be formed leaves the snapshot as it was.
    service.setFilter({{}, 0, 0, false, false, false});
    const auto events = service.events();
    const auto lastRefresh = service.lastRefresh();
    m_clock.advance(minutes(1));
    service.setFilter({{}, 0, INT_MAX, false, false, false});
    EXPECT_EQ(service.events(), events);
    EXPECT_EQ(service.lastRefresh(), lastRefresh);
}

TEST_F(CalendarServiceTest, AnEqualFilterDoesNothingAndAChangedOneRefreshesSoftly)
{
    auto& service = makeService(Status::fullAccess);
    m_store->eventList.push_back(storeEvent("holiday", utc(2024, 3, 18), utc(2024, 3, 18, 23, 59)));
    m_store->eventList.back().isAllDay = true;
    service.start();
    QSignalSpy filters(&service, &CalendarService::filterChanged);
    QSignalSpy events(&service, &CalendarService::eventsChanged);
    const int queries = m_store->eventsCount;
    const int resets = m_store->resetCount;

    service.setFilter({{}, 7, 7, false, false, false});
    EXPECT_EQ(filters.count(), 0);
    EXPECT_EQ(m_store->eventsCount, queries);

    service.setFilter({{}, 7, 7, false, true, false});
    EXPECT_EQ(filters.count(), 1);
    EXPECT_EQ(m_store->eventsCount, queries + 1);
    EXPECT_EQ(m_store->resetCount, resets) << "soft";
    EXPECT_EQ(events.count(), 1);
    EXPECT_EQ(ids(service.events()), (std::vector<std::string>{"review", "dinner", "holiday"}));
}

TEST_F(CalendarServiceTest, ObservedMembersSignalOnlyRealChanges)
{
    auto& service = makeService(Status::fullAccess);
    QSignalSpy events(&service, &CalendarService::eventsChanged);
    QSignalSpy calendars(&service, &CalendarService::calendarsChanged);
    QSignalSpy lastRefresh(&service, &CalendarService::lastRefreshChanged);
    QSignalSpy access(&service, &CalendarService::accessChanged);
    service.start();
    service.refresh(false);
    EXPECT_EQ(events.count(), 1);
    EXPECT_EQ(calendars.count(), 1);
    EXPECT_EQ(lastRefresh.count(), 1) << "the clock stood still";
    EXPECT_EQ(access.count(), 0);

    m_clock.advance(seconds(30));
    m_store->eventList[0].title = "Design review";
    service.refresh(false);
    EXPECT_EQ(events.count(), 2);
    EXPECT_EQ(calendars.count(), 1);
    EXPECT_EQ(lastRefresh.count(), 2);
}

TEST_F(CalendarServiceTest, UpcomingAndGroupedReadTheSnapshot)
{
    auto& service = makeService(Status::fullAccess);
    service.start();
    const int queries = m_store->eventsCount;
    EXPECT_FALSE(service.upcoming(minutes(5)));
    m_clock.set(utc(2024, 3, 15, 13, 55));
    ASSERT_TRUE(service.upcoming(minutes(5)));
    EXPECT_EQ(service.upcoming(minutes(5))->id, "review");
    const auto days = service.grouped();
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[1].day, utc(2024, 3, 16));
    EXPECT_EQ(m_store->eventsCount, queries) << "neither touches the store";
}

TEST_F(CalendarServiceTest, TheTimerAndObserverDieWithTheService)
{
    makeService(Status::fullAccess).start();
    m_service.reset();
    EXPECT_EQ(m_scheduler.pendingCount(), 0u);
    m_scheduler.advance(seconds(900));
}

// A store that reads away from the main thread answers later: what the
// service shows and what its callers do wait for the answer.
TEST_F(CalendarServiceTest, WhatActsOnARefreshWaitsForTheReadToBeOver)
{
    auto& service = makeService(Status::fullAccess);
    m_store->holdsReads = true;
    bool started = false;
    service.start([&] { started = true; });
    EXPECT_FALSE(started) << "start is over once the first refresh is published";
    EXPECT_TRUE(service.isRefreshing());
    EXPECT_TRUE(service.events().empty());
    EXPECT_EQ(service.lastRefresh(), std::nullopt);
    EXPECT_EQ(m_store->calendarsCount, 0) << "nothing is read while the main thread waits";

    m_store->finishPendingReads();
    EXPECT_TRUE(started);
    EXPECT_FALSE(service.isRefreshing());
    EXPECT_EQ(ids(service.events()), (std::vector<std::string>{"review", "dinner"}));
    EXPECT_EQ(service.lastRefresh(), m_clock.now());
    ASSERT_EQ(m_store->reads.size(), 1u);
    EXPECT_TRUE(m_store->reads[0].hard);

    // The calendar settings' "Refresh now": hard, then act on the result.
    m_store->eventList.push_back(storeEvent("late", utc(2024, 3, 15, 18), utc(2024, 3, 15, 19)));
    std::vector<std::string> seenByTheAction;
    service.refresh(true, [&] { seenByTheAction = ids(service.events()); });
    EXPECT_TRUE(seenByTheAction.empty());
    m_store->finishPendingReads();
    EXPECT_EQ(seenByTheAction, (std::vector<std::string>{"review", "late", "dinner"}));
}

TEST_F(CalendarServiceTest, RefreshesAskedWhileReadingBecomeOneMoreRead)
{
    auto& service = makeService(Status::fullAccess);
    service.start();
    m_store->holdsReads = true;
    m_store->reads.clear();

    int done = 0;
    service.refresh(false, [&] { ++done; });
    // A change, a hard refresh and another change while the first is read.
    m_store->simulateChange();
    service.refresh(true, [&] { ++done; });
    m_store->simulateChange();
    EXPECT_EQ(m_store->pendingReadCount(), 1u) << "one read at a time";

    m_store->finishPendingReads();
    EXPECT_EQ(done, 1) << "the first caller's read is over";
    ASSERT_EQ(m_store->pendingReadCount(), 1u) << "the ones asked meanwhile are one more read";
    m_store->finishPendingReads();
    EXPECT_EQ(done, 2);
    EXPECT_EQ(m_store->pendingReadCount(), 0u);
    ASSERT_EQ(m_store->reads.size(), 2u);
    EXPECT_FALSE(m_store->reads[0].hard);
    EXPECT_TRUE(m_store->reads[1].hard) << "hard when any of them was";
}

TEST_F(CalendarServiceTest, AReadForAFilterNoLongerInForceIsNotPublished)
{
    auto& service = makeService(Status::fullAccess);
    service.start();
    m_store->holdsReads = true;
    QSignalSpy changes(&service, &CalendarService::eventsChanged);

    bool done = false;
    service.refresh(false, [&] { done = true; });
    service.setFilter({{"home"}, 7, 7, false, false, false});
    m_store->finishPendingReads();
    EXPECT_EQ(changes.count(), 0) << "read for the old filter";
    EXPECT_FALSE(done) << "its caller waits for the read of the filter in force";
    ASSERT_EQ(m_store->pendingReadCount(), 1u);
    EXPECT_EQ(m_store->reads.back().visibleCalendars, std::set<std::string>{"home"});

    m_store->finishPendingReads();
    EXPECT_TRUE(done);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(ids(service.events()), std::vector<std::string>{"dinner"});
}

} // namespace
