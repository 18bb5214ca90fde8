#include "Platform/Bluetooth/BluezBluetoothBackend.h"

#include "BluezMock.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

#include <signal.h>

#include <map>
#include <memory>
#include <optional>

namespace {

using testsupport::waitUntil;
using Kind = BluetoothBackendEvent::Kind;

constexpr auto kBudsAddress = "AA:BB:CC:DD:EE:01";

// A private bus standing in for the system bus, a connection to it and a
// fake BlueZ that each test starts when it needs one.
class BluezBluetoothBackendTest : public testing::Test {
protected:
    explicit BluezBluetoothBackendTest(QString extraPolicy = {}) : m_bus(std::move(extraPolicy)) {}

    void SetUp() override
    {
        ASSERT_TRUE(m_bus.start()) << "dbus-daemon did not start";
        m_name = QString("bluez-test-%1").arg(++s_connections);
        connection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_bus.address(), m_name));
        ASSERT_TRUE(connection->isConnected());
        bluez = std::make_unique<testsupport::BluezMock>(*connection);
        backend = std::make_unique<BluezBluetoothBackend>(*connection);
        backend->setEventHandler([this](const BluetoothBackendEvent& event) { events.push_back(event); });
    }

    void TearDown() override
    {
        backend.reset();
        bluez.reset();
        connection.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }

    void startBluez() { ASSERT_TRUE(bluez->start(m_bus)); }

    bool eventCount(std::size_t count)
    {
        return waitUntil([&] { return events.size() >= count; });
    }

    std::unique_ptr<QDBusConnection> connection;
    std::unique_ptr<testsupport::BluezMock> bluez;
    std::unique_ptr<BluezBluetoothBackend> backend;
    std::vector<BluetoothBackendEvent> events;

private:
    testsupport::PrivateSessionBus m_bus;
    QString m_name;
    static inline int s_connections = 0;
};

TEST_F(BluezBluetoothBackendTest, ReadsWhatTheStackHolds)
{
    EXPECT_EQ(backend->read(), BluetoothStackState{}) << "no BlueZ: unreachable, and no error";

    startBluez();
    EXPECT_EQ(backend->read().status, (BluetoothStackStatus{.reachable = true}));

    const QString adapter = bluez->addAdapter();
    const QString buds = bluez->addDevice(kBudsAddress, "Pixel Buds");
    bluez->setBattery(buds, 15);
    bluez->connectDevice(kBudsAddress);
    bluez->setPowered(adapter, false);

    const auto state = backend->read();
    EXPECT_EQ(state.status, (BluetoothStackStatus{.reachable = true, .hasAdapter = true, .powered = false}));
    EXPECT_EQ(state.status.authorization(), BluetoothAuthorization::allowedAlways);
    ASSERT_EQ(state.devices.size(), 1u);
    EXPECT_EQ(state.devices[0], (BluetoothDeviceInfo{.handle = buds.toStdString(),
                                                     .address = kBudsAddress,
                                                     .name = "Pixel Buds",
                                                     .alias = "Pixel Buds",
                                                     .connected = true,
                                                     .batteryPercentage = 15}));
}

TEST_F(BluezBluetoothBackendTest, FollowsConnectionsPowerAndTheStackComingAndGoing)
{
    startBluez();
    const QString adapter = bluez->addAdapter();
    const QString buds = bluez->addDevice(kBudsAddress, "Pixel Buds");
    ASSERT_EQ(backend->watch().status.powered, true);

    bluez->connectDevice(kBudsAddress);
    ASSERT_TRUE(eventCount(1));
    EXPECT_EQ(events[0].kind, Kind::deviceConnected);
    EXPECT_EQ(events[0].device.handle, buds.toStdString());
    EXPECT_EQ(events[0].device.name, "Pixel Buds");

    bluez->setPowered(adapter, false);
    ASSERT_TRUE(eventCount(2));
    EXPECT_EQ(events[1], (BluetoothBackendEvent{.kind = Kind::poweredChanged, .powered = false}));
    bluez->setPowered(adapter, true);
    ASSERT_TRUE(eventCount(3));

    // BlueZ going away ends the connection; coming back it is read again.
    bluez->stop();
    ASSERT_TRUE(eventCount(5));
    EXPECT_EQ(events[3].kind, Kind::deviceDisconnected);
    EXPECT_EQ(events[4], (BluetoothBackendEvent{.kind = Kind::poweredChanged, .powered = false}));
    startBluez();
    bluez->addAdapter();
    bluez->addDevice(kBudsAddress, "Pixel Buds");
    bluez->connectDevice(kBudsAddress);
    ASSERT_TRUE(eventCount(7));
    EXPECT_EQ(events[5].kind, Kind::poweredChanged);
    EXPECT_EQ(events[6].kind, Kind::deviceConnected);

    backend->unwatch();
    bluez->disconnectDevice(kBudsAddress);
    bluez->connectDevice(kBudsAddress);
    EXPECT_FALSE(waitUntil([&] { return events.size() > 7; }, std::chrono::milliseconds(300)))
        << "nothing arrives once unwatched";
}

// A stopped BlueZ holds nothing up: the watch starts at once, its answer
// comes once BlueZ does, and changes in between are followed.
TEST_F(BluezBluetoothBackendTest, StartingToWatchAStoppedStackReturnsAtOnce)
{
    startBluez();
    bluez->addAdapter();
    bluez->addDevice(kBudsAddress, "Pixel Buds");
    const auto pid = pid_t(bluez->pid());
    testsupport::StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.isStopped());
    std::optional<BluetoothStackState> answer;
    backend->startWatching([&](const BluetoothStackState& state) { answer = state; });
    EXPECT_FALSE(answer) << "no answer while BlueZ is stopped";

    ASSERT_TRUE(stopped.resume());
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(answer->status, (BluetoothStackStatus{.reachable = true, .hasAdapter = true, .powered = true}));
    ASSERT_EQ(answer->devices.size(), 1u);
    bluez->connectDevice(kBudsAddress);
    ASSERT_TRUE(eventCount(1));
    EXPECT_EQ(events[0].kind, Kind::deviceConnected);
}

