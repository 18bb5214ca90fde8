#include "VudeServices/BluetoothDevice.h"

#include "VudeKit/AsciiCase.h"
#include "VudeKit/Uuid.h"

#include <array>
#include <utility>

std::optional<double> BluetoothDevice::lowestBattery() const
{
    std::optional<double> lowest;
    for (const auto& level : {batteryPercent, batteryLeft, batteryRight})
        if (level && (!lowest || *level < *lowest))
            lowest = level;
    return lowest;
}

std::string BluetoothDevice::symbolFor(std::string_view name)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> rules{{
        {"airpods max", "airpods.max"},
        {"airpods pro", "airpods.pro"},
        {"airpod", "airpods.gen3"},
        {"beats", "beats.headphones"},
        {"mouse", "magicmouse.fill"},
        {"keyboard", "keyboard.fill"},
        {"trackpad", "trackpad.fill"},
    }};
    std::string lower(name);
    for (auto& c : lower)
        c = asciiLower(c);
    for (const auto& [fragment, symbol] : rules)
        if (lower.find(fragment) != std::string::npos)
            return std::string(symbol);
    return "headphones";
}

BluetoothDevice BluetoothDevice::describe(const BluetoothDeviceInfo& info)
{
    BluetoothDevice device;
    device.address = info.address.empty() ? Uuid::random().toString() : info.address;
    if (!info.name.empty())
        device.name = info.name;
    else if (!info.alias.empty())
        device.name = info.alias;
    else
        device.name = "Device";
    device.symbol = symbolFor(device.name);
    return device;
}

void BluetoothDevice::applyBattery(std::optional<int> percentage)
{
    batteryPercent.reset();
    batteryLeft.reset();
    batteryRight.reset();
    batteryCase.reset();
    if (percentage && *percentage > 0 && *percentage <= 100)
        batteryPercent = *percentage / 100.0;
}
