#include "VudeServices/BatteryEdgeDetector.h"

#include "BatteryTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Events = std::vector<BatteryEvent>;

BatteryState onBattery(double percentage)
{
    return {.percentage = percentage};
}

BatteryState pluggedIn(double percentage)
{
    return {.percentage = percentage, .isCharging = percentage < 1, .isPluggedIn = true};
}

BatteryState full()
{
    return {.percentage = 1, .isPluggedIn = true, .isCharged = true};
}

// One step of a timeline: a battery reading (none: the daemon has no
// battery to report), or a power-saving mode announcement.
struct Step {
    std::optional<BatteryState> reading{};
    std::optional<bool> lowPowerMode{};
    Events expected{};
};

Step poll(std::optional<BatteryState> reading, Events expected = {})
{
    return {.reading = reading, .expected = std::move(expected)};
}

Step mode(bool enabled, Events expected = {})
{
    return {.lowPowerMode = enabled, .expected = std::move(expected)};
}

struct Timeline {
    const char* name;
    BatteryState start;
    bool startHasBattery;
    std::vector<Step> steps;
};

const Timeline timelines[] = {
    {"unplugging gives the percentage at the change, plugging back the new one",
     pluggedIn(0.6),
     true,
     {
         poll(onBattery(0.6), {BatteryEvent::unplugged(0.6)}),
         poll(onBattery(0.55)),
         poll(pluggedIn(0.55), {BatteryEvent::pluggedIn(0.55)}),
     }},
    {"a drop to the threshold warns once; rising to 0.24 keeps the latch, above 0.25 clears it",
     onBattery(0.21),
     true,
     {
         poll(onBattery(0.20), {BatteryEvent::lowBattery(0.20)}),
         poll(onBattery(0.19)),
         poll(onBattery(0.18)),
         poll(onBattery(0.24)),
         poll(onBattery(0.20)),
         poll(onBattery(0.25)), // exactly threshold + hysteresis: still latched
         poll(onBattery(0.20)),
         poll(onBattery(0.26)),
         poll(onBattery(0.20), {BatteryEvent::lowBattery(0.20)}),
     }},
    {"plugging in clears the latch, so the next discharge below the threshold warns again",
     onBattery(0.21),
     true,
     {
         poll(onBattery(0.19), {BatteryEvent::lowBattery(0.19)}),
         poll(pluggedIn(0.19), {BatteryEvent::pluggedIn(0.19)}),
         poll(onBattery(0.19), {BatteryEvent::unplugged(0.19), BatteryEvent::lowBattery(0.19)}),
     }},
    {"below the threshold while plugged in never warns",
     pluggedIn(0.5),
     true,
     {
         poll(pluggedIn(0.1)),
         poll(pluggedIn(0.05)),
     }},
    {"already low and on battery at start: the first poll warns",
     onBattery(0.1),
     true,
     {
         poll(onBattery(0.1), {BatteryEvent::lowBattery(0.1)}),
         poll(onBattery(0.1)),
     }},
    {"becoming charged yields charged once; plug and charged together come plug first",
     onBattery(0.99),
     true,
     {
         poll(full(), {BatteryEvent::pluggedIn(1.0), BatteryEvent::charged()}),
         poll(full()),
         poll(pluggedIn(0.98)),
         poll(full(), {BatteryEvent::charged()}),
     }},
    {"the power-saving mode is announced on each real change only",
     onBattery(0.8),
     true,
     {
         mode(true, {BatteryEvent::lowPowerMode(true)}),
         mode(true),
         mode(false, {BatteryEvent::lowPowerMode(false)}),
         mode(false),
     }},
    {"a poll never swallows a power-saving mode change",
     onBattery(0.8),
     true,
     {
         poll(BatteryState{.percentage = 0.8, .lowPowerMode = true}),
         mode(true, {BatteryEvent::lowPowerMode(true)}),
     }},
    {"no battery to read: nothing, and the next reading is compared with the last real one",
     pluggedIn(0.6),
     true,
     {
         poll(std::nullopt),
         poll(std::nullopt),
         poll(onBattery(0.6), {BatteryEvent::unplugged(0.6)}),
     }},
    {"no battery at start: the first reading is taken as it is, later ones are compared",
     BatteryState{},
     false,
     {
         poll(std::nullopt),
         poll(pluggedIn(0.1)),
         poll(onBattery(0.1), {BatteryEvent::unplugged(0.1), BatteryEvent::lowBattery(0.1)}),
     }},
    {"a machine without a battery stays silent, but its power-saving mode still counts",
     BatteryState{},
     false,
     {
         poll(std::nullopt),
         mode(true, {BatteryEvent::lowPowerMode(true)}),
         poll(std::nullopt),
     }},
};

TEST(BatteryEdgeDetectorTest, TurnsReadingsIntoEvents)
{
    for (const auto& timeline : timelines) {
        SCOPED_TRACE(timeline.name);
        BatteryEdgeDetector detector;
        detector.begin(timeline.start, timeline.startHasBattery);
        int index = 0;
        for (const auto& step : timeline.steps) {
            SCOPED_TRACE("step " + std::to_string(index++));
            Events events;
            if (step.lowPowerMode) {
                if (const auto event = detector.lowPowerModeChanged(*step.lowPowerMode))
                    events.push_back(*event);
            } else {
                events = detector.poll(step.reading);
            }
            EXPECT_EQ(events, step.expected);
        }
    }
}

TEST(BatteryEdgeDetectorTest, FollowsAThresholdSetBeforeStart)
{
    BatteryEdgeDetector detector;
    detector.lowBatteryThreshold = 0.3;
    detector.begin(onBattery(0.4), true);
    EXPECT_EQ(detector.poll(onBattery(0.3)), Events{BatteryEvent::lowBattery(0.3)});
    EXPECT_EQ(detector.poll(onBattery(0.34)), Events{});
    EXPECT_TRUE(detector.isLowBatteryLatched()) << "0.34 is within 0.3 + 0.05";
    detector.poll(onBattery(0.36));
    EXPECT_FALSE(detector.isLowBatteryLatched());
}

} // namespace
