#include "VudeServices/BluetoothService.h"

#include "BluetoothTestSupport.h"
#include "Platform/Bluetooth/FakeBluetoothBackend.h"

#include <gtest/gtest.h>

#include <optional>

#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Result = BluetoothService::StartResult;

// A service over a fake stack with one powered adapter and a pair of earbuds
// at 15 %, on a manual scheduler.
class BluetoothServiceTest : public ::testing::Test {
protected:
    BluetoothServiceTest()
    {
        auto backend = std::make_unique<FakeBluetoothBackend>();
        stack = backend.get();
        stack->addAdapter();
        buds = stack->addDevice("AA:BB:CC:DD:EE:01", "Pixel Buds");
        stack->setBattery(buds, 15);
        service = std::make_unique<BluetoothService>(std::move(backend), scheduler);
    }

    std::vector<BluetoothEvent> events()
    {
        const auto taken = service->events().takeAll();
        return {taken.begin(), taken.end()};
    }

    BluetoothDevice budsAt(std::optional<double> level) const
    {
        return {.address = "AA:BB:CC:DD:EE:01", .name = "Pixel Buds", .batteryPercent = level, .symbol = "headphones"};
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    FakeBluetoothBackend* stack = nullptr;
    std::string buds;
    std::unique_ptr<BluetoothService> service;
};

TEST_F(BluetoothServiceTest, AConnectionIsReportedAfterTheBatteryDelayThenWarnedAboutOnce)
{
    ASSERT_EQ(service->start(), Result::started);
    stack->connectDevice(buds);
    scheduler.advance(1499ms);
    EXPECT_TRUE(events().empty()) << "the device has 1.5 s to publish its level";

    scheduler.advance(1ms);
    EXPECT_EQ(events(), (std::vector{BluetoothEvent::connected(budsAt(0.15)),
                                     BluetoothEvent::lowBattery(budsAt(0.15), 0.15)}));
    EXPECT_EQ(stack->batteryReads(), std::vector{buds}) << "read once, at the delay";

    stack->disconnectDevice(buds);
    EXPECT_EQ(events(), std::vector{BluetoothEvent::disconnected(budsAt(std::nullopt))})
        << "reported at once, without levels";
}

TEST_F(BluetoothServiceTest, WarnsAtOrBelowTheThresholdOnly)
{
    struct Row {
        std::optional<int> percentage;
        bool warns;
        const char* why;
    } rows[] = {
        {20, true, "exactly the threshold"},
        {21, false, "just above"},
        {1, true, "nearly empty"},
        {0, false, "a level of 0 is no level"},
        {std::nullopt, false, "a device without battery data"},
    };
    ASSERT_EQ(service->start(), Result::started);
    EXPECT_EQ(service->lowBatteryThreshold(), 0.2);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        stack->setBattery(buds, row.percentage);
        stack->connectDevice(buds);
        scheduler.advance(1500ms);
        stack->disconnectDevice(buds);
        const auto received = events();
        ASSERT_EQ(received.size(), row.warns ? 3u : 2u);
        EXPECT_EQ(received[1].kind(), row.warns ? BluetoothEvent::Kind::lowBattery : BluetoothEvent::Kind::disconnected);
    }
}

TEST_F(BluetoothServiceTest, AWarnedDeviceIsWarnedAgainOnlyAfterADisconnect)
{
    ASSERT_EQ(service->start(), Result::started);
    stack->connectDevice(buds);
    scheduler.advance(1500ms);
    ASSERT_EQ(events().size(), 2u);

    // Stopping keeps the warning; the device is still the same connection.
    service->stop();
    ASSERT_EQ(service->start(), Result::started);
    stack->setBattery(buds, 10);
    scheduler.advance(10s);
    EXPECT_TRUE(events().empty());

    stack->disconnectDevice(buds);
    stack->connectDevice(buds);
    scheduler.advance(1500ms);
    EXPECT_EQ(events(), (std::vector{BluetoothEvent::disconnected(budsAt(std::nullopt)),
                                     BluetoothEvent::connected(budsAt(0.1)),
                                     BluetoothEvent::lowBattery(budsAt(0.1), 0.1)}));
}

TEST_F(BluetoothServiceTest, StartingTwiceFollowsEveryConnectionOnce)
{
    EXPECT_EQ(service->start(), Result::started);
    EXPECT_EQ(service->start(), Result::started);
    EXPECT_EQ(stack->watchCount(), 1);

    stack->connectDevice(buds);
    scheduler.advance(1500ms);
    stack->disconnectDevice(buds);
    EXPECT_EQ(events().size(), 3u) << "connected, lowBattery, disconnected: nothing twice";
}

TEST_F(BluetoothServiceTest, StartResultFollowsTheStack)
{
    struct Row {
        std::function<void(FakeBluetoothBackend&)> script;
        Result expected;
        const char* why;
    } rows[] = {
        {[](auto&) {}, Result::started, "a powered adapter"},
        {[](auto& s) { s.setPowered(false); }, Result::started, "a switched-off radio is no missing permission"},
        {[](auto& s) { s.removeAdapter(); }, Result::needsPermission, "a stack without an adapter"},
        {[](auto& s) { s.setReachable(false); }, Result::denied, "no stack at all"},
        {[](auto& s) { s.setAccessDenied(true); }, Result::denied, "the system refuses access"},
    };
    for (const auto& row : rows) {
        for (const bool waits : {true, false}) {
            SCOPED_TRACE(row.why);
            SCOPED_TRACE(waits ? "start()" : "start(done)");
            auto backend = std::make_unique<FakeBluetoothBackend>();
            auto* fake = backend.get();
            fake->addAdapter();
            row.script(*fake);
            BluetoothService other(std::move(backend), scheduler);
            std::optional<Result> result;
            if (waits)
                result = other.start();
            else
                other.start([&](Result answer) { result = answer; });
            EXPECT_EQ(result, row.expected);
            EXPECT_EQ(fake->isWatched(), row.expected == Result::started) << "nothing is followed without permission";
            EXPECT_EQ(other.isStarted(), row.expected == Result::started);
        }
    }
    EXPECT_EQ(rawValue(Result::needsPermission), "needsPermission");
}

