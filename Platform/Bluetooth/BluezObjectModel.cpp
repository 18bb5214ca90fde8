#include "Platform/Bluetooth/BluezObjectModel.h"

#include <algorithm>
#include <set>

BluetoothAuthorization BluetoothStackStatus::authorization() const
{
    if (accessDenied)
        return BluetoothAuthorization::denied;
    if (reachable && hasAdapter)
        return BluetoothAuthorization::allowedAlways;
    return BluetoothAuthorization::notDetermined;
}

void BluezObjectModel::apply(BluetoothDeviceInfo& info, const BluezProperties& properties)
{
    if (properties.address)
        info.address = *properties.address;
    if (properties.name)
        info.name = *properties.name;
    if (properties.alias)
        info.alias = *properties.alias;
    if (properties.connected)
        info.connected = *properties.connected;
}

template <typename Change>
std::vector<BluetoothBackendEvent> BluezObjectModel::reporting(Change&& change)
{
    std::map<std::string, BluetoothDeviceInfo> connectedBefore;
    for (const auto& [path, device] : m_devices)
        if (device.connected)
            connectedBefore.emplace(path, device);
    const bool poweredBefore = isPowered();

    change();

    std::vector<BluetoothBackendEvent> events;
    std::set<std::string> paths;
    for (const auto& [path, info] : connectedBefore)
        paths.insert(path);
    for (const auto& [path, device] : m_devices)
        paths.insert(path);
    for (const auto& path : paths) {
        const auto before = connectedBefore.find(path);
        const auto now = m_devices.find(path);
        const bool wasConnected = before != connectedBefore.end();
        const bool isConnected = now != m_devices.end() && now->second.connected;
        if (wasConnected && !isConnected)
            events.push_back({.kind = BluetoothBackendEvent::Kind::deviceDisconnected,
                              .device = now != m_devices.end() ? now->second : before->second});
        else if (!wasConnected && isConnected)
            events.push_back({.kind = BluetoothBackendEvent::Kind::deviceConnected, .device = now->second});
    }
    if (isPowered() != poweredBefore)
        events.push_back({.kind = BluetoothBackendEvent::Kind::poweredChanged, .powered = isPowered()});
    return events;
}

void BluezObjectModel::reset(const std::map<std::string, BluezInterfaces>& objects)
{
    m_adapters.clear();
    m_devices.clear();
    for (const auto& [path, interfaces] : objects)
        interfacesAdded(path, interfaces);
}

std::vector<BluetoothBackendEvent> BluezObjectModel::merge(const std::map<std::string, BluezInterfaces>& objects)
{
    return reporting([&] {
        // Compared with the state before, only real changes are reported.
        m_adapters.clear();
        m_devices.clear();
        for (const auto& [path, interfaces] : objects)
            interfacesAdded(path, interfaces);
    });
}

std::vector<BluetoothBackendEvent> BluezObjectModel::interfacesAdded(const std::string& path,
                                                                     const BluezInterfaces& interfaces)
{
    return reporting([&] {
        if (const auto adapter = interfaces.find(kAdapterInterface); adapter != interfaces.end())
            m_adapters[path] = adapter->second.powered.value_or(false);
        if (const auto device = interfaces.find(kDeviceInterface); device != interfaces.end()) {
            auto& info = m_devices[path];
            info.handle = path;
            apply(info, device->second);
        }
        if (const auto battery = interfaces.find(kBatteryInterface); battery != interfaces.end()) {
            if (const auto device = m_devices.find(path); device != m_devices.end())
                device->second.batteryPercentage = battery->second.percentage;
        }
    });
}

std::vector<BluetoothBackendEvent> BluezObjectModel::interfacesRemoved(const std::string& path,
                                                                       const std::vector<std::string>& interfaces)
{
    const auto has = [&](const char* name) {
        return std::find(interfaces.begin(), interfaces.end(), name) != interfaces.end();
    };
    return reporting([&] {
        if (has(kAdapterInterface))
            m_adapters.erase(path);
        if (has(kDeviceInterface)) {
            m_devices.erase(path);
        } else if (has(kBatteryInterface)) {
            if (const auto device = m_devices.find(path); device != m_devices.end())
                device->second.batteryPercentage.reset();
        }
    });
}

std::vector<BluetoothBackendEvent> BluezObjectModel::propertiesChanged(const std::string& path,
                                                                       const std::string& interface,
                                                                       const BluezProperties& changed,
                                                                       const std::vector<std::string>& invalidated)
{
    const auto invalid = [&](const char* name) {
        return std::find(invalidated.begin(), invalidated.end(), name) != invalidated.end();
    };
    return reporting([&] {
        if (interface == kAdapterInterface) {
            const auto adapter = m_adapters.find(path);
            if (adapter != m_adapters.end() && changed.powered)
                adapter->second = *changed.powered;
            return;
        }
        const auto device = m_devices.find(path);
        if (device == m_devices.end())
            return;
        auto& info = device->second;
        if (interface == kDeviceInterface) {
            apply(info, changed);
            if (invalid("Name"))
                info.name.clear();
            if (invalid("Alias"))
                info.alias.clear();
        } else if (interface == kBatteryInterface) {
            if (changed.percentage)
                info.batteryPercentage = changed.percentage;
            if (invalid("Percentage"))
                info.batteryPercentage.reset();
        }
    });
}

std::vector<BluetoothBackendEvent> BluezObjectModel::vanished()
{
    return reporting([&] {
        m_adapters.clear();
        m_devices.clear();
    });
}

BluetoothStackState BluezObjectModel::state() const
{
    BluetoothStackState state;
    state.status = {.reachable = true, .hasAdapter = !m_adapters.empty(), .powered = isPowered()};
    for (const auto& [path, device] : m_devices)
        state.devices.push_back(device);
    return state;
}

bool BluezObjectModel::isPowered() const
{
    return std::any_of(m_adapters.begin(), m_adapters.end(), [](const auto& adapter) { return adapter.second; });
}
