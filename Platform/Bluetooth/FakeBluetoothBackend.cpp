#include "Platform/Bluetooth/FakeBluetoothBackend.h"

#include <algorithm>

namespace {
constexpr auto kAdapter = BluezObjectModel::kAdapterInterface;
constexpr auto kDevice = BluezObjectModel::kDeviceInterface;
constexpr auto kBattery = BluezObjectModel::kBatteryInterface;
} // namespace

FakeBluetoothBackend::FakeBluetoothBackend() = default;

void FakeBluetoothBackend::setReachable(bool reachable)
{
    const bool appeared = reachable && !m_reachable;
    m_reachable = reachable;
    if (appeared && m_availability) {
        const auto handler = m_availability;
        handler();
    }
}

void FakeBluetoothBackend::setAccessDenied(bool denied)
{
    m_accessDenied = denied;
}

void FakeBluetoothBackend::addAdapter(const std::string& name, bool powered)
{
    m_adapters.insert(adapterPath(name));
    send(m_model.interfacesAdded(adapterPath(name), {{kAdapter, {.powered = powered}}}));
    if (m_availability) {
        const auto handler = m_availability;
        handler();
    }
}

void FakeBluetoothBackend::removeAdapter(const std::string& name)
{
    m_adapters.erase(adapterPath(name));
    send(m_model.interfacesRemoved(adapterPath(name), {kAdapter}));
}

void FakeBluetoothBackend::setPowered(bool powered, const std::string& adapter)
{
    const std::string path = adapterPath(adapter);
    if (!powered) {
        for (const auto& [handle, owner] : m_deviceAdapters)
            if (owner == path)
                send(m_model.propertiesChanged(handle, kDevice, {.connected = false}));
    }
    send(m_model.propertiesChanged(path, kAdapter, {.powered = powered}));
}

std::string FakeBluetoothBackend::addDevice(const std::string& address, const std::string& name,
                                            const std::string& alias)
{
    std::string handle = adapterPath("hci0") + "/dev_" + address;
    std::replace(handle.begin(), handle.end(), ':', '_');
    if (address.empty())
        handle += std::to_string(m_deviceAdapters.size());
    m_deviceAdapters[handle] = adapterPath("hci0");
    BluezProperties device{.address = address, .alias = alias.empty() ? name : alias, .connected = false};
    if (!name.empty())
        device.name = name;
    send(m_model.interfacesAdded(handle, {{kDevice, device}}));
    return handle;
}

void FakeBluetoothBackend::connectDevice(const std::string& handle)
{
    send(m_model.propertiesChanged(handle, kDevice, {.connected = true}));
}

void FakeBluetoothBackend::disconnectDevice(const std::string& handle)
{
    send(m_model.propertiesChanged(handle, kDevice, {.connected = false}));
}

void FakeBluetoothBackend::removeDevice(const std::string& handle)
{
    m_deviceAdapters.erase(handle);
    send(m_model.interfacesRemoved(handle, {kDevice, kBattery}));
}

void FakeBluetoothBackend::setBattery(const std::string& handle, std::optional<int> percentage)
{
    if (percentage)
        send(m_model.interfacesAdded(handle, {{kBattery, {.percentage = percentage}}}));
    else
        send(m_model.interfacesRemoved(handle, {kBattery}));
}

void FakeBluetoothBackend::answerBatteryReads()
{
    auto held = std::exchange(m_heldReads, {});
    for (auto& [handle, done] : held)
        done(batteryOf(handle));
}

void FakeBluetoothBackend::setEventHandler(EventHandler handler)
{
    m_handler = std::move(handler);
}

BluetoothStackState FakeBluetoothBackend::read()
{
    if (m_accessDenied)
        return {.status = {.accessDenied = true}};
    if (!m_reachable)
        return {};
    return m_model.state();
}

void FakeBluetoothBackend::readStatus(std::function<void(const BluetoothStackStatus&)> done)
{
    done(read().status);
}

BluetoothStackState FakeBluetoothBackend::watch()
{
    ++m_watchCount;
    m_watched = true;
    return read();
}

void FakeBluetoothBackend::startWatching(std::function<void(const BluetoothStackState&)> done)
{
    done(watch());
}

void FakeBluetoothBackend::unwatch()
{
    ++m_unwatchCount;
    m_watched = false;
}

void FakeBluetoothBackend::readBattery(const std::string& handle, std::function<void(std::optional<int>)> done)
{
    m_batteryReads.push_back(handle);
    if (m_holdBatteryReads)
        m_heldReads.emplace_back(handle, std::move(done));
    else
        done(batteryOf(handle));
}

void FakeBluetoothBackend::powerOn(std::function<void(bool)> done)
{
    ++m_powerOnCount;
    if (!m_reachable || m_accessDenied) {
        done(false);
        return;
    }
    for (const auto& adapter : m_adapters)
        send(m_model.propertiesChanged(adapter, kAdapter, {.powered = true}));
    done(m_model.isPowered());
}

void FakeBluetoothBackend::send(const std::vector<BluetoothBackendEvent>& events)
{
    if (!m_watched || !m_reachable || m_accessDenied)
        return;
    for (const auto& event : events) {
        const EventHandler handler = m_handler;
        if (handler)
            handler(event);
    }
}

std::optional<int> FakeBluetoothBackend::batteryOf(const std::string& handle) const
{
    if (!m_reachable)
        return std::nullopt;
    for (const auto& device : m_model.state().devices)
        if (device.handle == handle)
            return device.batteryPercentage;
    return std::nullopt;
}
