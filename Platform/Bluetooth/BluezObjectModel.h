#pragma once
// BlueZ's adapters and devices as the BlueZ backend follows them, with no
// D-Bus in it: the backend feeds it the object manager's snapshot and signals
// in plain values, and it answers with the connection and power changes they
// amount to. Repeated news (a second "connected" for a connected device)
// changes nothing, so a snapshot and a signal that overlap report once.

#include "Platform/Bluetooth/BluetoothBackend.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

/// The properties of one interface that the backend reads; a property the
/// message did not carry (or carried with another type) is absent.
struct BluezProperties {
    std::optional<std::string> address{}; // Device1.Address
    std::optional<std::string> name{};    // Device1.Name
    std::optional<std::string> alias{};   // Device1.Alias
    std::optional<bool> connected{};      // Device1.Connected
    std::optional<bool> powered{};        // Adapter1.Powered
    std::optional<int> percentage{};      // Battery1.Percentage

    bool operator==(const BluezProperties&) const = default;
};

/// Interface name to its properties, as one object carries them.
using BluezInterfaces = std::map<std::string, BluezProperties>;

class BluezObjectModel {
public:
    static constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
    static constexpr const char* kDeviceInterface = "org.bluez.Device1";
    static constexpr const char* kBatteryInterface = "org.bluez.Battery1";

    /// Replaces everything with a snapshot (path to interfaces); reports
    /// nothing.
    void reset(const std::map<std::string, BluezInterfaces>& objects);
    /// Merges a fresh snapshot and reports what changed since the last one.
    std::vector<BluetoothBackendEvent> merge(const std::map<std::string, BluezInterfaces>& objects);

    std::vector<BluetoothBackendEvent> interfacesAdded(const std::string& path, const BluezInterfaces& interfaces);
    std::vector<BluetoothBackendEvent> interfacesRemoved(const std::string& path,
                                                         const std::vector<std::string>& interfaces);
    /// `invalidated`: properties that changed without their new value.
    std::vector<BluetoothBackendEvent> propertiesChanged(const std::string& path, const std::string& interface,
                                                         const BluezProperties& changed,
                                                         const std::vector<std::string>& invalidated = {});
    /// The stack went away: every connected device is disconnected and no
    /// adapter is on.
    std::vector<BluetoothBackendEvent> vanished();

    /// The model as a stack state, marked reachable.
    BluetoothStackState state() const;
    bool isPowered() const;

private:
    static void apply(BluetoothDeviceInfo& info, const BluezProperties& properties);
    // Runs a change and reports the transitions of connections and power it
    // caused, in path order.
    template <typename Change>
    std::vector<BluetoothBackendEvent> reporting(Change&& change);

    std::map<std::string, bool> m_adapters; // path to powered
    std::map<std::string, BluetoothDeviceInfo> m_devices;
};
