#include "VudeServices/IdleService.h"

#include "MockDBusService.h"
#include "Platform/Power/DBusScreenLockMonitor.h"
#include "Platform/Power/ScreenSaverInhibitor.h"
#include "TestSupport.h"

#include <QDBusArgument>

#include <gtest/gtest.h>

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
class IdleServiceSystemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_buses = std::make_unique<testsupport::PrivateBusPair>();
        if (!s_buses->start())
            s_buses.reset();
    }
    static void TearDownTestSuite() { s_buses.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_buses) << "dbus-daemon did not start";
        const int number = ++s_connections;
        m_sessionName = QString("idle-session-%1").arg(number);
        m_systemName = QString("idle-system-%1").arg(number);
        session = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(s_buses->sessionAddress(), m_sessionName));
        system = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(s_buses->systemAddress(), m_systemName));
        ASSERT_TRUE(session->isConnected() && system->isConnected());
        screenSaver = std::make_unique<MockDBusService>(*session, "org.freedesktop.ScreenSaver", kScreenSaverPath);
        gnome = std::make_unique<MockDBusService>(*session, "org.gnome.ScreenSaver", kGnomePath);
    }

    void TearDown() override
    {
        service.reset();
        screenSaver.reset();
        gnome.reset();
        session.reset();
        system.reset();
        QDBusConnection::disconnectFromBus(m_sessionName);
        QDBusConnection::disconnectFromBus(m_systemName);
    }

    void startScreenSaver()
    {
        const QString fixture = testsupport::sourceDir() + "/tests/Platform/fixtures/screensaver.py";
        ASSERT_TRUE(screenSaver->start(*s_buses, fixture, false));
    }

    void startGnomeScreenSaver() { ASSERT_TRUE(gnome->start(*s_buses, "gnome_screensaver", false)); }

    void makeService()
    {
        auto monitorOwned = std::make_unique<DBusScreenLockMonitor>(*session, *system, "no-such-session");
        monitor = monitorOwned.get();
        service = std::make_unique<IdleService>(std::make_unique<ScreenSaverInhibitor>(*session),
                                                std::move(monitorOwned), scheduler, clock);
        service->setOnLockEvent([this](ScreenLockEvent event) { lockEvents.push_back(event); });
    }

    /// What the fake screen saver was asked, as "Inhibit app reason" and
    /// "UnInhibit cookie".
    std::vector<std::string> screenSaverCalls()
    {
        std::vector<std::string> result;
        for (const auto& call : screenSaver->calls(kScreenSaverPath)) {
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
        const QDBusMessage reply = screenSaver->mock("Held");
        if (reply.arguments().isEmpty())
            return {};
        return qdbus_cast<QList<uint>>(reply.arguments().constFirst());
    }

    std::unique_ptr<QDBusConnection> session;
    std::unique_ptr<QDBusConnection> system;
    std::unique_ptr<MockDBusService> screenSaver;
    std::unique_ptr<MockDBusService> gnome;
    ManualClock clock{kReferenceDate + 1000h};
    ManualScheduler scheduler{clock};
    DBusScreenLockMonitor* monitor = nullptr;
    std::unique_ptr<IdleService> service;
    std::vector<ScreenLockEvent> lockEvents;

private:
    static inline std::unique_ptr<testsupport::PrivateBusPair> s_buses;
    static inline int s_connections = 0;
    QString m_sessionName;
    QString m_systemName;
};

TEST_F(IdleServiceSystemTest, AnHourOfKeepAwakeInhibitsWithTheReasonAndItsExpiryReleases)
{
    startScreenSaver();
    makeService();
    EXPECT_TRUE(service->isKeepAwakeAvailable());
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::oneHour));
    EXPECT_EQ(screenSaverCalls(), std::vector{kInhibit});
    EXPECT_EQ(held(), QList<uint>{1});

    scheduler.advance(1h);
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_EQ(screenSaverCalls(), (std::vector<std::string>{kInhibit, "UnInhibit 1"}));
    EXPECT_TRUE(held().isEmpty());
}

TEST_F(IdleServiceSystemTest, TogglingTwiceEndsOff)
{
    startScreenSaver();
    makeService();
    service->toggleKeepAwake(KeepAwakeDuration::indefinite);
    EXPECT_EQ(held(), QList<uint>{1});
    service->toggleKeepAwake(KeepAwakeDuration::indefinite);
    EXPECT_FALSE(service->isKeepingAwake());
    EXPECT_TRUE(held().isEmpty());
    EXPECT_EQ(screenSaverCalls(), (std::vector<std::string>{kInhibit, "UnInhibit 1"}));
}

TEST_F(IdleServiceSystemTest, StartingAgainReleasesTheOldCookieFirst)
{
    startScreenSaver();
    makeService();
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::thirtyMinutes));
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::twoHours));
    EXPECT_EQ(screenSaverCalls(),
              (std::vector<std::string>{kInhibit, "UnInhibit 1", kInhibit}));
    EXPECT_EQ(held(), QList<uint>{2});
}

TEST_F(IdleServiceSystemTest, GoingAwayReleasesTheKeepAwake)
{
    startScreenSaver();
    makeService();
    ASSERT_TRUE(service->startKeepAwake(KeepAwakeDuration::indefinite));
    service.reset();
    EXPECT_TRUE(held().isEmpty());
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
        const auto reply = gnome->call(kGnomePath, "org.gnome.ScreenSaver", "SetActive", {active});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
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
