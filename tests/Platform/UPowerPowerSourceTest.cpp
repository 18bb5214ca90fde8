#include "Platform/Power/UPowerPowerSource.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

void PrintTo(const PowerSourceReading& reading, std::ostream* out)
{
    *out << "{" << reading.percentage << (reading.isCharging ? ", charging" : "")
         << (reading.isPluggedIn ? ", plugged in" : "") << (reading.isCharged ? ", charged" : "");
    if (reading.timeRemaining)
        *out << ", " << *reading.timeRemaining << " s";
    *out << "}";
}

namespace {

// UPower's device states.
constexpr uint charging = 1, discharging = 2, fullyCharged = 4, pendingCharge = 5;

QVariantMap battery(double percentage, uint state, qlonglong toEmpty = 0, qlonglong toFull = 0)
{
    return {{"IsPresent", true},    {"Type", 2u},           {"Percentage", percentage},
            {"State", state},       {"TimeToEmpty", toEmpty}, {"TimeToFull", toFull}};
}

QVariantMap with(QVariantMap map, const QString& key, const QVariant& value)
{
    map.insert(key, value);
    return map;
}

const QVariantMap onBattery{{"OnBattery", true}};
const QVariantMap onMains{{"OnBattery", false}};

TEST(UPowerPowerSourceTest, ReadsTheDisplayDevice)
{
    struct Row {
        const char* why;
        QVariantMap device;
        QVariantMap upower;
        std::optional<PowerSourceReading> expected;
    } rows[] = {
        {"no battery: the display device is not present and reads 0 %",
         {{"IsPresent", false}, {"Type", 0u}, {"Percentage", 0.0}, {"State", 0u}},
         onMains,
         std::nullopt},
        {"no display device answered", {}, onMains, std::nullopt},
        {"discharging: time to empty", battery(60, discharging, 5700), onBattery,
         PowerSourceReading{.percentage = 0.6, .timeRemaining = 5700}},
        {"charging: time to full, plugged in", battery(60, charging, 0, 1200), onMains,
         PowerSourceReading{.percentage = 0.6, .isCharging = true, .isPluggedIn = true, .timeRemaining = 1200}},
        {"held at a charge limit: on mains, not charging", battery(80, pendingCharge, 3600), onMains,
         PowerSourceReading{.percentage = 0.8, .isPluggedIn = true, .timeRemaining = 3600}},
        {"fully charged", battery(100, fullyCharged), onMains,
         PowerSourceReading{.percentage = 1, .isPluggedIn = true, .isCharged = true}},
        {"a first reading whose accounts disagree follows OnBattery", battery(100, fullyCharged), onBattery,
         PowerSourceReading{.percentage = 1, .isCharged = true}},
        {"OnBattery unreadable: the device state decides", battery(50, pendingCharge), {},
         PowerSourceReading{.percentage = 0.5, .isPluggedIn = true}},
        {"OnBattery unreadable and discharging", battery(50, discharging), {},
         PowerSourceReading{.percentage = 0.5}},
        {"0 s left means still estimating", battery(50, discharging, 0), onBattery,
         PowerSourceReading{.percentage = 0.5}},
        {"a negative time is no time", battery(50, discharging, -1), onBattery,
         PowerSourceReading{.percentage = 0.5}},
        {"a percentage beyond 100 is clamped", battery(150, discharging), onBattery,
         PowerSourceReading{.percentage = 1}},
        {"a percentage of the wrong type reads as full", with(battery(50, discharging), "Percentage", "50"),
         onBattery, PowerSourceReading{.percentage = 1}},
        {"IsPresent of the wrong type is no battery", with(battery(50, discharging), "IsPresent", 1), onBattery,
         std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        MainsPowerJudge judge;
        EXPECT_EQ(UPowerPowerSource::readingFrom(row.device, row.upower, judge), row.expected);
    }
}

TEST(UPowerPowerSourceTest, TheAccountOfMainsPowerThatChangedLastWins)
{
    // Each step: OnBattery's account (mains?), the battery state's account,
    // and the answer.
    struct Step {
        std::optional<bool> byFlag;
        std::optional<bool> byState;
        bool onMains;
    };
    struct Row {
        const char* why;
        std::vector<Step> steps;
    } rows[] = {
        {"unplugged at 100 %: the flag changes, the battery still says full",
         {{true, true, true}, {false, true, false}, {false, true, false}, {false, false, false}}},
        {"the state changes before the flag, either way round",
         {{true, true, true}, {true, false, false}, {false, false, false}, {false, true, true}, {true, true, true}}},
        {"only the flag is scripted", {{true, true, true}, {false, true, false}, {true, true, true}}},
        {"only the state is scripted", {{true, true, true}, {true, false, false}, {true, true, true}}},
        {"a disagreement that stays keeps the last answer",
         {{true, true, true}, {false, true, false}, {false, true, false}}},
        {"without a flag the state decides", {{std::nullopt, false, false}, {std::nullopt, true, true}}},
        {"an unknown state leaves the flag to decide", {{false, std::nullopt, false}, {true, std::nullopt, true}}},
        {"nothing known keeps the last answer", {{true, true, true}, {std::nullopt, std::nullopt, true}}},
        {"nothing ever known is on battery", {{std::nullopt, std::nullopt, false}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        MainsPowerJudge judge;
        int index = 0;
        for (const auto& step : row.steps) {
            SCOPED_TRACE("step " + std::to_string(index++));
            EXPECT_EQ(judge.isOnMains(step.byFlag, step.byState), step.onMains);
        }
    }
}

} // namespace
