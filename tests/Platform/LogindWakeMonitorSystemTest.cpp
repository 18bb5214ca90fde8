#include "Platform/Shell/SystemWakeMonitor.h"

#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

// logind on a private bus: a second connection takes logind's name and
// announces sleep and wake the way logind does.
class LogindWakeMonitorSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.start());
        m_listener = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_bus.address(), "listener"));
        m_logind = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_bus.address(), "logind"));
        ASSERT_TRUE(m_listener->isConnected() && m_logind->isConnected());
    }

    void TearDown() override
    {
        m_listener.reset();
        m_logind.reset();
        QDBusConnection::disconnectFromBus("listener");
        QDBusConnection::disconnectFromBus("logind");
    }

    static void announce(QDBusConnection& from, bool starting)
    {
        QDBusMessage signal = QDBusMessage::createSignal(LogindWakeMonitor::kPath, LogindWakeMonitor::kInterface,
                                                         "PrepareForSleep");
        signal << starting;
        from.send(signal);
    }

    testsupport::PrivateSessionBus m_bus;
    std::unique_ptr<QDBusConnection> m_listener;
    std::unique_ptr<QDBusConnection> m_logind;
};

TEST_F(LogindWakeMonitorSystemTest, WakesOnlyWhenLogindSaysSleepEnded)
{
    ASSERT_TRUE(m_logind->registerService(LogindWakeMonitor::kService));
    LogindWakeMonitor monitor(*m_listener);
    ASSERT_TRUE(monitor.isAvailable());
    QSignalSpy woke(&monitor, &SystemWakeMonitor::didWake);

    announce(*m_logind, true);
    announce(*m_logind, false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return woke.count() == 1; }));

    // The same signal from anybody but logind wakes nothing.
    auto impostor = QDBusConnection::connectToBus(m_bus.address(), "impostor");
    announce(impostor, false);
    announce(*m_logind, true);
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(woke.count(), 1);
    QDBusConnection::disconnectFromBus("impostor");
}

TEST_F(LogindWakeMonitorSystemTest, HearsNothingUntilWatchedAndWatchesOnce)
{
    ASSERT_TRUE(m_logind->registerService(LogindWakeMonitor::kService));
    LogindWakeMonitor monitor;
    EXPECT_FALSE(monitor.isAvailable());
    QSignalSpy woke(&monitor, &SystemWakeMonitor::didWake);
    announce(*m_logind, false);
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(woke.count(), 0);

    monitor.watch(*m_listener);
    monitor.watch(*m_listener);
    ASSERT_TRUE(monitor.isAvailable());
    announce(*m_logind, false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return woke.count() >= 1; }));
    testsupport::waitUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(woke.count(), 1) << "one wake, however often watched";
}

TEST_F(LogindWakeMonitorSystemTest, WithoutABusItIsUnavailableAndSilent)
{
    LogindWakeMonitor monitor(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "nobus"));
    EXPECT_FALSE(monitor.isAvailable());
    QDBusConnection::disconnectFromBus("nobus");
}

} // namespace
