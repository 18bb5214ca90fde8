#include "VudeServices/IdleService.h"

#include "Platform/Power/DBusScreenLockMonitor.h"
#include "Platform/Power/FakeDisplaySleepInhibitor.h"
#include "Platform/Power/FakeScreenLockMonitor.h"
#include "Platform/Power/ScreenSaverInhibitor.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace {

using Call = FakeDisplaySleepInhibitor::Call;
constexpr auto kReason = "Vude \xE2\x80\x94 keep awake";

Call inhibited(std::uint32_t id)
{
    return {Call::Kind::inhibit, id, kReason};
}

Call released(std::uint32_t id)
{
    return {Call::Kind::release, id, {}};
}

class IdleServiceTest : public ::testing::Test {
protected:
    IdleServiceTest()
    {
        auto inhibitorOwned = std::make_unique<FakeDisplaySleepInhibitor>();
        auto monitorOwned = std::make_unique<FakeScreenLockMonitor>();
        inhibitor = inhibitorOwned.get();
        monitor = monitorOwned.get();
        service = std::make_unique<IdleService>(std::move(inhibitorOwned), std::move(monitorOwned), scheduler, clock);
        service->setOnLockEvent([this](ScreenLockEvent event) { lockEvents.push_back(event); });
    }

    ManualClock clock{kReferenceDate + 1000h};
    ManualScheduler scheduler{clock};
    FakeDisplaySleepInhibitor* inhibitor = nullptr;
    FakeScreenLockMonitor* monitor = nullptr;
    std::unique_ptr<IdleService> service;
    std::vector<ScreenLockEvent> lockEvents;
};

TEST(KeepAwakeDurationTest, NamesAndLengths)
{
    struct Row {
        KeepAwakeDuration duration;
        const char* raw;
        std::optional<int> seconds;
    } rows[] = {
        {KeepAwakeDuration::indefinite, "indefinite", std::nullopt},
        {KeepAwakeDuration::thirtyMinutes, "thirtyMinutes", 1800},
        {KeepAwakeDuration::oneHour, "oneHour", 3600},
        {KeepAwakeDuration::twoHours, "twoHours", 7200},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(rawValue(row.duration), row.raw);
        EXPECT_EQ(enumFromRaw<KeepAwakeDuration>(row.raw), row.duration);
        EXPECT_EQ(seconds(row.duration), row.seconds);
    }
    EXPECT_EQ(allCases<KeepAwakeDuration>().size(), 4u);
    EXPECT_EQ(enumFromRaw<KeepAwakeDuration>("OneHour"), std::nullopt);
    EXPECT_EQ(enumFromRaw<KeepAwakeDuration>("forever"), std::nullopt);
}

TEST_F(IdleServiceTest, ATimedKeepAwakeEndsOnItsOwn)
{
    QSignalSpy keeping(service.get(), &IdleService::isKeepingAwakeChanged);
    QSignalSpy until(service.get(), &IdleService::keepAwakeUntilChanged);
    const Date start = clock.now();

    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    EXPECT_TRUE(service->isKeepingAwake());
    EXPECT_EQ(service->keepAwakeUntil(), start + 3600s);
    EXPECT_EQ(inhibitor->calls(), std::vector{inhibited(1)}) << "the reason is the exact text, em dash included";
    EXPECT_EQ(keeping.count(), 1);
    EXPECT_EQ(until.count(), 1);

    scheduler.advance(3600s - 1us);
    EXPECT_TRUE(service->isKeepingAwake());
    scheduler.advance(1us);
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_EQ(service->keepAwakeUntil(), std::nullopt);
    EXPECT_EQ(inhibitor->calls(), (std::vector{inhibited(1), released(1)}));
    EXPECT_TRUE(inhibitor->held().empty());
    EXPECT_EQ(keeping.count(), 2);
    EXPECT_EQ(until.count(), 2);
}

TEST_F(IdleServiceTest, AnIndefiniteKeepAwakeHasNoEndAndNoTimer)
{
    QSignalSpy until(service.get(), &IdleService::keepAwakeUntilChanged);
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::indefinite));
    EXPECT_TRUE(service->isKeepingAwake());
    EXPECT_EQ(service->keepAwakeUntil(), std::nullopt);
    EXPECT_EQ(until.count(), 0) << "nil to nil is no change";
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.advance(100h);
    EXPECT_TRUE(service->isKeepingAwake());
}

TEST_F(IdleServiceTest, StartingAgainReleasesTheFirstAndRestartsThePeriod)
{
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    scheduler.advance(30min);
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    EXPECT_EQ(inhibitor->calls(), (std::vector{inhibited(1), released(1), inhibited(2)}));
    EXPECT_EQ(service->keepAwakeUntil(), clock.now() + 1h);

    scheduler.advance(31min); // past the first period's end
    EXPECT_TRUE(service->isKeepingAwake()) << "the first period's timer was cancelled";
    scheduler.advance(29min);
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_EQ(inhibitor->calls().back(), released(2));
}

