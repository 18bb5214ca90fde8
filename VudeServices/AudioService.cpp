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
        if (wasConnected) {
            bind();
            refreshOutputs();
        }
    });
}

void AudioService::stop()
{
    m_queue.async([this] {
        m_listening = false;
        m_backend->stop();
        std::scoped_lock lock(m_knownLock);
        m_outputs.clear();
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

AudioState AudioService::knownState() const
{
    std::scoped_lock lock(m_knownLock);
    AudioState state = m_known;
    if (m_setsInFlight > 0 && m_settingLevel)
        state.volume = *m_settingLevel;
    return state;
}

void AudioService::setVolume(double value)
{
    const std::uint32_t id = m_deviceID;
    if (id == 0)
        return;
    const double level = clampedOrLower(value, 0, 1);
    // Asked before taking the lock: the backend answers sets under its own.
    const bool reachable = m_backend->isAvailable();
    std::optional<AudioState> shown;
    std::uint64_t generation = 0;
    {
        std::scoped_lock lock(m_knownLock);
        ++m_setsInFlight;
        m_settingLevel = level;
        generation = m_setGeneration;
        if (reachable && m_known.canSetVolume) {
            shown = m_known;
            shown->volume = level;
        }
    }
    if (shown)
        m_states.yield(*shown);
    m_backend->setVolume(id, level,
                         [this, generation, level](bool applied) { finishSet(generation, level, applied); });
}

void AudioService::finishSet(std::uint64_t generation, double level, bool applied)
{
    std::scoped_lock lock(m_knownLock);
    if (generation != m_setGeneration || m_setsInFlight == 0)
        return;
    if (--m_setsInFlight > 0)
        return;
    // Answers come in order: the last one tells what the server holds now.
    if (applied)
        m_known.volume = level;
    m_settingLevel.reset();
}

void AudioService::forgetSets()
{
    std::scoped_lock lock(m_knownLock);
    ++m_setGeneration;
    m_setsInFlight = 0;
    m_settingLevel.reset();
}

std::vector<AudioOutputDevice> AudioService::outputDevices() const
{
    std::scoped_lock lock(m_knownLock);
    return m_outputs;
}

void AudioService::setDefaultOutput(std::uint32_t id, SwitchDone done)
{
    m_queue.async([this, id, done = std::move(done)] {
        const bool accepted = id != 0 && m_backend->setDefaultOutput(id);
        if (accepted) {
            // The server's own word on the new default comes later; the
            // list marks the accepted one meanwhile.
            std::scoped_lock lock(m_knownLock);
            for (auto& output : m_outputs)
                output.isDefault = output.id == id;
        }
        if (done)
            done(accepted);
    });
}

void AudioService::refreshOutputs()
{
    const std::uint32_t defaultID = m_backend->defaultOutputDevice().value_or(0);
    std::vector<AudioOutputDevice> outputs;
    for (const auto& device : m_backend->outputDevices()) {
        if (device.name.empty())
            continue;
        outputs.push_back({device.id, device.name, transportFor(device.attachment), device.id == defaultID});
    }
    std::scoped_lock lock(m_knownLock);
    m_outputs = std::move(outputs);
}

void AudioService::handle(const AudioBackendEvent& event)
{
    if (!m_listening)
        return;
    switch (event.kind) {
    case AudioBackendEvent::Kind::connected:
    case AudioBackendEvent::Kind::defaultOutputChanged:
        bind();
        refreshOutputs();
        break;
    case AudioBackendEvent::Kind::outputsChanged:
        refreshOutputs();
        break;
    case AudioBackendEvent::Kind::volumeChanged:
        // Events of an output the service no longer follows are stale.
        if (event.device != 0 && event.device == m_deviceID)
            publishCurrent();
        break;
    case AudioBackendEvent::Kind::disconnected: {
        // Quiet until a server is back; `connected` binds again. Meanwhile
        // the keys go back to the system.
        forgetSets();
        std::scoped_lock lock(m_knownLock);
        m_known = {.transport = AudioState::Transport::other, .canSetVolume = false};
        m_outputs.clear();
        break;
    }
    }
}

void AudioService::bind()
{
    const auto device = m_backend->defaultOutputDevice();
    if (!device)
        return; // the server went away meanwhile
    forgetSets();
    m_deviceID = *device;
    publishCurrent();
}

void AudioService::publishCurrent()
{
    const AudioState state = currentState();
    {
        std::scoped_lock lock(m_knownLock);
        m_known = state;
    }
    m_states.yield(knownState());
}
