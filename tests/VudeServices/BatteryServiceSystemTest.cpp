#include "VudeServices/BatteryService.h"

#include "BatteryTestSupport.h"
#include "Platform/Power/UPowerPowerSource.h"
#include "PrivateBusTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using Events = std::vector<BatteryEvent>;
using testsupport::MockDBusService;

constexpr auto kUPowerPath = "/org/freedesktop/UPower";
constexpr auto kUPowerInterface = "org.freedesktop.UPower";
constexpr auto kProfilesPath = "/net/hadess/PowerProfiles";
constexpr auto kProfilesInterface = "net.hadess.PowerProfiles";

// UPower's device states.
constexpr uint charging = 1, discharging = 2;

// The battery service over UPower and power-profiles-daemon mocks on a
// private system bus. Every event lands in `received`. A test ends with a
// change whose event shows that nothing else came before it: events of one
// source arrive in the order of its changes.
class BatteryServiceSystemTest : public testsupport::PrivateBusTest {
protected:
    void TearDown() override { service.reset(); }

    void startUPower(bool onBattery)
    {
        ASSERT_TRUE(upower.start(buses(), "upower", true,
                                 QString(R"({"OnBattery": %1})").arg(onBattery ? "true" : "false")));
    }

    void startProfiles(const QString& profile)
    {
        ASSERT_TRUE(profiles.start(buses(), "power_profiles_daemon", true,
                                   QString(R"({"ActiveProfile": "%1"})").arg(profile)));
    }

    // Sets every property of the display device at once, as UPower does: one
    // PropertiesChanged signal per property.
    void setDisplayDevice(uint state, double percentage, qlonglong timeToEmpty, qlonglong timeToFull,
                          bool isPresent = true)
    {
        const auto reply = upower.mock("SetupDisplayDevice",
                                       {2u, state, percentage, percentage, 100.0, 10.0, timeToEmpty, timeToFull,
                                        isPresent, QString("battery"), 1u});
        ASSERT_TRUE(testsupport::replied(reply));
    }

    void setOnBattery(bool onBattery)
    {
        const auto reply = upower.setProperty(kUPowerPath, kUPowerInterface, "OnBattery", onBattery);
        ASSERT_TRUE(testsupport::replied(reply));
    }

    void setProfile(const QString& profile)
    {
        const auto reply = profiles.setProperty(kProfilesPath, kProfilesInterface, "ActiveProfile", profile);
        ASSERT_TRUE(testsupport::replied(reply));
    }

    void makeService()
    {
        service = std::make_unique<BatteryService>(std::make_unique<UPowerPowerSource>(bus));
        service->events().consume(&receiver, [this](const BatteryEvent& event) { received.push_back(event); });
    }

    // Starts and waits for the first reading, which later changes compare with.
    void startService()
    {
        service->start();
        ASSERT_TRUE(testsupport::waitUntil([&] { return service->previous().has_value(); }));
    }

    bool receivedCount(std::size_t count)
    {
        return testsupport::waitUntil([&] { return received.size() >= count; });
    }

    // Waits until the service has taken a battery at `percentage` as the
    // state to compare with: a change made before that would be part of it.
    bool comparesWith(double percentage)
    {
        return testsupport::waitUntil([&] {
            const auto& previous = service->previous();
            return previous && previous->percentage == percentage;
        });
    }

    QDBusConnection& bus = systemBus();
    MockDBusService upower{bus, "org.freedesktop.UPower", kUPowerPath};
    MockDBusService profiles{bus, "net.hadess.PowerProfiles", kProfilesPath};
    QObject receiver;
    std::unique_ptr<BatteryService> service;
    Events received;
};

