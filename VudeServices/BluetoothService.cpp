#include "VudeServices/BluetoothService.h"

BluetoothService::BluetoothService(std::unique_ptr<BluetoothBackend> backend, Scheduler& scheduler)
    : m_backend(std::move(backend)), m_scheduler(scheduler)
{
    m_backend->setEventHandler([this](const BluetoothBackendEvent& event) { handle(event); });
}

BluetoothService::~BluetoothService()
{
    m_backend->setEventHandler({});
    m_backend->setAvailabilityHandler({});
    m_backend->unwatch();
}

BluetoothAuthorization BluetoothService::authorization() const
{
    return m_backend->read().status.authorization();
}

BluetoothService::StartResult BluetoothService::startResult(const BluetoothStackStatus& status)
{
    switch (status.authorization()) {
    case BluetoothAuthorization::allowedAlways:
        return StartResult::started;
    case BluetoothAuthorization::restricted:
    case BluetoothAuthorization::denied:
        return StartResult::denied;
    case BluetoothAuthorization::notDetermined:
        break;
    }
    // Without a stack there is nothing a request could switch on.
    return status.reachable ? StartResult::needsPermission : StartResult::denied;
}

BluetoothService::StartResult BluetoothService::start()
{
    // A second start would follow every connection twice.
    if (m_started)
        return StartResult::started;
    const StartResult result = startResult(m_backend->read().status);
    if (result != StartResult::started)
        return result;

    follow(m_backend->watch());
    return StartResult::started;
}

void BluetoothService::start(std::function<void(StartResult)> done)
{
    if (m_started) {
        done(StartResult::started);
        return;
    }
    // Watched first and let go when not allowed: one answer tells both.
    std::weak_ptr<int> alive = m_lifetime;
    m_backend->startWatching([this, alive, done = std::move(done)](const BluetoothStackState& stack) {
        if (alive.expired())
            return;
        if (m_started) {
            done(StartResult::started);
            return;
        }
        const StartResult result = startResult(stack.status);
        if (result == StartResult::started)
            follow(stack);
        else
            m_backend->unwatch();
        done(result);
    });
}

void BluetoothService::follow(const BluetoothStackState& stack)
{
    m_started = true;
    m_powered = stack.status.powered;
    for (const auto& info : stack.devices)
        if (info.connected && !info.address.empty() && !m_registrations.contains(info.handle))
            m_registrations[info.handle] = {info, ++m_nextConnection};
}

void BluetoothService::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_backend->unwatch();
    m_registrations.clear();
}

void BluetoothService::setOnStackAvailable(std::function<void()> handler)
{
    m_backend->setAvailabilityHandler(std::move(handler));
}

void BluetoothService::requestPermission(std::function<void(bool)> completion)
{
    m_backend->powerOn([](bool) {});
    std::weak_ptr<int> alive = m_lifetime;
    m_scheduler.after(permissionAnswerDelay, [this, alive, completion = std::move(completion)] {
        if (alive.expired())
            return;
        m_backend->readStatus([alive, completion](const BluetoothStackStatus& status) {
            if (!alive.expired())
                completion(status.authorization() == BluetoothAuthorization::allowedAlways);
        });
    });
}

std::vector<BluetoothDevice> BluetoothService::connectedDevices() const
{
    std::vector<BluetoothDevice> devices;
    for (const auto& info : m_backend->read().devices) {
        if (!info.connected || info.address.empty())
            continue;
        auto device = BluetoothDevice::describe(info);
        device.applyBattery(info.batteryPercentage);
        devices.push_back(std::move(device));
    }
    return devices;
}

void BluetoothService::handle(const BluetoothBackendEvent& event)
{
    if (!m_started)
        return;
    switch (event.kind) {
    case BluetoothBackendEvent::Kind::deviceConnected:
        deviceConnected(event.device);
        break;
    case BluetoothBackendEvent::Kind::deviceDisconnected:
        deviceDisconnected(event.device);
        break;
    case BluetoothBackendEvent::Kind::poweredChanged:
        m_powered = event.powered;
        // A radio switched off ends every connection, whether or not the
        // stack reports each one.
        if (!event.powered) {
            std::vector<BluetoothDeviceInfo> connected;
            for (const auto& [handle, registration] : m_registrations)
                connected.push_back(registration.info);
            for (const auto& info : connected)
                deviceDisconnected(info);
        }
        break;
    }
}

void BluetoothService::deviceConnected(const BluetoothDeviceInfo& info)
{
    BluetoothDevice device = BluetoothDevice::describe(info);
    const std::uint64_t connection = ++m_nextConnection;
    m_registrations[info.handle] = {info, connection};
    // Keep the address the connection was described with, so the disconnect
    // of a device without one matches it.
    m_registrations[info.handle].info.address = device.address;

    std::weak_ptr<int> alive = m_lifetime;
    m_scheduler.after(batteryReadDelay, [this, alive, handle = info.handle, connection, device]() mutable {
        if (alive.expired() || !isCurrent(handle, connection))
            return;
        m_backend->readBattery(handle, [this, alive, handle, connection, device](std::optional<int> percentage) {
            // A device that left meanwhile is not reported as connected.
            if (alive.expired() || !isCurrent(handle, connection))
                return;
            reportConnected(device, percentage);
        });
    });
}

void BluetoothService::reportConnected(BluetoothDevice device, std::optional<int> percentage)
{
    device.applyBattery(percentage);
    m_events.yield(BluetoothEvent::connected(device));
    const auto lowest = device.lowestBattery();
    if (!lowest || *lowest > m_lowBatteryThreshold || m_warned.contains(device.address))
        return;
    m_warned.insert(device.address);
    m_events.yield(BluetoothEvent::lowBattery(device, *lowest));
}

void BluetoothService::deviceDisconnected(const BluetoothDeviceInfo& info)
{
    const auto registration = m_registrations.find(info.handle);
    if (registration == m_registrations.end())
        return; // not a connection this service follows
    BluetoothDeviceInfo described = info;
    if (described.address.empty())
        described.address = registration->second.info.address;
    const BluetoothDevice device = BluetoothDevice::describe(described);
    m_registrations.erase(registration);
    // It may be warned about again once it reconnects.
    m_warned.erase(device.address);
    m_events.yield(BluetoothEvent::disconnected(device));
}

bool BluetoothService::isCurrent(const std::string& handle, std::uint64_t connection) const
{
    const auto registration = m_registrations.find(handle);
    return registration != m_registrations.end() && registration->second.connection == connection;
}
