#include "Platform/Audio/FakeAudioBackend.h"

#include <algorithm>
#include <utility>

FakeAudioBackend::FakeAudioBackend(bool reachable) : m_reachable(reachable) {}

void FakeAudioBackend::putDevice(AudioDeviceInfo device)
{
    bool added = false;
    {
        std::scoped_lock lock(m_mutex);
        if (auto* existing = findLocked(device.id)) {
            *existing = std::move(device);
        } else {
            m_devices.push_back(std::move(device));
            added = connectedLocked();
        }
    }
    if (added)
        send({AudioBackendEvent::Kind::outputsChanged});
}

void FakeAudioBackend::removeDevice(std::uint32_t id)
{
    bool removed = false;
    {
        std::scoped_lock lock(m_mutex);
        removed = std::erase_if(m_devices, [id](const AudioDeviceInfo& device) { return device.id == id; }) > 0
            && connectedLocked();
    }
    if (removed)
        send({AudioBackendEvent::Kind::outputsChanged});
}

void FakeAudioBackend::changeDevice(std::uint32_t id, std::optional<double> volume, bool isMuted)
{
    bool changed = false;
    {
        std::scoped_lock lock(m_mutex);
        auto* device = findLocked(id);
        if (!device)
            return;
        changed = device->volume != volume || device->isMuted != isMuted;
        device->volume = volume;
        device->isMuted = isMuted;
        changed = changed && connectedLocked();
    }
    if (changed)
        send({AudioBackendEvent::Kind::volumeChanged, id});
}

void FakeAudioBackend::changeDefaultOutput(std::uint32_t id)
{
    bool changed = false;
    {
        std::scoped_lock lock(m_mutex);
        changed = m_default != id && connectedLocked();
        m_default = id;
    }
    if (changed)
        send({AudioBackendEvent::Kind::defaultOutputChanged});
}

void FakeAudioBackend::setReachable(bool reachable)
{
    bool changed = false;
    {
        std::scoped_lock lock(m_mutex);
        changed = m_reachable != reachable && m_started;
        m_reachable = reachable;
    }
    if (changed)
        send({reachable ? AudioBackendEvent::Kind::connected : AudioBackendEvent::Kind::disconnected});
}

std::vector<std::pair<std::uint32_t, double>> FakeAudioBackend::volumeWrites() const
{
    std::scoped_lock lock(m_mutex);
    return m_volumeWrites;
}

int FakeAudioBackend::startCount() const
{
    std::scoped_lock lock(m_mutex);
    return m_startCount;
}

int FakeAudioBackend::stopCount() const
{
    std::scoped_lock lock(m_mutex);
    return m_stopCount;
}

bool FakeAudioBackend::isStarted() const
{
    std::scoped_lock lock(m_mutex);
    return m_started;
}

void FakeAudioBackend::setEventHandler(EventHandler handler)
{
    std::scoped_lock lock(m_handlerMutex);
    m_handler = std::move(handler);
}

void FakeAudioBackend::start()
{
    bool connected = false;
    {
        std::scoped_lock lock(m_mutex);
        ++m_startCount;
        if (m_started)
            return;
        m_started = true;
        connected = m_reachable;
    }
    // Sent from inside start(), unlike a real server's; callers must not rely
    // on either order.
    if (connected)
        send({AudioBackendEvent::Kind::connected});
}

void FakeAudioBackend::stop()
{
    std::vector<HeldSet> held;
    {
        std::scoped_lock lock(m_mutex);
        ++m_stopCount;
        m_started = false;
        held = std::exchange(m_heldSets, {});
    }
    for (const auto& set : held)
        if (set.done)
            set.done(false);
}

bool FakeAudioBackend::isAvailable() const
{
    std::scoped_lock lock(m_mutex);
    return connectedLocked();
}

std::optional<std::uint32_t> FakeAudioBackend::defaultOutputDevice()
{
    std::scoped_lock lock(m_mutex);
    if (!connectedLocked())
        return std::nullopt;
    return m_default;
}

std::optional<AudioDeviceInfo> FakeAudioBackend::device(std::uint32_t id)
{
    std::scoped_lock lock(m_mutex);
    auto* device = connectedLocked() ? findLocked(id) : nullptr;
    if (!device)
        return std::nullopt;
    return *device;
}

std::vector<AudioDeviceInfo> FakeAudioBackend::outputDevices()
{
    std::scoped_lock lock(m_mutex);
    if (!connectedLocked())
        return {};
    return m_devices;
}

void FakeAudioBackend::setVolume(std::uint32_t id, double volume, SetDone done)
{
    {
        std::scoped_lock lock(m_mutex);
        m_volumeWrites.emplace_back(id, volume);
        if (m_holdingSets) {
            m_heldSets.push_back({id, volume, std::move(done)});
            return;
        }
    }
    apply(id, volume, done);
}

void FakeAudioBackend::apply(std::uint32_t id, double volume, const SetDone& done)
{
    bool isMuted = false;
    bool applies = false;
    {
        std::scoped_lock lock(m_mutex);
        auto* device = connectedLocked() ? findLocked(id) : nullptr;
        applies = device && device->volume;
        if (applies)
            isMuted = device->isMuted;
    }
    if (applies)
        changeDevice(id, volume, isMuted);
    if (done)
        done(applies);
}

void FakeAudioBackend::holdSets()
{
    std::scoped_lock lock(m_mutex);
    m_holdingSets = true;
}

void FakeAudioBackend::releaseSets()
{
    std::vector<HeldSet> held;
    {
        std::scoped_lock lock(m_mutex);
        m_holdingSets = false;
        held = std::exchange(m_heldSets, {});
    }
    for (const auto& set : held)
        apply(set.id, set.volume, set.done);
}

bool FakeAudioBackend::setDefaultOutput(std::uint32_t id)
{
    {
        std::scoped_lock lock(m_mutex);
        if (!connectedLocked() || !findLocked(id))
            return false;
    }
    changeDefaultOutput(id);
    return true;
}

void FakeAudioBackend::send(AudioBackendEvent event)
{
    std::scoped_lock lock(m_handlerMutex);
    if (m_handler)
        m_handler(event);
}

AudioDeviceInfo* FakeAudioBackend::findLocked(std::uint32_t id)
{
    const auto found = std::ranges::find(m_devices, id, &AudioDeviceInfo::id);
    return found == m_devices.end() ? nullptr : &*found;
}
