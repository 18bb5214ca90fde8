#include "VudeServices/BatteryService.h"

#include "BatteryTestSupport.h"
#include "Platform/Power/FakePowerSource.h"
#include "Platform/Power/UPowerPowerSource.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Events = std::vector<BatteryEvent>;

PowerSourceReading onBattery(double percentage, std::optional<double> timeRemaining = {})
{
    return {.percentage = percentage, .timeRemaining = timeRemaining};
}

PowerSourceReading charging(double percentage)
{
    return {.percentage = percentage, .isCharging = true, .isPluggedIn = true};
}

// A service over a fake power source; every event it publishes lands in
// `received`, on the main thread. A test ends with a change whose event shows
// that nothing else was published before it.
class BatteryServiceTest : public ::testing::Test {
protected:
    void makeService(std::optional<PowerSourceReading> battery, bool connected = true)
    {
        auto source = std::make_unique<FakePowerSource>(battery, connected);
        fake = source.get();
        makeService(std::move(source));
    }

    void makeService(std::unique_ptr<PowerSource> source)
    {
        service = std::make_unique<BatteryService>(std::move(source));
        service->events().consume(&receiver, [this](const BatteryEvent& event) { received.push_back(event); });
    }

    bool receivedCount(std::size_t count)
    {
        return testsupport::waitUntil([&] { return received.size() >= count; });
    }

    QObject receiver;
    FakePowerSource* fake = nullptr;
    std::unique_ptr<BatteryService> service;
    Events received;
};

TEST_F(BatteryServiceTest, ComparesEachChangeWithTheStateReadAtStart)
{
    makeService(charging(0.6));
    service->setLowBatteryThreshold(0.3);
    service->start();
    ASSERT_TRUE(service->previous());
    EXPECT_TRUE(service->previous()->isPluggedIn);

    fake->changeBattery(onBattery(0.6));
    fake->changeBattery(onBattery(0.45));
    fake->changeBattery(onBattery(0.3));
    fake->changeLowPowerMode(true);
    ASSERT_TRUE(receivedCount(3));
    EXPECT_EQ(received, (Events{BatteryEvent::unplugged(0.6), BatteryEvent::lowBattery(0.3),
                                BatteryEvent::lowPowerMode(true)}));
    EXPECT_EQ(service->events().capacity(), 8u);
}

TEST_F(BatteryServiceTest, StopEndsBatteryEventsButNotThePowerSavingMode)
{
    makeService(charging(0.6));
    service->start();
    service->stop();
    fake->changeBattery(onBattery(0.1));
    fake->changeLowPowerMode(true);
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::lowPowerMode(true)});

    // Starting again compares with a fresh reading, not with the state
    // before the stop.
    service->start();
    fake->changeBattery(charging(0.1));
    ASSERT_TRUE(receivedCount(2));
    EXPECT_EQ(received.back(), BatteryEvent::pluggedIn(0.1));
    EXPECT_EQ(received.size(), 2u);
}

// A daemon slow to answer at start holds nothing up, and what it reports
// before its first answer is how things stood at start, not a change.
TEST_F(BatteryServiceTest, StartNeverWaitsAndChangesBeforeTheFirstReadingRaiseNothing)
{
    makeService(charging(0.6));
    fake->holdReads();
    service->start();
    EXPECT_FALSE(service->previous()) << "nothing read yet";
    fake->changeBattery(onBattery(0.5, 600));
    fake->changeLowPowerMode(true);
    fake->releaseReads();
    ASSERT_TRUE(service->previous());
    EXPECT_EQ(*service->previous(), (BatteryState{.percentage = 0.5, .lowPowerMode = true, .timeRemaining = 600}));

    fake->changeBattery(charging(0.5));
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::pluggedIn(0.5)}) << "the first event is the first change after start";
}

TEST_F(BatteryServiceTest, AStopBeforeTheFirstReadingIsKept)
{
    makeService(onBattery(0.5));
    fake->holdReads();
    service->start();
    service->stop();
    fake->releaseReads();
    fake->changeBattery(charging(0.5));
    fake->changeLowPowerMode(true);
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::lowPowerMode(true)}) << "battery changes after stop raise nothing";
}

TEST_F(BatteryServiceTest, AMachineWithoutABatteryKeepsTheDefaultStateAndStaysSilent)
{
    makeService(std::nullopt);
    service->start();
    fake->changeBattery(std::nullopt);
    fake->changeBattery(std::nullopt);
    EXPECT_EQ(service->currentState(), BatteryState{});

    fake->changeLowPowerMode(true);
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::lowPowerMode(true)}) << "no low-battery warning for a missing battery";
    EXPECT_EQ(service->currentState(), BatteryState{.lowPowerMode = true});
}

TEST_F(BatteryServiceTest, ABatteryThatAppearsLaterIsTakenAsItIs)
{
    // The daemon starts after the app, or the battery is slotted in: its first
    // reading is no change from the made-up default state.
    makeService(std::nullopt);
    service->start();
    fake->changeBattery(onBattery(0.1));
    fake->changeBattery(charging(0.1));
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::pluggedIn(0.1)});
}

TEST_F(BatteryServiceTest, CurrentStateIsAFreshReading)
{
    makeService(onBattery(0.5, 5700));
    EXPECT_EQ(service->currentState(), (BatteryState{.percentage = 0.5, .timeRemaining = 5700}));
    fake->changeBattery(charging(0.7));
    fake->changeLowPowerMode(true);
    EXPECT_EQ(service->currentState(),
              (BatteryState{.percentage = 0.7, .isCharging = true, .isPluggedIn = true, .lowPowerMode = true}));
    EXPECT_TRUE(received.empty()) << "nothing is published before start()";
}

TEST_F(BatteryServiceTest, WithoutASystemBusItStartsAndPublishesNothing)
{
    makeService(std::make_unique<UPowerPowerSource>(QDBusConnection("no-such-connection")));
    service->start();
    testsupport::processEvents();
    EXPECT_EQ(service->currentState(), BatteryState{});
    EXPECT_EQ(service->previous(), BatteryState{});
    EXPECT_TRUE(received.empty());
}

} // namespace
