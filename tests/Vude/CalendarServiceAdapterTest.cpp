// The calendar service under the bridge: its access as the notch reads it,
// the settings' filter, and an event about to start in the user's calendar
// reaching the calendar pill.
#include "BridgeRig.h"

#include "Platform/Desktop/FakeCalendarStore.h"
#include "Vude/Bridge/CalendarServiceAdapter.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using namespace bridgetest;
using Status = CalendarAuthorizationStatus;

CalendarStoreEvent storeEvent(std::string id, Date start, Duration length, bool isAllDay = false)
{
    CalendarStoreEvent event;
    event.eventIdentifier = id;
    event.calendarItemIdentifier = id;
    event.title = "Event " + id;
    event.start = start;
    event.end = start + length;
    event.isAllDay = isAllDay;
    event.calendarIdentifier = "work";
    return event;
}

TEST(CalendarServiceAdapterTest, AccessReadsAsTheNotchNamesIt)
{
    ManualClock clock;
    ManualScheduler scheduler{clock};
    for (const auto& [status, access] : std::vector<std::pair<Status, NotchCalendarAccess>>{
             {Status::notDetermined, NotchCalendarAccess::notDetermined},
             {Status::restricted, NotchCalendarAccess::restricted},
             {Status::denied, NotchCalendarAccess::denied},
             {Status::fullAccess, NotchCalendarAccess::granted},
             {Status::writeOnly, NotchCalendarAccess::writeOnly},
         }) {
        auto store = std::make_unique<FakeCalendarStore>();
        store->status = status;
        CalendarServiceAdapter adapter(std::make_shared<CalendarService>(std::move(store), clock, scheduler));
        EXPECT_EQ(adapter.access(), access) << static_cast<int>(status);
    }
}

class CalendarThroughTheBridgeTest : public ::testing::Test, public BridgeRig {
protected:
    CalendarThroughTheBridgeTest()
    {
        auto owned = std::make_unique<FakeCalendarStore>();
        store = owned.get();
        store->calendarList = {{"work", "Work", std::nullopt}, {"home", "Home", std::nullopt}};
        service = std::make_shared<CalendarService>(std::move(owned), clock, scheduler);
        adapter = std::make_shared<CalendarServiceAdapter>(service);
        otherCalendar = adapter;
    }

    FakeCalendarStore* store = nullptr;
    std::shared_ptr<CalendarServiceAdapter> adapter;
    std::shared_ptr<CalendarService> service;
};

TEST_F(CalendarThroughTheBridgeTest, AskedOnceAtStartItAnnouncesTheNextTimedEventOnce)
{
    settings.setCalendarLeadMinutes(10);
    settings.setCalendarDaysAhead(3);
    settings.setShowAllDayEvents(true);
    store->eventList = {
        storeEvent("holiday", clock.now() + 30s, 24h, true),
        storeEvent("standup", clock.now() + 59s, 15min),
        storeEvent("review", clock.now() + 20min, 1h),
    };
    makeBridge();
    ASSERT_TRUE(startBridge());
    testsupport::processEvents();

    EXPECT_EQ(store->requestCount, 1);
    EXPECT_EQ(bridge->calendar().access(), NotchCalendarAccess::granted);
    EXPECT_EQ(service->filter().daysAhead, 3);
    EXPECT_TRUE(service->filter().showAllDayEvents);
    EXPECT_EQ(bridge->sharedCalendar(), adapter);

    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].kind(), ActivityKind::calendar);
    EXPECT_EQ(presented[0].dedupeKey(), "calendar-" + service->upcoming(10min)->id);
    EXPECT_EQ(presented[0].title(), "Event standup");
    EXPECT_EQ(presented[0].subtitle(), "Starting now");
    bridge->checkUpcomingEvent();
    EXPECT_EQ(presented.size(), 1u);

    // Once the first has begun, the next comes into the lead window.
    clock.advance(11min);
    coordinator.dismissCurrent();
    bridge->checkUpcomingEvent();
    ASSERT_EQ(presented.size(), 2u);
    EXPECT_EQ(presented[1].title(), "Event review");
    EXPECT_EQ(presented[1].subtitle(), "in 9 min");

    EXPECT_TRUE(service->isObservingChanges());
    bridge->stop();
    EXPECT_FALSE(service->isObservingChanges());
}