TEST_F(BluezBluetoothBackendTest, ReadingTheStatusOfAStoppedStackReturnsAtOnce)
{
    std::optional<BluetoothStackStatus> absent;
    backend->readStatus([&](const BluetoothStackStatus& status) { absent = status; });
    ASSERT_TRUE(waitUntil([&] { return absent.has_value(); }));
    EXPECT_EQ(*absent, BluetoothStackStatus{}) << "no BlueZ: unreachable";

    startBluez();
    bluez->addAdapter();
    const auto pid = pid_t(bluez->pid());
    testsupport::StoppedProcess stopped(pid);
    ASSERT_TRUE(stopped.isStopped());
    std::optional<BluetoothStackStatus> answer;
    backend->readStatus([&](const BluetoothStackStatus& status) { answer = status; });
    EXPECT_FALSE(answer) << "no answer while BlueZ is stopped";

    ASSERT_TRUE(stopped.resume());
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, (BluetoothStackStatus{.reachable = true, .hasAdapter = true, .powered = true}));
}

TEST_F(BluezBluetoothBackendTest, AnUnwatchBeforeTheAnswerDropsIt)
{
    startBluez();
    bool first = false;
    bool second = false;
    backend->startWatching([&](const BluetoothStackState&) { first = true; });
    backend->unwatch();
    backend->startWatching([&](const BluetoothStackState&) { second = true; });
    // Answers come in the order asked: the first would be in by now.
    ASSERT_TRUE(waitUntil([&] { return second; }));
    EXPECT_FALSE(first);
}

TEST_F(BluezBluetoothBackendTest, ReadsABatteryLevelWithoutWaiting)
{
    startBluez();
    bluez->addAdapter();
    const QString buds = bluez->addDevice(kBudsAddress, "Pixel Buds");
    const QString mouse = bluez->addDevice("AA:BB:CC:DD:EE:02", "Mouse");
    bluez->setBattery(buds, 15);

    std::map<std::string, std::optional<int>> levels;
    for (const auto& handle : {buds.toStdString(), mouse.toStdString(), std::string("not a path"), std::string()})
        backend->readBattery(handle, [&levels, handle](std::optional<int> level) { levels[handle] = level; });
    EXPECT_TRUE(levels.empty()) << "answers come later, never inside the call";
    ASSERT_TRUE(waitUntil([&] { return levels.size() == 4; }));
    EXPECT_EQ(levels[buds.toStdString()], 15);
    EXPECT_EQ(levels[mouse.toStdString()], std::nullopt) << "a device without Battery1";
    EXPECT_EQ(levels["not a path"], std::nullopt);
    EXPECT_EQ(levels[""], std::nullopt);
}

TEST_F(BluezBluetoothBackendTest, PowerOnSwitchesTheRadioOn)
{
    std::optional<bool> answer;
    backend->powerOn([&](bool on) { answer = on; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_FALSE(*answer) << "no BlueZ: nothing to switch on";

    startBluez();
    const QString adapter = bluez->addAdapter();
    bluez->setPowered(adapter, false);
    answer.reset();
    backend->powerOn([&](bool on) { answer = on; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }));
    EXPECT_TRUE(*answer);
    EXPECT_TRUE(bluez->isPowered(adapter));
}

TEST_F(BluezBluetoothBackendTest, WithoutABusEverythingReadsUnreachable)
{
    BluezBluetoothBackend orphan(QDBusConnection("no-such-connection"));
    EXPECT_EQ(orphan.read(), BluetoothStackState{});
    EXPECT_EQ(orphan.watch(), BluetoothStackState{});
    std::optional<int> level = 1;
    bool answered = false;
    orphan.readBattery("/org/bluez/hci0/dev_1", [&](std::optional<int> value) {
        level = value;
        answered = true;
    });
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    EXPECT_EQ(level, std::nullopt);
}

TEST_F(BluezBluetoothBackendTest, TellsWhenTheStackOrAnAdapterAppears)
{
    int calls = 0;
    backend->setAvailabilityHandler([&] { ++calls; });
    startBluez();
    ASSERT_TRUE(waitUntil([&] { return calls == 1; })) << "BlueZ appearing";

    bluez->addAdapter();
    ASSERT_TRUE(waitUntil([&] { return calls == 2; })) << "an adapter added";
    // A device is no reason: only what can make a start succeed counts.
    bluez->addDevice(kBudsAddress, "Pixel Buds");
    bluez->addAdapter("hci1");
    ASSERT_TRUE(waitUntil([&] { return calls == 3; }));

    backend->setAvailabilityHandler({});
    bluez->addAdapter("hci2");
    bluez->stop();
    startBluez();
    bluez->addAdapter();
    testsupport::processEvents();
    EXPECT_EQ(calls, 3);
}

// A bus whose policy refuses BlueZ to this process.
class BluezAccessDeniedTest : public BluezBluetoothBackendTest {
protected:
    BluezAccessDeniedTest() : BluezBluetoothBackendTest(R"(<deny send_destination="org.bluez"/>)") {}
};

TEST_F(BluezAccessDeniedTest, ARefusalReadsAsDenied)
{
    startBluez();
    const auto state = backend->read();
    EXPECT_TRUE(state.status.accessDenied);
    EXPECT_FALSE(state.status.reachable);
    EXPECT_EQ(state.status.authorization(), BluetoothAuthorization::denied);
}

} // namespace
