#include "VudeServices/BluetoothDevice.h"

#include "BluetoothTestSupport.h"
#include "VudeKit/Uuid.h"

#include <gtest/gtest.h>

namespace {

TEST(BluetoothDeviceTest, LowestBatteryIgnoresTheCase)
{
    struct Row {
        BluetoothDevice device;
        std::optional<double> expected;
        const char* why;
    } rows[] = {
        {{.batteryLeft = 0.4, .batteryRight = 0.15, .batteryCase = 0.05}, 0.15, "earbuds: the case's 5 % does not count"},
        {{.batteryPercent = 0.6}, 0.6, "a single level"},
        {{.batteryPercent = 0.3, .batteryLeft = 0.2}, 0.2, "the smaller of two"},
        {{.batteryCase = 0.1}, std::nullopt, "only a case level"},
        {{}, std::nullopt, "no level at all"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.device.lowestBattery(), row.expected);
    }
}

TEST(BluetoothDeviceTest, SymbolFollowsTheFirstMatchingNameRule)
{
    struct Row {
        const char* name;
        const char* symbol;
    } rows[] = {
        {"AirPods Max", "airpods.max"},
        {"aIRPODS pRO", "airpods.pro"},
        {"Anna's AirPods", "airpods.gen3"},
        {"Beats Studio", "beats.headphones"},
        {"Magic Mouse", "magicmouse.fill"},
        {"Magic Keyboard", "keyboard.fill"},
        {"Magic Trackpad", "trackpad.fill"},
        {"Beats Mouse", "beats.headphones"}, // the earlier rule wins
        {"Sony WH-1000XM4", "headphones"},
        {"", "headphones"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BluetoothDevice::symbolFor(row.name), row.symbol);
    }
}

TEST(BluetoothDeviceTest, DescribeFallsBackForTheNameAndTheAddress)
{
    struct Row {
        BluetoothDeviceInfo info;
        const char* name;
        const char* why;
    } rows[] = {
        {{.address = "AA:01", .name = "Magic Mouse", .alias = "Desk mouse"}, "Magic Mouse", "the device's own name"},
        {{.address = "AA:02", .alias = "AA-02"}, "AA-02", "the stack's name-or-address"},
        {{.address = "AA:03"}, "Device", "nothing at all"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto device = BluetoothDevice::describe(row.info);
        EXPECT_EQ(device.name, row.name);
        EXPECT_EQ(device.address, row.info.address);
        EXPECT_EQ(device.symbol, BluetoothDevice::symbolFor(row.name));
        EXPECT_EQ(device.lowestBattery(), std::nullopt);
    }

    const auto first = BluetoothDevice::describe({.name = "Keyboard"});
    const auto second = BluetoothDevice::describe({.name = "Keyboard"});
    EXPECT_TRUE(Uuid::parse(first.address)) << "a device without an address gets a random UUID";
    EXPECT_NE(first.address, second.address);
}

TEST(BluetoothDeviceTest, OnlyAPercentageFromOneToAHundredCounts)
{
    struct Row {
        std::optional<int> percentage;
        std::optional<double> level;
    } rows[] = {
        {15, 0.15}, {100, 1.0}, {1, 0.01}, {0, std::nullopt}, {101, std::nullopt}, {-3, std::nullopt},
        {std::nullopt, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.percentage.value_or(-999));
        BluetoothDevice device{.batteryPercent = 0.9, .batteryLeft = 0.5};
        device.applyBattery(row.percentage);
        EXPECT_EQ(device.batteryPercent, row.level);
        EXPECT_EQ(device.batteryLeft, std::nullopt) << "a stale level would pass for a fresh one";
    }
}

} // namespace
