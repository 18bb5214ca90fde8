#pragma once
// An in-process Bluetooth stack for tests: adapters, devices and a reachable
// flag that a test scripts, with the events a real stack would send while it
// is watched. Events are delivered synchronously on the calling thread;
// battery reads and power requests answer at once unless a test holds them.

#include "Platform/Bluetooth/BluetoothBackend.h"
#include "Platform/Bluetooth/BluezObjectModel.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class FakeBluetoothBackend final : public BluetoothBackend {
public:
    FakeBluetoothBackend();

    // Scripting.

    /// Whether the stack answers read() and watch() at all; becoming
    /// reachable tells the availability handler.
    void setReachable(bool reachable);
    /// Whether the system refuses this process access to the stack.
    void setAccessDenied(bool denied);
    /// Adds an adapter, telling the availability handler; the first adapter
    /// is "hci0".
    void addAdapter(const std::string& name = "hci0", bool powered = true);
    void removeAdapter(const std::string& name = "hci0");
    /// Switches an adapter's radio as another program would; switching it
    /// off disconnects every device, as stacks do.
    void setPowered(bool powered, const std::string& adapter = "hci0");
    /// Adds a paired device, not connected; returns its handle.
    std::string addDevice(const std::string& address, const std::string& name, const std::string& alias = {});
    void connectDevice(const std::string& handle);
    void disconnectDevice(const std::string& handle);
    void removeDevice(const std::string& handle);
    /// The device's battery level, none for a device without one.
    void setBattery(const std::string& handle, std::optional<int> percentage);

    /// Holds battery reads until answerBatteryReads() (a slow stack).
    void holdBatteryReads(bool hold) { m_holdBatteryReads = hold; }
    /// Answers every held battery read with the level the device has now.
    void answerBatteryReads();

    int watchCount() const { return m_watchCount; }
    int unwatchCount() const { return m_unwatchCount; }
    bool isWatched() const { return m_watched; }
    int powerOnCount() const { return m_powerOnCount; }
    std::vector<std::string> batteryReads() const { return m_batteryReads; }

    // BluetoothBackend
    void setEventHandler(EventHandler handler) override;
    BluetoothStackState read() override;
    void readStatus(std::function<void(const BluetoothStackStatus&)> done) override;
    BluetoothStackState watch() override;
    void startWatching(std::function<void(const BluetoothStackState&)> done) override;
    void unwatch() override;
    void readBattery(const std::string& handle, std::function<void(std::optional<int>)> done) override;
    void powerOn(std::function<void(bool)> done) override;
    void setAvailabilityHandler(std::function<void()> handler) override { m_availability = std::move(handler); }
    bool hasAvailabilityHandler() const { return bool(m_availability); }

private:
    static std::string adapterPath(const std::string& name) { return "/org/bluez/" + name; }
    void send(const std::vector<BluetoothBackendEvent>& events);
    std::optional<int> batteryOf(const std::string& handle) const;

    // The same model the BlueZ backend keeps, so both report alike.
    BluezObjectModel m_model;
    std::set<std::string> m_adapters;                     // adapter paths
    std::map<std::string, std::string> m_deviceAdapters; // handle to adapter path
    bool m_reachable = true;
    bool m_accessDenied = false;
    bool m_watched = false;
    bool m_holdBatteryReads = false;
    int m_watchCount = 0;
    int m_unwatchCount = 0;
    int m_powerOnCount = 0;
    std::vector<std::string> m_batteryReads;
    std::vector<std::pair<std::string, std::function<void(std::optional<int>)>>> m_heldReads;
    EventHandler m_handler;
    std::function<void()> m_availability;
};