TEST_F(BluetoothServiceTest, ADeviceThatLeavesBeforeItsReadIsNotReportedConnected)
{
    ASSERT_EQ(service->start(), Result::started);
    stack->connectDevice(buds);
    scheduler.advance(1s);
    stack->disconnectDevice(buds);
    scheduler.advance(1s);
    EXPECT_EQ(events(), std::vector{BluetoothEvent::disconnected(budsAt(std::nullopt))});

    // The same while the battery read is on its way.
    stack->holdBatteryReads(true);
    stack->connectDevice(buds);
    scheduler.advance(1500ms);
    stack->disconnectDevice(buds);
    stack->answerBatteryReads();
    EXPECT_EQ(events(), std::vector{BluetoothEvent::disconnected(budsAt(std::nullopt))});

    // A quick reconnect is reported once, for the connection that lasted.
    stack->holdBatteryReads(false);
    stack->connectDevice(buds);
    scheduler.advance(1s);
    stack->disconnectDevice(buds);
    stack->connectDevice(buds);
    scheduler.advance(2s);
    const auto received = events();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1], BluetoothEvent::connected(budsAt(0.15)));
}

TEST_F(BluetoothServiceTest, ADeviceConnectedBeforeStartReportsOnlyItsDisconnect)
{
    stack->connectDevice(buds);
    ASSERT_EQ(service->start(), Result::started);
    scheduler.advance(5s);
    EXPECT_TRUE(events().empty());
    stack->disconnectDevice(buds);
    EXPECT_EQ(events(), std::vector{BluetoothEvent::disconnected(budsAt(std::nullopt))});
}

TEST_F(BluetoothServiceTest, StopEndsReportingAndDropsPendingConnections)
{
    ASSERT_EQ(service->start(), Result::started);
    stack->connectDevice(buds);
    service->stop();
    scheduler.advance(2s);
    stack->disconnectDevice(buds);
    stack->connectDevice(buds);
    scheduler.advance(2s);
    EXPECT_TRUE(events().empty());
    EXPECT_FALSE(stack->isWatched());
}

TEST_F(BluetoothServiceTest, SwitchingTheRadioOffDisconnectsEachDeviceOnce)
{
    const auto mouse = stack->addDevice("AA:BB:CC:DD:EE:02", "Magic Mouse");
    stack->connectDevice(mouse);
    ASSERT_EQ(service->start(), Result::started);
    EXPECT_TRUE(service->isPowered());
    stack->connectDevice(buds);
    scheduler.advance(1500ms);
    events();

    stack->setPowered(false);
    const auto received = events();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].kind(), BluetoothEvent::Kind::disconnected);
    EXPECT_EQ(received[1].kind(), BluetoothEvent::Kind::disconnected);
    EXPECT_NE(received[0].device().address, received[1].device().address);
    EXPECT_FALSE(service->isPowered());
    EXPECT_EQ(service->authorization(), BluetoothAuthorization::allowedAlways);
}

TEST_F(BluetoothServiceTest, ABurstKeepsTheNewestEightEvents)
{
    ASSERT_EQ(service->start(), Result::started);
    stack->setBattery(buds, 90);
    std::vector<std::string> devices{buds};
    for (int i = 2; i <= 10; ++i)
        devices.push_back(stack->addDevice("AA:BB:CC:DD:EE:" + std::to_string(10 + i), "Device " + std::to_string(i)));
    for (const auto& device : devices)
        stack->connectDevice(device);
    scheduler.advance(1500ms);
    const auto received = events();
    ASSERT_EQ(received.size(), 8u);
    EXPECT_EQ(received.back().device().name, "Device 10");
    EXPECT_EQ(received.front().device().name, "Device 3");
}

TEST_F(BluetoothServiceTest, APermissionRequestSwitchesTheRadioOnAndAnswersHalfASecondLater)
{
    stack->setPowered(false);
    std::vector<bool> answers;
    service->requestPermission([&](bool granted) { answers.push_back(granted); });
    EXPECT_EQ(stack->powerOnCount(), 1);
    EXPECT_EQ(service->connectedDevices().size(), 0u);
    scheduler.advance(499ms);
    EXPECT_TRUE(answers.empty());
    scheduler.advance(1ms);
    EXPECT_EQ(answers, std::vector{true});

    stack->setReachable(false);
    service->requestPermission([&](bool granted) { answers.push_back(granted); });
    scheduler.advance(500ms);
    EXPECT_EQ(answers, (std::vector{true, false}));

    service->requestPermission([&](bool granted) { answers.push_back(granted); });
    service.reset();
    scheduler.advance(500ms);
    EXPECT_EQ(answers.size(), 2u) << "no answer once the service is gone";
}

TEST_F(BluetoothServiceTest, ConnectedDevicesCarryTheirBatteryLevel)
{
    const auto mouse = stack->addDevice("AA:BB:CC:DD:EE:02", "", "Magic Mouse");
    stack->connectDevice(buds);
    stack->connectDevice(mouse);
    const auto devices = service->connectedDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0], budsAt(0.15));
    EXPECT_EQ(devices[1].name, "Magic Mouse");
    EXPECT_EQ(devices[1].symbol, "magicmouse.fill");
    EXPECT_EQ(devices[1].batteryPercent, std::nullopt);
}

} // namespace