TEST_F(BatteryServiceSystemTest, UnpluggingAndADropBelowTheThresholdGiveOneEventEach)
{
    startUPower(false);
    setDisplayDevice(charging, 60, 0, 1800);
    makeService();
    startService();
    ASSERT_TRUE(service->previous());
    EXPECT_TRUE(service->previous()->isPluggedIn);
    EXPECT_DOUBLE_EQ(service->previous()->percentage, 0.6);

    // Each of these is a burst of PropertiesChanged signals.
    setOnBattery(true);
    setDisplayDevice(discharging, 60, 5400, 0);
    ASSERT_TRUE(receivedCount(1));
    setDisplayDevice(discharging, 19, 600, 0);
    ASSERT_TRUE(receivedCount(2));
    setOnBattery(false);
    setDisplayDevice(charging, 19, 0, 3600);
    ASSERT_TRUE(receivedCount(3));

    EXPECT_EQ(received, (Events{BatteryEvent::unplugged(0.6), BatteryEvent::lowBattery(0.19),
                                BatteryEvent::pluggedIn(0.19)}));
    EXPECT_EQ(service->currentState(),
              (BatteryState{.percentage = 0.19, .isCharging = true, .isPluggedIn = true, .timeRemaining = 3600}));
}

TEST_F(BatteryServiceSystemTest, UnpluggingShowsWhicheverWayUPowerTellsIt)
{
    struct Row {
        const char* why;
        std::function<void()> unplug;
        std::function<void()> plug;
    } rows[] = {
        {"OnBattery alone; the battery still says charging", [this] { setOnBattery(true); },
         [this] { setOnBattery(false); }},
        {"the battery state alone; OnBattery stays false", [this] { setDisplayDevice(discharging, 90, 7200, 0); },
         [this] { setDisplayDevice(charging, 90, 0, 600); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        received.clear();
        startUPower(false);
        setDisplayDevice(charging, 90, 0, 600);
        makeService();
        startService();
        row.unplug();
        ASSERT_TRUE(receivedCount(1));
        row.plug();
        ASSERT_TRUE(receivedCount(2));
        EXPECT_EQ(received, (Events{BatteryEvent::unplugged(0.9), BatteryEvent::pluggedIn(0.9)}));
        service.reset();
        upower.stop();
    }
}

TEST_F(BatteryServiceSystemTest, AMachineWithoutABatteryNeverWarns)
{
    // UPower's display device on a desktop: not present, 0 %.
    startUPower(true);
    makeService();
    startService();
    EXPECT_EQ(service->currentState(), BatteryState{});

    setDisplayDevice(discharging, 0, 0, 0, false);
    setOnBattery(false);
    setOnBattery(true);
    // A battery appears: taken as it is, then compared.
    setDisplayDevice(discharging, 10, 600, 0);
    ASSERT_TRUE(comparesWith(0.1));
    setOnBattery(false);
    setDisplayDevice(charging, 10, 0, 600);
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::pluggedIn(0.1)});
}

TEST_F(BatteryServiceSystemTest, ThePowerSaverProfileIsLowPowerMode)
{
    startUPower(false);
    setDisplayDevice(charging, 80, 0, 600);
    startProfiles("balanced");
    makeService();
    startService();
    EXPECT_FALSE(service->currentState().lowPowerMode);

    setProfile("power-saver");
    ASSERT_TRUE(receivedCount(1));
    EXPECT_TRUE(service->currentState().lowPowerMode);
    setProfile("power-saver"); // announced again, no change
    setProfile("performance");
    ASSERT_TRUE(receivedCount(2));
    EXPECT_EQ(received, (Events{BatteryEvent::lowPowerMode(true), BatteryEvent::lowPowerMode(false)}));

    profiles.stop();
    EXPECT_FALSE(service->currentState().lowPowerMode) << "without the daemon there is no low power";
}

TEST_F(BatteryServiceSystemTest, ItStartsInPowerSaverWithoutAnEvent)
{
    startUPower(false);
    setDisplayDevice(charging, 80, 0, 600);
    startProfiles("power-saver");
    makeService();
    startService();
    EXPECT_TRUE(service->previous()->lowPowerMode);
    setProfile("balanced");
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::lowPowerMode(false)});
}

TEST_F(BatteryServiceSystemTest, ADaemonThatStartsLaterIsFollowedWithoutSpuriousEvents)
{
    makeService();
    startService();
    EXPECT_EQ(service->currentState(), BatteryState{});

    startUPower(false);
    setDisplayDevice(charging, 70, 0, 600);
    ASSERT_TRUE(comparesWith(0.7));
    setOnBattery(true);
    setDisplayDevice(discharging, 70, 6000, 0);
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received, Events{BatteryEvent::unplugged(0.7)});
}

} // namespace