TEST_F(IdleServiceTest, TogglingTwiceEndsOff)
{
    service->toggleKeepAwake(KeepAwakeDuration::twoHours);
    EXPECT_TRUE(service->isKeepingAwake());
    service->toggleKeepAwake(KeepAwakeDuration::twoHours);
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_EQ(service->keepAwakeUntil(), std::nullopt);
    EXPECT_EQ(inhibitor->calls(), (std::vector{inhibited(1), released(1)}));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(IdleServiceTest, StoppingWhileOffChangesAndReleasesNothing)
{
    QSignalSpy keeping(service.get(), &IdleService::isKeepingAwakeChanged);
    QSignalSpy until(service.get(), &IdleService::keepAwakeUntilChanged);
    service->stopKeepAwake();
    EXPECT_TRUE(inhibitor->calls().empty());
    EXPECT_EQ(keeping.count() + until.count(), 0);
}

TEST_F(IdleServiceTest, ARefusedKeepAwakeLeavesTheServiceOff)
{
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    inhibitor->setRefusing(true);
    EXPECT_FALSE(service->isKeepAwakeAvailable());
    EXPECT_FALSE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_EQ(service->keepAwakeUntil(), std::nullopt);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_TRUE(inhibitor->held().empty()) << "the earlier keep-awake ended first";
}

TEST_F(IdleServiceTest, AKeepAwakeTheDesktopRefusesLateEndsWithoutARelease)
{
    QSignalSpy keeping(service.get(), &IdleService::isKeepingAwakeChanged);
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    ASSERT_TRUE(service->keepAwakeUntil());

    inhibitor->refuseHeld(1);
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_EQ(service->keepAwakeUntil(), std::nullopt);
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "the expiry went with it";
    EXPECT_EQ(keeping.count(), 2);
    service->stopKeepAwake();
    EXPECT_EQ(inhibitor->calls(), std::vector{inhibited(1)}) << "nothing left to release";

    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::indefinite));
    inhibitor->refuseHeld(1); // an old id: the new keep-awake stays
    EXPECT_TRUE(service->isKeepingAwake());
}

TEST_F(IdleServiceTest, StopShutDownAndDestructionReleaseTheKeepAwake)
{
    // Forwards to an inhibitor the test keeps, so it can be read after the
    // service that owned this one is gone.
    struct Borrowed final : DisplaySleepInhibitor {
        explicit Borrowed(FakeDisplaySleepInhibitor& fake) : fake(fake) {}
        bool isAvailable() override { return fake.isAvailable(); }
        std::optional<std::uint32_t> inhibit(const std::string& reason) override { return fake.inhibit(reason); }
        void release(std::uint32_t id) override { fake.release(id); }
        void setLostHandler(LostHandler handler) override { fake.setLostHandler(std::move(handler)); }
        FakeDisplaySleepInhibitor& fake;
    };
    struct Row {
        const char* why;
        void (*end)(std::unique_ptr<IdleService>&);
    } rows[] = {
        {"stop()", [](auto& idle) { idle->stop(); }},
        {"shutDown()", [](auto& idle) { idle->shutDown(); }},
        {"destruction", [](auto& idle) { idle.reset(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        FakeDisplaySleepInhibitor fake;
        auto lockMonitor = std::make_unique<FakeScreenLockMonitor>();
        const FakeScreenLockMonitor* lockMonitorSeen = lockMonitor.get();
        auto idle = std::make_unique<IdleService>(std::make_unique<Borrowed>(fake), std::move(lockMonitor), scheduler,
                                                  clock);
        idle->start();
        ASSERT_TRUE(idle->startKeepAwake(KeepAwakeDuration::oneHour));
        row.end(idle);
        EXPECT_EQ(fake.calls(), (std::vector{inhibited(1), released(1)}));
        if (idle) {
            EXPECT_FALSE(idle->isKeepingAwake());
            EXPECT_FALSE(lockMonitorSeen->isFollowing());
        }
        scheduler.advance(2h); // a cancelled expiry touches nothing, dead or alive
        EXPECT_EQ(fake.calls().size(), 2u);
    }
}

TEST_F(IdleServiceTest, EveryLockAnnouncementReachesTheCallback)
{
    QSignalSpy locked(service.get(), &IdleService::isScreenLockedChanged);
    service->start();
    monitor->announce(true);
    monitor->announce(true);
    EXPECT_TRUE(service->isScreenLocked());
    monitor->announce(false);
    EXPECT_FALSE(service->isScreenLocked());
    EXPECT_EQ(lockEvents,
              (std::vector{ScreenLockEvent::locked, ScreenLockEvent::locked, ScreenLockEvent::unlocked}));
    EXPECT_EQ(locked.count(), 2) << "the property changed twice, the callback ran three times";
}

TEST_F(IdleServiceTest, StartingTwiceKeepsOneSubscription)
{
    service->start();
    service->start();
    EXPECT_EQ(monitor->startCount(), 2);
    monitor->announce(true);
    EXPECT_EQ(lockEvents.size(), 1u);

    service->stop();
    monitor->announce(false);
    EXPECT_EQ(lockEvents.size(), 1u) << "no callback after stop()";
}

TEST_F(IdleServiceTest, WithoutDBusKeepAwakeIsUnavailableAndNothingIsAnnounced)
{
    const QDBusConnection none("no-such-connection");
    auto* lockMonitor = new DBusScreenLockMonitor(none, none);
    IdleService idle(std::make_unique<ScreenSaverInhibitor>(none), std::unique_ptr<ScreenLockMonitor>(lockMonitor),
                     scheduler, clock);
    std::vector<ScreenLockEvent> events;
    idle.setOnLockEvent([&](ScreenLockEvent event) { events.push_back(event); });
    idle.start();
    testsupport::processEvents();
    EXPECT_TRUE(lockMonitor->isSettled());
    EXPECT_EQ(lockMonitor->source(), DBusScreenLockMonitor::Source::none);

    EXPECT_FALSE(idle.isKeepAwakeAvailable());
    EXPECT_FALSE(idle.startKeepAwake(KeepAwakeDuration::oneHour));
    EXPECT_FALSE(idle.isKeepingAwake());
    EXPECT_EQ(idle.keepAwakeUntil(), std::nullopt);
    idle.toggleKeepAwake(KeepAwakeDuration::indefinite);
    EXPECT_FALSE(idle.isKeepingAwake());
    EXPECT_TRUE(events.empty());
}

} // namespace
