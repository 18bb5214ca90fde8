#pragma once
// A Bluetooth device as the connectivity pills show it: its address (also its
// identity), name, battery levels and symbol.

#include "Platform/Bluetooth/BluetoothBackend.h"

#include <optional>
#include <string>
#include <string_view>

struct BluetoothDevice {
    /// As the stack writes it; a fresh random UUID text when it gave none.
    std::string address{};
    /// The device's name, else the stack's name-or-address, else "Device".
    std::string name{};
    /// Battery levels, 0...1: the single level, the left and right buds and
    /// the charging case. The stack publishes only the single level.
    std::optional<double> batteryPercent{};
    std::optional<double> batteryLeft{};
    std::optional<double> batteryRight{};
    std::optional<double> batteryCase{};
    std::string symbol = "airpods.gen3";

    const std::string& id() const { return address; }

    /// The smallest of the single, left and right levels present (the case
    /// does not count); none when all three are absent. On equal values the
    /// first in that order wins.
    std::optional<double> lowestBattery() const;

    /// The symbol for a device name, by the first rule its lower-cased form
    /// matches; "headphones" when none does.
    static std::string symbolFor(std::string_view name);

    /// Address, name and symbol from what the stack says of the device, with
    /// no battery levels.
    static BluetoothDevice describe(const BluetoothDeviceInfo& info);

    /// Sets the single level from the stack's percentage (1...100); zero, a
    /// value above 100 or none leave it absent. The other levels are cleared,
    /// as the stack has none of them.
    void applyBattery(std::optional<int> percentage);

    bool operator==(const BluetoothDevice&) const = default;
};
