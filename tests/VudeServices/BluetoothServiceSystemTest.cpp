#include "VudeServices/BluetoothService.h"

#include "BluetoothTestSupport.h"
#include "BluezMock.h"
#include "Platform/Bluetooth/BluezBluetoothBackend.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusMessage>

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <memory>

namespace {

using namespace std::chrono_literals;
using testsupport::waitUntil;
using Kind = BluetoothEvent::Kind;

constexpr auto kBudsAddress = "AA:BB:CC:DD:EE:01";

// The service over the real BlueZ backend, talking to a fake BlueZ on a
// private bus, with delays on a manual scheduler.
class BluetoothServiceSystemTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.start()) << "dbus-daemon did not start";
        m_name = QString("bluetooth-service-test-%1").arg(++s_connections);
        connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus.address(), m_name));
        ASSERT_TRUE(connection->isConnected());
        bluez = std::make_unique<testsupport::BluezMock>(*connection);
        service = std::make_unique<BluetoothService>(std::make_unique<BluezBluetoothBackend>(*connection), scheduler);
    }

    void TearDown() override
    {
        service.reset();
        bluez.reset();
        connection.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }

    // Lets every signal the fake sent before its last answer reach the
    // service: a round trip to the bus comes back after them.
    void settle()
    {
        connection->call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus", "GetId"));
        testsupport::processEvents();
    }

    // Takes the events published so far, waiting until there are `count`.
    std::vector<BluetoothEvent> take(std::size_t count)
    {
        waitUntil([&] {
            for (auto& event : service->events().takeAll())
                received.push_back(std::move(event));
            return received.size() >= count;
        });
        return std::exchange(received, {});
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    std::unique_ptr<QDBusConnection> connection;
    std::unique_ptr<testsupport::BluezMock> bluez;
    std::unique_ptr<BluetoothService> service;
    std::vector<BluetoothEvent> received;
    testsupport::PrivateSessionBus bus;

private:
    QString m_name;
    static inline int s_connections = 0;
};

TEST_F(BluetoothServiceSystemTest, ALowDeviceConnectsAfterTheDelayAndIsWarnedOncePerConnection)
{
    ASSERT_TRUE(bluez->start(bus));
    bluez->addAdapter();
    const QString buds = bluez->addDevice(kBudsAddress, "Pixel Buds");
    bluez->setBattery(buds, 15);
    ASSERT_EQ(service->start(), BluetoothService::StartResult::started);
    ASSERT_EQ(service->start(), BluetoothService::StartResult::started) << "a second start changes nothing";

    bluez->connectDevice(kBudsAddress);
    settle();
    scheduler.advance(1499ms);
    EXPECT_TRUE(take(0).empty());
    scheduler.advance(1ms);
    const BluetoothDevice low{.address = kBudsAddress, .name = "Pixel Buds", .batteryPercent = 0.15,
                              .symbol = "headphones"};
    EXPECT_EQ(take(2), (std::vector{BluetoothEvent::connected(low), BluetoothEvent::lowBattery(low, 0.15)}));

    // Nothing more while it stays connected, however long.
    scheduler.advance(60s);
    settle();
    EXPECT_TRUE(take(0).empty());

    bluez->disconnectDevice(kBudsAddress);
    const auto gone = take(1);
    ASSERT_EQ(gone.size(), 1u) << "one disconnect, not one per start() call";
    EXPECT_EQ(gone[0].kind(), Kind::disconnected);
    EXPECT_EQ(gone[0].device().batteryPercent, std::nullopt);

    bluez->connectDevice(kBudsAddress);
    settle();
    scheduler.advance(1500ms);
    const auto again = take(2);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1], BluetoothEvent::lowBattery(low, 0.15)) << "warned again after the disconnect";
}

TEST_F(BluetoothServiceSystemTest, WithoutBluezStartIsDeniedAndNothingBreaks)
{
    EXPECT_EQ(service->start(), BluetoothService::StartResult::denied);
    EXPECT_FALSE(service->isStarted());
    EXPECT_EQ(service->authorization(), BluetoothAuthorization::notDetermined);
    EXPECT_TRUE(service->connectedDevices().empty());

    bool answered = false;
    bool granted = true;
    service->requestPermission([&](bool value) {
        answered = true;
        granted = value;
    });
    scheduler.advance(500ms);
    ASSERT_TRUE(waitUntil([&] { return answered; })) << "asked of the stack after the delay";
    EXPECT_FALSE(granted);

    BluetoothService unconnected(std::make_unique<BluezBluetoothBackend>(QDBusConnection("no-such-connection")),
                                 scheduler);
    EXPECT_EQ(unconnected.start(), BluetoothService::StartResult::denied);
}

TEST_F(BluetoothServiceSystemTest, ASwitchedOffRadioIsAllowedAndARequestSwitchesItOn)
{
    ASSERT_TRUE(bluez->start(bus));
    const QString adapter = bluez->addAdapter();
    bluez->setPowered(adapter, false);
    EXPECT_EQ(service->authorization(), BluetoothAuthorization::allowedAlways);
    ASSERT_EQ(service->start(), BluetoothService::StartResult::started);
    EXPECT_FALSE(service->isPowered());

    std::optional<bool> granted;
    service->requestPermission([&](bool value) { granted = value; });
    ASSERT_TRUE(waitUntil([&] { return bluez->isPowered(adapter); }));
    ASSERT_TRUE(waitUntil([&] { return service->isPowered(); })) << "the service follows the radio";
    scheduler.advance(500ms);
    ASSERT_TRUE(waitUntil([&] { return granted.has_value(); }));
    EXPECT_EQ(granted, true);
}

TEST_F(BluetoothServiceSystemTest, ARequestsAnswerWaitsOnAStoppedBluezWithoutHoldingTheCaller)
{
    ASSERT_TRUE(bluez->start(bus));
    bluez->addAdapter();
    std::optional<bool> granted;
    service->requestPermission([&](bool value) { granted = value; });
    const auto pid = pid_t(bluez->pid());
    testsupport::StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.isStopped());
    scheduler.advance(500ms); // the answer is read now, of a stack that cannot say
    EXPECT_FALSE(granted);

    ASSERT_TRUE(stopped.resume());
    ASSERT_TRUE(waitUntil([&] { return granted.has_value(); }));
    EXPECT_EQ(granted, true);
}

} // namespace
