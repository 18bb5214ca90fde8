#include "VudeServices/AudioService.h"

#include "VudeKit/Numbers.h"

AudioService::AudioService(std::unique_ptr<AudioBackend> backend) : m_backend(std::move(backend))
{
    // Events arrive on the backend's thread; everything that changes the
    // binding happens on the queue.
    m_backend->setEventHandler([this](const AudioBackendEvent& event) {
        m_queue.async([this, event] { handle(event); });
    });
}

AudioService::~AudioService()
{
    // With no event left to queue more work, the queued work runs first, so
    // that a start() queued just before cannot undo the stop.
    m_backend->setEventHandler({});
    m_queue.waitUntilIdle();
    m_backend->stop();
}

void AudioService::start()
{
    m_queue.async([this] {
        // A backend that is not connected yet reports `connected` later, and
        // that event binds; binding here as well would publish twice.
        const bool wasConnected = m_backend->isAvailable();
        m_listening = true;
        m_backend->start();
        if (wasConnected)
            bind();
    });
}

void AudioService::stop()
{
    m_queue.async([this] {
        m_listening = false;
        m_backend->stop();
    });
}

AudioState AudioService::currentState() const
{
    const std::uint32_t id = m_deviceID;
    if (id == 0)
        return {};
    const auto device = m_backend->device(id);
    if (!device)
        return {.transport = AudioState::Transport::other, .canSetVolume = false};
    return {
        .volume = device->volume.value_or(0),
        .isMuted = device->isMuted,
        .deviceName = device->name,
        .transport = transportFor(device->attachment),
        .canSetVolume = device->volume.has_value(),
    };
}

void AudioService::setVolume(double value)
{
    const std::uint32_t id = m_deviceID;
    if (id == 0)
        return;
    m_backend->setVolume(id, clampedOrLower(value, 0, 1));
}

std::vector<AudioOutputDevice> AudioService::outputDevices() const
{
    const std::uint32_t defaultID = m_backend->defaultOutputDevice().value_or(0);
    std::vector<AudioOutputDevice> result;
    for (const auto& device : m_backend->outputDevices()) {
        if (device.name.empty())
            continue;
        result.push_back({device.id, device.name, transportFor(device.attachment), device.id == defaultID});
    }
    return result;
}

bool AudioService::setDefaultOutput(std::uint32_t id) const
{
    return id != 0 && m_backend->setDefaultOutput(id);
}

void AudioService::handle(const AudioBackendEvent& event)
{
    if (!m_listening)
        return;
    switch (event.kind) {
    case AudioBackendEvent::Kind::connected:
    case AudioBackendEvent::Kind::defaultOutputChanged:
        bind();
        break;
    case AudioBackendEvent::Kind::volumeChanged:
        // Events of an output the service no longer follows are stale.
        if (event.device != 0 && event.device == m_deviceID)
            m_states.yield(currentState());
        break;
    case AudioBackendEvent::Kind::disconnected:
        // Quiet until a server is back; `connected` binds again.
        break;
    }
}

void AudioService::bind()
{
    const auto device = m_backend->defaultOutputDevice();
    if (!device)
        return; // the server went away meanwhile
    m_deviceID = *device;
    m_states.yield(currentState());
}
