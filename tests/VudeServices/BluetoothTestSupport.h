#pragma once
// Readable failure messages for the Bluetooth service's value types.

#include "VudeServices/BluetoothService.h"

#include <ostream>

inline void PrintTo(const BluetoothDevice& device, std::ostream* out)
{
    const auto level = [&](const char* label, const std::optional<double>& value) {
        if (value)
            *out << ", " << label << " " << *value;
    };
    *out << "{" << device.address << ", \"" << device.name << "\", " << device.symbol;
    level("battery", device.batteryPercent);
    level("left", device.batteryLeft);
    level("right", device.batteryRight);
    level("case", device.batteryCase);
    *out << "}";
}

inline void PrintTo(const BluetoothEvent& event, std::ostream* out)
{
    static constexpr const char* kinds[] = {"connected", "disconnected", "lowBattery"};
    *out << kinds[static_cast<int>(event.kind())] << "(";
    PrintTo(event.device(), out);
    if (event.kind() == BluetoothEvent::Kind::lowBattery)
        *out << ", " << event.level();
    *out << ")";
}
