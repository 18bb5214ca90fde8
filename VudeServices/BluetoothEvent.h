#pragma once
// What the Bluetooth service reports: a device connected (with its battery
// levels), disconnected (without them), or connected with a low battery.

#include "VudeServices/BluetoothDevice.h"

class BluetoothEvent {
public:
    enum class Kind { connected, disconnected, lowBattery };

    static BluetoothEvent connected(BluetoothDevice device) { return {Kind::connected, std::move(device), 0}; }
    static BluetoothEvent disconnected(BluetoothDevice device) { return {Kind::disconnected, std::move(device), 0}; }
    /// `level`: the device's lowest battery level, 0...1.
    static BluetoothEvent lowBattery(BluetoothDevice device, double level)
    {
        return {Kind::lowBattery, std::move(device), level};
    }

    Kind kind() const { return m_kind; }
    const BluetoothDevice& device() const { return m_device; }
    /// The level of a `lowBattery` event; 0 for the other kinds.
    double level() const { return m_level; }

    bool operator==(const BluetoothEvent&) const = default;

private:
    BluetoothEvent(Kind kind, BluetoothDevice device, double level)
        : m_kind(kind), m_device(std::move(device)), m_level(level)
    {
    }

    Kind m_kind;
    BluetoothDevice m_device;
    double m_level;
};