// The Desk reads the same calendar: the events by day with what a row shows,
// and one signal whenever access or the events change.
TEST_F(CalendarThroughTheBridgeTest, TheDeskReadsTheEventsByDayAndHearsEveryChange)
{
    int changes = 0;
    QObject::connect(adapter.get(), &NotchCalendarService::changed, [&] { ++changes; });
    auto review = storeEvent("review", clock.now() + 20min, 1h);
    review.location = "Room 4";
    store->eventList = {review, storeEvent("retro", clock.now() + 26h, 30min)};
    bool started = false;
    adapter->start([&] { started = true; });
    testsupport::waitUntil([&] { return started; });
    EXPECT_GE(changes, 2) << "access granted, then the events loaded";

    const std::vector<NotchCalendarDay> days = adapter->grouped();
    const std::vector<CalendarDay> sources = service->grouped();
    ASSERT_EQ(days.size(), sources.size());
    ASSERT_FALSE(days.empty());
    const NotchCalendarEvent& first = days.front().events.front();
    const CalendarEvent& source = sources.front().events.front();
    EXPECT_EQ(days.front().day, sources.front().day);
    EXPECT_EQ(first.id, source.id);
    EXPECT_EQ(first.title, "Event review");
    EXPECT_EQ(first.start, source.start);
    EXPECT_EQ(first.end, source.end);
    EXPECT_EQ(first.location, std::optional<std::string>("Room 4"));
    EXPECT_EQ(first.icsFile, source.icsFile);

    const int before = changes;
    store->eventList.clear();
    service->refresh(false);
    testsupport::waitUntil([&] { return changes > before; });
    EXPECT_TRUE(adapter->grouped().empty());
}

TEST_F(CalendarThroughTheBridgeTest, RefusedAccessAnnouncesNothing)
{
    store->requestAnswer = false;
    store->statusAfterRequest = Status::denied;
    store->eventList = {storeEvent("standup", clock.now() + 59s, 15min)};
    makeBridge();
    ASSERT_TRUE(startBridge());
    testsupport::processEvents();
    bridge->checkUpcomingEvent();
    EXPECT_EQ(bridge->calendar().access(), NotchCalendarAccess::denied);
    EXPECT_TRUE(presented.empty());
}

// A store that reads away from the main thread answers later; what the
// bridge announces follows the answer, at start and after "Refresh now".
TEST_F(CalendarThroughTheBridgeTest, TheNextEventIsAnnouncedOnceTheReadIsOver)
{
    settings.setCalendarLeadMinutes(10);
    store->eventList = {storeEvent("standup", clock.now() + 59s, 15min)};
    store->holdsReads = true;
    makeBridge();
    ASSERT_TRUE(startBridge());
    testsupport::processEvents();
    EXPECT_TRUE(presented.empty()) << "nothing was read yet";
    while (store->pendingReadCount() > 0)
        store->finishPendingReads();
    testsupport::processEvents();
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].title(), "Event standup");

    clock.advance(2min);
    coordinator.dismissCurrent();
    store->eventList.push_back(storeEvent("review", clock.now() + 5min, 1h));
    bool refreshed = false;
    bridge->calendar().refresh(true, [&] {
        refreshed = true;
        bridge->checkUpcomingEvent();
    });
    EXPECT_FALSE(refreshed);
    EXPECT_EQ(presented.size(), 1u);
    store->finishPendingReads();
    EXPECT_TRUE(refreshed);
    ASSERT_EQ(presented.size(), 2u);
    EXPECT_EQ(presented[1].title(), "Event review");
}

} // namespace
