#include "VudeServices/IdleService.h"

#include "Platform/Power/DBusScreenLockMonitor.h"
#include "Platform/Power/ScreenSaverInhibitor.h"
#include "PrivateBusTest.h"
#include "TestSupport.h"

#include <QDBusArgument>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

using testsupport::MockDBusService;

constexpr auto kScreenSaverPath = "/org/freedesktop/ScreenSaver";
constexpr auto kGnomePath = "/org/gnome/ScreenSaver";
const std::string kInhibit = "Inhibit Vude Vude \xE2\x80\x94 keep awake";

// The idle service over a fake screen saver on a private session bus (and an
// empty private system bus), with a manual scheduler for the expiry.
class IdleServiceSystemTest : public testsupport::PrivateBusTest {
protected:
    void TearDown() override { service.reset(); }

    void startScreenSaver()
    {
        ASSERT_TRUE(screenSaver.start(buses(), testsupport::dbusmockTemplate("screensaver.py"), false));
    }

    void startGnomeScreenSaver() { ASSERT_TRUE(gnome.start(buses(), "gnome_screensaver", false)); }

    void makeService()
    {
        auto monitorOwned = std::make_unique<DBusScreenLockMonitor>(session, system, "no-such-session");
        monitor = monitorOwned.get();
        service = std::make_unique<IdleService>(std::make_unique<ScreenSaverInhibitor>(session),
                                                std::move(monitorOwned), scheduler, clock);
        service->setOnLockEvent([this](ScreenLockEvent event) { lockEvents.push_back(event); });
    }

    /// What the fake screen saver was asked, as "Inhibit app reason" and
    /// "UnInhibit cookie".
    std::vector<std::string> screenSaverCalls()
    {
        std::vector<std::string> result;
        for (const auto& call : screenSaver.calls(kScreenSaverPath)) {
            if (call.method != "Inhibit" && call.method != "UnInhibit")
                continue;
            QStringList words{call.method};
            for (const auto& argument : call.arguments)
                words << argument.toString();
            result.push_back(words.join(' ').toStdString());
        }
        return result;
    }

    /// The cookies the fake screen saver still holds.
    QList<uint> held()
    {
        const QDBusMessage reply = screenSaver.mock("Held");
        if (reply.arguments().isEmpty())
            return {};
        return qdbus_cast<QList<uint>>(reply.arguments().constFirst());
    }

    QDBusConnection& session = sessionBus();
    QDBusConnection& system = systemBus();
    MockDBusService screenSaver{session, "org.freedesktop.ScreenSaver", kScreenSaverPath};
    MockDBusService gnome{session, "org.gnome.ScreenSaver", kGnomePath};
    ManualClock clock{kReferenceDate + 1000h};
    ManualScheduler scheduler{clock};
    DBusScreenLockMonitor* monitor = nullptr;
    std::unique_ptr<IdleService> service;
    std::vector<ScreenLockEvent> lockEvents;
};

TEST_F(IdleServiceSystemTest, AnHourOfKeepAwakeInhibitsWithTheReasonAndItsExpiryReleases)
{
    startScreenSaver();
    makeService();
    EXPECT_TRUE(service->isKeepAwakeAvailable());
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    EXPECT_TRUE(testsupport::waitUntil([&] { return held() == QList<uint>{1}; }));
    EXPECT_EQ(screenSaverCalls(), std::vector{kInhibit});

    // The release waits for the desktop's cookie, which may still be on
    // its way.
    scheduler.advance(1h);
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_TRUE(testsupport::waitUntil([&] { return held().isEmpty(); }));
    EXPECT_EQ(screenSaverCalls(), (std::vector<std::string>{kInhibit, "UnInhibit 1"}));
}

TEST_F(IdleServiceSystemTest, TogglingTwiceEndsOff)
{
    startScreenSaver();
    makeService();
    service->toggleKeepAwake(KeepAwakeDuration::indefinite);
    EXPECT_EQ(held(), QList<uint>{1});
    service->toggleKeepAwake(KeepAwakeDuration::indefinite);
    EXPECT_FALSE(service->isKeepingAwake());
    // A cookie asked for is let go as soon as it has come.
    EXPECT_TRUE(testsupport::waitUntil([&] { return held().isEmpty(); }));
    EXPECT_EQ(screenSaverCalls(), (std::vector<std::string>{kInhibit, "UnInhibit 1"}));
}

TEST_F(IdleServiceSystemTest, StartingAgainReleasesTheOldCookieFirst)
{
    startScreenSaver();
    makeService();
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::thirtyMinutes));
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::twoHours));
    // The first cookie is let go as soon as it has come, which may be after
    // the second was asked for.
    EXPECT_TRUE(testsupport::waitUntil([&] { return held() == QList<uint>{2}; }));
    auto calls = screenSaverCalls();
    std::ranges::sort(calls);
    EXPECT_EQ(calls, (std::vector<std::string>{kInhibit, kInhibit, "UnInhibit 1"}));
}

TEST_F(IdleServiceSystemTest, GoingAwayReleasesTheKeepAwake)
{
    startScreenSaver();
    makeService();
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::indefinite));
    service.reset();
    EXPECT_TRUE(testsupport::waitUntil([&] { return held().isEmpty(); }));
}

TEST_F(IdleServiceSystemTest, WithNothingToAskKeepAwakeIsUnavailable)
{
    makeService();
    EXPECT_FALSE(service->isKeepAwakeAvailable());
    EXPECT_FALSE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    EXPECT_FALSE(service->isKeepingAwake());
}

TEST_F(IdleServiceSystemTest, EveryLockIsAnnouncedOnceAndStartingTwiceKeepsOneSubscription)
{
    startGnomeScreenSaver();
    makeService();
    service->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return monitor->isSettled(); }));
    ASSERT_EQ(monitor->source(), DBusScreenLockMonitor::Source::gnomeScreenSaver);

    const auto setActive = [&](bool active) {
        const auto reply = gnome.call(kGnomePath, "org.gnome.ScreenSaver", "SetActive", {active});
        ASSERT_TRUE(testsupport::replied(reply));
    };
    setActive(true);
    setActive(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return lockEvents.size() == 2; }));
    EXPECT_TRUE(service->isScreenLocked());

    service->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return monitor->isSettled(); }));
    setActive(false);
    setActive(true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return lockEvents.size() >= 4; }));
    EXPECT_EQ(lockEvents, (std::vector{ScreenLockEvent::locked, ScreenLockEvent::locked, ScreenLockEvent::unlocked,
                                       ScreenLockEvent::locked}));
}

} // namespace
